// The rescan: a generated folder tree walked into the library through the
// window and by the walk alone, and the ways a walk ends early.

#include <gtest/gtest.h>

#include <QFileSystemModel>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "library/mainfilter.h"
#include "library/rescan.h"
#include "mainwindowfixture.h"
#include "mainwindowsupport.h"

namespace fs = std::filesystem;
using mwtest::slurp;

namespace {

// A walk that loops or blocks must fail the test, not hang it: the alarm
// ends the binary.
template <typename Body>
void underWatchdog(Body body) {
    ::alarm(60);
    body();
    ::alarm(0);
}

struct ScanTree {
    std::string root;
    std::set<std::string> recorded;  // the paths that become records
    int audio = 0;                   // audio files met
    int skipped = 0;                 // of those, the ones that cannot be read
};

// Nested, hidden, upper-case and skipped folders; links to a folder (a loop)
// and to a file; a FIFO, a file no reader takes and a dangling link under
// audio names; files of other kinds.
ScanTree makeScanTree() {
    ScanTree t;
    t.root = testenv::makeTempDir("scan");
    for (const char* folder : {"Sub/Deeper", ".hidden", "windows", "Windows", "WINDOWS", "Program Files", "system32x"})
        fs::create_directories(t.root + "/" + folder);
    auto track = [&t](const std::string& name, auto make, const mwtest::Tags& tags) {
        t.recorded.insert(make(t.root + "/" + name, tags));
    };
    auto mp3 = [](const std::string& p, const mwtest::Tags& tags) { return mwtest::makeMp3(p, tags); };
    auto ogg = [](const std::string& p, const mwtest::Tags& tags) { return mwtest::makeOgg(p, tags); };
    auto wav = [](const std::string& p, const mwtest::Tags&) { return mwtest::makeWav(p); };
    track("a.mp3", mp3, {"A", "Kestrel", "Sky", "", "", ""});
    track("Sub/Deeper/b.OGG", ogg, {"B", "Heron", "Sea", "Jazz", "1999", ""});
    track("Sub/c.mp3", mp3, {"C", "Heron", "Sky", "", "", ""});
    track(".hidden/d.mp3", mp3, {});
    track(".e.mp3", mp3, {});
    track("Windows/f.wav", wav, {});
    track("WINDOWS/g.WAV", wav, {});
    track("system32x/h.wma", [](const std::string& p, const mwtest::Tags& tags) { return mwtest::makeWma(p, tags); },
          {"H", "Kestrel", "Sea", "", "", ""});
    mwtest::makeMp3(t.root + "/windows/skipped.mp3", {});
    mwtest::makeMp3(t.root + "/Program Files/skipped.mp3", {});
    testenv::writeFile(t.root + "/notes.txt", "not audio");
    fs::create_directory_symlink("..", t.root + "/Sub/loop");
    fs::create_directory_symlink(t.root + "/Sub", t.root + "/folder.mp3");
    fs::create_symlink(t.root + "/a.mp3", t.root + "/link.mp3");
    t.recorded.insert(t.root + "/link.mp3");
    EXPECT_EQ(::mkfifo((t.root + "/pipe.mp3").c_str(), 0600), 0);
    testenv::writeFile(t.root + "/broken.ogg", "OggS and nothing a reader takes");
    fs::create_symlink(t.root + "/nowhere.mp3", t.root + "/gone.mp3");
    t.skipped = 3;
    t.audio = static_cast<int>(t.recorded.size()) + t.skipped;
    return t;
}

class Rescan : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        start();
        click(tree()->allTitleNode());
        dir_ = std::make_unique<Tfm_dir>();
    }
    void TearDown() override {
        dir_.reset();
        MainWindow::TearDown();
    }
    void choose(const std::string& folder) {
        dir_->ShellTreeView1->setCurrentIndex(dir_->Folders->index(QString::fromStdString(folder)));
    }
    std::string savedTree() const { return slurp(data_ + "treetext.txt"); }

    std::unique_ptr<Tfm_dir> dir_;
};

TEST_F(Rescan, OkWalksEachFolderOnceAddingItsNodesAndRowsAndSavesTheTree) {
    const ScanTree t = makeScanTree();
    dir_->show();
    EXPECT_EQ(window_->Skin->appliedSection(dir_.get()), "filter");
    EXPECT_FALSE(dir_->Button1->isEnabled());
    choose(t.root);
    EXPECT_TRUE(dir_->Button1->isEnabled());
    EXPECT_EQ(dir_->ScanFolder, t.root);
    std::vector<std::string> entries;
    const auto entered = dir_->Scan.onEntry;
    dir_->Scan.onEntry = [&](const std::string& path) {
        entries.push_back(path);
        entered(path);
    };

    underWatchdog([&] { dir_->Button1Click(); });
    EXPECT_EQ(boxes_.texts(), (QStringList{QString("Found %1 files!").arg(t.audio),
                                           QString("%1 file(s) could not be read and were skipped.").arg(t.skipped)}));
    EXPECT_EQ(boxes_.titles(), (QStringList{"Information", "Information"}));
    EXPECT_FALSE(dir_->isVisible());
    EXPECT_TRUE(dir_->Button1->isEnabled());
    EXPECT_FALSE(window_->LibraryBusy);
    // "All Title" shows each new record once; artists once each.
    EXPECT_EQ(window_->ListModel->rowCount(), static_cast<int>(t.recorded.size()));
    const LibraryTreeContent content = tree()->content();
    EXPECT_EQ(std::multiset<std::string>(content.artists.begin(), content.artists.end()),
              (std::multiset<std::string>{"Kestrel", "Heron", "Unknown Artist"}));
    EXPECT_EQ(savedTree(), FormatTreeText(content));
    EXPECT_EQ(LibraryTree::imageOf(tree()->findArtist("Heron")), 3);

    // Each folder is walked once, and a walk again (from the folder with a
    // trailing "/", which is not doubled) adds nothing.
    dir_->Scan.reset();
    underWatchdog([&] { dir_->Scan.run(window_->Library, t.root + "/"); });
    EXPECT_EQ(dir_->Scan.count(), t.audio);
    EXPECT_EQ(dir_->Scan.tally().skipped, t.skipped);
    std::set<std::string> recorded;
    for (const TrackRecord& r : LoadTrackRecords(data_ + "music.dat")) recorded.insert(r.Path);
    EXPECT_EQ(recorded, t.recorded);
    EXPECT_EQ(TrackRecordCount(data_ + "music.dat"), t.recorded.size());
    EXPECT_GE(entries.size(), 2u * static_cast<unsigned>(t.audio));
    for (const std::string& entry : entries)
        for (const char* never : {"//", "/loop/", "skipped.mp3"}) EXPECT_EQ(entry.find(never), std::string::npos) << entry;
}

TEST_F(Rescan, CancelEscapeAndTheFrameStopTheWalkWithTheTreeSaved) {
    const ScanTree t = makeScanTree();
    const std::function<void(Tfm_dir&)> stops[] = {
        [](Tfm_dir& d) { d.Button2->click(); },
        [](Tfm_dir& d) { QTest::keyClick(&d, Qt::Key_Escape); },
        [](Tfm_dir& d) { d.close(); },
    };
    for (const auto& stop : stops) {
        boxes_.clear();
        fs::remove(data_ + "treetext.txt");
        dir_->show();
        choose(t.root);
        const auto scanned = dir_->Scan.onFile;
        dir_->Scan.onFile = [&](const AddResult& r) {
            scanned(r);
            if (dir_->ScanCount() == 2) stop(*dir_);
        };
        underWatchdog([&] { dir_->Button1Click(); });
        dir_->Scan.onFile = scanned;
        EXPECT_TRUE(dir_->ScanCancelled());
        EXPECT_EQ(boxes_.texts().value(0), "Found 2 files!");
        EXPECT_FALSE(dir_->isVisible());
        EXPECT_EQ(savedTree(), FormatTreeText(tree()->content()));
    }
}

TEST_F(Rescan, LibraryCommandsWaitForTheWalkAndAClosedMainWindowEndsIt) {
    const ScanTree t = makeScanTree();
    const TrackRecord kept = mwtest::rec("kept", "Kestrel", "Sky");
    AppendTrackRecordIfNew(data_ + "music.dat", kept);
    choose(t.root);
    const auto scanned = dir_->Scan.onFile;
    bool triedOthers = false;
    dir_->Scan.onFile = [&](const AddResult& r) {
        scanned(r);
        if (triedOthers) return;
        triedOthers = true;
        dialogs_.chooseNext({QString::fromStdString(t.root + "/a.mp3")});
        window_->AddFilesToLibrary();
        window_->ClearFileRecords();
        window_->Rescan1Click();
        window_->close();
    };
    underWatchdog([&] { dir_->Button1Click(); });
    EXPECT_EQ(dialogs_.requests().size(), 0u);
    EXPECT_EQ(dir_->ScanCount(), 1);
    EXPECT_TRUE(window_->Library.recordOf(kept.Path));
    boxes_.answerNext(MessageAnswer::No);  // "Are you sure to quit?" once the walk has ended
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes_.texts().last(), "Are you sure to quit?");
}

}  // namespace
