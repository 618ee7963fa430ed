// The playlist window's player and list editing: the end of a track with
// loop and random play, next and previous from rows that are gone, pause and
// resume, the position bar, moves, adding files and the small form. Then its
// playlist files: "last.m3u" at show and close, the question before a list
// is lost, and the open and save dialogs with their filters, names and
// remembered folders.

#include "playlistwindowfixture.h"
#include "mousetap.h"
#include "pumpevents.h"

#include "library/playlists/m3u.h"
#include "platform/inifile.h"
#include "platform/paths.h"
#include "platform/userfolders.h"

#include <QApplication>
#include <QTest>
#include <QTreeView>

#include <sys/stat.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// Every test here starts with the window open.
class PlaylistPlayback : public PlaylistWindowTest {
    void SetUp() override {
        PlaylistWindowTest::SetUp();
        open();
    }
};

TEST_F(PlaylistPlayback, TheEndOfATrackStopsAfterTheLastRowOrLoopsToTheFirstAndOutlivesAClear) {
    addThree();
    host.mainPlaying = true;
    w->selectRows({1});
    click("Listplay");
    EXPECT_EQ(host.mainStops, 1) << "the playlist player stops the main one";
    EXPECT_EQ(playing(), std::tuple(true, 1, b));
    EXPECT_FALSE(playButtonUp()) << "the play button is held down while playing";

    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_EQ(playing(), std::tuple(true, 2, c));
    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_EQ(playing(), std::tuple(false, 2, c)) << "loop off stops after the last row";
    EXPECT_TRUE(playButtonUp());
    EXPECT_FALSE(w->audioFile().isOpen());
    EXPECT_EQ(w->SkinListrandom->getState(), false);

    w->LoopPlay = true;
    w->selectRows({2});
    click("Listplay");
    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_EQ(playing(), std::tuple(true, 0, a)) << "loop on goes on with the first row";
    EXPECT_EQ(w->selectedRows(), std::vector<int>{0}) << "the old row is deselected, the new one selected";

    // Clearing the list while a track plays leaves the track to its end.
    boxes.answerNext(MessageAnswer::Yes);
    w->ClearPlaylist();
    EXPECT_EQ(boxes.texts(), QStringList{"Are you sure to remove all the file records?\n"
                                         "Your files will not be removed from your computer."});
    EXPECT_EQ(w->rowCount(), 0);
    EXPECT_EQ(w->PlaylistIndex, -1);
    EXPECT_TRUE(w->PlaylistPlaying) << "clearing does not stop the track";
    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_FALSE(w->PlaylistPlaying);
    EXPECT_TRUE(playButtonUp());

    add({Q(a)});
    boxes.answerNext(MessageAnswer::No);
    w->ClearPlaylist();
    EXPECT_EQ(w->rowCount(), 1) << "No keeps the list";
}

TEST_F(PlaylistPlayback, RandomWithTwoRowsAlternatesAndWithOneRowStops) {
    a = wav("a.wav", 300);
    b = wav("b.wav", 300);
    add({Q(a), Q(b)});
    int draws = 0;
    // Mostly the current row, to be drawn again.
    w->setRandomDraw([&](int) { return ++draws % 3 == 0 ? 1 : 0; });
    w->SkinListrandom->setState(true);
    w->selectRows({0});
    click("Listplay");
    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_TRUE(w->RandomPlay) << "read from the random button at the end of a track";
    EXPECT_TRUE(host.randomPlay) << "and the menu item follows";
    EXPECT_EQ(w->PlaylistIndex, 1);
    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_EQ(playing(), std::tuple(true, 0, a)) << "random play does not end by itself";

    // One row left: the track ends and playing stops.
    w->StopPlaylistPlayback();
    w->selectRows({1});
    w->RemoveSelectedEntries();
    w->selectRows({0});
    w->PlayPlaylistSelection();
    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_FALSE(w->PlaylistPlaying);
    EXPECT_TRUE(playButtonUp());
}

TEST_F(PlaylistPlayback, NextAndPreviousFromNoRowOrARemovedRowNeverTouchAMissingRow) {
    addThree();
    w->PlaylistIndex = -1;
    w->PlaylistPlayNext();
    EXPECT_EQ(playing(), std::tuple(true, 0, a)) << "from no current row: the first";
    w->selectRows({0, 2});
    w->PlaylistPlayNext();
    EXPECT_EQ(w->selectedRows(), (std::vector<int>{1, 2})) << "of several selected the topmost plays, the others stay";
    EXPECT_EQ(playing(), std::tuple(true, 1, b));

    w->selectRows({2});
    click("Listplay");
    click("Liststop");
    w->selectRows({1, 2});
    w->RemoveSelectedEntries();
    ASSERT_EQ(w->rowCount(), 1);
    EXPECT_EQ(w->PlaylistIndex, 2) << "removing rows leaves the number as it was";

    w->PlaylistPlayNext();
    EXPECT_FALSE(w->PlaylistPlaying) << "past the end without loop: as after the last row";
    w->PlaylistPlayPrevious();
    EXPECT_EQ(playing(), std::tuple(true, 0, a));

    w->PlaylistIndex = 5;
    w->LoopPlay = true;
    w->selectRows({});
    w->PlaylistPlayNext();
    EXPECT_EQ(playing(), std::tuple(true, 0, a));

    // The end of a track whose row was removed meanwhile.
    w->LoopPlay = false;
    w->PlaylistIndex = 4;
    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_FALSE(w->PlaylistPlaying);
}

TEST_F(PlaylistPlayback, PauseAndResumeLoseNoAudioAndThePositionBarSeeksAndItsEndMovesOn) {
    const std::string two = wav("two.wav", 3000);
    add({Q(wav("one.wav", 3000)), Q(two)});
    w->selectRows({0});
    click("Listplay");
    play(1000);
    click("Listpause");
    EXPECT_EQ(std::pair(w->PlaylistPaused, w->PlaylistPlaying), std::pair(true, false));
    EXPECT_TRUE(w->audioFile().isOpen()) << "a pause keeps the file open";
    const int64_t paused = w->ResumePosition();
    EXPECT_GT(paused, 8000 * 600 / 1000);
    EXPECT_LE(paused, 8000);

    play(500);
    EXPECT_EQ(w->ResumePosition(), paused);
    click("Listplay2");
    EXPECT_EQ(std::pair(w->PlaylistPaused, w->PlaylistPlaying), std::pair(true, true))
        << "both flags until the next pause or stop";
    play(300);
    ASSERT_TRUE(output && !output->written().empty());
    EXPECT_EQ(output->written().front(), paused % 30000) << "resumes at the frame heard last";
    EXPECT_NEAR(w->ListMediabar->getPosition(), (paused + 8000 * 300 / 1000) * 1000 / 24000, 30);

    click("Listpause");
    EXPECT_GT(w->ResumePosition(), paused) << "pauses add up";
    click("Liststop");
    EXPECT_EQ(w->ResumePosition(), 0);
    EXPECT_FALSE(w->PlaylistPaused);
    EXPECT_FALSE(w->audioFile().isOpen());
    EXPECT_EQ(w->ListMediabar->getPosition(), 0);

    click("Listpause");
    EXPECT_FALSE(w->PlaylistPlaying) << "nothing to resume after a stop";
    play(500);
    EXPECT_EQ(w->PlaylistIndex, 0);

    click("Listplay");
    play(200);
    SkinObject* bar = element("Listmediabar");
    ASSERT_NE(bar, nullptr);
    auto dragTo = [&](int position) {
        emit engine.onMouseDown(bar, 1, 0, 0);
        EXPECT_EQ(std::pair(w->PlaylistPaused, w->PlaylistPlaying), std::pair(true, false)) << "held: paused";
        w->ListMediabar->setPosition(position);
        emit engine.onMouseUp(bar, 1, 0, 0);
    };
    dragTo(500);
    EXPECT_TRUE(w->PlaylistPlaying);
    EXPECT_EQ(w->ResumePosition(), 12000);
    play(100);
    EXPECT_EQ(output->written().front(), 12000);

    dragTo(996);
    EXPECT_EQ(playing(), std::tuple(true, 1, two)) << "let go at the end: the next entry";
    EXPECT_EQ(w->ResumePosition(), 0);
}

// Enter on a row does what a double click does, and a tap on the position
// bar seeks: press and release in one pass of the event loop, and a press
// whose stop lets events run, as closing the sound device does.
TEST_F(PlaylistPlayback, EnterPlaysTheCurrentRowAndATapOnTheBarSeeks) {
    addThree();
    w->selectRows({0});
    w->lv->setCurrentIndex(w->lv->model()->index(0, 0));
    QTest::keyClick(w->lv, Qt::Key_Return);
    EXPECT_EQ(playing(), std::tuple(true, 0, a));
    click("Liststop");

    w->selectRows({0});
    click("Listplay");
    ASSERT_EQ(playing(), std::tuple(true, 0, a));
    play(200);
    SkinObject* bar = element("Listmediabar");
    ASSERT_TRUE(bar && bar->widget());
    QObject::connect(&engine, &SkinEngine::onMouseDown, w.get(), [] { QCoreApplication::processEvents(); });
    testenv::postTap(bar->widget());
    QCoreApplication::processEvents();
    play(100);
    EXPECT_EQ(playing(), std::tuple(true, 0, a)) << "the tap did not stop the track";
    EXPECT_TRUE(w->audioPlayer()->isPlaying());
    EXPECT_NEAR(w->ResumePosition(), 9600 / 2, 9600 / 10);
}

TEST_F(PlaylistPlayback, MissingAndInvalidFilesAreReportedAndNotPlayed) {
    addThree();
    ASSERT_EQ(std::remove(b.c_str()), 0);
    testenv::writeFile(c, "not audio at all");
    w->selectRows({1});
    click("Listplay");
    EXPECT_EQ(boxes.texts(), QStringList{Q(b) + " has been removed!"});
    EXPECT_EQ(boxes.titles(), QStringList{"Information"});
    EXPECT_EQ(w->rowCount(), 2) << "the missing row is deleted";
    EXPECT_FALSE(w->PlaylistPlaying);
    EXPECT_TRUE(playButtonUp());

    boxes.clear();
    w->selectRows({1});
    w->PlayPlaylistSelection();
    EXPECT_EQ(boxes.texts(), QStringList{Q(c) + " is an invalid audio file!"});
    EXPECT_FALSE(w->PlaylistPlaying) << "a file that did not open is not played";
    EXPECT_FALSE(w->audioPlayer()->isPlaying());
    EXPECT_TRUE(playButtonUp());
    EXPECT_EQ(w->rowCount(), 2);
}

TEST_F(PlaylistPlayback, MovesCarryTheCurrentRowAndTheSelectionAndEndTheSort) {
    // Where each row goes is the model's test; here the window hands it the
    // current row and the selection, and sorts by the playing file's path.
    QStringList files;
    for (const char* n : {"0.wav", "1.wav", "2.wav", "3.wav", "4.wav"}) files << Q(wav(n, 100));
    add(files);
    w->PlaylistSaved = true;
    w->PlaylistIndex = 1;
    w->selectRows({1, 3});
    click("Listdown");
    EXPECT_EQ(w->rows()[2].name, "1.wav");
    EXPECT_EQ(w->rows()[4].path, files[3].toStdString());
    EXPECT_EQ(w->selectedRows(), (std::vector<int>{2, 4}));
    EXPECT_EQ(w->PlaylistIndex, 2);
    EXPECT_FALSE(w->PlaylistSaved);

    w->PlayingPath = files[4].toStdString();
    w->SortPlaylistByName();
    EXPECT_EQ(w->rows()[4].name, "4.wav");
    EXPECT_EQ(w->PlaylistIndex, 4) << "the playing row found again by its path";
    EXPECT_TRUE(w->model()->sortsByName());
    click("Listup");
    EXPECT_FALSE(w->model()->sortsByName()) << "a move ends the sort";
}

TEST_F(PlaylistPlayback, AddingFilesReportsWhatCannotBeAdded) {
    const std::string good = wav("good.wav", 3500);
    const std::string empty = wav("empty.wav", 0);
    const std::string bad = dir + "/bad.mp3";
    testenv::writeFile(bad, "garbage");
    const std::string gone = dir + "/gone.ogg";
    add({Q(gone), Q(empty), Q(bad), Q(good)});

    ASSERT_EQ(dialogs.requests().size(), 1u);
    const FileDialogRequest& r = dialogs.requests().front();
    EXPECT_EQ(std::tuple(r.mode, r.title, r.folder),
              std::tuple(FileDialogMode::OpenMany, QString("Add File(s) to Playlist"), DialogStartFolder()));
    EXPECT_EQ(r.filter,
              "All Supported Formats (*.mp3,*.wav,*.ogg,*.wma)|*.mp3;*.wav;*.ogg;*.wma|MP3 Files (*.mp3)|*.mp3|"
              "WAV Files (*.wav)|*.wav|OGG Files (*.ogg)|*.ogg|WMA Files (*.wma)|*.wma");

    EXPECT_EQ(boxes.texts(), (QStringList{Q(gone) + " has been removed!", Q(empty) + " is an empty file!",
                                          Q(bad) + " is an invalid audio file!"}));
    EXPECT_EQ(boxes.titles(), QStringList(3, "Information"));
    EXPECT_EQ(w->rows(), std::vector<PlaylistRow>{(PlaylistRow{"good.wav", "00:03", good})});
    EXPECT_FALSE(w->PlaylistSaved);
    EXPECT_EQ(IniFile().readString("PlayList", "file directory", ""), dir);

    dialogs.cancelNext();
    w->AddFilesToPlaylist();
    EXPECT_EQ(dialogs.requests().back().folder, Q(dir)) << "the next add starts where the last one was";
    EXPECT_EQ(w->rowCount(), 1);
}

TEST_F(PlaylistPlayback, SmallFormAndBack) {
    // Either form has one title bar, the skin's, and stays on top.
    auto skinnedFrameOnly = [this] {
        QCoreApplication::processEvents();
        return w->windowFlags().testFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    };
    EXPECT_TRUE(skinnedFrameOnly());
    addThree();
    w->LoopPlay = true;
    w->SkinListrandom->setState(true);
    click("Listmin");
    EXPECT_TRUE(w->PlaylistMinimized && !w->lv->isVisible());
    ASSERT_TRUE(w->SkinMinbutton2 && w->SkinmListrandom);
    EXPECT_TRUE(host.randomPlay && w->SkinmListrandom->getState()) << "the random state goes with the form";
    EXPECT_TRUE(skinnedFrameOnly());

    click("Listplay");
    EXPECT_FALSE(w->SkinMinbutton2->isButtonUp());
    click("Listnext");
    EXPECT_EQ(playing(), std::tuple(true, 1, b));
    click("Liststop");
    EXPECT_TRUE(w->SkinMinbutton2->isButtonUp());

    w->SkinmListrandom->setState(false);
    click("Minlistmin");
    EXPECT_TRUE(!w->PlaylistMinimized && w->lv->isVisible());
    EXPECT_FALSE(host.randomPlay || w->SkinListrandom->getState());
    EXPECT_TRUE(skinnedFrameOnly());
    EXPECT_EQ(w->selectedRows(), std::vector<int>{1});
    EXPECT_EQ(w->rowCount(), 3) << "the list is not reloaded by the form switch";

    // Closed in the small form, it opens again in the full one with its list.
    click("Listmin");
    w->close();
    open();
    EXPECT_TRUE(!w->PlaylistMinimized && w->lv->isVisible());
}

// The playlist files' tests open the window themselves, some after setting
// up what it reads at its show.
using PlaylistFiles = PlaylistWindowTest;

TEST_F(PlaylistFiles, AutoSaveKeepsTheListFromOneShowToTheNext) {
    host.autoSave = true;
    open();
    EXPECT_EQ(w->rowCount(), 0);
    addThree();
    const std::vector<PlaylistRow> rows = w->rows();
    click("Listplay");
    w->close();
    EXPECT_FALSE(w->PlaylistPlaying) << "closing stops the player";
    EXPECT_EQ(w->rowCount(), 0);
    const std::string last = Tfm_playlist::LastPlaylistPath();
    EXPECT_EQ(last, PlaylistFolder() + "/last.m3u");
    EXPECT_EQ(testenv::readFile(last), RenderM3u(rows));
    EXPECT_TRUE(boxes.texts().isEmpty()) << "the automatic save asks nothing";

    open();
    EXPECT_EQ(w->rows(), rows);
    EXPECT_EQ(w->rows()[0].time, "00:01");
    EXPECT_TRUE(w->PlaylistSaved);

    // An unchanged list is not written again.
    ASSERT_EQ(std::remove(last.c_str()), 0);
    w->close();
    EXPECT_FALSE(fs::exists(last));

    // A cleared list is saved empty, so the rows do not come back.
    testenv::writeFile(last, RenderM3u(rows));
    open();
    ASSERT_EQ(w->rowCount(), 3);
    w->ClearPlaylist();
    w->close();
    EXPECT_EQ(testenv::readFile(last), "#EXTM3U\r\n");
    open();
    EXPECT_EQ(w->rowCount(), 0);
}

// A kill loses no edit: with the automatic save on, the list is written to
// last.m3u soon after each change, while the window stays open, and it still
// counts as unsaved. A list read from a file and not changed is not written.
TEST_F(PlaylistFiles, AutoSaveWritesTheListSoonAfterEachChangeWithoutAClose) {
    host.autoSave = true;
    open();
    const std::string last = Tfm_playlist::LastPlaylistPath();
    auto written = [&](const std::vector<PlaylistRow>& rows) {
        return testenv::pumpUntil([&] { return fs::exists(last) && testenv::readFile(last) == RenderM3u(rows); },
                                  5000);
    };
    addThree();
    EXPECT_TRUE(written(w->rows()));
    w->selectRows({0});
    w->MoveSelectedDown();
    w->selectRows({2});
    w->RemoveSelectedEntries();
    ASSERT_EQ(w->rowCount(), 2);
    EXPECT_TRUE(written(w->rows()));
    EXPECT_FALSE(w->PlaylistSaved) << "written for the next show, not saved by the user";
    w->ClearPlaylist();
    EXPECT_TRUE(written({}));

    // Off, nothing is written behind the user's back.
    host.autoSave = false;
    ASSERT_EQ(std::remove(last.c_str()), 0);
    add({Q(a)});
    testenv::pumpUntil([] { return false; }, 600);
    EXPECT_FALSE(fs::exists(last));

    // A list as it was read is left alone until it changes.
    host.autoSave = true;
    w->close();
    testenv::writeFile(last, RenderM3u({{"b.wav", "00:00", b}}));
    open();
    ASSERT_EQ(w->rowCount(), 1);
    ASSERT_EQ(std::remove(last.c_str()), 0);
    testenv::pumpUntil([] { return false; }, 600);
    EXPECT_FALSE(fs::exists(last));
    add({Q(c)});
    EXPECT_TRUE(written(w->rows()));

    // Escape closes the window as it closes the tool windows, which keeps
    // the list as a close does.
    QApplication::setActiveWindow(w.get());
    w->lv->setFocus();
    QTest::keyClick(w->lv, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->PlaylistSaved);
}

TEST_F(PlaylistFiles, WithoutAutoSaveTheListStartsEmptyAndCloseMayAsk) {
    CreateFolderPath(PlaylistFolder());
    testenv::writeFile(Tfm_playlist::LastPlaylistPath(), "#EXTM3U\r\n#EXTINF:1,x\r\n/x.wav\r\n");
    open();
    EXPECT_EQ(w->rowCount(), 0) << "automatic save off: always an empty list";

    addThree();
    w->close();
    EXPECT_TRUE(boxes.texts().isEmpty()) << "no question unless asked for";
    EXPECT_EQ(w->rowCount(), 0);

    host.confirmSave = true;
    open();
    addThree();
    boxes.answerNext(MessageAnswer::Yes);
    dialogs.cancelNext();
    w->close();
    EXPECT_EQ(boxes.texts(), QStringList{"The current playlist has not been saved. Save first?"});
    EXPECT_EQ(boxes.titles(), QStringList{"Confirmation"});
    ASSERT_EQ(dialogs.requests().size(), 3u) << "Yes opens the save dialog";
    EXPECT_EQ(dialogs.requests().back().mode, FileDialogMode::Save);

    boxes.clear();
    open();
    w->close();
    EXPECT_TRUE(boxes.texts().isEmpty()) << "an empty list has nothing to save";
}

TEST_F(PlaylistFiles, SaveAsNamesTheFileByTheFilterRemembersTheFolderAndSaysWhenItFails) {
    open();
    addThree();
    const std::string out = testenv::makeTempDir("lists");
    dialogs.chooseNext({Q(out + "/mix.pls")}, 1);
    w->SavePlaylistAs();

    const FileDialogRequest& asked = dialogs.requests().back();
    EXPECT_EQ(std::tuple(asked.mode, asked.title, asked.filter, asked.folder),
              std::tuple(FileDialogMode::Save, QString("Load From Playlist File.."),
                         QString("m3u files(*.m3u)|*.m3u|pls files(*.pls)|*.pls"), DialogStartFolder()));
    EXPECT_EQ(testenv::readFile(out + "/mix.m3u"), RenderM3u(w->rows())) << "the M3U filter gives .m3u";
    EXPECT_FALSE(fs::exists(out + "/mix.pls"));
    EXPECT_TRUE(w->PlaylistSaved);
    EXPECT_EQ(host.registered, std::vector<std::string>{out + "/mix.m3u"});
    for (const char* key : {"list file directory", "list file save directory"})
        EXPECT_EQ(IniFile().readString("PlayList", key, ""), out) << key;

    const size_t before = dialogs.requests().size();
    w->SavePlaylistAs();
    EXPECT_EQ(dialogs.requests().size(), before) << "an unchanged list is not saved again";

    w->selectRows({1});
    w->MoveSelectedUp();
    dialogs.chooseNext({Q(out + "/best.of")}, 2);
    w->SavePlaylistAs();
    EXPECT_EQ(dialogs.requests().back().folder, Q(out));
    const std::string pls = testenv::readFile(out + "/best.pls");
    EXPECT_EQ(pls.substr(0, pls.find("File1")), "[playlist]\r\nPlaylistName=Playlist best.of\r\n");

    // An existing file is replaced only after the question.
    w->MoveSelectedDown();
    boxes.answerNext(MessageAnswer::No);
    dialogs.chooseNext({Q(out + "/best")}, 2);
    w->SavePlaylistAs();
    EXPECT_EQ(boxes.texts().back(), Q(out + "/best.pls") + " already exists. Overwrite it?");
    EXPECT_EQ(testenv::readFile(out + "/best.pls"), pls) << "No keeps the file";
    EXPECT_FALSE(w->PlaylistSaved);
    EXPECT_EQ(host.registered.size(), 2u);

    // A typed name of the other format is not the file written: neither the
    // dialog nor the window asks about it.
    boxes.clear();
    dialogs.chooseNext({Q(out + "/best.pls")}, 1);
    w->SavePlaylistAs();
    EXPECT_FALSE(dialogs.requests().back().confirmOverwrite);
    EXPECT_TRUE(boxes.requests().empty()) << boxes.texts().join('|').toStdString();
    EXPECT_EQ(testenv::readFile(out + "/best.pls"), pls);
    EXPECT_EQ(testenv::readFile(out + "/best.m3u"), RenderM3u(w->rows()));

    // A file that cannot be made is an error, and is not registered.
    w->MoveSelectedUp();
    ASSERT_EQ(::mkdir((out + "/taken.m3u").c_str(), 0755), 0);
    dialogs.chooseNext({Q(out + "/taken")}, 1);
    boxes.answerNext(MessageAnswer::Yes);
    w->SavePlaylistAs();
    ASSERT_EQ(boxes.requests().size(), 2u);
    EXPECT_EQ(std::pair(boxes.titles().back(), boxes.texts().back()),
              std::pair(QString("Error"), "Cannot create file " + Q(out + "/taken.m3u")));
    EXPECT_FALSE(w->PlaylistSaved);
    EXPECT_EQ(host.registered.size(), 3u) << "nothing registered that was not saved";

    // The automatic save at close fails the same way and the window still closes.
    host.autoSave = true;
    ASSERT_TRUE(CreateFolderPath(PlaylistFolder()));
    ASSERT_EQ(::mkdir(Tfm_playlist::LastPlaylistPath().c_str(), 0755), 0);
    boxes.clear();
    w->close();
    EXPECT_EQ(boxes.titles(), QStringList{"Error"});
    EXPECT_FALSE(w->isVisible());
}

TEST_F(PlaylistFiles, OpenAsksFirstClearsAndReadsByContent) {
    open();
    addThree();
    const std::string out = testenv::makeTempDir("open");
    dialogs.chooseNext({Q(out + "/keep")}, 2);
    w->SavePlaylistAs();
    const std::vector<PlaylistRow> saved = w->rows();
    w->PlaylistIndex = 1;

    // Unsaved rows: the question, then the list is emptied even if the dialog
    // is cancelled.
    w->MoveSelectedUp();
    w->selectRows({1});
    w->RemoveSelectedEntries();
    boxes.answerNext(MessageAnswer::No);
    dialogs.cancelNext();
    w->OpenPlaylistFile();
    EXPECT_EQ(boxes.texts().back(), "The current playlist has not been saved. Save first?");
    EXPECT_EQ(w->rowCount(), 0);
    EXPECT_EQ(w->PlaylistIndex, -1);
    EXPECT_EQ(std::pair(dialogs.requests().back().title, dialogs.requests().back().mode),
              std::pair(QString("Load From Playlist File.."), FileDialogMode::Open));

    // A PLS file chosen under the M3U filter is still read as PLS; damaged
    // files are the readers' tests.
    dialogs.chooseNext({Q(out + "/keep.pls")}, 1);
    w->OpenPlaylistFile();
    EXPECT_EQ(w->rows(), saved);
    EXPECT_TRUE(w->PlaylistSaved);
    EXPECT_EQ(IniFile().readString("PlayList", "list file directory", ""), out);

    // A file that cannot be read is an error, not a closed program.
    dialogs.chooseNext({Q(out + "/nothing.m3u")}, 1);
    w->OpenPlaylistFile();
    EXPECT_EQ(boxes.titles().back(), "Error");
    EXPECT_EQ(w->rowCount(), 0);
}

}  // namespace
