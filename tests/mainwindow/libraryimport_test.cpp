// Tracks into the library from outside. The rescan: a generated folder tree
// walked into the library through the window and by the walk alone, and the
// ways a walk ends early. Playlists: the names, the records of an imported
// M3U or PLS file and of a saved playlist window list, a second import of
// one name, and a source that cannot be read.

#include <gtest/gtest.h>

#include <QFileSystemModel>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "library/mainfilter.h"
#include "library/playlistimport.h"
#include "library/rescan.h"
#include "mainwindowfixture.h"
#include "mainwindowsupport.h"
#include "platform/inifile.h"

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
    auto wav = [](const std::string& p, const mwtest::Tags&) { return mwtest::makeWav(p); };
    track("a.mp3", mp3, {"A", "Kestrel", "Sky", "", "", ""});
    track("Sub/Deeper/b.OGG", mwtest::makeOgg, {"B", "Heron", "Sea", "Jazz", "1999", ""});
    track("Sub/c.mp3", mp3, {"C", "Heron", "Sky", "", "", ""});
    track(".hidden/d.mp3", mp3, {});
    track(".e.mp3", mp3, {});
    track("Windows/f.wav", wav, {});
    track("WINDOWS/g.WAV", wav, {});
    track("system32x/h.wma", mwtest::makeWma, {"H", "Kestrel", "Sea", "", "", ""});
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
    const std::vector<std::string> recorded = stored(&TrackRecord::Path);
    EXPECT_EQ(std::set(recorded.begin(), recorded.end()), t.recorded);
    EXPECT_EQ(recorded.size(), t.recorded.size());
    EXPECT_GE(entries.size(), 2u * static_cast<unsigned>(t.audio));
    for (const std::string& entry : entries)
        for (const char* never : {"//", "/loop/", "skipped.mp3"}) EXPECT_EQ(entry.find(never), std::string::npos) << entry;
}

// A temporary that a killed tag writer left beside music files goes when
// the library next adds a file of that folder or walks it; one whose
// writer still runs stays.
TEST_F(Rescan, StaleTemporariesGoWithAnAddOrAWalkOfTheirFolder) {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string stale = ".tmp-" + std::to_string(gone) + "-abcDE1";
    const std::string running = ".tmp-" + std::to_string(::getpid()) + "-abcDE2";
    const std::string added = testenv::makeTempDir("added"), walked = testenv::makeTempDir("walked");
    fs::create_directories(walked + "/sub");
    const std::string song = mwtest::makeMp3(added + "/a.mp3", {"A", "Kestrel", "Sky", "", "", ""});
    mwtest::makeMp3(walked + "/sub/b.mp3", {"B", "Kestrel", "Sky", "", "", ""});
    for (const std::string& file : {added + "/a.mp3", walked + "/sub/b.mp3"}) {
        testenv::writeFile(file + stale, "left");
        testenv::writeFile(file + running, "busy");
    }
    window_->AddChosenFiles({QString::fromStdString(song)});
    underWatchdog([&] { dir_->Scan.run(window_->Library, walked); });
    for (const std::string& file : {added + "/a.mp3", walked + "/sub/b.mp3"}) {
        EXPECT_FALSE(fs::exists(file + stale)) << file;
        EXPECT_TRUE(fs::exists(file + running)) << file;
    }
    EXPECT_EQ(TrackRecordCount(data_ + "music.dat"), 2u);
}

TEST_F(Rescan, CancelEscapeTheFrameAndAClosedMainWindowStopTheWalkWithTheTreeSaved) {
    const ScanTree t = makeScanTree();
    const TrackRecord kept = mwtest::rec("kept", "Kestrel", "Sky");
    AppendTrackRecordIfNew(data_ + "music.dat", kept);
    const std::function<void(Tfm_dir&)> stops[] = {
        [](Tfm_dir& d) { d.Button2->click(); },
        [](Tfm_dir& d) { QTest::keyClick(&d, Qt::Key_Escape); },
        [](Tfm_dir& d) { d.close(); },
        // The library's commands wait for the walk; the main window's close ends it.
        [&](Tfm_dir&) {
            dialogs_.chooseNext({QString::fromStdString(t.root + "/a.mp3")});
            window_->AddFilesToLibrary();
            window_->ClearFileRecords();
            window_->Rescan1Click();
            window_->close();
        },
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
    EXPECT_TRUE(dialogs_.requests().empty());
    EXPECT_TRUE(window_->Library.recordOf(kept.Path));
    boxes_.answerNext(MessageAnswer::No);  // "Are you sure to quit?" once the walk has ended
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes_.texts().last(), "Are you sure to quit?");
}

TEST(PlaylistImport, NamesAndReaders) {
    const struct {
        const char* file;
        const char* imported;
        const char* saved;
        PlaylistFormat reader;
    } rows[] = {
        {"/p/rock.m3u", "rock_m3u", "rock_m3u", PlaylistFormat::M3u},
        {"/p/best.of.pls", "best_pls", "best_pls", PlaylistFormat::Pls},
        {"/p/set.pls", "set_pls", "set_pls", PlaylistFormat::Pls},
        {"/p.d/mix.M3U", "mix_pls", "mix_m3u", PlaylistFormat::M3u},
        {"/p/road trip", "road trip_pls", "road trip_m3u", PlaylistFormat::Pls},
        {"list.txt", "list_pls", "list_m3u", PlaylistFormat::Pls},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ImportedPlaylistName(row.file), row.imported) << row.file;
        EXPECT_EQ(SavedPlaylistName(row.file), row.saved) << row.file;
        EXPECT_EQ(ImportedPlaylistFormat(row.file), row.reader) << row.file;
    }
}

class Import : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        start();
        music_ = testenv::makeTempDir("music");
        mwtest::makeMp3(music_ + "/a.mp3", {"A", "AC/DC", "Sky", "", "", "", 255});
        mwtest::makeOgg(music_ + "/b.ogg", {"B", "Heron", "Sea", "Jazz", "1999", ""});
        mwtest::makeMp3(music_ + "/c.mp3", {"C", "Heron", "Sea", "", "", ""});
        mwtest::makeWav(music_ + "/d.WAV");
        testenv::writeFile(music_ + "/x.flac", "fLaC");
        testenv::writeFile(music_ + "/broken.ogg", "OggS and nothing a reader takes");
    }

    // Imports a playlist file through "Add Playlist" and its dialog.
    void importFile(const std::string& name, const std::string& text) {
        const std::string file = music_ + "/" + name;
        testenv::writeFile(file, text);
        dialogs_.chooseNext({QString::fromStdString(file)});
        window_->AddPlyalist1Click();
    }
    std::vector<std::string> names(const std::string& playlist) const {
        std::vector<std::string> out;
        for (const TrackRecord& r : LoadTrackRecords(JoinPath(PlaylistFolder(), playlist + ".dat")))
            out.push_back(r.Path.substr(r.Path.rfind('/') + 1) + (r.Year.empty() ? "" : ":" + r.Year));
        return out;
    }
    std::vector<std::string> playlistNodes() const { return tree()->content().playlists; }

    std::string music_;
};

TEST_F(Import, M3uAndPlsFilesBecomeLibraryPlaylistsSavedAtOnceAndASecondImportRefillsOne) {
    const struct {
        const char* file;
        std::string text;
        const char* node;
        std::vector<std::string> records;
    } rows[] = {
        // Relative and absolute entries; blank, comment and foreign lines;
        // an entry missing, one of another kind, one no reader takes.
        {"rock.m3u",
         "#EXTM3U\r\n#EXTINF:12.5,Bee\r\nb.ogg\r\n\r\n" + music_ + "/a.mp3\r\n# note\r\nmissing.mp3\r\nx.flac\r\n"
         "broken.ogg\r\nc.mp3\r\nd.WAV\r\n",
         "rock_m3u",
         {"b.ogg:1999", "a.mp3", "c.mp3", "d.WAV"}},
        // A plain list keeps its first entry.
        {"plain.m3u", "c.mp3\nmissing.mp3\nbroken.ogg\nb.ogg\n", "plain_m3u", {"c.mp3", "b.ogg:1999"}},
        // Another program's PLS, keys out of order and a count that lies.
        {"best.of.pls",
         "[playlist]\r\nFile2=c.mp3\r\nTitle2=Cee\r\nFile1=" + music_ +
             "/a.mp3\r\nNumberOfEntries=9\r\nFile3=missing.ogg\r\nLength3=-1\r\nFile4=broken.ogg\r\n",
         "best_pls",
         {"a.mp3", "c.mp3"}},
    };
    for (const auto& row : rows) {
        boxes_.clear();
        importFile(row.file, row.text);
        EXPECT_EQ(names(row.node), row.records) << row.file;
        EXPECT_EQ(boxes_.texts(), QStringList{"2 file(s) could not be read and were skipped."}) << row.file;
        ASSERT_TRUE(tree()->findPlaylist(row.node)) << row.file;
        EXPECT_EQ(LibraryTree::imageOf(tree()->findPlaylist(row.node)), 0);
    }
    EXPECT_EQ(playlistNodes(), (std::vector<std::string>{"rock_m3u", "plain_m3u", "best_pls"}));
    EXPECT_EQ(slurp(data_ + "treetext.txt"), FormatTreeText(tree()->content()));
    EXPECT_EQ(IniFile().readString("File Manager", "add playlist path", ""), music_);

    // The import's record: the builder's fields, no date added.
    const std::vector<TrackRecord> rock = LoadTrackRecords(JoinPath(PlaylistFolder(), "rock_m3u.dat"));
    EXPECT_EQ(rock[1].Artist, "ACDC");
    EXPECT_EQ(rock[1].Genre, "");  // genre byte 255: none
    for (const TrackRecord& r : rock) EXPECT_EQ(r.DateAdded, 0.0);

    // A second import of one name refills its playlist, and the list showing it.
    click(tree()->findPlaylist("rock_m3u"));
    EXPECT_EQ(window_->ListModel->rowCount(), 4);
    importFile("rock.m3u", "c.mp3\n");
    EXPECT_EQ(names("rock_m3u"), std::vector<std::string>{"c.mp3"});
    EXPECT_EQ(playlistNodes(), (std::vector<std::string>{"rock_m3u", "plain_m3u", "best_pls"}));
    EXPECT_EQ(window_->ListModel->rowCount(), 1);
}

TEST_F(Import, AnUnreadableSourceMakesNothing) {
    dialogs_.chooseNext({QString::fromStdString(music_ + "/gone.pls")});
    window_->AddPlyalist1Click();
    ::mkfifo((music_ + "/pipe.m3u").c_str(), 0600);
    window_->ImportPlaylistFile(QString::fromStdString(music_ + "/pipe.m3u"));
    EXPECT_EQ(boxes_.texts(), (QStringList{"Cannot open file " + QString::fromStdString(music_) + "/gone.pls",
                                           "Cannot open file " + QString::fromStdString(music_) + "/pipe.m3u"}));
    EXPECT_EQ(boxes_.titles(), (QStringList{"Error", "Error"}));
    EXPECT_TRUE(playlistNodes().empty());
    EXPECT_TRUE(fs::is_empty(PlaylistFolder()));
}

// An entry whose path holds a NUL byte is refused and told with the files
// that could not be read; the entries around it are imported.
TEST_F(Import, AnEntryWithANulByteIsRefusedAndCounted) {
    importFile("nul.m3u", std::string("#EXTM3U\nc.mp3\na.mp3\0.ogg\nb.ogg\n", 31));
    EXPECT_EQ(names("nul_m3u"), (std::vector<std::string>{"c.mp3", "b.ogg:1999"}));
    EXPECT_EQ(boxes_.texts(), QStringList{"1 file(s) could not be read and were skipped."});
    ASSERT_EQ(boxes_.requests().size(), 1u);
    EXPECT_TRUE(boxes_.requests()[0].details.contains(u"a.mp3\uFFFD.ogg")) << boxes_.requests()[0].details.toStdString();
}

TEST_F(Import, ASavedPlaylistIsRegisteredFromTheWindowsRows) {
    window_->RegisterSavedPlaylist(music_ + "/set.pls", {{"A", "", music_ + "/a.mp3"},
                                                         {"Gone", "", music_ + "/gone.mp3"},
                                                         {"D", "00:01", music_ + "/d.WAV"},
                                                         {"A again", "", music_ + "/a.mp3"}});
    EXPECT_EQ(names("set_pls"), (std::vector<std::string>{"a.mp3", "d.WAV", "a.mp3"}));
    EXPECT_EQ(boxes_.texts(), QStringList{"1 file(s) could not be read and were skipped."});
    EXPECT_EQ(slurp(data_ + "treetext.txt"), FormatTreeText({{}, {"set_pls"}, {}}));
}

}  // namespace
