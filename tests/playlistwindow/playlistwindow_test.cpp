// The playlist window's player and list editing: the end of a track with
// loop and random play, next and previous from rows that are gone, pause and
// resume, the position bar, moves, adding files and the small form.

#include "playlistwindowfixture.h"

#include "platform/inifile.h"
#include "platform/userfolders.h"

#include <QSignalSpy>
#include <QTreeView>

namespace {

class PlaylistPlayback : public PlaylistWindowTest {
protected:
    // Advances until the player has ended `ends` more tracks, at most limitMs.
    bool playUntilEnds(int ends, int limitMs = 5000) {
        QSignalSpy spy(w->audioPlayer(), &AudioPlayer::onEndPlay);
        for (int t = 0; t < limitMs && spy.count() < ends; t += 10) play(10);
        return spy.count() == ends;
    }

    void addThree() {
        a = wav("a.wav", 300);
        b = wav("b.wav", 300);
        c = wav("c.wav", 300);
        add({Q(a), Q(b), Q(c)});
        ASSERT_EQ(w->rowCount(), 3);
    }

    bool playButtonUp() { return w->SkinButton2 && w->SkinButton2->isButtonUp(); }

    std::string a, b, c;
};

TEST_F(PlaylistPlayback, LoopOffStopsAfterTheLastRowWithTheButtonIdle) {
    open();
    addThree();
    w->selectRows({1});
    click("Listplay");
    EXPECT_TRUE(w->PlaylistPlaying);
    EXPECT_EQ(w->PlayingPath, b);
    EXPECT_FALSE(playButtonUp()) << "the play button is held down while playing";

    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_EQ(w->PlaylistIndex, 2);
    EXPECT_EQ(w->PlayingPath, c);
    EXPECT_TRUE(w->PlaylistPlaying);

    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_FALSE(w->PlaylistPlaying);
    EXPECT_EQ(w->PlaylistIndex, 2);
    EXPECT_TRUE(playButtonUp());
    EXPECT_FALSE(w->audioFile().isOpen());
    EXPECT_EQ(w->SkinListrandom->getState(), false);
}

TEST_F(PlaylistPlayback, LoopOnGoesOnWithTheFirstRow) {
    open();
    addThree();
    w->LoopPlay = true;
    w->selectRows({2});
    click("Listplay");
    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_EQ(w->PlaylistIndex, 0);
    EXPECT_EQ(w->PlayingPath, a);
    EXPECT_TRUE(w->PlaylistPlaying);
    EXPECT_EQ(w->selectedRows(), std::vector<int>{0}) << "the old row is deselected, the new one selected";
}

TEST_F(PlaylistPlayback, RandomWithTwoRowsAlternatesAndWithOneRowStops) {
    open();
    a = wav("a.wav", 300);
    b = wav("b.wav", 300);
    add({Q(a), Q(b)});
    int draws = 0;
    w->setRandomDraw([&](int n) {
        ++draws;
        return draws % 3 == 0 ? 1 : 0;  // mostly the current row, to be drawn again
    });
    w->SkinListrandom->setState(true);
    w->selectRows({0});
    click("Listplay");
    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_TRUE(w->RandomPlay) << "read from the random button at the end of a track";
    EXPECT_TRUE(host.randomPlay) << "and the menu item follows";
    EXPECT_EQ(w->PlaylistIndex, 1);
    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_EQ(w->PlaylistIndex, 0);
    EXPECT_TRUE(w->PlaylistPlaying) << "random play does not end by itself";

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

TEST_F(PlaylistPlayback, ClearingWhilePlayingLeavesTheTrackToItsEnd) {
    open();
    addThree();
    click("Listplay");
    boxes.answerNext(MessageAnswer::Yes);
    w->ClearPlaylist();
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_EQ(boxes.texts().first(),
              "Are you sure to remove all the file records?\nYour files will not be removed from your computer.");
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

TEST_F(PlaylistPlayback, NextAndPreviousFromARemovedRowNeverTouchAMissingRow) {
    open();
    addThree();
    w->selectRows({2});
    click("Listplay");
    click("Liststop");
    EXPECT_EQ(w->PlaylistIndex, 2);
    w->selectRows({1, 2});
    w->RemoveSelectedEntries();
    ASSERT_EQ(w->rowCount(), 1);
    EXPECT_EQ(w->PlaylistIndex, 2) << "removing rows leaves the number as it was";

    w->PlaylistPlayNext();
    EXPECT_FALSE(w->PlaylistPlaying) << "past the end without loop: as after the last row";
    w->PlaylistPlayPrevious();
    EXPECT_TRUE(w->PlaylistPlaying);
    EXPECT_EQ(w->PlaylistIndex, 0);
    EXPECT_EQ(w->PlayingPath, a);

    w->PlaylistIndex = 5;
    w->LoopPlay = true;
    w->selectRows({});
    w->PlaylistPlayNext();
    EXPECT_EQ(w->PlaylistIndex, 0);
    EXPECT_TRUE(w->PlaylistPlaying);

    // The end of a track whose row was removed meanwhile.
    w->LoopPlay = false;
    w->PlaylistIndex = 4;
    ASSERT_TRUE(playUntilEnds(1));
    EXPECT_FALSE(w->PlaylistPlaying);
}

TEST_F(PlaylistPlayback, NextFromNoCurrentRowPlaysTheFirstAndSeveralSelectedPlayTheTopmost) {
    open();
    addThree();
    w->PlaylistIndex = -1;
    w->PlaylistPlayNext();
    EXPECT_EQ(w->PlaylistIndex, 0);
    EXPECT_EQ(w->PlayingPath, a);

    w->selectRows({0, 2});
    w->PlaylistPlayNext();
    EXPECT_EQ(w->selectedRows(), (std::vector<int>{1, 2})) << "the others stay selected";
    EXPECT_EQ(w->PlaylistIndex, 1);
    EXPECT_EQ(w->PlayingPath, b);
}

TEST_F(PlaylistPlayback, PauseAndResumeLoseNoAudio) {
    open();
    const std::string song = wav("song.wav", 3000);
    add({Q(song)});
    w->selectRows({0});
    click("Listplay");
    play(1000);
    click("Listpause");
    EXPECT_TRUE(w->PlaylistPaused);
    EXPECT_FALSE(w->PlaylistPlaying);
    EXPECT_TRUE(w->audioFile().isOpen()) << "a pause keeps the file open";
    const int64_t paused = w->ResumePosition();
    EXPECT_GT(paused, 8000 * 600 / 1000);
    EXPECT_LE(paused, 8000);

    play(500);
    EXPECT_EQ(w->ResumePosition(), paused);
    click("Listplay2");
    EXPECT_TRUE(w->PlaylistPlaying);
    EXPECT_TRUE(w->PlaylistPaused) << "both flags until the next pause or stop";
    play(300);
    ASSERT_NE(output, nullptr);
    ASSERT_FALSE(output->written().empty());
    EXPECT_EQ(output->written().front(), paused % 30000) << "resumes at the frame heard last";
    EXPECT_NEAR(w->ListMediabar->getPosition(), (paused + 8000 * 300 / 1000) * 1000 / 24000, 30);

    click("Listpause");
    const int64_t second = w->ResumePosition();
    EXPECT_GT(second, paused) << "pauses add up";
    click("Liststop");
    EXPECT_EQ(w->ResumePosition(), 0);
    EXPECT_FALSE(w->PlaylistPaused);
    EXPECT_FALSE(w->audioFile().isOpen());
    EXPECT_EQ(w->ListMediabar->getPosition(), 0);

    click("Listpause");
    EXPECT_FALSE(w->PlaylistPlaying) << "nothing to resume after a stop";
    play(500);
    EXPECT_EQ(w->PlaylistIndex, 0);
}

TEST_F(PlaylistPlayback, PositionBarSeeksAndItsEndMovesOn) {
    open();
    const std::string one = wav("one.wav", 3000);
    const std::string two = wav("two.wav", 3000);
    add({Q(one), Q(two)});
    w->selectRows({0});
    click("Listplay");
    play(200);
    SkinObject* bar = element("Listmediabar");
    ASSERT_NE(bar, nullptr);
    emit engine.onMouseDown(bar, 1, 0, 0);
    EXPECT_TRUE(w->PlaylistPaused);
    EXPECT_FALSE(w->PlaylistPlaying);
    w->ListMediabar->setPosition(500);
    emit engine.onMouseUp(bar, 1, 0, 0);
    EXPECT_TRUE(w->PlaylistPlaying);
    EXPECT_EQ(w->ResumePosition(), 12000);
    play(100);
    EXPECT_EQ(output->written().front(), 12000);

    emit engine.onMouseDown(bar, 1, 0, 0);
    w->ListMediabar->setPosition(996);
    emit engine.onMouseUp(bar, 1, 0, 0);
    EXPECT_EQ(w->PlaylistIndex, 1) << "let go at the end: the next entry";
    EXPECT_EQ(w->PlayingPath, two);
    EXPECT_EQ(w->ResumePosition(), 0);
}

TEST_F(PlaylistPlayback, MissingAndInvalidFilesAreReportedAndNotPlayed) {
    open();
    addThree();
    ASSERT_EQ(std::remove(b.c_str()), 0);
    testenv::writeFile(c, "not audio at all");
    w->selectRows({1});
    click("Listplay");
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_EQ(boxes.texts().first(), Q(b) + " has been removed!");
    EXPECT_EQ(boxes.titles().first(), "Information");
    EXPECT_EQ(w->rowCount(), 2) << "the missing row is deleted";
    EXPECT_FALSE(w->PlaylistPlaying);
    EXPECT_TRUE(playButtonUp());

    boxes.clear();
    w->selectRows({1});
    w->PlayPlaylistSelection();
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_EQ(boxes.texts().first(), Q(c) + " is an invalid audio file!");
    EXPECT_FALSE(w->PlaylistPlaying) << "a file that did not open is not played";
    EXPECT_FALSE(w->audioPlayer()->isPlaying());
    EXPECT_TRUE(playButtonUp());
    EXPECT_EQ(w->rowCount(), 2);
}

TEST_F(PlaylistPlayback, MovesKeepTheCurrentRowAndTheSelection) {
    open();
    QStringList files;
    for (const char* n : {"0.wav", "1.wav", "2.wav", "3.wav", "4.wav"}) files << Q(wav(n, 100));
    add(files);
    w->PlaylistSaved = true;
    w->PlaylistIndex = 1;
    w->selectRows({1, 3});
    click("Listdown");
    EXPECT_EQ(w->rows()[2].name, "1.wav");
    EXPECT_EQ(w->rows()[4].name, "3.wav");
    EXPECT_EQ(w->rows()[4].path, files[3].toStdString());
    EXPECT_EQ(w->selectedRows(), (std::vector<int>{2, 4}));
    EXPECT_EQ(w->PlaylistIndex, 2);
    EXPECT_FALSE(w->PlaylistSaved);

    click("Listdown");
    EXPECT_EQ(w->rows()[2].name, "1.wav") << "the last row is selected: nothing moves";

    w->PlaylistIndex = 3;  // "4.wav", not selected
    click("Listup");
    EXPECT_EQ(w->selectedRows(), (std::vector<int>{1, 3}));
    EXPECT_EQ(w->rows()[1].name, "1.wav");
    EXPECT_EQ(w->rows()[3].name, "3.wav");
    EXPECT_EQ(w->PlaylistIndex, 3) << "displaced by a neighbour, the number stays";

    // Sorting finds the playing row again by its path; a move ends the sort.
    w->PlayingPath = files[4].toStdString();
    w->SortPlaylistByName();
    EXPECT_EQ(w->rows()[4].name, "4.wav");
    EXPECT_EQ(w->PlaylistIndex, 4);
    EXPECT_TRUE(w->model()->sortsByName());
    w->MoveSelectedDown();
    EXPECT_FALSE(w->model()->sortsByName());
}

TEST_F(PlaylistPlayback, AddingFilesReportsWhatCannotBeAdded) {
    open();
    const std::string good = wav("good.wav", 3500);
    const std::string empty = wav("empty.wav", 0);
    const std::string bad = dir + "/bad.mp3";
    testenv::writeFile(bad, "garbage");
    const std::string gone = dir + "/gone.ogg";
    add({Q(gone), Q(empty), Q(bad), Q(good)});

    ASSERT_EQ(dialogs.requests().size(), 1u);
    const FileDialogRequest& r = dialogs.requests().front();
    EXPECT_EQ(r.mode, FileDialogMode::OpenMany);
    EXPECT_EQ(r.title, "Add File(s) to Playlist");
    EXPECT_EQ(r.filter,
              "All Supported Formats (*.mp3,*.wav,*.ogg,*.wma)|*.mp3;*.wav;*.ogg;*.wma|MP3 Files (*.mp3)|*.mp3|"
              "WAV Files (*.wav)|*.wav|OGG Files (*.ogg)|*.ogg|WMA Files (*.wma)|*.wma");
    EXPECT_EQ(r.folder, DialogStartFolder());

    EXPECT_EQ(boxes.texts(), (QStringList{Q(gone) + " has been removed!", Q(empty) + " is an empty file!",
                                          Q(bad) + " is an invalid audio file!"}));
    for (const QString& t : boxes.titles()) EXPECT_EQ(t, "Information");
    ASSERT_EQ(w->rowCount(), 1);
    EXPECT_EQ(w->rows()[0], (PlaylistRow{"good.wav", "00:03", good}));
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
    open();
    EXPECT_TRUE(skinnedFrameOnly());
    addThree();
    w->LoopPlay = true;
    w->SkinListrandom->setState(true);
    click("Listmin");
    EXPECT_TRUE(w->PlaylistMinimized);
    EXPECT_FALSE(w->lv->isVisible());
    EXPECT_EQ(w->SkinButton2, nullptr);
    ASSERT_NE(w->SkinMinbutton2, nullptr);
    ASSERT_NE(w->SkinmListrandom, nullptr);
    EXPECT_TRUE(host.randomPlay);
    EXPECT_TRUE(w->SkinmListrandom->getState()) << "the random state goes with the form";
    EXPECT_EQ(w->height(), 40);
    EXPECT_TRUE(skinnedFrameOnly());

    click("Listplay");
    EXPECT_TRUE(w->PlaylistPlaying);
    EXPECT_FALSE(w->SkinMinbutton2->isButtonUp());
    click("Listnext");
    EXPECT_EQ(w->PlaylistIndex, 1);
    click("Liststop");
    EXPECT_TRUE(w->SkinMinbutton2->isButtonUp());

    w->SkinmListrandom->setState(false);
    click("Minlistmin");
    EXPECT_FALSE(w->PlaylistMinimized);
    EXPECT_TRUE(w->lv->isVisible());
    EXPECT_FALSE(host.randomPlay);
    EXPECT_FALSE(w->SkinListrandom->getState());
    EXPECT_EQ(w->height(), 321);
    EXPECT_TRUE(skinnedFrameOnly());
    EXPECT_EQ(w->selectedRows(), std::vector<int>{1});
    EXPECT_EQ(w->PlayingPath, b);
    EXPECT_EQ(w->rowCount(), 3) << "the list is not reloaded by the form switch";

    // Closed in the small form, it opens again in the full one with its list.
    click("Listmin");
    w->close();
    open();
    EXPECT_FALSE(w->PlaylistMinimized);
    EXPECT_TRUE(w->lv->isVisible());
}

TEST_F(PlaylistPlayback, ThePlaylistPlayerStopsTheMainOne) {
    open();
    addThree();
    host.mainPlaying = true;
    click("Listplay");
    EXPECT_EQ(host.mainStops, 1);
    EXPECT_TRUE(w->PlaylistPlaying);
}

}  // namespace
