#pragma once
// What the playlist window needs of the main window: the Playlist menu's
// option states, the main player (the two players never play at once) and
// the library, which turns a saved playlist into a library playlist. The main
// window implements it and hands itself to the playlist window; until it
// does, the window keeps the options itself.

#include <string>
#include <vector>

#include "library/playlists/playlistrow.h"

class PlaylistWindowHost {
public:
    virtual ~PlaylistWindowHost() = default;

    // The menu item "Random Play", checked or not.
    virtual bool RandomPlayChecked() const = 0;
    virtual void SetRandomPlayChecked(bool checked) = 0;
    // "Confirm Save on Close" and "Auto Save/Load Last Playlist".
    virtual bool ConfirmSaveOnCloseChecked() const = 0;
    virtual bool AutoSaveLoadLastPlaylistChecked() const = 0;

    // The main player plays; stopping it also closes its file.
    virtual bool MainPlayerPlaying() const = 0;
    virtual void StopMainPlayback() = 0;

    // A playlist file was just saved from these rows.
    virtual void RegisterSavedPlaylist(const std::string& fileName, const std::vector<PlaylistRow>& rows) = 0;
};

// The options alone, as the settings file's defaults give them, with no main
// player and no library: the window on its own, and the tests.
class StandalonePlaylistHost : public PlaylistWindowHost {
public:
    bool randomPlay = false;
    bool confirmSave = false;
    bool autoSave = true;
    bool mainPlaying = false;
    int mainStops = 0;
    std::vector<std::string> registered;

    bool RandomPlayChecked() const override { return randomPlay; }
    void SetRandomPlayChecked(bool checked) override { randomPlay = checked; }
    bool ConfirmSaveOnCloseChecked() const override { return confirmSave; }
    bool AutoSaveLoadLastPlaylistChecked() const override { return autoSave; }
    bool MainPlayerPlaying() const override { return mainPlaying; }
    void StopMainPlayback() override {
        mainPlaying = false;
        ++mainStops;
    }
    void RegisterSavedPlaylist(const std::string& fileName, const std::vector<PlaylistRow>&) override {
        registered.push_back(fileName);
    }
};
