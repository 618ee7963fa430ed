#pragma once
// The playlist window on a null output driven by a hand-moved clock, dressed
// in the built-in skin, with scripted dialogs and message boxes and its data
// and settings in folders of its own.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>

#include <memory>
#include <string>
#include <tuple>

#include "components/player/audioplayer.h"
#include "components/player/nullpcmoutput.h"
#include "components/player/virtualclock.h"
#include "components/skin/skinengine.h"
#include "library/playlist.h"
#include "library/playlisthost.h"
#include "library/playlistmodel.h"
#include "platform/fakes.h"
#include "testenv.h"
#include "wavfiles.h"

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

class PlaylistWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        AudioPlayer::setOutputFactory([this] {
            auto out = std::make_unique<NullPcmOutput>(&clock);
            output = out.get();
            return out;
        });
        ASSERT_TRUE(engine.loadSkin(SkinEngine::builtInSkinPath()));
        w = std::make_unique<Tfm_playlist>();
        w->setSkinEngine(&engine);
        w->setHost(&host);
        host.autoSave = false;
    }

    void TearDown() override {
        w.reset();
        AudioPlayer::setOutputFactory({});
    }

    // Shows the window as the main window's "playlist" button does.
    void open() { w->OpenPlaylistWindow(); }

    std::string wav(const std::string& name, int ms, int rate = 8000) {
        const std::string path = dir + "/" + name;
        WriteWav(path, static_cast<int64_t>(rate) * ms / 1000, rate);
        return path;
    }

    void add(const QStringList& files) {
        dialogs.chooseNext(files);
        w->AddFilesToPlaylist();
    }

    SkinObject* element(const char* name) { return engine.findSkinObject(w.get(), QString::fromLatin1(name)); }

    void click(const char* name) {
        SkinObject* e = element(name);
        ASSERT_NE(e, nullptr) << name;
        emit engine.onClick(e);
    }

    // Lets the null output play for ms of the virtual clock.
    void play(int ms) { clock.advance(ms); }

    // Advances until the player has ended `ends` more tracks, at most limitMs.
    bool playUntilEnds(int ends, int limitMs = 5000) {
        QSignalSpy spy(w->audioPlayer(), &AudioPlayer::onEndPlay);
        for (int t = 0; t < limitMs && spy.count() < ends; t += 10) play(10);
        return spy.count() == ends;
    }

    // Adds a.wav (1.2 s), b.wav and c.wav (0.3 s each).
    void addThree() {
        a = wav("a.wav", 1200);
        b = wav("b.wav", 300);
        c = wav("c.wav", 300);
        add({Q(a), Q(b), Q(c)});
        ASSERT_EQ(w->rowCount(), 3);
    }

    // Whether the window plays, its row and its file.
    std::tuple<bool, int, std::string> playing() const {
        return {w->PlaylistPlaying, w->PlaylistIndex, w->PlayingPath};
    }
    bool playButtonUp() { return w->SkinButton2 && w->SkinButton2->isButtonUp(); }

    const std::string dir = testenv::makeTempDir("playlist");
    testenv::ScopedEnv home{"TUNEVALE_HOME", (dir + "/data").c_str()};
    testenv::ScopedEnv config{"TUNEVALE_CONFIG_DIR", (dir + "/config").c_str()};
    VirtualClock clock{10};
    NullPcmOutput* output = nullptr;
    SkinEngine engine;
    StandalonePlaylistHost host;
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    std::unique_ptr<Tfm_playlist> w;
    std::string a, b, c;
};
