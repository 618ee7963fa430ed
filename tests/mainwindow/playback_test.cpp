// The main window's player on the null output: the road of a played track,
// next, previous and the wrap, pause, stop, seeking on "mediabar", and the
// files that are missing or will not decode.

#include <gtest/gtest.h>

#include <filesystem>

#include "../playlistwindow/wavfiles.h"
#include "library/playqueue.h"
#include "library/playtime.h"
#include "mainwindowfixture.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 8000;

// A mono WAV whose samples count its frames, and its library record.
TrackRecord track(const std::string& path, const std::string& title, int64_t frames = kRate * 3 / 10,
                  int plays = 0) {
    WriteWav(path, frames, kRate, 1);
    TrackRecord r = mwtest::rec(title, "Artist", "Album", plays);
    r.Path = path;
    return r;
}

TrackRecord garbage(const std::string& path, const std::string& title, int plays = 0) {
    testenv::writeFile(path, std::string(4096, 'x'));
    TrackRecord r = mwtest::rec(title, "Artist", "Album", plays);
    r.Path = path;
    return r;
}

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

    void showAllTitle(const std::vector<TrackRecord>& records) {
        writeLibrary(records);
        start();
        click(tree()->allTitleNode());
        ASSERT_EQ(window_->ListModel->rowCount(), static_cast<int>(records.size()));
    }

    void playRow(int row) {
        window_->SelectRows({row});
        window_->lv_playlistDblClick();
    }

    std::vector<int> playCounts() const {
        std::vector<int> counts;
        for (const TrackRecord& r : LoadTrackRecords(data_ + "music.dat")) counts.push_back(r.PlayCount);
        return counts;
    }

    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (const TrackRecord& r : LoadTrackRecords(data_ + "music.dat")) out.push_back(r.Path);
        return out;
    }

    const std::vector<int16_t>& heard() const { return outputs_.front()->written(); }

    QString timeText() const { return window_->SkinTimeText->getText(); }

    std::string dir_ = testenv::makeTempDir("play");
};

TEST_F(Playback, ADoubleClickQueuesTheListPlaysOnCountsEachStartAndWraps) {
    showAllTitle({track(dir_ + "/a.wav", "One"), track(dir_ + "/b.wav", "Two"), track(dir_ + "/c.wav", "Three")});
    const std::vector<std::string> files = paths();

    playRow(1);
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_EQ(window_->PlayIndex, 1);
    EXPECT_EQ(window_->LastPlayIndex, 2);
    EXPECT_EQ(window_->CurrentFile, files[1]);
    EXPECT_EQ(window_->PlayCategory, "Title");
    EXPECT_EQ(window_->PlayNodeText, "All Title");
    EXPECT_EQ(window_->SkinFileNameText->getText().toStdString(), files[1]);
    EXPECT_EQ(mwtest::slurp(window_->PlayQueueFile()), EncodePlayQueue(files));
    EXPECT_EQ(mwtest::slurp(window_->PlayQueueFile()).size(), 3 * kPlayQueueRecordSize);
    EXPECT_EQ(playCounts(), (std::vector<int>{0, 1, 0}));

    ASSERT_TRUE(runUntil([&] { return window_->PlayIndex == 2; }));
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_EQ(window_->CurrentFile, files[2]);
    EXPECT_EQ(window_->SelectedRows(), std::vector<int>{2}) << "the playing row is highlighted";
    EXPECT_EQ(playCounts(), (std::vector<int>{0, 1, 1}));

    ASSERT_TRUE(runUntil([&] { return window_->PlayIndex == 0; })) << "the end of the last row wraps to the first";
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_EQ(window_->CurrentFile, files[0]);
    EXPECT_EQ(playCounts(), (std::vector<int>{1, 1, 1}));
    ASSERT_TRUE(runUntil([&] { return window_->PlayIndex == 1; }));
    EXPECT_EQ(playCounts(), (std::vector<int>{1, 2, 1}));
    EXPECT_TRUE(boxes_.texts().isEmpty());
}

TEST_F(Playback, MyHabitLoopsAfterItsTenthEntryEvenWhenThatOneIsInvalid) {
    std::vector<TrackRecord> records;
    for (int i = 0; i < 9; ++i)
        records.push_back(track(dir_ + "/" + std::to_string(i) + ".wav", "Song " + std::to_string(i), kRate / 5, 90 - i));
    records.push_back(garbage(dir_ + "/9.wav", "Broken", 50));
    records.push_back(track(dir_ + "/least.wav", "Least", kRate / 5, 1));
    writeLibrary(records);
    start();
    click(tree()->myHabitNode());
    ASSERT_EQ(window_->ListModel->rowCount(), 10);
    boxes_.setHandler([](const MessageRequest&) { return MessageAnswer::No; });

    playRow(8);
    EXPECT_EQ(window_->PlayCategory, "My Habit");
    ASSERT_TRUE(runUntil([&] { return window_->PlayIndex == 0; }));
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_EQ(window_->CurrentFile, records[0].Path);
    ASSERT_EQ(boxes_.requests().size(), 1u);
    EXPECT_EQ(boxes_.requests()[0].text, "Broken is an invalid audio file! Delete it?");
    EXPECT_EQ(boxes_.requests()[0].title, "Information");
    EXPECT_EQ(boxes_.requests()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(LoadTrackRecords(data_ + "music.dat").size(), 11u) << "No keeps the record";
}

TEST_F(Playback, NextAndPreviousStayInTheQueueAndPlayAPathLongerThanTheQueueFileHolds) {
    const std::string longFolder = dir_ + "/" + std::string(130, 'n');
    fs::create_directories(longFolder);
    showAllTitle({track(dir_ + "/a.wav", "A", kRate), track(longFolder + "/b.wav", "B", kRate),
                  track(dir_ + "/c.wav", "C", kRate)});
    const std::vector<std::string> files = paths();
    ASSERT_GT(files[1].size(), kPlayQueuePathBytes);

    window_->SelectRows({1});
    window_->PlayNext();
    window_->PlayPrevious();
    EXPECT_FALSE(window_->IsPlaying) << "next and previous act only while playing";
    EXPECT_EQ(window_->PlayIndex, -1);

    playRow(0);
    const std::string queue = mwtest::slurp(window_->PlayQueueFile());
    EXPECT_EQ(static_cast<unsigned char>(queue[kPlayQueueRecordSize]), kPlayQueuePathBytes) << "cut in the file";
    window_->PlayNext();
    EXPECT_EQ(window_->CurrentFile, files[1]);
    EXPECT_TRUE(window_->IsPlaying && window_->AudioFile21.isOpen());
    window_->PlayNext();
    EXPECT_EQ(window_->PlayIndex, 2);
    window_->PlayNext();
    EXPECT_EQ(window_->PlayIndex, 2) << "next on the last row changes nothing";
    EXPECT_TRUE(window_->IsPlaying);
    window_->PlayPrevious();
    EXPECT_EQ(window_->CurrentFile, files[1]);
    EXPECT_TRUE(window_->IsPlaying);
    window_->PlayPrevious();
    window_->PlayPrevious();
    EXPECT_EQ(window_->PlayIndex, 0) << "previous on row 0 changes nothing";
    EXPECT_EQ(window_->CurrentFile, files[0]);
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_TRUE(boxes_.texts().isEmpty());
}

TEST_F(Playback, PreviousStepsOverAnInvalidEntry) {
    showAllTitle({track(dir_ + "/a.wav", "A", kRate), garbage(dir_ + "/b.wav", "B"), track(dir_ + "/c.wav", "C", kRate)});
    playRow(2);
    window_->PlayPrevious();
    EXPECT_EQ(boxes_.texts(), QStringList{"B is an invalid audio file!"});
    EXPECT_EQ(window_->PlayIndex, 0);
    EXPECT_EQ(window_->CurrentFile, paths()[0]);
    EXPECT_TRUE(window_->IsPlaying && window_->AudioPlayer21->isPlaying());
    EXPECT_EQ(paths().size(), 3u) << "going back only reports it";
}

TEST_F(Playback, PreviousToAnInvalidFirstEntryLeavesThePlayerStoppedAndSaysSo) {
    showAllTitle({garbage(dir_ + "/a.wav", "A"), track(dir_ + "/b.wav", "B", kRate)});
    playRow(1);
    window_->PlayPrevious();
    EXPECT_EQ(boxes_.texts(), QStringList{"A is an invalid audio file!"});
    EXPECT_FALSE(window_->IsPlaying) << "nothing plays, and the window does not pretend otherwise";
    EXPECT_EQ(window_->SkinTimeText->getText(), "00:00:00");
}

TEST_F(Playback, PauseAndResumeLoseNoAudioAndStopResetsTheDisplay) {
    showAllTitle({track(dir_ + "/long.wav", "Long", kRate * 3)});
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
    showAllTitle({track(dir_ + "/a.wav", "A", kRate * 3), track(dir_ + "/b.wav", "B", kRate)});
    SkinScrollBar* bar = window_->SkinMediabar;
    ASSERT_TRUE(bar);
    playRow(0);
    clock_->advance(300);

    emit window_->Skin->onMouseDown(bar, 1, 0, 0);
    EXPECT_FALSE(window_->IsPlaying);
    EXPECT_FALSE(window_->AudioPlayer21->isPlaying());
    emit window_->Skin->onScrollTrack(bar, 500);
    EXPECT_EQ(timeText(), "00:00:01") << "the time previews the place under the thumb";
    bar->setPosition(500);
    emit window_->Skin->onMouseUp(bar, 1, 0, 0);
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_EQ(window_->SeekBase(), kRate * 3 / 2);
    clock_->advance(200);
    EXPECT_TRUE(mwtest::runsOnFrom(heard(), kRate * 3 / 2));
    EXPECT_EQ(playCounts(), (std::vector<int>{1, 0})) << "a seek goes on with the same play";

    // A right press neither stops nor seeks.
    emit window_->Skin->onMouseDown(bar, 2, 0, 0);
    EXPECT_TRUE(window_->IsPlaying);

    emit window_->Skin->onMouseDown(bar, 1, 0, 0);
    emit window_->Skin->onScrollTrack(bar, 985);
    bar->setPosition(985);
    emit window_->Skin->onMouseUp(bar, 1, 0, 0);
    EXPECT_EQ(window_->PlayIndex, 0) << "985 is still inside the track";
    EXPECT_EQ(window_->SeekBase(), PositionAt(985, kRate * 3));

    emit window_->Skin->onMouseDown(bar, 1, 0, 0);
    emit window_->Skin->onScrollTrack(bar, 990);
    bar->setPosition(990);
    emit window_->Skin->onMouseUp(bar, 1, 0, 0);
    ASSERT_TRUE(runUntil([&] { return window_->PlayIndex == 1; }, 1000)) << "past 985 the next entry follows";
    EXPECT_TRUE(window_->IsPlaying);
}

TEST_F(Playback, SoundbarSetsTheVolume) {
    showAllTitle({track(dir_ + "/a.wav", "A")});
    ASSERT_TRUE(window_->SkinSoundbar);
    EXPECT_EQ(window_->SkinSoundbar->getPosition(), window_->AudioPlayer21->volume());
    emit window_->Skin->onScrollTrack(window_->SkinSoundbar, 30000);
    EXPECT_EQ(window_->AudioPlayer21->volume(), 30000);
}

TEST_F(Playback, AListOfOnlyInvalidFilesIsOfferedOnceRound) {
    showAllTitle({garbage(dir_ + "/a.wav", "A"), garbage(dir_ + "/b.wav", "B"), garbage(dir_ + "/c.wav", "C")});
    boxes_.setHandler([](const MessageRequest&) { return MessageAnswer::No; });
    playRow(1);
    EXPECT_EQ(boxes_.texts(), (QStringList{"B is an invalid audio file! Delete it?",
                                           "C is an invalid audio file! Delete it?",
                                           "A is an invalid audio file! Delete it?"}));
    EXPECT_FALSE(window_->IsPlaying);
    EXPECT_EQ(paths().size(), 3u);
}

TEST_F(Playback, AMissingFileIsReportedAndOnlyItsOwnRecordRemoved) {
    showAllTitle({track(dir_ + "/gone.wav", "Gone"), track(dir_ + "/here.wav", "Here")});
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
    EXPECT_EQ(paths(), std::vector<std::string>{files[1]}) << "the other selected row names a file that is there";
    EXPECT_EQ(listed(), QStringList{"Here"});
}

TEST_F(Playback, AnInvalidFileAnsweredYesLosesItsRecordAndTheNextRowPlays) {
    showAllTitle({garbage(dir_ + "/bad.wav", "Bad"), track(dir_ + "/good.wav", "Good")});
    const std::vector<std::string> files = paths();
    playRow(0);
    EXPECT_EQ(boxes_.texts(), QStringList{"Bad is an invalid audio file! Delete it?"});
    EXPECT_EQ(paths(), std::vector<std::string>{files[1]});
    EXPECT_TRUE(fs::exists(files[0])) << "the file itself stays";
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_EQ(window_->CurrentFile, files[1]);
    EXPECT_EQ(window_->PlayIndex, 0);
    EXPECT_EQ(playCounts(), std::vector<int>{1});
}

TEST_F(Playback, AClickedPathKeepsItsCapitalsAndItsPlayIsCounted) {
    showAllTitle({track(dir_ + "/Song.WAV", "Song")});
    window_->SelectRows({0});
    window_->lv_playlistClick();
    EXPECT_EQ(window_->CurrentFile, dir_ + "/Song.WAV");
    EXPECT_TRUE(window_->AudioFile21.isOpen());
    window_->BoxplayClick();
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_EQ(playCounts(), std::vector<int>{1});
    EXPECT_TRUE(boxes_.texts().isEmpty());
}

TEST(PlayTime, TimeTextAndBarArithmetic) {
    EXPECT_EQ(FormatPlayTime(3723000), "01:02:03");
    EXPECT_EQ(FormatPlayTime(3599999), "00:59:59");
    EXPECT_EQ(FormatPlayTime(-5), "00:00:00");
    EXPECT_EQ(PerMille(500, 1000), 500);
    EXPECT_EQ(PerMille(10, 0), -1) << "an empty file gives the platform's answer to a division by zero";
    EXPECT_EQ(PerMille(int64_t{3} << 33, int64_t{6} << 33), 500) << "lengths beyond 32 bits";
    EXPECT_EQ(PositionAt(1200, 1000), 1000);
    EXPECT_EQ(PositionAt(-3, 1000), 0);
}

TEST(PlayQueue, RecordsCutLongPathsAtACharacterBoundary) {
    const std::string accented = std::string(119, 'a') + "\xc3\xa9";  // 121 bytes, the last character two
    const std::string bytes = EncodePlayQueue({"/x.mp3", accented});
    ASSERT_EQ(bytes.size(), 2 * kPlayQueueRecordSize);
    EXPECT_EQ(bytes[0], 6);
    EXPECT_EQ(bytes.substr(1, 6), "/x.mp3");
    EXPECT_EQ(bytes.substr(7, kPlayQueueRecordSize - 7), std::string(kPlayQueueRecordSize - 7, '\0'));
    EXPECT_EQ(bytes[kPlayQueueRecordSize], 119);
    EXPECT_EQ(bytes.substr(kPlayQueueRecordSize + 1, 119), std::string(119, 'a'));
}

}  // namespace
