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

class Playback : public MainWindow {
protected:
    // A mono WAV whose samples count its frames (garbage when frames < 0),
    // and its library record.
    TrackRecord track(const std::string& name, const std::string& title, int64_t frames = kRate * 3 / 10,
                      int plays = 0) {
        TrackRecord r = mwtest::rec(title, "Artist", "Album", plays);
        r.Path = dir_ + "/" + name;
        if (frames < 0) testenv::writeFile(r.Path, std::string(4096, 'x'));
        else WriteWav(r.Path, frames, kRate, 1);
        return r;
    }

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

    // Whether the window plays, its row in the queue and its file.
    std::tuple<bool, int, std::string> now() const {
        return {window_->IsPlaying, window_->PlayIndex, window_->CurrentFile};
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

TEST_F(Playback, AMissingFileIsReportedAndOnlyItsOwnRecordRemoved) {
    showAllTitle({track("gone.wav", "Gone"), track("here.wav", "Here")});
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
    showAllTitle({track("bad.wav", "Bad", kGarbage), track("good.wav", "Good")});
    const std::vector<std::string> files = paths();
    playRow(0);
    EXPECT_EQ(boxes_.texts(), QStringList{"Bad is an invalid audio file! Delete it?"});
    EXPECT_EQ(paths(), std::vector<std::string>{files[1]});
    EXPECT_TRUE(fs::exists(files[0])) << "the file itself stays";
    EXPECT_EQ(now(), std::tuple(true, 0, files[1]));
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

}  // namespace
