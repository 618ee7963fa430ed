#pragma once
// The main window on a private data root, with the desktop seams answered
// by fakes and every player on the null output of a virtual clock.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../playlistwindow/wavfiles.h"
#include "components/player/audioplayer.h"
#include "components/player/nullpcmoutput.h"
#include "components/player/virtualclock.h"
#include "components/skin/skinengine.h"
#include "library/desktopentry.h"
#include "library/librarytree.h"
#include "library/main.h"
#include "library/records/trackfile.h"
#include "library/tracklistmodel.h"
#include "platform/fakes.h"
#include "platform/paths.h"
#include "testenv.h"

namespace mwtest {

inline std::string slurp(const std::string& path) {
    return std::filesystem::exists(path) ? testenv::readFile(path) : std::string();
}

inline TrackRecord rec(const std::string& title, const std::string& artist, const std::string& album,
                       int plays = 0) {
    TrackRecord r;
    r.Title = title;
    r.Artist = artist;
    r.Album = album;
    r.Path = "/music/" + title + ".mp3";
    r.PlayCount = plays;
    r.DateAdded = 45000.5;
    return r;
}

// The test WAVs' samples count their frames modulo 30000: true when the
// samples run on by one from that frame, nothing skipped or repeated.
inline bool runsOnFrom(const std::vector<int16_t>& samples, int64_t first) {
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (samples[i] != static_cast<int16_t>((first + static_cast<int64_t>(i)) % 30000)) return false;
    return !samples.empty();
}

}  // namespace mwtest

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        clock_ = std::make_unique<VirtualClock>();
        AudioPlayer::setOutputFactory([this] {
            auto output = std::make_unique<NullPcmOutput>(clock_.get());
            outputs_.push_back(output.get());
            return output;
        });
        fs::remove_all(DataRoot());
        fs::create_directories(DataRoot());
        fs::remove_all(ConfigFolder());
        fs::create_directories(ConfigFolder());
        fs::remove(ShellVerbEntryPath().toStdString());
        data_ = DataFolder();
        makeWindow();
    }
    void TearDown() override {
        delete window_;
        fm_main = nullptr;
        AudioPlayer::setOutputFactory({});
    }

    void makeWindow() {
        window_ = new Tfm_main;
        window_->Parameters.clear();
        fm_main = window_;
    }
    // A new window on the same files, as at the program's next start.
    void remake() {
        delete window_;
        makeWindow();
    }

    // Shows the window and lets its start-up run.
    void start() {
        window_->show();
        QElapsedTimer t;
        t.start();
        while (window_->Skin->appliedSection(window_).isEmpty() && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents();
        ASSERT_EQ(window_->Skin->appliedSection(window_), "Tunevale");
    }

    void writeLibrary(const std::vector<TrackRecord>& records) {
        CreateFolderPath(data_);
        CreateEmptyTrackFile(data_ + "music.dat");
        TrackFileWriter w(data_ + "music.dat");
        for (const auto& r : records) w.append(r);
        w.close();
    }

    // A mono WAV of 8000 frames a second whose samples count its frames
    // (garbage when frames < 0), and its library record.
    TrackRecord track(const std::string& name, const std::string& title, int64_t frames = 2400,
                      int plays = 0) {
        TrackRecord r = mwtest::rec(title, "Kestrel", "Sky", plays);
        r.Path = dir_ + "/" + name;
        if (frames < 0) testenv::writeFile(r.Path, std::string(4096, 'x'));
        else WriteWav(r.Path, frames, 8000, 1);
        return r;
    }

    // The library written, the window started and "All Title" listed.
    void showAllTitle(const std::vector<TrackRecord>& records) {
        writeLibrary(records);
        start();
        click(tree()->allTitleNode());
        ASSERT_EQ(window_->ListModel->rowCount(), static_cast<int>(records.size()));
    }

    // One field of every record in the library file, in file order.
    template <typename T>
    std::vector<T> stored(T TrackRecord::*field) const {
        std::vector<T> out;
        for (const TrackRecord& r : LoadTrackRecords(data_ + "music.dat")) out.push_back(r.*field);
        return out;
    }

    void playRow(int row) {
        window_->SelectRows({row});
        window_->lv_playlistDblClick();
    }

    void click(QTreeWidgetItem* node) {
        window_->TreeView1->setCurrentItem(node);
        window_->TreeView1Click();
    }

    QStringList listed(int column = 0) const {
        QStringList out;
        for (int r = 0; r < window_->ListModel->rowCount(); ++r) out << window_->ListModel->cellText(r, column);
        return out;
    }

    LibraryTree* tree() const { return window_->TreeView1; }

    std::unique_ptr<VirtualClock> clock_;
    // Every output a player made, the newest last; null once its player is gone.
    std::vector<QPointer<NullPcmOutput>> outputs_;
    Tfm_main* window_ = nullptr;
    std::string data_;
    std::string dir_ = testenv::makeTempDir("tracks");  // the test's audio files
    FakeMessageBoxes boxes_;
    FakeFileDialogs dialogs_;
    FakeLauncher launcher_;
};
