#include "disc/compilation.h"
#include "disc/compilationadder.h"

#include <QLocale>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fakes.h"
#include "platform/ownedfiles.h"
#include "testenv.h"

namespace {

using testenv::readFile;
using testenv::writeFile;

bool Exists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

struct RecordingView : CompilationView {
    QStringList statuses;
    std::vector<int> rows;
    int changed = 0;
    void setStatus(const QString& text) override { statuses << text; }
    void totalChanged() override {}
    std::function<void()> onPump;
    void pump() override
    {
        if (onPump)
            onPump();
    }
    void rowAdded(int record, bool) override { rows.push_back(record); }
    void rowChanged(int, bool) override { ++changed; }
    void foldersChanged() override {}
};

class CompilationTest : public ::testing::Test {
protected:
    CompilationTest() : staging_(testenv::makeTempDir("data") + "/burnquilltemp"), c_(staging_), adder_(c_, view_)
    {
        c_.reset();
        adder_.FreeDiskSpace = int64_t(1) << 40;
    }

    std::string source(const std::string& name, const std::string& bytes)
    {
        if (sources_.empty())
            sources_ = testenv::makeTempDir("src");
        writeFile(sources_ + "/" + name, bytes);
        return sources_ + "/" + name;
    }

    int64_t sumOfRecords() const
    {
        int64_t sum = 0;
        for (const auto& r : c_.records())
            sum += r.Size;
        return sum;
    }

    std::string staging_;
    Compilation c_;
    RecordingView view_;
    CompilationAdder adder_;
    FakeMessageBoxes boxes_;
    std::string sources_;
};

TEST(FileSizeTextTest, SizesFollowTheUnitSteps)
{
    if (QLocale::system().groupSeparator() != QLatin1String(","))
        GTEST_SKIP() << "the system's separator is not a comma";
    EXPECT_EQ(FileSizeText(1023), "1023 bytes");
    EXPECT_EQ(FileSizeText(1024), "1 KB");
    EXPECT_EQ(FileSizeText(1048576), "1,024 KB");
    EXPECT_EQ(FileSizeText(1049600), "1 MB");
    EXPECT_EQ(FileSizeText(int64_t(5) << 30), "5,120 MB") << "sizes over 4 GB";
    EXPECT_EQ(TotalSizeText(734003200), "Total Size: 700.00 MB");
}

// The staging folder is held while the compilation has it, so that the
// start of another instance leaves it; once its holder is gone, what it
// staged is a leftover that such a start removes.
TEST_F(CompilationTest, TheStagingFolderIsMarkedAsOursUntilTheCompilationGoes)
{
    ASSERT_EQ(c_.copyIn(source("a.mp3", "abc"), staging_ + "/a.mp3"), CopyResult::Copied);
    const auto sweptByAnotherProcess = [&] { return testenv::inChild([&] { return RemoveIfAbandoned(staging_) ? 1 : 0; }); };
    EXPECT_EQ(sweptByAnotherProcess(), 0);
    EXPECT_TRUE(Exists(staging_ + "/a.mp3"));
    {
        // A reset makes the folder again and holds the new one.
        c_.reset();
        EXPECT_EQ(sweptByAnotherProcess(), 0);
        EXPECT_TRUE(Exists(staging_));
    }
    const std::string left = testenv::makeTempDir("other") + "/burnquilltemp";
    auto other = std::make_unique<Compilation>(left);
    other->reset();
    ASSERT_EQ(other->copyIn(source("b.mp3", "b"), left + "/b.mp3"), CopyResult::Copied);
    other.reset();  // the holder is gone; its folder stays behind
    EXPECT_TRUE(Exists(left + "/b.mp3"));
    EXPECT_EQ(testenv::inChild([&] { return RemoveIfAbandoned(left) ? 1 : 0; }), 1);
    EXPECT_FALSE(Exists(left));
}

TEST_F(CompilationTest, FoldersMirrorTheTreeAndKeepTheirFilesThroughIndexShifts)
{
    CompilationFolder* a = c_.createFolder(c_.root(), "A");
    ASSERT_TRUE(a);
    CompilationFolder* b = c_.createFolder(a, "B");
    ASSERT_TRUE(b);
    EXPECT_EQ(c_.TempPathOfNode(b), staging_ + "/A/B/");
    EXPECT_TRUE(Exists(staging_ + "/A/B"));

    ASSERT_EQ(adder_.stageFile(source("song.mp3", "12345"), b, CompilationAdder::Entry::AddFile),
              CompilationAdder::Staged::Added);
    EXPECT_EQ(readFile(staging_ + "/A/B/song.mp3"), "12345");
    EXPECT_EQ(c_.records()[0].FolderIndex, 2);

    // A folder made under A comes before Z in depth-first order: Z's files
    // move along and are still listed under Z.
    CompilationFolder* z = c_.createFolder(c_.root(), "Z");
    ASSERT_TRUE(z);
    adder_.stageFile(source("z.txt", "z"), z, CompilationAdder::Entry::AddFile);
    ASSERT_EQ(c_.records()[1].FolderIndex, 3);
    ASSERT_TRUE(c_.createFolder(a, "A2"));
    EXPECT_EQ(c_.records()[1].FolderIndex, 4);
    EXPECT_EQ(c_.recordsOf(c_.absoluteIndex(z)), std::vector<int>{1});
    EXPECT_EQ(c_.recordsOf(c_.absoluteIndex(b)), std::vector<int>{0});

    EXPECT_FALSE(c_.createFolder(c_.root(), "A")) << "a second A under the root";
    EXPECT_TRUE(c_.createFolder(b, "A")) << "A under another folder";
    for (const char* bad : {".", "..", "a/b", ".hidden", "x:y", ""})
        EXPECT_FALSE(c_.createFolder(c_.root(), bad)) << bad;

    EXPECT_TRUE(c_.renameFolder(a, "Renamed"));
    EXPECT_TRUE(Exists(staging_ + "/Renamed/B/song.mp3"));
    EXPECT_FALSE(c_.renameFolder(a, "..")) << "a rename never leaves the staging folder";
    EXPECT_FALSE(c_.renameFolder(a, "Z"));
}

TEST_F(CompilationTest, RemovingAFolderTakesItsSubtreeAndNothingOutsideTheStagingFolder)
{
    std::string outside = testenv::makeTempDir("outside");
    writeFile(outside + "/precious.txt", "keep me");

    CompilationFolder* a = c_.createFolder(c_.root(), "A");
    CompilationFolder* sub = c_.createFolder(a, "Sub");
    CompilationFolder* later = c_.createFolder(c_.root(), "Later");
    adder_.stageFile(source("one.txt", "1"), a, CompilationAdder::Entry::AddFile);
    adder_.stageFile(source("two.txt", "22"), sub, CompilationAdder::Entry::AddFile);
    adder_.stageFile(source("three.txt", "333"), later, CompilationAdder::Entry::AddFile);
    ASSERT_EQ(c_.TotalSize, 6);
    // A link planted in the staging folder is removed, never followed.
    ASSERT_EQ(symlink(outside.c_str(), (staging_ + "/A/Sub/link").c_str()), 0);

    std::vector<std::string> failed;
    c_.removeFolder(a, nullptr, [&](const std::string& p) { failed.push_back(p); });
    EXPECT_TRUE(failed.empty());
    EXPECT_FALSE(Exists(staging_ + "/A"));
    EXPECT_EQ(readFile(outside + "/precious.txt"), "keep me");
    EXPECT_EQ(c_.TotalSize, 3);
    ASSERT_EQ(c_.FileCount(), 1);
    EXPECT_EQ(c_.records()[0].FolderIndex, 1) << "Later moved up by the two removed folders";
    EXPECT_EQ(c_.absoluteIndex(later), 1);

    c_.removeFolder(c_.root(), nullptr, nullptr);
    EXPECT_TRUE(c_.stagingExists()) << "the root is never removed";

    ASSERT_EQ(symlink(outside.c_str(), (staging_ + "/escape").c_str()), 0);
    c_.reset();
    EXPECT_EQ(readFile(outside + "/precious.txt"), "keep me");
    EXPECT_TRUE(c_.stagingExists());
    EXPECT_FALSE(Exists(staging_ + "/escape"));
}

TEST_F(CompilationTest, ADroppedTreeIsStagedWithoutLinksOrSpecialFiles)
{
    std::string tree = testenv::makeTempDir("drop") + "/Album";
    mkdir(tree.c_str(), 0755);
    mkdir((tree + "/CD 1").c_str(), 0755);
    mkdir((tree + "/CD 1/Extras").c_str(), 0755);
    const std::string longName(200, 'x');
    writeFile(tree + "/CD 1/Extras/" + longName + ".txt", "long");
    writeFile(tree + "/Grüße.txt", "unicode");
    writeFile(tree + "/.hidden", "hidden");
    writeFile(tree + "/cover.jpg", "jpg");
    symlink("..", (tree + "/CD 1/loop").c_str());
    symlink("cover.jpg", (tree + "/front.jpg").c_str());
    mkfifo((tree + "/pipe").c_str(), 0644);
    writeFile(tree + "/../.skipped", "dot");

    adder_.drop({QString::fromStdString(tree), QString::fromStdString(tree + "/../.skipped")}, c_.root());
    CompilationFolder* album = c_.childNamed(c_.root(), "Album");
    ASSERT_TRUE(album);
    ASSERT_TRUE(c_.childNamed(album, "CD 1"));
    ASSERT_TRUE(c_.childNamed(c_.childNamed(album, "CD 1"), "Extras"));
    EXPECT_EQ(readFile(staging_ + "/Album/CD 1/Extras/" + longName + ".txt"), "long");
    EXPECT_EQ(readFile(staging_ + "/Album/Grüße.txt"), "unicode");
    EXPECT_EQ(readFile(staging_ + "/Album/front.jpg"), "jpg") << "a link to a file brings its content";
    EXPECT_FALSE(Exists(staging_ + "/Album/.hidden"));
    EXPECT_FALSE(Exists(staging_ + "/Album/pipe"));
    EXPECT_FALSE(Exists(staging_ + "/Album/CD 1/loop"));
    EXPECT_FALSE(Exists(staging_ + "/.skipped"));
    EXPECT_EQ(c_.FileCount(), 4);
    EXPECT_TRUE(view_.rows.empty()) << "dropped folders add no rows";
    EXPECT_EQ(c_.TotalSize, sumOfRecords());

    // Dropped again: Yes replaces without asking per file.
    boxes_.clear();
    boxes_.answerNext(MessageAnswer::Yes);
    adder_.drop({QString::fromStdString(tree)}, c_.root());
    EXPECT_EQ(boxes_.texts(), QStringList{"The same-named-folder already exists! Overwrite?"});
    EXPECT_EQ(c_.FileCount(), 4);
    EXPECT_EQ(c_.TotalSize, sumOfRecords());
}

// What a problem that may repeat over a list adds to its first message.
const QString kGoOn =
    QStringLiteral("\n\nGo on with the other files? Any more like this one are then passed over without asking.");

TEST_F(CompilationTest, OverwriteAnswersAndSpecialSourcesKeepTheTotalRight)
{
    std::string path = source("a.bin", "0123456789");
    ASSERT_EQ(adder_.stageFile(path, c_.root(), CompilationAdder::Entry::AddFile), CompilationAdder::Staged::Added);
    writeFile(path, "0123");
    boxes_.answerNext(MessageAnswer::No);
    adder_.stageFile(path, c_.root(), CompilationAdder::Entry::AddFile);
    EXPECT_EQ(boxes_.texts().last(), QString::fromStdString(staging_ + "/a.bin already exists. Overwrite?"));
    EXPECT_EQ(c_.TotalSize, 10);
    boxes_.answerNext(MessageAnswer::Yes);
    adder_.stageFile(path, c_.root(), CompilationAdder::Entry::AddFile);
    EXPECT_EQ(c_.TotalSize, 4);
    EXPECT_EQ(c_.FileCount(), 1);
    EXPECT_EQ(view_.changed, 1);

    boxes_.clear();
    std::string fifo = sources_ + "/fifo";
    mkfifo(fifo.c_str(), 0644);
    adder_.loadLayout({fifo, "/dev/zero", sources_ + "/gone.txt"}, c_.root());
    // One question for the files that cannot be added (Yes passes over
    // /dev/zero without asking), and the last name is only told.
    EXPECT_EQ(boxes_.texts(), (QStringList{QString::fromStdString("Add file " + fifo + " error!") + kGoOn,
                                           QString::fromStdString(sources_ + "/gone.txt has been removed!")}));
    EXPECT_EQ(boxes_.requests().front().buttons, MessageButtons::YesNo);
    EXPECT_EQ(boxes_.requests().back().buttons, MessageButtons::Ok);
    EXPECT_EQ(adder_.Problems.passedOver(), 1);
    EXPECT_EQ(c_.FileCount(), 1);

    boxes_.clear();
    adder_.loadLayout({staging_ + "/a.bin"}, c_.root());
    EXPECT_EQ(boxes_.texts(), QStringList{QString::fromStdString("Add file " + staging_ + "/a.bin error!")})
        << "a source inside the staging folder is refused";
    EXPECT_EQ(readFile(staging_ + "/a.bin"), "0123");
}

TEST_F(CompilationTest, ADroppedFolderNeverTakesAStagedFilesName)
{
    const std::string top = testenv::makeTempDir("clash") + "/Top";
    mkdir(top.c_str(), 0755);
    writeFile(top + "/x.txt", "x");
    adder_.drop({QString::fromStdString(top)}, c_.root());
    CompilationFolder* topNode = c_.childNamed(c_.root(), "Top");
    ASSERT_TRUE(topNode);
    ASSERT_EQ(adder_.stageFile(source("Sub", "a file"), topNode, CompilationAdder::Entry::AddFile),
              CompilationAdder::Staged::Added);
    mkdir((top + "/Sub").c_str(), 0755);
    writeFile(top + "/Sub/one.txt", "1");
    writeFile(top + "/Sub/two.txt", "2");
    boxes_.clear();
    adder_.drop({QString::fromStdString(top)}, c_.root());
    // The folder question, then one question for both files of Sub.
    ASSERT_EQ(boxes_.texts().size(), 2);
    EXPECT_TRUE(boxes_.texts()[1].startsWith(QString::fromStdString("Add file " + top + "/Sub/")));
    EXPECT_TRUE(boxes_.texts()[1].endsWith(QStringLiteral(".txt error!") + kGoOn));
    EXPECT_FALSE(c_.childNamed(topNode, "Sub"));
    EXPECT_EQ(readFile(staging_ + "/Top/Sub"), "a file");
    EXPECT_EQ(c_.FileCount(), 2);
    EXPECT_EQ(adder_.Problems.passedOver(), 1);
}

TEST_F(CompilationTest, RunningOutOfSpaceStopsAtTheFirstFileThatDoesNotFit)
{
    adder_.FreeDiskSpace = 25;
    QStringList files;
    for (int i = 0; i < 4; ++i)
        files << QString::fromStdString(source("f" + std::to_string(i), std::string(10, 'x')));
    adder_.addFiles(files, c_.root());
    EXPECT_EQ(c_.FileCount(), 2);
    EXPECT_EQ(c_.TotalSize, 20);
    EXPECT_EQ(boxes_.texts(), QStringList{"No enough space on your computer for writing CD!"});
    EXPECT_TRUE(adder_.OutOfDiskSpace);
    EXPECT_FALSE(adder_.addFiles(files, c_.root())) << "nothing is added until space is freed";
    EXPECT_EQ(boxes_.texts().size(), 1);
}

TEST_F(CompilationTest, AWalkThatRunsOutOfSpaceSaysSoOnceAndStillFillsWhatFits)
{
    // Each folder's big file is over the limit; the folders above go on
    // and take the small files after it.
    const std::string top = testenv::makeTempDir("full");
    for (const char* sub : {"a", "b", "c"}) {
        mkdir((top + "/" + sub).c_str(), 0755);
        writeFile(top + "/" + sub + "/big", std::string(100, 'b'));
    }
    writeFile(top + "/small", "s");
    adder_.FreeDiskSpace = 50;
    adder_.addPath(top, true, c_.root());
    EXPECT_EQ(boxes_.texts(), QStringList{"No enough space on your computer!"});
    EXPECT_TRUE(adder_.OutOfDiskSpace);
    EXPECT_EQ(c_.FileCount(), 1);
    EXPECT_EQ(c_.TotalSize, 1);
}

TEST_F(CompilationTest, CancelStopsAWalkAtItsNextEntry)
{
    std::string folder = testenv::makeTempDir("many");
    for (int i = 0; i < 10; ++i)
        writeFile(folder + "/f" + std::to_string(i), "x");
    view_.onPump = [&] {
        if (c_.FileCount() == 3)
            adder_.StopAdding = true;
    };
    adder_.addPath(folder, true, c_.root());
    EXPECT_EQ(c_.FileCount(), 3);
    EXPECT_EQ(c_.TotalSize, 3);
    EXPECT_FALSE(adder_.OutOfDiskSpace) << "a stop is no lack of space";
}

TEST_F(CompilationTest, AFullDiskWhileStagingLeavesNoHalfCopyAndTheTotalRight)
{
    std::string big = source("big.bin", std::string(3 << 20, 'b'));
    std::string small = source("small.bin", "s");
    // Writes beyond 1 MiB fail in the child as on a full disk.
    const int rc = testenv::inChild(
        [&] {
            boxes_.clear();
            adder_.addFiles({QString::fromStdString(big), QString::fromStdString(small)}, c_.root());
            bool ok = c_.FileCount() == 1 && c_.TotalSize == 1 && !Exists(staging_ + "/big.bin") &&
                      boxes_.texts() == QStringList{QString::fromStdString("Add file " + big + " error!") + kGoOn};
            DIR* dir = opendir(staging_.c_str());
            int entries = 0;
            while (dirent* e = readdir(dir))
                entries += e->d_name[0] != '.';
            closedir(dir);
            return ok && entries == 1 ? 0 : 1;
        },
        1 << 20);
    EXPECT_EQ(rc, 0) << "the failed copy is reported, leaves nothing, and the next file is staged";
}

TEST_F(CompilationTest, AddPathPutsFilesFlatAndRenamedCopiesKeepTheirRecords)
{
    std::string folder = testenv::makeTempDir("path");
    writeFile(folder + "/top.mp3", "t");
    mkdir((folder + "/sub").c_str(), 0755);
    writeFile(folder + "/sub/deep.mp3", "d");
    symlink(".", (folder + "/sub/self").c_str());
    adder_.addPath(folder, false, c_.root());
    EXPECT_EQ(c_.FileCount(), 1);
    adder_.addPath(folder + "/sub", true, c_.root());
    EXPECT_EQ(c_.FileCount(), 2);
    EXPECT_EQ(c_.root()->children.size(), 0u) << "Add Path makes no folders";
    EXPECT_EQ(view_.rows.size(), 2u);

    writeFile(staging_ + "/tune.mp3", "other");
    EXPECT_FALSE(c_.renameRecord(0, "tune.mp3")) << "never replaces another staged file";
    EXPECT_TRUE(c_.renameRecord(0, "song.mp3"));
    EXPECT_EQ(c_.findRecord(0, "song.mp3"), 0);
    EXPECT_TRUE(c_.removeRecord(0));
    EXPECT_FALSE(Exists(staging_ + "/song.mp3"));
    EXPECT_EQ(c_.TotalSize, 1);
}

}  // namespace
