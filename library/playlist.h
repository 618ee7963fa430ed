#pragma once
// The playlist window: a free list of files played by a player of its own,
// apart from the library. It stays on top of the other windows, wears the
// skin sections "Playlist" and "minPlaylist" (its small form), and keeps its
// list from one run to the next in "last.m3u" when the automatic save is on.
// It plays through a PlaybackSession of its own and keeps only its rules for
// which row comes next.
//
// Errors: a file that is missing, empty or does not decode, and a playlist
// file that cannot be read or written, are told in a message box and the
// list goes on; nothing is thrown.

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/audio/audiofile.h"
#include "components/player/playbacksession.h"
#include "components/skin/skinengine.h"
#include "components/skin/skinobject.h"
#include "library/playlists/playlistrow.h"
#include "library/playlists/savename.h"

class AudioPlayer;
class PlaylistModel;
class PlaylistWindowHost;
class QTreeView;
class StandalonePlaylistHost;

class Tfm_playlist : public QWidget {
    Q_OBJECT
public:
    explicit Tfm_playlist(QWidget* parent = nullptr);
    ~Tfm_playlist() override;

    // The main window's skin engine, which dresses this window and reports
    // the clicks on its elements; they act here.
    void setSkinEngine(SkinEngine* engine);
    SkinEngine* skinEngine() const { return engine_; }
    // The main window; null puts back the window's own options.
    void setHost(PlaylistWindowHost* host);
    // Random play draws its rows from here: draw(n) gives 0..n-1.
    void setRandomDraw(std::function<int(int)> draw);

    // List editing.
    void ClearPlaylist();
    void RemoveSelectedEntries();
    void MoveSelectedDown();
    void MoveSelectedUp();
    void AddFilesToPlaylist();
    // The playlist files.
    void OpenPlaylistFile();
    void SavePlaylistAs();
    // Playing.
    void PlayPlaylistItem();
    void PlaylistPauseResume();
    void StopPlaylistPlayback();
    void PlaylistPlayNext();
    void PlaylistPlayPrevious();

    // The buttons of the skin that act on more than one of the above.
    // "Listplay": plays the first selected row (row 0 when none is).
    void ListplayClick();
    // "Liststop".
    void ListstopClick();
    // The play button pressed, then the current entry played; a double click
    // in the list comes here too.
    void PlayPlaylistSelection();
    // "Listmin" and "Minlistmin": the small form and back.
    void ShowMiniPlaylist();
    void ShowFullPlaylist();
    // The "playlist" button of the main window: dresses and shows the window
    // in its full form, its top right corner at topRight when given.
    void OpenPlaylistWindow(std::optional<QPoint> topRight = std::nullopt);
    // The skin changed: the window is dressed again in the form it shows.
    void ReapplyPlaylistSkin();
    void BindPlaylistSkinObjects();
    // The position bar "Listmediabar" pressed and let go.
    void ListMediabarMouseDown();
    void ListMediabarMouseUp();
    // "Sort Playlist": sorts by name until the next move or show, and finds
    // the playing entry again by its path.
    void SortPlaylistByName();

    // Handlers.
    void FormShow();
    void FormClose();
    // The session's position: the bar of the frame heard.
    void AudioPlayerTimer(qint64 heardFrame);
    void AudioPlayerEndPlay();
    void lvDblClick();
    void lvKeyDown();

    // Rows and state, for the main window and the tests.
    PlaylistModel* model() const { return model_; }
    const std::vector<PlaylistRow>& rows() const;
    int rowCount() const;
    std::vector<int> selectedRows() const;
    void selectRows(const std::vector<int>& rows);
    AudioFile& audioFile() { return session_.decoder(); }
    AudioPlayer* audioPlayer() const { return session_.player(); }

    QTreeView* lv = nullptr;

    // Written by the main window at its start from its settings.
    bool LoopPlay = false;
    bool RandomPlay = false;
    int PlaylistIndex = -1;
    std::string PlayingPath;

    bool PlaylistSaved = false;
    bool PlaylistPlaying = false;
    bool PlaylistPaused = false;
    // The frame a play starts or resumes from: pauses add what was heard, a
    // seek sets it, a stop clears it. Kept by the session.
    int64_t ResumePosition() const { return session_.startFrame(); }
    int64_t PlaylistBlockSize() const { return session_.blockSize(); }

    // The form shown and the play button's look, kept across re-skinning.
    bool PlaylistMinimized = false;
    bool PlaylistButtonUp = true;
    // The elements of the form shown; null in the other form and unskinned.
    QPointer<SkinObject> SkinButton2;
    QPointer<SkinObject> SkinMinbutton2;
    QPointer<SkinToggle> SkinListrandom;
    QPointer<SkinToggle> SkinmListrandom;
    QPointer<SkinScrollBar> ListMediabar;

    static constexpr const char* kLastPlaylistName = "last.m3u";
    // "playlist/last.m3u" under the data root.
    static std::string LastPlaylistPath();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PlaylistWindowHost& host() const;
    SkinObject* playButton() const;
    SkinToggle* randomButton() const;
    void setPlayButtonIdle();
    void applyPlayButtonLook();
    void readRandomButton();
    void setBarPosition(int perMille);
    bool isRowSelected(int row) const;
    void selectRow(int row);
    void deselectRow(int row);
    void clearList();
    void moveSelected(bool (*move)(std::vector<PlaylistRow>&, std::vector<char>&, int&));
    void playNewRow(std::optional<int> row);
    void resumePlayer();
    void stopOnFailedStart();
    void appendRows(std::vector<PlaylistRow> rows);
    bool readPlaylist(const std::string& fileName, PlaylistFormat format);
    bool writePlaylist(const std::string& fileName, PlaylistFormat format, const std::string& chosenName);
    void applySection(const QString& section);
    // With the automatic save on, a changed list is written to last.m3u soon
    // after it changes, so that a killed program loses none of it; a burst of
    // changes is written once.
    void scheduleWorkingListWrite();
    void writeWorkingList();
    void switchForm(bool mini);
    void onSkinClick(SkinObject* source);
    void onSkinMouseDown(SkinObject* source, int button);
    void onSkinMouseUp(SkinObject* source, int button);

    PlaylistModel* model_ = nullptr;
    PlaybackSession session_;
    QPointer<SkinEngine> engine_;
    PlaylistWindowHost* host_ = nullptr;
    std::unique_ptr<StandalonePlaylistHost> ownHost_;
    std::function<int(int)> draw_;
    bool formShown_ = false;
    bool adding_ = false;
    int closes_ = 0;
    QTimer workingListWrite_;
};

extern Tfm_playlist* fm_playlist;
