#pragma once
// The playlist window on a null output driven by a hand-moved clock, dressed
// in the built-in skin, with scripted dialogs and message boxes and its data
// and settings in folders of its own.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <memory>
#include <string>

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
};

inline QString Q(const std::string& s) { return QString::fromStdString(s); }
