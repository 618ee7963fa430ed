// Playlists into the library: the names, the records of an imported M3U or
// PLS file and of a saved playlist window list, a second import of one
// name, and a source that cannot be read.

#include <gtest/gtest.h>

#include <filesystem>

#include "library/playlistimport.h"
#include "mainwindowfixture.h"
#include "mainwindowsupport.h"
#include "platform/inifile.h"

namespace fs = std::filesystem;
using mwtest::slurp;

namespace {

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

TEST_F(Import, M3uAndPlsFilesBecomeLibraryPlaylistsSavedAtOnce) {
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
    EXPECT_EQ(rock[1].Genre, "Other");
    for (const TrackRecord& r : rock) EXPECT_EQ(r.DateAdded, 0.0);
}

TEST_F(Import, ASecondImportRefillsTheOnePlaylistShownInTheList) {
    importFile("rock.m3u", "a.mp3\nb.ogg\n");
    click(tree()->findPlaylist("rock_m3u"));
    EXPECT_EQ(window_->ListModel->rowCount(), 2);
    importFile("rock.m3u", "c.mp3\n");
    EXPECT_EQ(names("rock_m3u"), std::vector<std::string>{"c.mp3"});
    EXPECT_EQ(playlistNodes(), std::vector<std::string>{"rock_m3u"});
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
