// The main window's player on the null output: the road of a played track,
// next, previous and the wrap, pause, stop, seeking on "mediabar", and the
// files that are missing or will not decode. Then its skin elements: the
// click dispatch, the skin switch and its look, the playlist window beside
// the list, and the mini window.

#include <gtest/gtest.h>

#include <QTableView>

#include <filesystem>

#include "components/skin/skinengine.h"
#include "components/skin/skinobject.h"
#include "library/mmain.h"
#include "library/playlist.h"
#include "library/playqueue.h"
#include "library/playtime.h"
#include "mainwindowfixture.h"
#include "mousetap.h"
#include "platform/inifile.h"
#include "skin/menu.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 8000;

class Playback : public MainWindow {
protected:
    // Lets the clock run in steps of 10 ms until the condition holds.
    bool runUntil(const std::function<bool()>& done, int maxMs = 5000) {
        for (int ms = 0; ms < maxMs; ms += 10) {
            if (done()) return true;
            clock_->advance(10);
        }
        return done();
    }

    // Whether the window plays, its row in the queue and its file.
    std::tuple<bool, int, std::string> now() const {
        return {window_->IsPlaying, window_->PlayIndex, window_->CurrentFile};
    }

    std::vector<int> playCounts() const { return stored(&TrackRecord::PlayCount); }
    std::vector<std::string> paths() const { return stored(&TrackRecord::Path); }

    const std::vector<int16_t>& heard() const { return outputs_.front()->written(); }
    QString timeText() const { return window_->SkinTimeText->getText(); }

    static constexpr int64_t kGarbage = -1;
};

TEST_F(Playback, ADoubleClickQueuesTheListPlaysOnCountsEachStartAndWraps) {
    showAllTitle({track("A.WAV", "One"), track("b.wav", "Two"), track("c.wav", "Three")});
    const std::vector<std::string> files = paths();

    playRow(1);
    EXPECT_EQ(now(), std::tuple(true, 1, files[1]));
    EXPECT_EQ(window_->LastPlayIndex, 2);
    EXPECT_EQ(window_->PlayCategory, "Title");
    EXPECT_EQ(window_->PlayNodeText, "All Title");
    EXPECT_EQ(window_->SkinFileNameText->getText().toStdString(), files[1]);
    EXPECT_EQ(mwtest::slurp(window_->PlayQueueFile()), EncodePlayQueue(files));
    EXPECT_EQ(mwtest::slurp(window_->PlayQueueFile()).size(), 3 * kPlayQueueRecordSize);
    EXPECT_EQ(playCounts(), (std::vector<int>{0, 1, 0}));

    ASSERT_TRUE(runUntil([&] { return window_->PlayIndex == 2; }));
    EXPECT_EQ(now(), std::tuple(true, 2, files[2]));
    EXPECT_EQ(window_->SelectedRows(), std::vector<int>{2}) << "the playing row is highlighted";
    EXPECT_EQ(playCounts(), (std::vector<int>{0, 1, 1}));

    ASSERT_TRUE(runUntil([&] { return window_->PlayIndex == 0; })) << "the end of the last row wraps to the first";
    EXPECT_EQ(now(), std::tuple(true, 0, files[0]));
    EXPECT_EQ(playCounts(), (std::vector<int>{1, 1, 1}));
    ASSERT_TRUE(runUntil([&] { return window_->PlayIndex == 1; }));
    EXPECT_EQ(playCounts(), (std::vector<int>{1, 2, 1}));

    // A click opens the path as it is stored, capitals and all, and Play
    // counts the play.
    window_->StopPlayback();
    window_->SelectRows({0});
    window_->lv_playlistClick();
    EXPECT_EQ(window_->CurrentFile, dir_ + "/A.WAV");
    EXPECT_TRUE(window_->AudioFile21.isOpen());
    window_->BoxplayClick();
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_EQ(playCounts(), (std::vector<int>{2, 2, 1}));
    EXPECT_TRUE(boxes_.texts().isEmpty());
}

TEST_F(Playback, MyHabitLoopsAfterItsTenthEntryEvenWhenThatOneIsInvalid) {
    std::vector<TrackRecord> records;
    for (int i = 0; i < 9; ++i)
        records.push_back(track(std::to_string(i) + ".wav", "Song " + std::to_string(i), kRate / 5, 90 - i));
    records.push_back(track("9.wav", "Broken", kGarbage, 50));
    records.push_back(track("least.wav", "Least", kRate / 5, 1));
    writeLibrary(records);
    start();
    click(tree()->myHabitNode());
    ASSERT_EQ(window_->ListModel->rowCount(), 10);
    boxes_.setHandler([](const MessageRequest&) { return MessageAnswer::No; });

    playRow(8);
    EXPECT_EQ(window_->PlayCategory, "My Habit");
    ASSERT_TRUE(runUntil([&] { return window_->PlayIndex == 0; }));
    EXPECT_EQ(now(), std::tuple(true, 0, records[0].Path));
    ASSERT_EQ(boxes_.requests().size(), 1u);
    EXPECT_EQ(boxes_.requests()[0].text, "Broken is an invalid audio file! Delete it?");
    EXPECT_EQ(boxes_.requests()[0].title, "Information");
    EXPECT_EQ(boxes_.requests()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(LoadTrackRecords(data_ + "music.dat").size(), 11u) << "No keeps the record";
}

TEST_F(Playback, NextAndPreviousStayInTheQueueAndPlayAPathLongerThanTheQueueFileHolds) {
    const std::string longFolder = std::string(130, 'n');
    fs::create_directories(dir_ + "/" + longFolder);
    showAllTitle({track("a.wav", "A", kRate), track(longFolder + "/b.wav", "B", kRate), track("c.wav", "C", kRate)});
    const std::vector<std::string> files = paths();
    ASSERT_GT(files[1].size(), kPlayQueuePathBytes);

    window_->SelectRows({1});
    window_->PlayNext();
    window_->PlayPrevious();
    EXPECT_EQ(now(), std::tuple(false, -1, std::string())) << "next and previous act only while playing";

    playRow(0);
    const std::string queue = mwtest::slurp(window_->PlayQueueFile());
    EXPECT_EQ(static_cast<unsigned char>(queue[kPlayQueueRecordSize]), kPlayQueuePathBytes) << "cut in the file";
    window_->PlayNext();
    EXPECT_EQ(now(), std::tuple(true, 1, files[1]));
    EXPECT_TRUE(window_->AudioFile21.isOpen());
    window_->PlayNext();
    window_->PlayNext();
    EXPECT_EQ(now(), std::tuple(true, 2, files[2])) << "next on the last row changes nothing";
    window_->PlayPrevious();
    EXPECT_EQ(now(), std::tuple(true, 1, files[1]));
    window_->PlayPrevious();
    window_->PlayPrevious();
    EXPECT_EQ(now(), std::tuple(true, 0, files[0])) << "previous on row 0 changes nothing";
    EXPECT_TRUE(boxes_.texts().isEmpty());
}

TEST_F(Playback, PreviousStepsOverAnInvalidEntryAndStopsAtAnInvalidFirstOne) {
    showAllTitle({track("a.wav", "A", kGarbage), track("b.wav", "B", kRate), track("c.wav", "C", kGarbage),
                  track("d.wav", "D", kRate)});
    playRow(3);
    window_->PlayPrevious();
    EXPECT_EQ(boxes_.texts(), QStringList{"C is an invalid audio file!"});
    EXPECT_EQ(now(), std::tuple(true, 1, paths()[1]));
    EXPECT_TRUE(window_->AudioPlayer21->isPlaying());
    EXPECT_EQ(paths().size(), 4u) << "going back only reports it";

    boxes_.clear();
    window_->PlayPrevious();
    EXPECT_EQ(boxes_.texts(), QStringList{"A is an invalid audio file!"});
    EXPECT_FALSE(window_->IsPlaying) << "nothing plays, and the window does not pretend otherwise";
    EXPECT_EQ(timeText(), "00:00:00");
}

TEST_F(Playback, PauseAndResumeLoseNoAudioAndStopResetsTheDisplay) {
    showAllTitle({track("long.wav", "Long", kRate * 3)});
    ASSERT_TRUE(window_->SkinSoundbar);
    emit window_->Skin->onScrollTrack(window_->SkinSoundbar, 30000);
    EXPECT_EQ(window_->AudioPlayer21->volume(), 30000) << "the soundbar sets the volume";
    playRow(0);
    clock_->advance(1300);
    EXPECT_TRUE(mwtest::runsOnFrom(heard(), 0));
    EXPECT_EQ(timeText(), "00:00:01");
    EXPECT_GT(window_->SkinMediabar->getPosition(), 0);

    window_->PauseResume();
    ASSERT_TRUE(window_->IsPaused && window_->IsPlaying);
    const int64_t pausedAt = window_->PlayPosition();
    EXPECT_GT(pausedAt, kRate);
    EXPECT_LT(pausedAt, kRate * 2);
    clock_->advance(500);
    EXPECT_EQ(window_->PlayPosition(), pausedAt) << "the paused player does not move";

    window_->PauseResume();
    EXPECT_FALSE(window_->IsPaused);
    clock_->advance(400);
    EXPECT_TRUE(mwtest::runsOnFrom(heard(), pausedAt)) << "the resumed audio begins where the pause was heard";
    EXPECT_GT(window_->PlayPosition(), pausedAt);
    EXPECT_EQ(playCounts(), std::vector<int>{1}) << "a resume is not a new play";

    window_->StopPlayback();
    EXPECT_FALSE(window_->IsPlaying);
    EXPECT_EQ(window_->SkinMediabar->getPosition(), 0);
    EXPECT_EQ(timeText(), "00:00:00");
    EXPECT_EQ(window_->SkinFileNameText->getText().toStdString(), paths()[0]);
    window_->PauseResume();
    EXPECT_FALSE(window_->IsPaused) << "nothing to pause once stopped";
}

TEST_F(Playback, MediabarSeeksWhereLetGoAndPastItsEndMovesOn) {
    showAllTitle({track("a.wav", "A", kRate * 3), track("b.wav", "B", kRate)});
    SkinScrollBar* bar = window_->SkinMediabar;
    ASSERT_TRUE(bar);
    playRow(0);
    clock_->advance(300);
    // Returns the time shown before the thumb is let go.
    auto dragTo = [&](int position) {
        emit window_->Skin->onMouseDown(bar, 1, 0, 0);
        EXPECT_FALSE(window_->IsPlaying || window_->AudioPlayer21->isPlaying()) << "held: stopped";
        emit window_->Skin->onScrollTrack(bar, position);
        bar->setPosition(position);
        const QString shown = timeText();
        emit window_->Skin->onMouseUp(bar, 1, 0, 0);
        return shown;
    };
    EXPECT_EQ(dragTo(500), "00:00:01") << "the time previews the place under the thumb";
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_EQ(window_->SeekBase(), kRate * 3 / 2);
    clock_->advance(200);
    EXPECT_TRUE(mwtest::runsOnFrom(heard(), kRate * 3 / 2));
    EXPECT_EQ(playCounts(), (std::vector<int>{1, 0})) << "a seek goes on with the same play";

    // A right press neither stops nor seeks.
    emit window_->Skin->onMouseDown(bar, 2, 0, 0);
    EXPECT_TRUE(window_->IsPlaying);

    dragTo(985);
    EXPECT_EQ(window_->PlayIndex, 0) << "985 is still inside the track";
    EXPECT_EQ(window_->SeekBase(), PositionAt(985, kRate * 3));
    dragTo(990);
    ASSERT_TRUE(runUntil([&] { return window_->PlayIndex == 1; }, 1000)) << "past 985 the next entry follows";
    EXPECT_TRUE(window_->IsPlaying);
}

// A tap: the press and the release reach the bar in one pass of the event
// loop, as a touchpad sends them, and the press's stop lets events run, as
// closing the sound device does. The track goes on from the tapped place.
TEST_F(Playback, ATapOnTheMediabarSeeksAndPlaysOn) {
    showAllTitle({track("a.wav", "A", kRate * 3), track("b.wav", "B", kRate)});
    SkinScrollBar* bar = window_->SkinMediabar;
    ASSERT_TRUE(bar && bar->widget());
    QObject::connect(window_->Skin, &SkinEngine::onMouseDown, window_, [] { QCoreApplication::processEvents(); });
    playRow(0);
    clock_->advance(300);
    testenv::postTap(bar->widget());
    QCoreApplication::processEvents();
    const int tapped = bar->getPosition();
    EXPECT_GT(tapped, 300);
    EXPECT_LT(tapped, 700);
    clock_->advance(200);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_TRUE(window_->AudioPlayer21->isPlaying());
    EXPECT_EQ(window_->PlayIndex, 0);
    EXPECT_EQ(window_->SeekBase(), PositionAt(tapped, kRate * 3));
    EXPECT_EQ(playCounts(), (std::vector<int>{1, 0})) << "a seek goes on with the same play";
}

TEST_F(Playback, AListOfOnlyInvalidFilesIsOfferedOnceRound) {
    showAllTitle({track("a.wav", "A", kGarbage), track("b.wav", "B", kGarbage), track("c.wav", "C", kGarbage)});
    boxes_.setHandler([](const MessageRequest&) { return MessageAnswer::No; });
    playRow(1);
    EXPECT_EQ(boxes_.texts(), (QStringList{"B is an invalid audio file! Delete it?",
                                           "C is an invalid audio file! Delete it?",
                                           "A is an invalid audio file! Delete it?"}));
    EXPECT_FALSE(window_->IsPlaying);
    EXPECT_EQ(paths().size(), 3u);
}

TEST_F(Playback, AMissingFileIsReportedAndAnInvalidOneAnsweredYesLosesItsRecord) {
    showAllTitle({track("gone.wav", "Gone"), track("bad.wav", "Bad", kGarbage), track("good.wav", "Good")});
    const std::vector<std::string> files = paths();
    fs::remove(files[0]);

    playRow(0);
    EXPECT_EQ(boxes_.texts(), QStringList{"The file has been removed."});
    EXPECT_FALSE(window_->IsPlaying);
    EXPECT_EQ(paths(), files) << "a double click only reports it";

    boxes_.clear();
    window_->SelectRows({0, 1});
    window_->lv_playlistClick();
    EXPECT_EQ(boxes_.texts(), QStringList{"The file has been removed."});
    EXPECT_EQ(paths(), (std::vector<std::string>{files[1], files[2]})) << "the other rows' files are there";
    EXPECT_EQ(listed(), (QStringList{"Bad", "Good"}));

    // Yes to the question about an invalid file: its record goes, the next row plays.
    boxes_.clear();
    playRow(0);
    EXPECT_EQ(boxes_.texts(), QStringList{"Bad is an invalid audio file! Delete it?"});
    EXPECT_EQ(paths(), std::vector<std::string>{files[2]});
    EXPECT_TRUE(fs::exists(files[1])) << "the file itself stays";
    EXPECT_EQ(now(), std::tuple(true, 0, files[2]));
    EXPECT_EQ(playCounts(), std::vector<int>{1});
}

TEST(PlayTime, AnEmptyFileAndLengthsBeyond32Bits) {
    EXPECT_EQ(PerMille(10, 0), -1) << "an empty file gives the platform's answer to a division by zero";
    EXPECT_EQ(PerMille(int64_t{3} << 33, int64_t{6} << 33), 500);
}

TEST(PlayQueue, RecordsCutLongPathsAtACharacterBoundary) {
    const std::string accented = std::string(119, 'a') + "\xc3\xa9";  // 121 bytes, the last character two
    const std::string bytes = EncodePlayQueue({"/x.mp3", accented});
    ASSERT_EQ(bytes.size(), 2 * kPlayQueueRecordSize);
    EXPECT_EQ(bytes.substr(0, kPlayQueueRecordSize),
              '\x06' + std::string("/x.mp3") + std::string(kPlayQueueRecordSize - 7, '\0'));
    EXPECT_EQ(bytes.substr(kPlayQueueRecordSize, 120), '\x77' + std::string(119, 'a'));
}

class SkinElements : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        fm_playlist = new Tfm_playlist;
        fm_mmain = new Tfm_mmain;
    }
    void TearDown() override {
        MainWindow::TearDown();
        delete std::exchange(fm_mmain, nullptr);
        delete std::exchange(fm_playlist, nullptr);
    }

    // Two tracks of three seconds, listed under "All Title".
    void startWithTracks() {
        showAllTitle({track("first.wav", "first", kRate * 3), track("second.wav", "second", kRate * 3)});
        files_ = {dir_ + "/first.wav", dir_ + "/second.wav"};
        tree()->setContent({{"Kestrel"}, {}, {"Sky"}});
        click(tree()->allTitleNode());
    }

    // A click on an element, as the engine reports it.
    void press(QWidget* window, const char* name) {
        SkinObject* e = window_->Skin->findSkinObject(window, QString::fromLatin1(name));
        ASSERT_TRUE(e) << name;
        emit window_->Skin->onClick(e);
    }

    QString fileNameText() const { return window_->SkinFileNameText->getText(); }

    std::vector<std::string> files_;
};

TEST_F(SkinElements, ClicksGoByTheExactNameAndPlayTheListAndTheMiniWindowStandsIn) {
    startWithTracks();
    skin::ElementDef lower;
    lower.name = QStringLiteral("min");
    lower.type = skin::ElementType::Button;
    SkinButton stray(window_->Skin, window_, lower);
    emit window_->Skin->onClick(&stray);
    EXPECT_FALSE(window_->MiniMode) << "\"min\" is not \"Min\"";

    press(window_, "Boxplay");
    EXPECT_EQ(std::pair(window_->IsPlaying, window_->CurrentFile), std::pair(true, files_[0]))
        << "with no row selected the first plays";
    EXPECT_EQ(window_->PlayCategory, "Title");
    EXPECT_EQ(mwtest::slurp(window_->PlayQueueFile()).size(), 2 * 121u);
    press(window_, "Boxpause");
    EXPECT_TRUE(window_->IsPaused);
    press(window_, "Boxpause");
    EXPECT_FALSE(window_->IsPaused);
    press(window_, "Boxnext");
    EXPECT_EQ(window_->CurrentFile, files_[1]);
    press(window_, "Boxprevious");
    EXPECT_EQ(window_->CurrentFile, files_[0]);
    window_->SelectRows({1});
    press(window_, "Boxplay");
    EXPECT_EQ(window_->CurrentFile, files_[1]) << "while playing, the selected row starts afresh";
    press(window_, "Boxstop");
    EXPECT_FALSE(window_->IsPlaying);

    window_->SelectRows({});
    press(window_, "BoxID3");
    EXPECT_EQ(boxes_.texts(), QStringList{"Please selete the file you want to edit."});
    EXPECT_EQ(boxes_.titles(), QStringList{"mtInformation"});

    // The mini window stands in, and the return loses nothing.
    boxes_.clear();
    click(tree()->findArtist("Kestrel"));
    playRow(0);
    clock_->advance(1000);
    window_->PauseResume();
    const int pausedBar = window_->SkinMediabar->getPosition();
    const QString pausedTime = window_->SkinTimeText->getText();
    const int64_t pausedAt = window_->PlayPosition();
    const int mainHeight = window_->height();
    ASSERT_GT(pausedBar, 0);

    press(window_, "Min");
    EXPECT_TRUE(window_->MiniMode && !window_->isVisible());
    ASSERT_TRUE(fm_mmain->isVisible());
    EXPECT_EQ(fm_mmain->size(), QSize(373, 55));
    EXPECT_EQ(window_->Skin->appliedSection(fm_mmain), "minTunevale");
    ASSERT_TRUE(window_->SkinMiniFileNameText);
    EXPECT_EQ(window_->SkinMiniFileNameText->getText().toStdString(), files_[0]);

    fm_mmain->move(40, 50);
    press(fm_mmain, "mMax");
    EXPECT_FALSE(window_->MiniMode || fm_mmain->isVisible());
    ASSERT_TRUE(window_->isVisible());
    EXPECT_EQ(window_->pos(), QPoint(40, 50));
    EXPECT_EQ(window_->height(), mainHeight);
    EXPECT_EQ(window_->SkinMediabar->getPosition(), pausedBar) << "a paused bar stays where it was";
    EXPECT_EQ(window_->SkinTimeText->getText(), pausedTime);
    EXPECT_EQ(tree()->currentItem(), tree()->findArtist("Kestrel"));
    EXPECT_EQ(fileNameText().toStdString(), files_[0]);
    EXPECT_TRUE(window_->IsPaused);

    window_->PauseResume();
    clock_->advance(200);
    EXPECT_TRUE(mwtest::runsOnFrom(outputs_.front()->written(), pausedAt)) << "the pause lost nothing";
    press(window_, "Min");
    clock_->advance(2500);
    EXPECT_EQ(window_->CurrentFile, files_[1]) << "playing goes on behind the mini window";
    EXPECT_EQ(window_->SkinMiniFileNameText->getText().toStdString(), files_[1]);
    press(fm_mmain, "mMax");
    EXPECT_TRUE(window_->IsPlaying && window_->AudioPlayer21->isPlaying());
    EXPECT_EQ(fileNameText().toStdString(), files_[1]);
    EXPECT_TRUE(boxes_.texts().isEmpty());

    press(window_, "Min");
    boxes_.answerNext(MessageAnswer::No);
    fm_mmain->close();
    EXPECT_EQ(boxes_.texts(), QStringList{"Are you sure to quit?"}) << "closing the mini window closes the program";
    EXPECT_TRUE(fm_mmain->isVisible() && window_->MiniMode);
    press(fm_mmain, "mClose");
    EXPECT_EQ(boxes_.texts().size(), 2);
    EXPECT_FALSE(fm_mmain->isVisible());
}

TEST_F(SkinElements, PlaylistWindowTakesTurnsWithTheMainPlayerAndASkinSwitchKeepsWhatWasShown) {
    startWithTracks();
    press(window_, "playlist");
    ASSERT_TRUE(fm_playlist->isVisible());
    QRect main = window_->frameGeometry();
    EXPECT_EQ(fm_playlist->frameGeometry().right(), main.right()) << "beside the list";
    EXPECT_EQ(fm_playlist->y(), main.top() + window_->lv_playlist->mapTo(window_, QPoint(0, 0)).y() + 50);

    dialogs_.chooseNext({QString::fromStdString(files_[0])});
    press(fm_playlist, "Listadd");
    EXPECT_EQ(dialogs_.requests().size(), 1u) << "the playlist's own element is handled once";
    ASSERT_EQ(fm_playlist->rowCount(), 1);

    window_->PlayPlaylistSelection();
    EXPECT_TRUE(fm_playlist->PlaylistPlaying);
    press(window_, "Boxplay");
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_FALSE(fm_playlist->PlaylistPlaying) << "one player sounds at a time";
    window_->PlayPlaylistSelection();
    EXPECT_TRUE(fm_playlist->PlaylistPlaying);
    EXPECT_FALSE(window_->IsPlaying);
    EXPECT_FALSE(window_->AudioFile21.isOpen());

    playRow(1);
    clock_->advance(1200);
    window_->PauseResume();
    const QString pausedTime = window_->SkinTimeText->getText();
    const int pausedBar = window_->SkinMediabar->getPosition();
    QPointer<SkinScrollBar> oldBar = window_->SkinMediabar;
    const QColor treeSeparator = window_->vsPopupMenu2->look().separatorColor;

    window_->Skin21Click();
    EXPECT_EQ(window_->SkinNumber, 2);
    EXPECT_EQ(IniFile().readInteger("basic", "skin", 0), 2);
    EXPECT_TRUE(window_->Skin->skinFile().endsWith("skin2.skn"));
    EXPECT_EQ(window_->vsPopupMenu2->look().barColor, ColorFromBgr(0xE7EBEF));
    EXPECT_EQ(window_->vsPopupMenu2->look().separatorColor, treeSeparator) << "the tree's popup keeps its separator";
    EXPECT_TRUE(window_->Image->height() == 53 && window_->Image2->isHidden());
    EXPECT_TRUE(oldBar.isNull());
    ASSERT_TRUE(window_->SkinMediabar && window_->SkinSoundbar && window_->SkinTimeText && window_->SkinFileNameText);
    EXPECT_EQ(fileNameText().toStdString(), files_[1]) << "the playing file's name survives the switch";
    EXPECT_EQ(window_->SkinTimeText->getText(), pausedTime);
    EXPECT_EQ(window_->SkinMediabar->getPosition(), pausedBar);
    EXPECT_EQ(window_->SkinSoundbar->getPosition(), window_->AudioPlayer21->volume());
    EXPECT_TRUE(window_->IsPlaying);
    main = window_->frameGeometry();
    EXPECT_EQ(fm_playlist->frameGeometry().right(), main.right());
    EXPECT_EQ(fm_playlist->y(), main.top() + window_->lv_playlist->mapTo(window_, QPoint(0, 0)).y() + 40);
    EXPECT_EQ(window_->Skin->appliedSection(fm_playlist), "Playlist");

    fs::remove(SettingsFilePath());
    window_->Skin21Click();
    EXPECT_FALSE(fs::exists(SettingsFilePath())) << "the skin in use: nothing changes, nothing is written";

    window_->Skin11Click();
    EXPECT_EQ(IniFile().readInteger("basic", "skin", 0), 1);
    EXPECT_EQ(window_->vsPopupMenu2->look().separatorColor, ColorFromBgr(0xBD9A8C));
    EXPECT_TRUE(window_->Image->height() == 52 && window_->Image2->height() == 78 && !window_->Image2->isHidden());

    window_->RandomPlay1->setChecked(true);
    EXPECT_TRUE(fm_playlist->skinEngine() == window_->Skin);
    window_->close();
    EXPECT_FALSE(fm_playlist->isVisible()) << "the program's close closes the playlist window";
    EXPECT_TRUE(fs::exists(Tfm_playlist::LastPlaylistPath())) << "which keeps its list";
}

}  // namespace
