// Removing tracks: the selected rows' records, whole nodes, clearing a list,
// the artist and album nodes that go with their last record, and the player
// stopped before its file's record goes.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>

#include "library/treetext.h"
#include "mainwindowfixture.h"

namespace fs = std::filesystem;
using mwtest::rec;
using mwtest::slurp;

namespace {

class Removal : public MainWindow {
protected:
    // s1 and s2 by Kestrel on "Sky", s3 by Heron on "Sea", s4 by Heron on "Sky".
    void startWithLibrary() {
        records_ = {rec("s1", "Kestrel", "Sky"), rec("s2", "Kestrel", "Sky"), rec("s3", "Heron", "Sea"),
                    rec("s4", "Heron", "Sky")};
        writeLibrary(records_);
        start();
        tree()->setContent({{"Kestrel", "Heron"}, {}, {"Sky", "Sea"}});
    }

    std::vector<std::string> library() const { return stored(&TrackRecord::Title); }

    std::string playlistFile(const std::string& name, const std::vector<TrackRecord>& records) {
        CreateFolderPath(PlaylistFolder());
        const std::string file = JoinPath(PlaylistFolder(), name + ".dat");
        TrackFileWriter w(file);
        for (const TrackRecord& r : records) w.append(r);
        w.close();
        tree()->ensurePlaylist(QString::fromStdString(name));
        return file;
    }

    std::string savedTree() const { return slurp(data_ + "treetext.txt"); }

    // Delete with rows picked in the list, which then owns the command.
    void deleteRows(const std::vector<int>& rows) {
        window_->SelectRows(rows);
        window_->TreeFocused = false;
        window_->DeleteFileRecords();
    }
    // Delete with the tree's node focused.
    void deleteNode(QTreeWidgetItem* node) {
        click(node);
        window_->TreeFocused = true;
        window_->DeleteFileRecords();
    }

    std::vector<TrackRecord> records_;
};

TEST_F(Removal, SelectedRowsOfASortedListLeaveExactlyTheirRecords) {
    records_ = {rec("E", "a", "x"), rec("B", "a", "x"), rec("D", "a", "x"), rec("A", "a", "x"), rec("C", "a", "x")};
    writeLibrary(records_);
    start();
    click(tree()->allTitleNode());
    window_->lv_playlistColumnClick(0);
    ASSERT_EQ(listed(), (QStringList{"A", "B", "C", "D", "E"}));
    deleteRows({1, 3});

    std::string expected;
    for (int i : {0, 3, 4}) {
        const TrackRecordBytes bytes = EncodeTrackRecord(records_[static_cast<std::size_t>(i)]);
        expected.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    EXPECT_EQ(slurp(data_ + "music.dat"), expected) << "the kept records keep their bytes and their order";
    EXPECT_EQ(listed(), (QStringList{"A", "C", "E"}));
}

TEST_F(Removal, AnAlbumNodeStaysWhileARecordNamesItAndAnArtistGoesWithItsLast) {
    startWithLibrary();
    click(tree()->findAlbum("Sky"));
    ASSERT_EQ(listed(), (QStringList{"s1", "s2", "s4"}));
    deleteRows({0});
    EXPECT_EQ(library(), (std::vector<std::string>{"s2", "s3", "s4"}));
    EXPECT_EQ(tree()->content(), (LibraryTreeContent{{"Kestrel", "Heron"}, {}, {"Sky", "Sea"}}));

    deleteRows({0});
    EXPECT_EQ(library(), (std::vector<std::string>{"s3", "s4"}));
    EXPECT_EQ(tree()->content(), (LibraryTreeContent{{"Heron"}, {}, {"Sky", "Sea"}}))
        << "Kestrel has no record left; Heron still names \"Sky\"";
    EXPECT_EQ(tree()->currentItem(), tree()->findAlbum("Sky"));
    EXPECT_EQ(savedTree(), FormatTreeText(tree()->content()));
}

TEST_F(Removal, DeleteNodeOnAnArtistTakesItsRecordsAndTheAlbumsNoOneElseNames) {
    startWithLibrary();
    deleteNode(tree()->findArtist("Heron"));
    EXPECT_EQ(library(), (std::vector<std::string>{"s1", "s2"}));
    EXPECT_EQ(tree()->content(), (LibraryTreeContent{{"Kestrel"}, {}, {"Sky"}}));
    EXPECT_EQ(tree()->currentItem(), nullptr) << "no neighbour is taken for the deleted node";
    EXPECT_EQ(window_->ListModel->rowCount(), 0);
    EXPECT_EQ(savedTree(), FormatTreeText(tree()->content()));
}

TEST_F(Removal, APlaylistLosesItsNodeWhenEmptiedItsFileStaysAndItsClearEmptiesTheLibraryOnly) {
    startWithLibrary();
    const std::string tracks = slurp(data_ + "music.dat");
    const std::string mix = playlistFile("Mix", {records_[0], records_[2]});
    const std::string solo = playlistFile("Solo", {records_[3]});

    deleteNode(tree()->findPlaylist("Mix"));
    EXPECT_TRUE(fs::exists(mix) && fs::file_size(mix) == 0);
    EXPECT_EQ(tree()->findPlaylist("Mix"), nullptr);

    click(tree()->findPlaylist("Solo"));
    deleteRows({0});
    EXPECT_EQ(fs::file_size(solo), 0u);
    EXPECT_EQ(tree()->findPlaylist("Solo"), nullptr) << "its last row went from the list";
    EXPECT_EQ(slurp(data_ + "music.dat"), tracks) << "the library keeps the playlists' tracks";
    EXPECT_EQ(tree()->content().artists, (std::vector<std::string>{"Kestrel", "Heron"}));

    // Clear on a playlist takes its tracks from the library, not from its file.
    playlistFile("Mix", {records_[2], records_[3]});
    click(tree()->findPlaylist("Mix"));
    window_->ClearFileRecords();
    EXPECT_EQ(library(), (std::vector<std::string>{"s1", "s2"}));
    EXPECT_EQ(tree()->content().artists, std::vector<std::string>{"Kestrel"});
    click(tree()->findPlaylist("Mix"));
    EXPECT_EQ(listed(), (QStringList{"s3", "s4"}));
}

TEST_F(Removal, MyHabitTheTreesFocusAndAnEmptySelectionRemoveNothing) {
    writeLibrary({rec("played", "a", "x", 5)});
    start();
    const std::string library = slurp(data_ + "music.dat");
    click(tree()->myHabitNode());
    deleteRows({0});
    EXPECT_EQ(slurp(data_ + "music.dat"), library);
    EXPECT_EQ(window_->ListModel->rowCount(), 1);

    // The tree has the focus on "All Title": the row leaves the list only.
    click(tree()->allTitleNode());
    window_->SelectRows({0});
    window_->TreeFocused = true;
    window_->DeleteFileRecords();
    EXPECT_EQ(slurp(data_ + "music.dat"), library);
    EXPECT_EQ(window_->ListModel->rowCount(), 0);

    tree()->ensureArtist("a");
    click(tree()->findArtist("a"));
    deleteRows({});
    EXPECT_EQ(slurp(data_ + "music.dat"), library);
    EXPECT_EQ(savedTree(), FormatTreeText({{"a"}, {}, {}})) << "only the tree is saved";
}

TEST_F(Removal, ALibraryFileThatCannotBeRewrittenKeepsEveryRecordAndClearAllTitleKeepsThePlaylists) {
    startWithLibrary();
    click(tree()->allTitleNode());
    const std::string library = slurp(data_ + "music.dat");
    const std::string tree0 = savedTree();

    // As on a full disk: root is not stopped by permission bits.
    rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit small {1000, old.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    deleteRows({0, 3});
    ::setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_EQ(slurp(data_ + "music.dat"), library);
    ASSERT_EQ(boxes_.requests().size(), 1u);
    EXPECT_EQ(boxes_.requests()[0].kind, MessageKind::Error);
    EXPECT_EQ(window_->ListModel->rowCount(), 4) << "the list shows what the file holds";
    EXPECT_EQ(tree()->content().artists.size(), 2u);
    EXPECT_EQ(savedTree(), tree0);

    // Clear on "All Title" asks first and keeps the playlists.
    tree()->ensurePlaylist("P1");
    tree()->ensurePlaylist("P2");
    boxes_.clear();
    boxes_.answerNext(MessageAnswer::No);
    window_->ClearFileRecords();
    ASSERT_EQ(boxes_.requests().size(), 1u);
    EXPECT_EQ(std::pair(boxes_.requests()[0].title, boxes_.requests()[0].buttons),
              std::pair(QString("Confirm"), MessageButtons::YesNo));
    EXPECT_EQ(boxes_.requests()[0].text,
              "Are you sure to remove all the file records?\nYour files will not be removed from your computer.");
    EXPECT_EQ(slurp(data_ + "music.dat"), library) << "No changes nothing";
    EXPECT_EQ(window_->ListModel->rowCount(), 4);

    window_->ClearFileRecords();
    EXPECT_TRUE(fs::exists(data_ + "music.dat") && fs::file_size(data_ + "music.dat") == 0);
    EXPECT_EQ(tree()->content(), (LibraryTreeContent{{}, {"P1", "P2"}, {}}));
    EXPECT_EQ(window_->ListModel->rowCount(), 0);
}

TEST_F(Removal, ClearOnAnAlbumCalledAllTitleRemovesOnlyThatAlbum) {
    writeLibrary({rec("odd", "Kestrel", "All Title"), rec("s1", "Kestrel", "Sky"), rec("s2", "Heron", "Sky")});
    start();
    tree()->setContent({{"Kestrel", "Heron"}, {}, {"All Title", "Sky"}});
    click(tree()->findAlbum("All Title"));
    ASSERT_EQ(listed(), QStringList{"odd"});
    window_->ClearFileRecords();
    EXPECT_EQ(library(), (std::vector<std::string>{"s1", "s2"}));
    EXPECT_EQ(tree()->content(), (LibraryTreeContent{{"Kestrel", "Heron"}, {}, {"Sky"}}));
}

TEST_F(Removal, RemovingThePlayingTrackAmongOthersStopsThePlayer) {
    showAllTitle({track("a.wav", "a", 16000), track("b.wav", "b", 16000), track("c.wav", "c", 16000),
                  track("d.wav", "d", 16000)});
    auto playing = [this] { return window_->IsPlaying || window_->AudioPlayer21->isPlaying(); };
    playRow(2);
    ASSERT_TRUE(window_->IsPlaying);

    deleteRows({0, 1, 2});
    EXPECT_FALSE(playing()) << "the third selected row was playing";
    EXPECT_EQ(window_->SkinFileNameText->getText(), "");
    EXPECT_EQ(library(), std::vector<std::string>{"d"});

    playRow(0);
    ASSERT_TRUE(window_->IsPlaying);
    click(tree()->allTitleNode());
    window_->ClearFileRecords();
    EXPECT_FALSE(playing());
    EXPECT_EQ(window_->SkinFileNameText->getText(), "");
}

}  // namespace
