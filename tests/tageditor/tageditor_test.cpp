// The tag editor: its rows and files without a window, then the window on a
// host of the test's own, so that focus, questions and failures are seen as
// the user meets them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <filesystem>
#include <functional>

#include "../mainwindow/mainwindowsupport.h"
#include "../tags/tagsamples.h"
#include "library/id3.h"
#include "library/more.h"
#include "library/librarytree.h"
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
        {"no block gets none", -1, [](TagEditor& e) { e.setField(TagPage::V1, TagField::Title, "x", {0}); }, 255, "Other"},
        {"79 stays 79", 255, [](TagEditor& e) { e.setGenre(TagPage::V1, 79, {0}); }, 79, "Hard Rock"},
        {"78 stays 78", 3, [](TagEditor& e) { e.setGenre(TagPage::V1, 78, {0}); }, 78, "Rock & Rol"},
        {"147 stays 147", 3, [](TagEditor& e) { e.setGenre(TagPage::V1, 147, {0}); }, 147, "SynthPop"},
        {"clear gives none", 17, [](TagEditor& e) { e.clearPage(TagPage::V1, {0}); }, 255, "Other"},
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

TEST_F(TagEditorTest, TypedValuesAreCutToTheirFieldsAndReadValuesStayWhole) {
    const std::string path = mp3(dir_, "a", 17, "Real Artist");
    TagEditor editor;
    editor.load({{path, "a", 0}});
    EXPECT_EQ(editor.row(0).v2.Track, "3/12");  // wider than the field, kept
    std::string accents;
    for (int i = 0; i < 41; ++i) accents += "\xC3\xA9";  // 82 bytes
    editor.setField(TagPage::V2, TagField::Title, accents, {0});
    editor.setField(TagPage::V1, TagField::Track, "123", {0});
    editor.setField(TagPage::V1, TagField::Year, "2001-05-17", {0});
    EXPECT_EQ(editor.row(0).v2.Title, accents.substr(0, 80));
    EXPECT_EQ(editor.row(0).v1.Track, "12");
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
TEST_F(TagEditorTest, MultiEditTakesOnlyWhatWasTyped) {
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

    w.Button1Click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.lv->rowCount(), 0);
    EXPECT_EQ(host_->log.back(), "playing row");
}

TEST_F(TagEditorTest, APlaylistNodeTakesTheRecordsAndTheTreeStays) {
    open({mp3(dir_, "a", 17)});
    const std::string playlist = host_->library.playlistFolder() + "/Trip.dat";
    fs::copy_file(host_->library.musicFile(), playlist);
    const std::string library = testenv::readFile(host_->library.musicFile());
    host_->target = {playlist, false};
    type(window_->edt_v1album, "Road");
    window_->btn_okClick();
    EXPECT_EQ(ReadTrackRecordAt(playlist, 0).Album, "Road");
    EXPECT_EQ(testenv::readFile(host_->library.musicFile()), library);
    EXPECT_EQ(host_->tree.findAlbum("Road"), nullptr);
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

TEST_F(TagEditorTest, ExtendedTagsAreWrittenOnceThePlayerLetsGoOfTheFileAndCopyAndClearCountAsChanges) {
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
    EXPECT_EQ(host_->log, std::vector<std::string>{"release " + path});
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
}

}  // namespace
