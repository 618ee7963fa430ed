// The tag editor: its rows and files without a window, then the window on a
// host of the test's own, so that focus, questions and failures are seen as
// the user meets them. Then the main window's menus: every tool command
// against its row of the menu table, the Playlist menu, the association
// window on a private XDG_CONFIG_HOME, and the tag editor opened on the main
// window.
#include <gtest/gtest.h>

#include <QAction>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QWindow>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <functional>
#include <map>

#include "../mainwindow/mainwindowfixture.h"
#include "../mainwindow/mainwindowsupport.h"
#include "../tags/tagsamples.h"
#include "library/about.h"
#include "library/associate.h"
#include "library/desktopentry.h"
#include "library/id3.h"
#include "library/mainfilter.h"
#include "library/more.h"
#include "library/librarytree.h"
#include "library/playlist.h"
#include "library/records/trackfile.h"
#include "library/tageditorhost.h"
#include "library/tracklibrary.h"
#include "library/treetext.h"
#include "platform/fakes.h"
#include "skin/combobox.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

ID3v1Block v1Of(const std::string& path) {
    ID3v1Block block;
    ReadID3v1Tag(path, block);
    return block;
}

std::string mp3(const std::string& dir, const std::string& name, int genreByte, const std::string& v2Artist = "") {
    mwtest::Tags tags{"Title " + name, "Artist " + name, "Album", "", "1999", "note", genreByte};
    const std::string path = mwtest::makeMp3(dir + "/" + name + ".mp3", tags);
    if (!v2Artist.empty()) {
        ID3StructV2 v2;
        v2.Title = "Long title of " + name + " beyond thirty characters";
        v2.Artist = v2Artist;
        v2.Track = "3/12";
        EXPECT_TRUE(WriteID3v2Tag(path, v2).ok);
    }
    return path;
}

// What the main window gives the editor, on files of the test.
class FakeHost final : public TagEditorHost {
public:
    explicit FakeHost(const std::string& root)
        : library(root + "/record/", root + "/playlist"), target{library.musicFile(), true} {
        fs::create_directories(root + "/record");
        fs::create_directories(root + "/playlist");
    }
    TrackLibrary library;
    LibraryTree tree;
    std::vector<TagEditTrack> tracks;
    EditedRecordFile target;
    std::string playing;
    std::vector<std::string> log;  // stops, releases, saves, shown rows, in order

    std::vector<TagEditTrack> TracksToEdit() override { return tracks; }
    bool PlaysFile(const std::string& path) const override { return path == playing; }
    void StopPlaybackForEdit() override {
        playing.clear();
        log.push_back("stop");
    }
    void ReleaseFile(const std::string& path) override { log.push_back("release " + path); }
    const TrackLibrary& EditedLibrary() const override { return library; }
    EditedRecordFile RecordFileOfSelectedNode() const override { return target; }
    LibraryTree* EditedTree() override { return &tree; }
    void SaveEditedTree() override {
        library.saveTree(tree.content());
        log.push_back("save");
    }
    void ShowEditedRecord(int row, const TrackRecord& r) override {
        log.push_back("row " + std::to_string(row) + " " + r.Artist);
    }
    void SetLibraryBusy(bool) override {}
    void ShowPlayingRow() override { log.push_back("playing row"); }
    SkinEngine* EditorSkin() const override { return nullptr; }
};

class TagEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testenv::makeTempDir("edit");
        host_ = std::make_unique<FakeHost>(dir_);
    }
    // The window shown and active on tracks of these paths, in the list's
    // rows 10, 11...; their records in music.dat.
    void open(const std::vector<std::string>& paths) {
        TrackFileWriter writer(host_->library.musicFile());
        for (std::size_t i = 0; i < paths.size(); ++i) {
            host_->tracks.push_back({paths[i], "row" + std::to_string(i), static_cast<int>(10 + i)});
            TrackRecord r;
            r.Path = paths[i];
            r.Title = "old";
            r.Artist = "Old Artist";
            r.Album = "Old Album";
            r.Genre = "Rock";
            r.PlayCount = 7;
            writer.append(r);
        }
        writer.close();
        window_ = std::make_unique<Tfm_Id3>();
        window_->setHost(host_.get());
        window_->show();
        QApplication::setActiveWindow(window_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }
    // Gives a control the focus, as a click or Tab would.
    void focus(QWidget* w) {
        w->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
    void type(QLineEdit* edit, const QString& text) {
        focus(edit);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    TrackRecord record(std::size_t i) const { return ReadTrackRecordAt(host_->library.musicFile(), i); }

    std::string dir_;
    std::unique_ptr<FakeHost> host_;
    std::unique_ptr<Tfm_Id3> window_;
    FakeMessageBoxes boxes_;
};

// Fields and genres reach the ID3v1 block as the rules say; an untouched
// block byte is written back as it was, and only the changed page is written.
TEST_F(TagEditorTest, Id3v1FieldsAndGenreRules) {
    struct Row {
        const char* what;
        int byteRead;  // -1: no block
        std::function<void(TagEditor&)> edit;
        int byteWritten;
        const char* recordGenre;
    };
    const std::string longTitle(40, 'T');
    const Row rows[] = {
        {"title only keeps 17", 17, [&](TagEditor& e) { e.setField(TagPage::V1, TagField::Title, longTitle, {0}); }, 17, "Rock"},
        {"title only keeps 200", 200, [](TagEditor& e) { e.setField(TagPage::V1, TagField::Title, "x", {0}); }, 200, "Other"},
        {"no block gets none", -1, [](TagEditor& e) { e.setField(TagPage::V1, TagField::Title, "x", {0}); }, 255, ""},
        {"79 stays 79", 255, [](TagEditor& e) { e.setGenre(TagPage::V1, 79, {0}); }, 79, "Hard Rock"},
        {"78 stays 78", 3, [](TagEditor& e) { e.setGenre(TagPage::V1, 78, {0}); }, 78, "Rock & Rol"},
        {"147 stays 147", 3, [](TagEditor& e) { e.setGenre(TagPage::V1, 147, {0}); }, 147, "SynthPop"},
        {"clear gives none", 17, [](TagEditor& e) { e.clearPage(TagPage::V1, {0}); }, 255, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = mwtest::makeMp3(testenv::makeTempDir("g") + "/a.mp3",
                                                 {"Song", "Artist", "Album", "", "2001", "note", row.byteRead},
                                                 row.byteRead >= 0);
        const std::string audioBefore = tagsamples::decodedMd5(path);
        const std::string headBefore = testenv::readFile(path).substr(0, 512);
        TagEditor editor;
        editor.load({{path, "a", 0}});
        EXPECT_EQ(editor.shownGenre(0, TagPage::V1), row.byteRead >= 0 && row.byteRead <= 147 ? row.byteRead : -1);
        row.edit(editor);
        ASSERT_EQ(editor.writeTags(0), std::nullopt);
        const ID3v1Block block = v1Of(path);
        EXPECT_EQ(block.genre(), row.byteWritten);
        TrackRecord r;
        editor.updateRecord(0, r);
        EXPECT_EQ(r.Genre, row.recordGenre);
        EXPECT_EQ(tagsamples::decodedMd5(path), audioBefore);
        // No ID3v2 tag was made for an edit of page V1.
        EXPECT_EQ(testenv::readFile(path).substr(0, 512), headBefore);
        if (row.byteRead == 17 && row.byteWritten == 17) {
            EXPECT_EQ(block.title(), std::string(30, 'T'));
            EXPECT_EQ(r.Title, longTitle);
        }
    }
}

// Both tags of a file changed on a full disk: the ID3v2 tag, which has to
// grow into a new file, fails first and the block at the end stays as it
// was, so the file is left whole; the failure names it.
TEST_F(TagEditorTest, AFullDiskLeavesAFileWhoseTagsBothChangedAsItWas) {
    const std::string path = mp3(dir_, "a", 17, "V2 Artist");
    const std::string before = testenv::readFile(path);
    const int status = testenv::inChild(
        [&] {
            TagEditor editor;
            editor.load({{path, "a", 0}});
            editor.setField(TagPage::V1, TagField::Title, "New title", {0});
            editor.setField(TagPage::V2, TagField::Comment, std::string(90, 'c'), {0});
            const std::optional<std::string> error = editor.writeTags(0);
            if (!error) return 1;
            return error->find(path) != std::string::npos ? 0 : 2;
        },
        before.size());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(testenv::readFile(path), before);
}

// OK sweeps the folders it writes in: the temporary of a killed writer
// goes, even where every tag is written in place; one whose writer still
// runs stays.
TEST_F(TagEditorTest, WritingTagsSweepsStaleTemporariesFromTheirFolders) {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string folder = testenv::makeTempDir("swept");
    const std::string a = mp3(folder, "a", 17), b = mp3(folder, "b", 17);
    const std::string stale = a + ".tmp-" + std::to_string(gone) + "-abcDE1";
    const std::string running = b + ".tmp-" + std::to_string(::getpid()) + "-abcDE2";
    testenv::writeFile(stale, "left");
    testenv::writeFile(running, "busy");
    TagEditor editor;
    editor.load({{a, "a", 0}, {b, "b", 1}});
    editor.setField(TagPage::V1, TagField::Title, "New", {0, 1});
    const auto results = editor.writeTagsOf({0, 1}, {});
    EXPECT_EQ(results, (std::vector<std::optional<std::string>>{std::nullopt, std::nullopt}));
    EXPECT_EQ(v1Of(b).title(), "New");
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(running));
}

// A track read as a zero and a number shows that number; one nobody typed
// goes back byte for byte, a typed or copied number 1 to 255 as a zero and
// the number, other text as two text bytes.
TEST_F(TagEditorTest, Id3v1TracksKeepTheirFormUnlessTypedOrCopied) {
    const struct {
        const char* what;
        uint8_t read125, read126;
        const char* shown;
        std::function<void(TagEditor&)> edit;
        uint8_t written125, written126;
    } rows[] = {
        {"untouched number", 0, 7, "7", [](TagEditor& e) { e.setField(TagPage::V1, TagField::Title, "x", {0}); }, 0, 7},
        {"untouched text", '1', '2', "12", [](TagEditor& e) { e.setField(TagPage::V1, TagField::Artist, "y", {0}); },
         '1', '2'},
        {"untouched odd text", '0', '7', "07", [](TagEditor& e) { e.setGenre(TagPage::V1, 17, {0}); }, '0', '7'},
        {"typed number", 0, 7, "7", [](TagEditor& e) { e.setField(TagPage::V1, TagField::Track, "5", {0}); }, 0, 5},
        {"typed over text", '1', '2', "12", [](TagEditor& e) { e.setField(TagPage::V1, TagField::Track, "12", {0}); },
         0, 12},
        {"typed 200", 0, 7, "7", [](TagEditor& e) { e.setField(TagPage::V1, TagField::Track, "200", {0}); }, 0, 200},
        {"typed text", 0, 7, "7", [](TagEditor& e) { e.setField(TagPage::V1, TagField::Track, "A", {0}); }, 'A', 0},
        {"copied", 0, 7, "7",
         [](TagEditor& e) {
             id3tag shown;
             shown.Track = "9";
             e.copyToPage(TagPage::V1, shown, -1, {0});
         },
         0, 9},
        {"cleared", 0, 7, "7", [](TagEditor& e) { e.clearPage(TagPage::V1, {0}); }, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = mp3(testenv::makeTempDir("t"), "a", 17);
        std::string bytes = testenv::readFile(path);
        bytes[bytes.size() - 3] = static_cast<char>(row.read125);
        bytes[bytes.size() - 2] = static_cast<char>(row.read126);
        testenv::writeFile(path, bytes);
        TagEditor editor;
        editor.load({{path, "a", 0}});
        EXPECT_EQ(editor.row(0).v1.Track, row.shown);
        row.edit(editor);
        ASSERT_EQ(editor.writeTags(0), std::nullopt);
        const ID3v1Block block = v1Of(path);
        EXPECT_EQ(block.bytes[125], row.written125);
        EXPECT_EQ(block.bytes[126], row.written126);
    }
}

TEST_F(TagEditorTest, TypedValuesAreCutToTheirFieldsAndReadValuesStayWhole) {
    const std::string path = mp3(dir_, "a", 17, "Real Artist");
    TagEditor editor;
    editor.load({{path, "a", 0}});
    EXPECT_EQ(editor.row(0).v2.Track, "3/12");  // wider than the field, kept
    std::string accents;
    for (int i = 0; i < 41; ++i) accents += "\xC3\xA9";  // 82 bytes
    editor.setField(TagPage::V2, TagField::Title, accents, {0});
    editor.setField(TagPage::V1, TagField::Track, "1234", {0});
    editor.setField(TagPage::V1, TagField::Year, "2001-05-17", {0});
    EXPECT_EQ(editor.row(0).v2.Title, accents.substr(0, 80));
    EXPECT_EQ(editor.row(0).v1.Track, "12");
    // A track number up to 255 is a number, not two characters of text.
    EXPECT_EQ(CutToField(TagField::Track, "123"), "123");
    EXPECT_EQ(CutToField(TagField::Track, "256"), "25");
    EXPECT_EQ(CutToField(TagField::Track, "3/12"), "3/");
    EXPECT_EQ(editor.row(0).v1.Year, "2001-05-");
    ASSERT_EQ(editor.writeTags(0), std::nullopt);
    ID3StructV2 v2;
    ReadID3v2Tag(path, v2);
    EXPECT_EQ(v2.Track, "3/12");
    EXPECT_EQ(v2.Title, accents.substr(0, 80));
    EXPECT_EQ(v1Of(path).year(), "2001");
    // Outside readers see the same tag; the record takes ID3v2's fields.
    const auto tl = tagsamples::taglibTag(path);
    EXPECT_EQ(tl.at("artist"), "Real Artist");
    EXPECT_EQ(tl.at("title"), accents.substr(0, 80));
    EXPECT_EQ(tagsamples::mutagen("from mutagen.id3 import ID3\nt = ID3('" + path + "')\nprint(t['TRCK'].text[0])"),
              "3/12\n");
    TrackRecord r;
    editor.updateRecord(0, r);
    EXPECT_EQ(r.Artist, "Real Artist");
    EXPECT_EQ(r.Title, accents.substr(0, 80));
}

TEST_F(TagEditorTest, OggAndWmaTakePageV1AndKeepTheirAudio) {
    const std::string ogg = mwtest::makeOgg(dir_ + "/b.ogg", {"Song", "Artist", "Album", "Jazz", "1999", "c"});
    const std::string wma = mwtest::makeWma(dir_ + "/c.wma", {"Song", "Artist", "Album", "Jazz", "1999", "c"});
    const std::string oggAudio = tagsamples::decodedMd5(ogg), wmaAudio = tagsamples::decodedMd5(wma);
    TagEditor editor;
    editor.load({{ogg, "b", 0}, {wma, "c", 1}});
    EXPECT_EQ(editor.shownGenre(0, TagPage::V1), GenreItemOf("JAZZ"));
    editor.setField(TagPage::V1, TagField::Artist, "AC/DC", {0, 1});
    editor.setGenre(TagPage::V1, 17, {0, 1});
    for (std::size_t i : {0u, 1u}) {
        ASSERT_EQ(editor.writeTags(i), std::nullopt);
        const std::string path = editor.row(i).track.path;
        const auto tl = tagsamples::taglibTag(path);
        EXPECT_EQ((std::tuple(tl.at("artist"), tl.at("genre"), tl.at("album"))), (std::tuple("AC/DC", "Rock", "Album"))) << path;
        TrackRecord r;
        editor.updateRecord(i, r);
        EXPECT_EQ((std::pair(r.Artist, r.Genre)), (std::pair<std::string, std::string>("ACDC", "Rock")));
    }
    EXPECT_EQ(tagsamples::mutagen("f = mutagen.File('" + ogg + "')\nprint(f['artist'][0], f['genre'][0])"),
              "AC/DC Rock\n");
    EXPECT_EQ(tagsamples::decodedMd5(ogg), oggAudio);
    EXPECT_EQ(tagsamples::decodedMd5(wma), wmaAudio);
}

// Close deletes the artist and album nodes that no record names.
TEST_F(TagEditorTest, ClosePrunesTheNodesNoRecordNames) {
    TrackFileWriter writer(host_->library.musicFile());
    for (const auto& [artist, album] : std::vector<std::pair<std::string, std::string>>{
             {"A", "One"}, {"C", "Two"}, {"A", "Three"}, {"Unknown Artist", "One"}}) {
        TrackRecord r;
        r.Path = "/m/" + artist + album;
        r.Artist = artist;
        r.Album = album;
        writer.append(r);
    }
    writer.close();
    host_->tree.setContent({{"A", "B", "C", "B", "D", "a"}, {"P"}, {"Two", "Gone", "One", "Three", "Gone"}});
    host_->tree.setCurrentItem(host_->tree.findArtist("C"));
    const LibraryTreeContent pruned{{"A", "C"}, {"P"}, {"Two", "One", "Three"}};

    ASSERT_TRUE(PruneUnnamedNodes(host_->library, host_->tree));
    EXPECT_EQ(host_->tree.content(), pruned);
    EXPECT_EQ(host_->tree.currentItem(), host_->tree.findArtist("C"));
    EXPECT_EQ(host_->tree.findArtist("B"), nullptr);
    fs::remove(host_->library.musicFile());
    EXPECT_FALSE(PruneUnnamedNodes(host_->library, host_->tree));
    EXPECT_EQ(host_->tree.content(), pruned);
}

// Moving the focus through every field changes nothing; a typed artist goes
// into every selected row, and OK writes files, records, nodes and rows.
TEST_F(TagEditorTest, MultiEditTakesOnlyWhatWasTypedIntoTheLibraryOrAPlaylist) {
    open({mp3(dir_, "a", 17), mp3(dir_, "b", 200), mp3(dir_, "c", 5, "Kept V2")});
    Tfm_Id3& w = *window_;
    ASSERT_EQ(w.lv->rowCount(), 3);
    EXPECT_EQ(w.edt_v1artist->text(), "Artist a");
    w.selectRows({0, 1, 2});
    for (QWidget* c : std::initializer_list<QWidget*>{w.edt_v1title, w.edt_v1artist, w.edt_v1year, w.edt_v1album,
                                                      w.edt_v1comment, w.cb_genre, w.edt_v1track, w.lv})
        focus(c);
    w.pgc_id3->setCurrentIndex(1);
    for (QWidget* c : std::initializer_list<QWidget*>{w.edt_v2tit, w.edt_v2art, w.edt_v2year, w.edt_v2alb,
                                                      w.edt_v2com, w.cb_v2gen, w.edt_v2track, w.lv})
        focus(c);
    w.btn_okClick();
    EXPECT_TRUE(w.editor().changedRows().empty());
    EXPECT_EQ(v1Of(host_->tracks[1].path).genre(), 200);

    w.pgc_id3->setCurrentIndex(0);
    type(w.edt_v1artist, "Kestrel");
    focus(w.cb_genre);
    w.cb_genre->setCurrentIndex(79);
    emit w.cb_genre->activated(79);
    focus(w.btn_ok);  // the OK button takes the focus before its click
    w.btn_okClick();
    EXPECT_TRUE(boxes_.requests().empty());
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(v1Of(host_->tracks[i].path).artist(), "Kestrel");
        EXPECT_EQ(v1Of(host_->tracks[i].path).genre(), 79);
        EXPECT_EQ(record(i).PlayCount, 7);
    }
    EXPECT_EQ(v1Of(host_->tracks[0].path).title(), "Title a");
    EXPECT_EQ(record(0).Artist, "Kestrel");
    EXPECT_EQ(record(0).Genre, "Hard Rock");
    EXPECT_EQ(record(2).Artist, "Kept V2");  // the ID3v2 artist wins, as a rescan would show
    EXPECT_NE(host_->tree.findArtist("Kestrel"), nullptr);
    EXPECT_NE(host_->tree.findAlbum("Album"), nullptr);
    EXPECT_EQ(host_->log.back(), "save");
    EXPECT_EQ(std::count(host_->log.begin(), host_->log.end(), "row 10 Kestrel"), 1);
    EXPECT_TRUE(w.isVisible());

    // From a playlist's node the playlist's records take the edit; the
    // library and the tree stay.
    const std::string playlist = host_->library.playlistFolder() + "/Trip.dat";
    fs::copy_file(host_->library.musicFile(), playlist);
    const std::string library = testenv::readFile(host_->library.musicFile());
    host_->target = {playlist, false};
    type(w.edt_v1album, "Road");
    w.btn_okClick();
    EXPECT_EQ(ReadTrackRecordAt(playlist, 0).Album, "Road");
    EXPECT_EQ(testenv::readFile(host_->library.musicFile()), library);
    EXPECT_EQ(host_->tree.findAlbum("Road"), nullptr);

    w.Button1Click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.lv->rowCount(), 0);
    EXPECT_EQ(host_->log.back(), "playing row");
}

// A field set without a key press, as an assistive tool sets it through the
// accessibility interface (with or without the focus), is an edit that OK
// writes into every selected row; what the editor itself puts there is not.
TEST_F(TagEditorTest, AFieldChangedThroughTheAccessibilityInterfaceIsWritten) {
    open({mp3(dir_, "a", 17), mp3(dir_, "b", 200)});
    Tfm_Id3& w = *window_;
    // Each field is named after its label.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.edt_v1title)->text(QAccessible::Name), "Title");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.edt_v2com)->text(QAccessible::Name), "Comment");
    w.selectRows({0, 1});
    focus(w.lv);
    QAccessibleInterface* title = QAccessible::queryAccessibleInterface(w.edt_v1title);
    ASSERT_TRUE(title && title->editableTextInterface());
    title->editableTextInterface()->replaceText(0, static_cast<int>(w.edt_v1title->text().size()), "Spoken");
    EXPECT_EQ(w.edt_v1title->text(), "Spoken");
    focus(w.edt_v1album);
    QAccessible::queryAccessibleInterface(w.edt_v1album)->setText(QAccessible::Value, "Said Album");
    w.pgc_id3->setCurrentIndex(1);
    w.edt_v2art->setText("Set Artist");  // nor does a plain set need a key
    w.btn_okClick();
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(v1Of(host_->tracks[i].path).title(), "Spoken");
        EXPECT_EQ(v1Of(host_->tracks[i].path).album(), "Said Album");
        EXPECT_EQ(record(i).Artist, "Set Artist");
    }
    EXPECT_TRUE(w.editor().changedRows().empty());

    // Showing another row fills the fields: no edit.
    w.selectRows({1});
    w.selectRows({0});
    EXPECT_TRUE(w.editor().changedRows().empty());
}

// A genre set without the list's focus and without a pick, as an assistive
// tool sets it, is an edit OK writes into every selected row; filling the
// lists and showing a row are not.
TEST_F(TagEditorTest, AGenreSetWithoutAPickIsWritten) {
    open({mp3(dir_, "a", 17), mp3(dir_, "b", 200)});
    Tfm_Id3& w = *window_;
    w.selectRows({0, 1});
    w.selectRows({1});
    w.selectRows({0, 1});
    EXPECT_TRUE(w.editor().changedRows().empty());
    focus(w.edt_v1title);
    w.cb_genre->setCurrentIndex(79);
    w.btn_okClick();
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(v1Of(host_->tracks[i].path).genre(), 79);
        EXPECT_EQ(record(i).Genre, "Hard Rock");
    }
    EXPECT_TRUE(w.editor().changedRows().empty());
}

// The playing file is asked about whichever row it is. A file that cannot be
// written keeps its record and is told about; the other rows are written.
TEST_F(TagEditorTest, ThePlayingFileIsAskedAboutAndAFailingWriterLeavesOnlyItsRow) {
    open({mp3(dir_, "a", 17), mp3(dir_, "b", 17), mp3(dir_, "c", 17)});
    host_->playing = host_->tracks[2].path;
    window_->selectRows({0, 1, 2});
    type(window_->edt_v1artist, "Kestrel");
    focus(window_->lv);
    const QString question = "The current file is playing. Stop playing?";
    boxes_.answerNext(MessageAnswer::No);
    window_->btn_okClick();
    EXPECT_EQ(boxes_.texts(), QStringList{question});
    EXPECT_EQ(boxes_.requests()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(v1Of(host_->tracks[0].path).artist(), "Artist a");
    EXPECT_TRUE(host_->log.empty());

    // Row 2's file turns into a folder behind the editor's back.
    fs::remove(host_->tracks[1].path);
    fs::create_directory(host_->tracks[1].path);
    boxes_.answerNext(MessageAnswer::Yes);
    window_->btn_okClick();
    ASSERT_GE(host_->log.size(), 2u);
    EXPECT_EQ(std::vector(host_->log.begin(), host_->log.begin() + 2),
              (std::vector<std::string>{"stop", "release " + host_->tracks[0].path}));
    const std::string cannot = "Cannot write the tag of " + host_->tracks[1].path + ".";
    EXPECT_EQ(boxes_.texts(), (QStringList{question, question, QString::fromStdString(cannot)}));
    EXPECT_EQ(boxes_.titles().last(), "Error");
    EXPECT_TRUE(boxes_.requests()[2].details.contains("b.mp3")) << boxes_.requests()[2].details.toStdString();
    for (std::size_t i : {0u, 1u, 2u}) EXPECT_EQ(record(i).Artist, i == 1 ? "Old Artist" : "Kestrel") << i;
    EXPECT_EQ(v1Of(host_->tracks[2].path).artist(), "Kestrel");
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(window_->editor().changedRows(), (std::vector<std::size_t>{1}));
}

TEST_F(TagEditorTest, PreviousAndNextStopAtTheEndsAndPagesFollowTheKind) {
    const std::string ogg = mwtest::makeOgg(dir_ + "/b.ogg", {"Ogg Song", "Ogg Artist", "A", "Jazz", "1", "c"});
    open({mp3(dir_, "a", 17), ogg, mwtest::makeWav(dir_ + "/c.wav")});
    Tfm_Id3& w = *window_;
    w.Button2Click();
    EXPECT_EQ(w.selectedRows(), std::vector<int>{0});
    EXPECT_TRUE(w.pgc_id3->isTabVisible(1));
    EXPECT_EQ(w.cb_genre->currentIndex(), 17);
    w.Button3Click();
    EXPECT_EQ(w.selectedRows(), std::vector<int>{1});
    EXPECT_FALSE(w.pgc_id3->isTabVisible(1));
    EXPECT_FALSE(w.btn_v1copy->isEnabled());
    EXPECT_EQ(w.edt_v1artist->text(), "Ogg Artist");
    EXPECT_EQ(w.cb_genre->currentText(), "Jazz");
    w.Button3Click();
    w.Button3Click();
    EXPECT_EQ(w.selectedRows(), std::vector<int>{2});
    EXPECT_EQ(w.edt_v1artist->text(), "");
    EXPECT_TRUE(w.lv->hasFocus());
}

TEST_F(TagEditorTest, ExtendedTagsAreWrittenWithoutTakingTheFileFromThePlayerAndCopyAndClearCountAsChanges) {
    open({mp3(dir_, "a", 17, "V2 Artist")});
    const std::string path = host_->tracks[0].path;
    const std::string audio = tagsamples::decodedMd5(path);
    Tfm_more more;
    fm_more = &more;
    FakeWindowPresenter presenter;
    const std::array<QLineEdit*, 5> edits{more.infoCopyright, more.edt_composer, more.edt_origar, more.edt_encoded,
                                          more.edt_url};
    const QStringList values{"(c) 2001", "Bach", "Anon", "Tunevale", "http://example.org/a"};
    presenter.setModalHandler([&](QWidget* w) {
        EXPECT_EQ(w, &more);
        for (std::size_t i = 0; i < edits.size(); ++i) edits[i]->setText(values[static_cast<qsizetype>(i)]);
        more.btn_save->click();
        return QDialog::Accepted;
    });
    window_->btn_moreClick();
    EXPECT_TRUE(host_->log.empty());
    EXPECT_TRUE(boxes_.requests().empty());
    EXPECT_EQ(tagsamples::mutagen("from mutagen.id3 import ID3\nt = ID3('" + path + "')\n"
                                  "print(t['TCOP'].text[0], t['TCOM'].text[0], t['TOPE'].text[0], t['TENC'].text[0], "
                                  "t['TPE1'].text[0], sep='|')"),
              "(c) 2001|Bach|Anon|Tunevale|V2 Artist\n");
    EXPECT_EQ(tagsamples::decodedMd5(path), audio);

    // Shown again, it reads them back; Clear empties the fields only.
    presenter.setModalHandler([&](QWidget*) {
        for (std::size_t i = 0; i < edits.size(); ++i) EXPECT_EQ(edits[i]->text(), values[static_cast<qsizetype>(i)]);
        more.btn_clear->click();
        return QDialog::Rejected;
    });
    window_->btn_moreClick();
    EXPECT_EQ(more.edt_url->text(), "");
    more.show();
    more.btn_undo->click();  // Cancel leaves without saving
    EXPECT_FALSE(more.isVisible());
    fm_more = nullptr;

    // Copy and Clear are changes that OK writes.
    Tfm_Id3& w = *window_;
    w.btn_v1copyClick();
    EXPECT_EQ(w.edt_v1artist->text(), "V2 Artist");
    EXPECT_EQ(w.editor().row(0).v1.Artist, "V2 Artist");
    EXPECT_EQ(w.editor().row(0).v1.GenreIndex, -1);  // ID3v2 named no genre
    w.btn_v2clearClick();
    EXPECT_EQ(w.edt_v2year->text(), "0");
    EXPECT_EQ(w.editor().row(0).v2, (id3tag{-1, "", "", "", "", "", "", ""}));
    w.btn_okClick();
    ID3StructV2 v2;
    ReadID3v2Tag(path, v2);
    EXPECT_EQ(v2, ID3StructV2{});
    EXPECT_EQ(v1Of(path).artist(), "V2 Artist");
    EXPECT_EQ(v1Of(path).genre(), 255);
    // The file names no genre, and neither does its record.
    EXPECT_EQ(record(0).Genre, "");
}

// The tool and disc windows as plain dialogs; records the jobs handed over.
class FakeToolWindows final : public ToolWindows {
public:
    FakeToolWindows() {
        for (auto& w : windows_) w = std::make_unique<QDialog>();
    }
    QWidget* toolWindow(ToolWindow which) const override { return windows_[static_cast<std::size_t>(which)].get(); }
    void setJobMode(ToolWindow which, int mode) const override { jobs[toolWindow(which)] = mode; }
    QWidget* busyToolWindow() const override { return busy; }
    mutable std::map<QWidget*, int> jobs;  // by the window the job went to
    QWidget* busy = nullptr;

private:
    std::array<std::unique_ptr<QDialog>, 10> windows_;
};

class Menus : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        fm_dir = new Tfm_dir;
        fm_associate = new Tfm_associate;
        fm_about = new Tfm_about;
        fm_Id3 = new Tfm_Id3;
        fm_Id3->setHost(window_);
        window_->Tools = &tools_;
    }
    void TearDown() override {
        delete std::exchange(fm_dir, nullptr);
        delete std::exchange(fm_associate, nullptr);
        delete std::exchange(fm_about, nullptr);
        delete std::exchange(fm_Id3, nullptr);
        delete std::exchange(fm_playlist, nullptr);
        MainWindow::TearDown();
    }
    // One WAV track in "All Title", playing.
    void play() {
        if (!window_->IsPlaying) playRow(0);
        ASSERT_TRUE(window_->IsPlaying);
    }
    QWidget* tool(ToolWindow which) const { return tools_.toolWindow(which); }

    FakeToolWindows tools_;
    FakeWindowPresenter presenter_;
};

// A quit while a tool works says so, and asks over that tool's window.
TEST_F(Menus, AQuitDuringAToolsJobSaysSoOverThatWindow) {
    start();
    QWidget* recorder = tool(ToolWindow::Recorder);
    recorder->setWindowTitle("Recorder");
    recorder->show();
    tools_.busy = recorder;
    boxes_.answerNext(MessageAnswer::No);
    window_->close();
    ASSERT_EQ(boxes_.requests().size(), 1u);
    EXPECT_EQ(boxes_.texts()[0], "The Recorder window is still working: quitting stops its job.\nAre you sure to quit?");
    EXPECT_EQ(boxes_.requests()[0].parent, recorder);
    EXPECT_TRUE(window_->isVisible());

    // A tool that refuses to stop now (a disc being written) keeps the
    // program open even after a Yes.
    struct Refusing : QWidget {
        void closeEvent(QCloseEvent* e) override { e->ignore(); }
    } writer;
    writer.setWindowTitle("Audio CD Writer");
    writer.show();
    tools_.busy = &writer;
    boxes_.clear();
    boxes_.answerNext(MessageAnswer::Yes);
    window_->close();
    ASSERT_EQ(boxes_.requests().size(), 1u);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(writer.isVisible());

    tools_.busy = nullptr;
    boxes_.clear();
    boxes_.answerNext(MessageAnswer::No);
    window_->close();
    EXPECT_EQ(boxes_.texts(), QStringList{"Are you sure to quit?"});
    EXPECT_EQ(boxes_.requests()[0].parent, window_);
    recorder->hide();

    // Opened from here, the recorder is kept above this window.
    window_->Recorder1Click();
    ASSERT_TRUE(recorder->windowHandle());
    EXPECT_EQ(recorder->windowHandle()->transientParent(), window_->windowHandle());
    recorder->hide();
}

TEST_F(Menus, EachToolCommandStopsCaptionsAndShowsAsItsRowSays) {
    showAllTitle({track("tone.wav", "Tone", 8000)});

    struct Row {
        QAction* Tfm_main::*item;
        QWidget* window;
        const char* caption;  // nullptr: left as it is
        int Tfm_main::*jobMode;
        int mode;
        bool modal, stops;
    };
    using T = ToolWindow;
    const Row rows[] = {
        {&Tfm_main::CDRipper1, tool(T::Ripper), nullptr, nullptr, 0, true, true},
        {&Tfm_main::AudioCDRecorder1, tool(T::AudioWriter), nullptr, nullptr, 0, true, true},
        {&Tfm_main::DataCD1, tool(T::DataWriter), nullptr, nullptr, 0, true, true},
        {&Tfm_main::Recorder1, tool(T::Recorder), nullptr, nullptr, 0, false, false},
        {&Tfm_main::MPNormalize1, tool(T::Mp3Converter), "MP3 Normalize", &Tfm_main::Mp3JobMode, 0, true, true},
        {&Tfm_main::WAVOGGWMAtoMP31, tool(T::Mp3Converter), "TO MP3", &Tfm_main::Mp3JobMode, 1, true, true},
        {&Tfm_main::MP3OGGWMAtoWAV1, tool(T::WavConverter), "To WAV", &Tfm_main::WavJobMode, 1, true, true},
        {&Tfm_main::WAVMP3WMAtoOGG1, tool(T::OggConverter), "To OGG", &Tfm_main::OggJobMode, 1, true, true},
        {&Tfm_main::WAVMP3OGGtoWMA1, tool(T::WmaConverter), "To WMA", &Tfm_main::WmaJobMode, 1, true, true},
        {&Tfm_main::WAVNormalize1, tool(T::WavConverter), "WAV Normalize", &Tfm_main::WavJobMode, 0, true, true},
        {&Tfm_main::OGGNormalize1, tool(T::OggConverter), "OGG Normalize", &Tfm_main::OggJobMode, 0, true, true},
        {&Tfm_main::WMANormalize1, tool(T::WmaConverter), "WMA Normalize", &Tfm_main::WmaJobMode, 0, true, true},
        {&Tfm_main::Cut1, tool(T::Cutter), nullptr, nullptr, 0, true, true},
        {&Tfm_main::Combine1, tool(T::Combine), nullptr, nullptr, 0, true, true},
        {&Tfm_main::Rescan1, fm_dir, nullptr, nullptr, 0, true, true},
        {&Tfm_main::Rescan2, fm_dir, nullptr, nullptr, 0, true, true},
        {&Tfm_main::ID31, fm_Id3, nullptr, nullptr, 0, true, false},
        {&Tfm_main::ID3Tag1, fm_Id3, nullptr, nullptr, 0, true, false},
        {&Tfm_main::Connection1, fm_associate, nullptr, nullptr, 0, true, false},
        {&Tfm_main::About1, fm_about, nullptr, nullptr, 0, false, false},
    };
    for (const Row& row : rows) {
        QAction* item = window_->*row.item;
        SCOPED_TRACE(item->text().toStdString());
        play();
        const QString before = row.window->windowTitle();
        item->trigger();
        ASSERT_EQ(presenter_.last(), row.window);
        EXPECT_EQ(presenter_.shown().back().modal, row.modal);
        EXPECT_EQ(!window_->IsPlaying && !window_->Playback.isOpen(), row.stops);
        EXPECT_EQ(row.window->windowTitle(), row.caption ? QString::fromLatin1(row.caption) : before);
        if (row.jobMode) {
            EXPECT_EQ(window_->*row.jobMode, row.mode);
            EXPECT_EQ(tools_.jobs.at(row.window), row.mode);
        }
        if (row.modal && row.window != fm_Id3) {
            const QRect main = window_->frameGeometry();
            EXPECT_EQ(row.window->frameGeometry().left(), main.left() + (main.width() - row.window->frameGeometry().width()) / 2);
        }
        row.window->hide();
    }
    EXPECT_EQ(tool(T::Recorder)->frameGeometry().left(),
              window_->frameGeometry().left() + window_->lv_playlist->mapTo(window_, QPoint(0, 0)).x() + 105);

    // The About window closes on a click on its picture.
    fm_about->show();
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(fm_about->Image1, &release);
    EXPECT_FALSE(fm_about->isVisible());
}

TEST_F(Menus, PlaylistMenuActsOnThePlaylistWindow) {
    fm_playlist = new Tfm_playlist;
    start();
    const std::string b = dir_ + "/b.wav", a = dir_ + "/a.wav";
    WriteWav(b, 800);
    WriteWav(a, 800);
    dialogs_.chooseNext({QString::fromStdString(b), QString::fromStdString(a)});
    fm_playlist->AddFilesToPlaylist();
    ASSERT_EQ(fm_playlist->rowCount(), 2);
    window_->SelectAll1->trigger();
    EXPECT_EQ(fm_playlist->selectedRows(), (std::vector<int>{0, 1}));
    window_->UnselectAll1->trigger();
    EXPECT_TRUE(fm_playlist->selectedRows().empty());
    window_->Sort1->trigger();
    EXPECT_EQ(fm_playlist->rows()[0].path, a);

    // Random Play only while the window is there; Loop Playlist always.
    const bool random = window_->RandomPlay1->isChecked();
    window_->RandomPlay1->trigger();
    EXPECT_EQ(window_->RandomPlay1->isChecked(), random);
    EXPECT_EQ(fm_playlist->RandomPlay, random);
    window_->LoopPlaylist1->trigger();
    EXPECT_EQ(fm_playlist->LoopPlay, window_->LoopPlaylist1->isChecked());
    fm_playlist->OpenPlaylistWindow();
    window_->RandomPlay1->trigger();
    EXPECT_NE(window_->RandomPlay1->isChecked(), random);
    EXPECT_NE(fm_playlist->RandomPlay, random);
    ASSERT_TRUE(fm_playlist->SkinListrandom);
    EXPECT_EQ(fm_playlist->SkinListrandom->getState(), !random);
}

TEST_F(Menus, TheTagEditorOnTheMainWindowFollowsRowsByPath) {
    const std::string a = mwtest::makeMp3(dir_ + "/a.mp3", {"Alpha", "Old One", "Disc", "", "1", "c", 17});
    const std::string b = mwtest::makeMp3(dir_ + "/b.mp3", {"Beta", "Old Two", "Disc", "", "1", "c", 17});
    TrackRecord ra = mwtest::rec("Alpha", "Old One", "Disc"), rb = mwtest::rec("Beta", "Old Two", "Disc");
    std::tie(ra.Path, rb.Path) = std::tie(a, b);
    writeLibrary({ra, rb});
    testenv::writeFile(data_ + "treetext.txt", FormatTreeText({{"Old One", "Old Two"}, {}, {"Disc"}}));
    start();
    click(tree()->allTitleNode());
    window_->SelectRows({0, 1});
    fs::remove(b);  // a missing file leaves the selection
    presenter_.setModalHandler([&](QWidget* w) {
        EXPECT_EQ(w, fm_Id3);
        fm_Id3->FormShow();
        EXPECT_EQ(fm_Id3->lv->rowCount(), 1);
        // The list is sorted the other way while the editor is open.
        window_->lv_playlistColumnClick(0);
        window_->lv_playlistColumnClick(0);
        fm_Id3->editor().setField(TagPage::V1, TagField::Artist, "AC/DC", {0});
        fm_Id3->btn_okClick();
        fm_Id3->Button1Click();
        return QDialog::Accepted;
    });
    window_->ID31->trigger();
    EXPECT_EQ(window_->SelectedRows(), std::vector<int>{});  // nothing played: no row
    EXPECT_EQ(window_->ListModel->cellText(1, 1), "ACDC");
    EXPECT_EQ(window_->ListModel->path(1), a);
    EXPECT_EQ(window_->ListModel->cellText(0, 1), "Old Two");
    EXPECT_EQ(ReadTrackRecordAt(data_ + "music.dat", 0).Artist, "ACDC");
    EXPECT_EQ(tree()->content().artists, (std::vector<std::string>{"Old Two", "ACDC"}));
    EXPECT_EQ(mwtest::slurp(data_ + "treetext.txt"), FormatTreeText({{"Old One", "Old Two", "ACDC"}, {}, {"Disc"}}));
}

// "More..." on the file that plays saves its fields and the main window
// plays on: the player keeps its file, asks nothing and its time runs.
TEST_F(Menus, SavingTheExtendedTagsOfThePlayingFileLetsItPlayOn) {
    showAllTitle({track("tone.wav", "Tone", 8000 * 4)});
    play();
    clock_->advance(300);
    const std::string path = window_->CurrentFile;
    Tfm_more more;
    fm_more = &more;
    presenter_.setModalHandler([&](QWidget*) {
        more.edt_composer->setText("Bach");
        more.btn_save->click();
        return QDialog::Accepted;
    });
    more.editFile(path, window_, window_);
    fm_more = nullptr;
    EXPECT_TRUE(boxes_.requests().empty());
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_TRUE(window_->Playback.isOpen());
    const int64_t before = window_->PlayPosition();
    clock_->advance(500);
    EXPECT_GT(window_->PlayPosition(), before);
    AudioInformation saved;
    ASSERT_TRUE(saved.load(path));
    EXPECT_EQ(saved.infoComposer, "Bach");
}

TEST(MimeApps, TheProgramBecomesTheFirstDefaultAndOtherLinesStay) {
    const QStringList ogg = MimeTypesOfExtension(".OGG");
    EXPECT_EQ(ogg, (QStringList{"audio/ogg", "audio/x-vorbis+ogg"}));
    EXPECT_TRUE(MimeTypesOfExtension(".flac").isEmpty());
    struct Row {
        const char* before;
        const char* after;
    };
    const Row rows[] = {
        {"", "[Default Applications]\naudio/ogg=t.desktop;\naudio/x-vorbis+ogg=t.desktop;\n"},
        {"[Added Associations]\ntext/plain=ed.desktop;\n",
         "[Added Associations]\ntext/plain=ed.desktop;\n\n[Default Applications]\naudio/ogg=t.desktop;\n"
         "audio/x-vorbis+ogg=t.desktop;\n"},
        {"[Default Applications]\naudio/ogg=vlc.desktop;t.desktop;\n\n[Other]\naudio/x-vorbis+ogg=x;\n",
         "[Default Applications]\naudio/ogg=t.desktop;vlc.desktop;\naudio/x-vorbis+ogg=t.desktop;\n\n[Other]\n"
         "audio/x-vorbis+ogg=x;\n"},
        {"# mine\n[Default Applications]\nimage/png=eog.desktop;", "# mine\n[Default Applications]\nimage/png=eog.desktop;\n"
                                                                  "audio/ogg=t.desktop;\naudio/x-vorbis+ogg=t.desktop;\n"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SetDefaultApplication(row.before, ogg, "t.desktop").toStdString(), row.after) << row.before;
}

TEST(Associate, OnlyCheckedTypesAreRegisteredAndAFailureIsTold) {
    FakeMessageBoxes boxes;
    const std::string config = testenv::makeTempDir("config");
    testenv::ScopedEnv xdg("XDG_CONFIG_HOME", config.c_str());
    const std::string list = config + "/mimeapps.list";
    testenv::writeFile(list, "[Default Applications]\ntext/plain=ed.desktop;\n");

    Tfm_associate window;
    window.btn_associateClick();
    EXPECT_EQ(testenv::readFile(list), "[Default Applications]\ntext/plain=ed.desktop;\n");
    window.cbx_ogg->setChecked(true);
    window.show();
    window.btn_associate->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(testenv::readFile(list), "[Default Applications]\ntext/plain=ed.desktop;\naudio/ogg=tunevale.desktop;\n"
                                       "audio/x-vorbis+ogg=tunevale.desktop;\n");
    EXPECT_TRUE(fs::exists(ShellVerbEntryPath().toStdString()));
    if (fs::exists("/usr/bin/xdg-mime")) {
        EXPECT_EQ(testenv::capture("xdg-mime query default audio/x-vorbis+ogg"), "tunevale.desktop\n");
    }
    EXPECT_TRUE(boxes.requests().empty());

    // A config folder that cannot be made: each type is skipped and told once.
    testenv::ScopedEnv blocked("XDG_CONFIG_HOME", (list + "/sub").c_str());
    window.cbx_mp3->setChecked(true);
    window.btn_associateClick();
    EXPECT_EQ(boxes.texts(), QStringList{QString::fromStdString("Cannot create file " + list + "/sub/mimeapps.list")});
    EXPECT_EQ(boxes.titles(), QStringList{"Error"});
}

}  // namespace
