#include "components/discwriter/datadiscwriter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>

#include <csignal>
#include <sys/wait.h>

#include "components/discwriter/imagefiles.h"
#include "components/discwriter/imageparts.h"
#include "components/discwriter/isosession.h"
#include "isoreader.h"
#include "platform/ownedfiles.h"
#include "platform/posixfile.h"
#include "pumpevents.h"
#include "testenv.h"

namespace {

using testenv::readFile;
using testenv::writeFile;

struct Outcome {
    bool finished = false;    // operation 3 at 100 (or 1 at 100 for an erase)
    int finalEvents = 0;
    std::vector<int> errors;
    std::vector<std::pair<int, int>> operations;  // (operation, percent)
};

// Runs the event loop until the writer reports its end; stop (when given)
// is called at the first progress in the middle of the write.
Outcome RunToEnd(DataDiscWriter& writer, const std::function<void()>& start,
                 const std::function<bool(int operation, int percent)>& stopAt = {})
{
    Outcome out;
    QEventLoop loop;
    bool stopped = false;
    auto progress = QObject::connect(&writer, &DataDiscWriter::onOperationProgress, &loop, [&](int percent) {
        const int op = writer.currentOperation();
        out.operations.emplace_back(op, percent);
        if (percent == 100 && (op == DiscRecorder::FinalizeOperation || op == DiscRecorder::EraseOperation)) {
            out.finished = true;
            ++out.finalEvents;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);  // any late event would still be seen
        }
        if (stopAt && !stopped && stopAt(op, percent)) {
            stopped = true;
            writer.abort();
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
        }
    });
    auto error = QObject::connect(&writer, &DataDiscWriter::onError, &loop, [&](int code) {
        out.errors.push_back(code);
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
    });
    start();
    bool insideCall = !out.operations.empty();
    EXPECT_FALSE(insideCall) << "progress came inside the call";
    if (out.errors.empty() || !writer.isBusy()) {
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        if (writer.isBusy() || out.errors.empty())
            loop.exec();
    }
    QObject::disconnect(progress);
    QObject::disconnect(error);
    return out;
}

class DataDiscWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        images_ = testenv::makeTempDir("images");
        writer_.setDrivesListed(false);
        writer_.setImageFolder(QString::fromStdString(images_));
        writer_.initialize();
        writer_.setDeviceIndex(1);
        iso_ = writer_.imagePath().toStdString();
    }

    Outcome writeFolderEntries(const std::string& folder, const QString& label = QStringLiteral("New Disc"))
    {
        writer_.clearImage();
        for (const std::string& name : entries(folder))
            writer_.addPath(QString::fromStdString(folder + "/" + name));
        writer_.setVolumeLabel(label);
        return RunToEnd(writer_, [&] { writer_.write(); });
    }

    static std::vector<std::string> entries(const std::string& folder)
    {
        std::map<std::string, std::string> tree;
        ReadFolderTree(folder, "", &tree);
        std::vector<std::string> top;
        for (const auto& [path, bytes] : tree) {
            std::string rest = path.substr(1);
            if (!rest.empty() && rest.back() == '/')
                rest.pop_back();
            if (rest.find('/') == std::string::npos)
                top.push_back(rest);
        }
        // Links and FIFOs at the top are handed over too: the writer must
        // cope with what it is given.
        for (const char* extra : {"loop", "pipe"})
            if (access((folder + "/" + extra).c_str(), F_OK) == 0 || errno == ELOOP)
                top.push_back(extra);
        return top;
    }

    std::string images_;
    DataDiscWriter writer_;
    std::string iso_;
};

// The tree as paths with sizes and a digest, which a failure can print.
std::map<std::string, std::string> Summary(const std::map<std::string, std::string>& entries)
{
    std::map<std::string, std::string> out;
    for (const auto& [path, bytes] : entries)
        out[path] = std::to_string(bytes.size()) + ":" + std::to_string(std::hash<std::string>{}(bytes));
    return out;
}

const std::string kLongName =
    "A very long file name that goes on well past the sixty-four characters of Joliet.txt";
const std::string kUnicodeName = "Grüße — 日本語.txt";

std::string OneFileTree(const char* hint)
{
    std::string tree = testenv::makeTempDir(hint);
    writeFile(tree + "/a.txt", "a");
    return tree;
}

// nested folders, Unicode and long names, a hidden file, a link loop, a FIFO
std::string MakeTree()
{
    std::string root = testenv::makeTempDir("tree");
    mkdir((root + "/Music").c_str(), 0755);
    mkdir((root + "/Music/Deeper").c_str(), 0755);
    mkdir((root + "/Music/Deeper/Deepest").c_str(), 0755);
    writeFile(root + "/Music/Deeper/Deepest/bottom.bin", std::string(300000, '\x5a'));
    std::string noise;
    for (int i = 0; i < 200000; ++i)
        noise += static_cast<char>((i * 7919) % 251);
    writeFile(root + "/Music/noise.dat", noise);
    writeFile(root + "/" + kLongName, "long");
    writeFile(root + "/" + kUnicodeName, "unicode");
    writeFile(root + "/.hidden", "hidden");
    writeFile(root + "/empty.txt", "");
    symlink(".", (root + "/Music/loop").c_str());
    mkfifo((root + "/Music/pipe").c_str(), 0644);
    return root;
}

TEST_F(DataDiscWriterTest, WritesAStagedTreeThatReadsBackIdentically)
{
    std::string tree = MakeTree();
    writer_.refresh();
    EXPECT_EQ(writer_.discType(), 2);
    EXPECT_EQ(writer_.discStatus(), 0);
    EXPECT_GT(writer_.getFreeBytes(), 0);

    Outcome out = writeFolderEntries(tree);
    ASSERT_TRUE(out.errors.empty()) << writer_.lastErrorText().toStdString();
    ASSERT_TRUE(out.finished);
    EXPECT_EQ(out.finalEvents, 1);
    EXPECT_EQ(out.operations.front().first, DiscRecorder::WriteOperation);
    EXPECT_FALSE(testenv::run("test -e " + testenv::shellQuote(iso_ + ".part")) == 0);

    std::map<std::string, std::string> expected;
    ReadFolderTree(tree, "", &expected);
    expected["/Music/loop@"] = "";  // kept as the link it is
    IsoContents rr = ReadIso(iso_);
    ASSERT_TRUE(rr.readable);
    EXPECT_TRUE(rr.hasRockRidge);
    EXPECT_TRUE(rr.hasJoliet);
    EXPECT_EQ(Summary(rr.entries), Summary(expected)) << "the FIFO is left out, the link loop is not followed";
    EXPECT_EQ(rr.primaryVolumeId, "NEW_DISC") << "d-characters in the primary descriptor";
    EXPECT_EQ(rr.jolietVolumeId, "New Disc");

    IsoContents joliet = ReadIso(iso_, true);
    EXPECT_EQ(joliet.entries.count("/" + kUnicodeName), 1u);
    EXPECT_EQ(joliet.entries.count("/Music/Deeper/Deepest/bottom.bin"), 1u);
    EXPECT_EQ(joliet.entries.count("/.hidden"), 1u);

    writer_.refresh();
    EXPECT_EQ(writer_.discStatus(), 1);
    EXPECT_GE(writer_.usedBytes(), 500000);
}

TEST_F(DataDiscWriterTest, ATestWriteWritesNothingAndWithoutJolietOnlyRockRidgeIsWritten)
{
    std::string tree = OneFileTree("plain");
    writer_.setTestMode(true);
    EXPECT_TRUE(writeFolderEntries(tree).finished);
    EXPECT_NE(access(iso_.c_str(), F_OK), 0);
    EXPECT_NE(access((iso_ + ".part").c_str(), F_OK), 0);

    writer_.setTestMode(false);
    writer_.setFileSystem(2);
    writer_.setWriteMode(2);  // kept as asked, written as Mode 1
    Outcome out = writeFolderEntries(tree, QStringLiteral("Plain"));
    ASSERT_TRUE(out.finished);
    IsoContents c = ReadIso(iso_);
    EXPECT_FALSE(c.hasJoliet);
    EXPECT_TRUE(c.hasRockRidge);
    EXPECT_EQ(c.entries.at("/a.txt"), "a");
    EXPECT_EQ(c.primaryVolumeId, "PLAIN");
}

TEST_F(DataDiscWriterTest, AnAppendedSessionKeepsTheFirstAndTheNewerNameWins)
{
    std::string first = testenv::makeTempDir("first");
    writeFile(first + "/a.txt", "from the first session");
    mkdir((first + "/Old").c_str(), 0755);
    writeFile(first + "/Old/kept.txt", "kept");
    ASSERT_TRUE(writeFolderEntries(first).finished);

    std::string second = testenv::makeTempDir("second");
    writeFile(second + "/a.txt", "newer");
    writeFile(second + "/b.txt", "b");
    Outcome out = writeFolderEntries(second, QStringLiteral("Second"));
    ASSERT_TRUE(out.finished) << writer_.lastErrorText().toStdString();

    IsoContents c = ReadIso(iso_);
    EXPECT_EQ(c.entries.at("/a.txt"), "newer");
    EXPECT_EQ(c.entries.at("/b.txt"), "b");
    EXPECT_EQ(c.entries.at("/Old/kept.txt"), "kept");
    EXPECT_EQ(c.entries.count("/a______.txt"), 0u);
    EXPECT_EQ(c.jolietVolumeId, "Second");
    IsoContents joliet = ReadIso(iso_, true);
    EXPECT_EQ(joliet.entries.at("/a.txt"), "newer");
}

// Large enough that the write is still going at its first progress.
std::string MakeBigTree(const char* hint, int megabytes)
{
    std::string tree = testenv::makeTempDir(hint);
    std::string path = tree + "/big.bin";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    std::string block(1 << 20, '\x11');
    for (int i = 0; i < megabytes; ++i)
        (void)!::write(fd, block.data(), block.size());
    close(fd);
    return tree;
}

bool InTheMiddle(int operation, int percent) { return operation == DiscRecorder::WriteOperation && percent > 0; }

TEST_F(DataDiscWriterTest, CancellingLeavesNoImageOrTheOldOneByteForByteAndAnEraseBlanksIt)
{
    std::string big = MakeBigTree("big", 300);
    writer_.addPath(QString::fromStdString(big + "/big.bin"));
    Outcome out = RunToEnd(writer_, [&] { writer_.write(); }, InTheMiddle);
    EXPECT_FALSE(out.finished);
    EXPECT_TRUE(out.errors.empty());
    EXPECT_NE(access(iso_.c_str(), F_OK), 0);
    EXPECT_NE(access((iso_ + ".part").c_str(), F_OK), 0);

    std::string small = OneFileTree("small");
    ASSERT_TRUE(writeFolderEntries(small).finished);
    const std::string before = readFile(iso_);

    writer_.clearImage();
    writer_.addPath(QString::fromStdString(big + "/big.bin"));
    out = RunToEnd(writer_, [&] { writer_.write(); }, InTheMiddle);
    EXPECT_FALSE(out.finished);
    EXPECT_TRUE(out.errors.empty());
    EXPECT_TRUE(readFile(iso_) == before) << "the append is taken back byte for byte";
    EXPECT_FALSE(writer_.isBusy());

    // The medium is usable as before.
    writer_.refresh();
    EXPECT_EQ(writer_.discStatus(), 1);
    EXPECT_EQ(ReadIso(iso_).entries.at("/a.txt"), "a");

    // Erasing frees it and leaves a blank disc, twice over.
    for (int round = 0; round < 2; ++round) {
        Outcome out = RunToEnd(writer_, [&] { writer_.erase(true); });
        EXPECT_TRUE(out.finished);
        EXPECT_TRUE(out.errors.empty());
        ASSERT_FALSE(out.operations.empty());
        EXPECT_EQ(out.operations.back(), std::make_pair(int(DiscRecorder::EraseOperation), 100));
        struct stat st {};
        ASSERT_EQ(stat(iso_.c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 0);
        writer_.refresh();
        EXPECT_EQ(writer_.discStatus(), 0);
        EXPECT_EQ(writer_.usedBytes(), 0);
    }

    // A blank image takes a new first session.
    std::string after = testenv::makeTempDir("after");
    writeFile(after + "/after.txt", "after");
    ASSERT_TRUE(writeFolderEntries(after).finished);
    EXPECT_EQ(ReadIso(iso_).entries.size(), 1u);
}

TEST_F(DataDiscWriterTest, AnImageChangedByAnotherProgramIsAMediaChangeOurOwnWriteIsNot)
{
    int changes = 0;
    QObject::connect(&writer_, &DataDiscWriter::onMediaChange, [&] { ++changes; });
    writer_.setMediaPolling(true, 20);
    std::string tree = OneFileTree("media");
    ASSERT_TRUE(writeFolderEntries(tree).finished);
    EXPECT_FALSE(testenv::pumpUntil([&] { return changes > 0; }, 300));
    ::truncate(iso_.c_str(), 0);  // someone else empties it
    testenv::pumpUntil([&] { return changes > 0; }, 3000);
    EXPECT_EQ(changes, 1);
    writer_.setMediaPolling(false);
}

TEST_F(DataDiscWriterTest, AWriteThatRunsOutOfRoomLeavesNoImage)
{
    std::string tree = MakeBigTree("full", 4);
    // Writes beyond 1 MiB fail in the child as on a full disk, after the
    // space check has passed.
    const int rc = testenv::inChild(
        [&] {
            writer_.addPath(QString::fromStdString(tree + "/big.bin"));
            Outcome out = RunToEnd(writer_, [&] { writer_.write(); });
            const bool gone = access(iso_.c_str(), F_OK) != 0 && access((iso_ + ".part").c_str(), F_OK) != 0;
            return !out.finished && out.errors.size() == 1 && gone ? 0 : 1;
        },
        1 << 20);
    EXPECT_EQ(rc, 0) << "one error, and nothing left under either name";
}

// Under a file-size limit, with the program's own set-up, libburn's write
// fails with EFBIG and the job says so, rather than SIGXFSZ ending the
// process with the part left behind.
TEST_F(DataDiscWriterTest, AFileSizeLimitFailsTheWriteWithAnErrorAndLeavesNoPart)
{
    std::string tree = MakeBigTree("limit", 4);
    const int rc = testenv::inChild(
        [&] {
            IgnoreFileSizeSignal();
            writer_.addPath(QString::fromStdString(tree + "/big.bin"));
            Outcome out = RunToEnd(writer_, [&] { writer_.write(); });
            if (out.finished || out.errors.size() != 1 || writer_.lastErrorText().isEmpty())
                return 1;
            return access(iso_.c_str(), F_OK) != 0 && access((iso_ + ".part").c_str(), F_OK) != 0 ? 0 : 2;
        },
        1 << 20, true);
    EXPECT_EQ(rc, 0) << "one error, and nothing left under either name";
    EXPECT_NE(access((iso_ + ".part").c_str(), F_OK), 0);
}

TEST_F(DataDiscWriterTest, NoRecorderAndUnwritableTargetsAreReportedBeforeWriting)
{
    int errors = 0;
    QObject::connect(&writer_, &DataDiscWriter::onError, [&](int) { ++errors; });
    writer_.setDeviceIndex(2);
    writer_.refresh();
    EXPECT_EQ(errors, 1) << "reported inside refresh";
    EXPECT_EQ(writer_.discType(), 0);
    EXPECT_EQ(writer_.discStatus(), 3);
    writer_.setDeviceIndex(1);

    // An image folder that cannot exist (a file is in its place).
    writeFile(images_ + "/notafolder", "x");
    DataDiscWriter blocked;
    blocked.setDrivesListed(false);
    blocked.setImageFolder(QString::fromStdString(images_ + "/notafolder"));
    blocked.initialize();
    blocked.refresh();
    EXPECT_EQ(blocked.discStatus(), 3);
    int blockedErrors = 0;
    QObject::connect(&blocked, &DataDiscWriter::onError, [&](int) { ++blockedErrors; });
    blocked.addPath(QString::fromStdString(images_ + "/notafolder"));
    blocked.write();
    EXPECT_EQ(blockedErrors, 1) << "refused before a byte is written";
    EXPECT_FALSE(blocked.isBusy());

    if (geteuid() == 0)
        GTEST_SKIP() << "root writes everywhere";
    chmod(images_.c_str(), 0555);
    writer_.refresh();
    EXPECT_EQ(writer_.discStatus(), 3);
    std::string tree = OneFileTree("ro");
    Outcome out = writeFolderEntries(tree);
    EXPECT_FALSE(out.finished);
    EXPECT_EQ(out.errors.size(), 1u);
    chmod(images_.c_str(), 0755);
}


std::string Toc(const std::string& iso)
{
    int status = 0;
    return testenv::capture("xorriso -indev '" + iso + "' -toc 2>&1", &status);
}

TEST_F(DataDiscWriterTest, ALinkAtTheImageNameIsNeverFollowed)
{
    // A file outside the image folder, and a real image elsewhere.
    const std::string outside = testenv::makeTempDir("outside");
    const std::string plain = outside + "/precious.dat";
    writeFile(plain, std::string(300000, 'p'));
    DataDiscWriter other;
    other.setDrivesListed(false);
    other.setImageFolder(QString::fromStdString(outside));
    other.initialize();
    other.setDeviceIndex(1);
    other.addPath(QString::fromStdString(OneFileTree("elsewhere") + "/a.txt"));
    ASSERT_TRUE(RunToEnd(other, [&] { other.write(); }).finished);
    const std::string elsewhere = other.imagePath().toStdString();
    const std::string elsewhereBefore = readFile(elsewhere);

    for (const std::string& target : {plain, elsewhere}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(symlink(target.c_str(), iso_.c_str()), 0);
        const std::string before = readFile(target);
        Outcome erased = RunToEnd(writer_, [&] { writer_.erase(true); });
        EXPECT_FALSE(erased.finished);
        ASSERT_EQ(erased.errors.size(), 1u);
        EXPECT_NE(writer_.lastErrorText().indexOf("symbolic link"), -1) << writer_.lastErrorText().toStdString();

        writer_.clearImage();
        writer_.addPath(QString::fromStdString(OneFileTree("append") + "/a.txt"));
        int errors = 0;
        QObject::connect(&writer_, &DataDiscWriter::onError, &writer_, [&](int) { ++errors; });
        writer_.write();
        EXPECT_EQ(errors, 1) << "refused before anything is read or written";
        EXPECT_FALSE(writer_.isBusy());
        EXPECT_NE(writer_.lastErrorText().indexOf("symbolic link"), -1);
        QObject::disconnect(&writer_, &DataDiscWriter::onError, &writer_, nullptr);

        EXPECT_TRUE(readFile(target) == before) << "the link's target is untouched";
        EXPECT_NE(access((iso_ + ".undo").c_str(), F_OK), 0);
        unlink(iso_.c_str());
    }
    EXPECT_EQ(readFile(plain).size(), 300000u);
    EXPECT_TRUE(readFile(elsewhere) == elsewhereBefore);
}

TEST_F(DataDiscWriterTest, AnAppendKeepsTheEarlierSessionLoadableAndItsVolumeIdForm)
{
    std::string first = testenv::makeTempDir("first");
    writeFile(first + "/a.txt", "from the first session");
    ASSERT_TRUE(writeFolderEntries(first, QStringLiteral("New Disc")).finished);
    const IsoContents one = ReadIso(iso_);
    std::string second = testenv::makeTempDir("second");
    writeFile(second + "/b.txt", "b");
    ASSERT_TRUE(writeFolderEntries(second, QStringLiteral("Second Disc")).finished);

    const std::string toc = Toc(iso_);
    EXPECT_NE(toc.find("2 sessions"), std::string::npos) << toc;
    EXPECT_NE(toc.find("ISO session  :   1"), std::string::npos) << toc;
    int status = 0;
    const std::string firstTree = testenv::capture(
        "xorriso -indev '" + iso_ + "' -load session 1 -find / 2>&1", &status);
    EXPECT_NE(firstTree.find("a.txt"), std::string::npos) << firstTree;
    EXPECT_EQ(firstTree.find("b.txt"), std::string::npos) << firstTree;

    const IsoContents two = ReadIso(iso_);
    EXPECT_EQ(one.primaryVolumeId, "NEW_DISC");
    EXPECT_EQ(two.primaryVolumeId, "SECOND_DISC") << "d-characters in every session";
    EXPECT_EQ(two.jolietVolumeId, "Second Disc");
    EXPECT_EQ(two.entries.at("/a.txt"), "from the first session");
}

TEST_F(DataDiscWriterTest, ADamagedImageFailsTheWriteWithAReasonAndStaysAsItWas)
{
    std::string first = testenv::makeTempDir("looped");
    mkdir((first + "/Loop").c_str(), 0755);
    mkdir((first + "/Loop/Inner").c_str(), 0755);
    writeFile(first + "/Loop/Inner/f.txt", "f");
    ASSERT_TRUE(writeFolderEntries(first).finished);
    ASSERT_TRUE(MakeFolderLoop(iso_, "LOOP"));
    const std::string before = readFile(iso_);

    writer_.clearImage();
    writer_.addPath(QString::fromStdString(OneFileTree("more") + "/a.txt"));
    QElapsedTimer clock;
    qint64 callMs = 0;
    Outcome out = RunToEnd(writer_, [&] {
        clock.start();
        writer_.write();
        callMs = clock.elapsed();
    });
    EXPECT_LT(callMs, 1000) << "the image is read off the calling thread";
    EXPECT_FALSE(out.finished);
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0], DiscRecorder::NotWritable);
    EXPECT_NE(writer_.lastErrorText().indexOf("leads back into its own tree"), -1)
        << writer_.lastErrorText().toStdString();
    EXPECT_TRUE(readFile(iso_) == before);
    EXPECT_NE(access((iso_ + ".undo").c_str(), F_OK), 0);

    // Where the library's own read does not end in time, the write fails
    // the same way and the program goes on.
    ASSERT_TRUE(RunToEnd(writer_, [&] { writer_.erase(true); }).finished);
    ASSERT_TRUE(writeFolderEntries(first).finished);
    const std::string healthy = readFile(iso_);
    writer_.setSessionReadDeadline(0);
    out = writeFolderEntries(OneFileTree("late"));
    EXPECT_FALSE(out.finished);
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_NE(writer_.lastErrorText().indexOf("did not end"), -1) << writer_.lastErrorText().toStdString();
    EXPECT_TRUE(readFile(iso_) == healthy);
    writer_.setSessionReadDeadline(20000);
    EXPECT_TRUE(writeFolderEntries(OneFileTree("intime")).finished);
}

TEST_F(DataDiscWriterTest, AnAppendKilledMidwayIsTakenBackByteForByte)
{
    std::string first = testenv::makeTempDir("first");
    writeFile(first + "/a.txt", "a");
    ASSERT_TRUE(writeFolderEntries(first).finished);
    const std::string before = readFile(iso_);
    const std::string big = MakeBigTree("killed", 200);

    // Another process appends the big file and is killed once the image
    // has grown by 8 MiB; the image's size then.
    const auto appendAndKill = [&] {
        const pid_t child = fork();
        if (child == 0) {
            DataDiscWriter writer;
            writer.setDrivesListed(false);
            writer.setImageFolder(QString::fromStdString(images_));
            writer.initialize();
            writer.setDeviceIndex(1);
            writer.addPath(QString::fromStdString(big + "/big.bin"));
            writer.write();
            for (;;)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        EXPECT_GT(child, 0);
        if (child <= 0)
            return off_t(0);
        struct stat st {};
        for (int i = 0; i < 6000 && !(stat(iso_.c_str(), &st) == 0 && st.st_size > off_t(before.size()) + (8 << 20)); ++i)
            usleep(10000);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return st.st_size;
    };
    ASSERT_GT(appendAndKill(), off_t(before.size())) << "the kill came in the middle of the append";
    ASSERT_EQ(access((iso_ + ".undo").c_str(), F_OK), 0) << "the record of the append is there";

    // What the start-up does for the image folder.
    RemoveAbandonedImageParts(images_);
    EXPECT_TRUE(readFile(iso_) == before) << "byte for byte as before the append";
    EXPECT_NE(access((iso_ + ".undo").c_str(), F_OK), 0);

    // Killed again, the next write takes it back itself and appends.
    appendAndKill();
    std::string second = testenv::makeTempDir("second");
    writeFile(second + "/b.txt", "b");
    ASSERT_TRUE(writeFolderEntries(second).finished) << writer_.lastErrorText().toStdString();
    EXPECT_LT(QFileInfo(QString::fromStdString(iso_)).size(), qint64(before.size()) + (1 << 20))
        << "the killed append's space is reclaimed";
    const IsoContents c = ReadIso(iso_);
    EXPECT_EQ(c.entries.at("/a.txt"), "a");
    EXPECT_EQ(c.entries.at("/b.txt"), "b");
    EXPECT_EQ(c.entries.count("/big.bin"), 0u);
}

TEST_F(DataDiscWriterTest, AnAppendAnotherWriterHoldsIsNeitherTakenBackNorWrittenOver)
{
    ASSERT_TRUE(writeFolderEntries(OneFileTree("held")).finished);
    const std::string before = readFile(iso_);
    std::string error;
    ASSERT_TRUE(imagefiles::RecordAppend(iso_, 2048 * 16, std::string(16, 'h'), &error)) << error;
    {
        // Another writer is adding a session: it holds the image.
        const PosixFile held = MarkExistingFile(iso_);
        ASSERT_TRUE(held.isOpen());
        writer_.clearImage();
        writer_.addPath(QString::fromStdString(OneFileTree("more") + "/a.txt"));
        int errors = 0;
        QObject::connect(&writer_, &DataDiscWriter::onError, &writer_, [&](int) { ++errors; });
        writer_.write();
        EXPECT_EQ(errors, 1);
        EXPECT_NE(writer_.lastErrorText().indexOf("another program"), -1) << writer_.lastErrorText().toStdString();
        writer_.erase(true);
        EXPECT_EQ(errors, 2);
        QObject::disconnect(&writer_, &DataDiscWriter::onError, &writer_, nullptr);
        EXPECT_TRUE(readFile(iso_) == before);
        EXPECT_EQ(access((iso_ + ".undo").c_str(), F_OK), 0) << "its record stays";
    }
    imagefiles::ForgetAppend(iso_);
}

TEST(InterruptedAppend, ARecordThatDoesNotFitItsImageChangesNothing)
{
    const std::string folder = testenv::makeTempDir("records");
    const std::string image = folder + "/Data CD.iso";
    const std::string record = imagefiles::AppendRecordPath(image);
    std::string error;

    // No record: nothing to do.
    writeFile(image, std::string(4096, 'i'));
    EXPECT_TRUE(imagefiles::RestoreInterruptedAppend(image, &error));

    // A damaged record is dropped and the image left alone.
    writeFile(record, "not a record");
    EXPECT_FALSE(imagefiles::RestoreInterruptedAppend(image, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_NE(access(record.c_str(), F_OK), 0);
    EXPECT_EQ(readFile(image), std::string(4096, 'i'));

    // An image shorter than the record says (erased or replaced since) is
    // not the one it was made for.
    ASSERT_TRUE(imagefiles::RecordAppend(image, 8192, std::string(2048, 'h'), &error)) << error;
    EXPECT_TRUE(imagefiles::RestoreInterruptedAppend(image, &error));
    EXPECT_EQ(readFile(image), std::string(4096, 'i'));
    EXPECT_NE(access(record.c_str(), F_OK), 0);

    // A longer one is cut back and gets its first blocks again.
    ASSERT_TRUE(imagefiles::RecordAppend(image, 3000, std::string(10, 'h'), &error)) << error;
    RemoveAbandonedImageParts(folder);
    EXPECT_EQ(readFile(image), std::string(10, 'h') + std::string(2990, 'i'));
    EXPECT_NE(access(record.c_str(), F_OK), 0);

    // Through a link at the image's name nothing is written.
    const std::string outside = testenv::makeTempDir("outside") + "/target";
    writeFile(outside, std::string(4096, 'o'));
    unlink(image.c_str());
    ASSERT_EQ(symlink(outside.c_str(), image.c_str()), 0);
    ASSERT_TRUE(imagefiles::RecordAppend(image, 100, "x", &error));
    EXPECT_FALSE(imagefiles::RestoreInterruptedAppend(image, &error));
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
    EXPECT_EQ(readFile(outside), std::string(4096, 'o'));
}

TEST(IsoSessionCheck, AcceptsWhatTheWriterMakesAndRefusesLoopsAndStrayRecords)
{
    const std::string folder = testenv::makeTempDir("check");
    const std::string iso = folder + "/made.iso";
    const std::string tree = MakeTree();
    int status = 0;
    testenv::capture("xorriso -as mkisofs -R -J -o '" + iso + "' '" + tree + "' 2>&1", &status);
    isosession::Check good = isosession::CheckImageFile(iso);
    EXPECT_TRUE(good.ok) << good.problem;
    EXPECT_GE(good.folders, 8);  // four in each tree

    ASSERT_TRUE(MakeFolderLoop(iso, "MUSIC"));
    isosession::Check looped = isosession::CheckImageFile(iso);
    EXPECT_FALSE(looped.ok);
    EXPECT_EQ(looped.problem, "a folder leads back into its own tree");

    // A folder beyond the end of the image.
    std::string d = readFile(iso);
    d.resize(20 * 2048);
    writeFile(iso, d);
    EXPECT_FALSE(isosession::CheckImageFile(iso).ok);
    EXPECT_FALSE(isosession::CheckImageFile(folder + "/missing.iso").ok);
}

}  // namespace
