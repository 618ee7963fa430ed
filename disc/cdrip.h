#pragma once
// The CD ripper window: pick a drive (or a disc image), see the disc's
// tracks with titles from the CD database, rename them, preview a track,
// and rip the checked tracks in the chosen format. The handlers keep the
// window's rules; the CD goes through the grabber component, the preview
// through the playback session and the rip through the rip job.
//
// Reading the drives and the disc's table, and the online lookup, run on a
// worker while the window says that it waits: a drive or a server that
// does not answer never freezes it, and Close ends a lookup at once. What
// the user typed (titles, artist, album, genre, the checks) stays when the
// same disc is read again.

#include <QDialog>

#include <functional>
#include <memory>

#include "components/disc/cdgrabber.h"
#include "components/player/playbacksession.h"
#include "disc/previewtrack.h"
#include "jobs/tooljob.h"
#include "windowkit/toolwindow.h"

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class CdDriveJob;
class CddbLookupJob;
class SkinLabel;
class TvsComboBox;
class ToolPopupMenu;
class TvsProgressBar;
class TRipcdThread;

class Tfm_cdripper : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_cdripper(QWidget* parent = nullptr);
    ~Tfm_cdripper() override;

    // Controls, as the window's rules name them.
    QTreeWidget* lv = nullptr;
    QLineEdit* edt_artist = nullptr;
    QLineEdit* edt_album = nullptr;
    TvsComboBox* cb_genre = nullptr;
    QComboBox* cbx_cdrom = nullptr;
    QRadioButton* rb_wav = nullptr;
    QRadioButton* rb_mp3 = nullptr;
    QRadioButton* rb_ogg = nullptr;
    QRadioButton* rb_wma = nullptr;
    TvsProgressBar* pb = nullptr;
    SkinLabel* st = nullptr;
    // What the window waits for (the drive, the CD database); empty when idle.
    SkinLabel* st_wait = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* btn_play = nullptr;
    QPushButton* btn_refresh = nullptr;
    QPushButton* btn_freedb = nullptr;
    QPushButton* btn_rip = nullptr;
    QPushButton* btn_pause = nullptr;
    QPushButton* btn_stop = nullptr;
    QPushButton* btn_close = nullptr;
    QPushButton* btn_option = nullptr;
    // Main menu "  File  " and "  Action  ".
    QAction* Options1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* EditFileName1 = nullptr;
    QAction* Rip1 = nullptr;  // the "Rip" submenu
    QAction* StartRip1 = nullptr;
    QAction* PauseRip1 = nullptr;
    QAction* StopRip1 = nullptr;
    QAction* Play1 = nullptr;  // the "Play" submenu
    QAction* StartPlay1 = nullptr;
    QAction* PausePlay1 = nullptr;
    QAction* StopPlay1 = nullptr;
    QAction* SelectAll1 = nullptr;
    QAction* UneslectAll1 = nullptr;
    // The list's popup menu.
    ToolPopupMenu* PopupMenu1 = nullptr;
    QAction* EditFilename2 = nullptr;
    QAction* Rip2 = nullptr;
    QAction* PauseRip2 = nullptr;
    QAction* StopRip2 = nullptr;
    QAction* Play2 = nullptr;
    QAction* PausePlay2 = nullptr;
    QAction* StopPlay2 = nullptr;
    QAction* SelectAll2 = nullptr;
    QAction* UnselectAll2 = nullptr;

    CdGrabber AudioGrabber;
    // The preview plays the grabber's track through the one playback loop.
    PlaybackSession AudioPlayer;
    // The running rip, while Ripping or WmaRipRunning.
    TRipcdThread* RipThread = nullptr;

    // The window's state.
    int RipFormat = 1;  // 0 WAV, 1 MP3, 2 OGG, 3 WMA
    bool Ripping = false;
    bool WmaRipRunning = false;
    bool LastJobIsPlay = true;
    bool CdPlaying = false;
    bool CdPlayPaused = false;
    int PlayTrackNumber = 0;
    int EditedRow = -1;

    // Handlers.
    void FormShow();
    void FormCloseQuery();
    void btn_refreshClick();
    void btn_playClick();
    void btn_pauseClick();
    void btn_stopClick();
    void btn_ripClick();
    void btn_freedbClick();
    void btn_optionClick();
    void btn_closeClick();
    void cbx_cdromChange();
    void lvDblClick();
    void Edit1Exit();
    void edt_artistExit();
    void edt_albumExit();
    void SelectAll1Click();
    void UneslectAll1Click();
    void rb_wavClick();
    void rb_mp3Click();
    void rb_oggClick();
    void rb_wmaClick();
    void AudioGrabberMediaChange();
    // Escape and every close of the window: the window's close rules.
    void reject() override;

    // The rows' texts, for the rip and the tests.
    QString rowTitle(int row) const;
    bool rowChecked(int row) const;
    // True while an online lookup runs on its worker.
    bool lookupRunning() const { return lookupJob_ != nullptr; }
    // True while the drives or the disc's table are read on a worker.
    bool driveBusy() const { return driveJob_ != nullptr; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ReadDiscToc();
    void PlayCdTrack();
    void StopCdPlay();
    void TogglePlayPause();
    void ToggleRipPause();

    void setPlayGroup(bool on);
    void setRipGroup(bool on);
    void setStopGroup(bool on);
    void setPauseGroup(bool on);
    // What needs a disc's table: off while none is read.
    void disableDiscControls();
    void setFormat(int format);
    void buildControls();
    void buildMenus();

    void RipEnded(bool anyChecked, const QString& lastFolder);
    // Stops a rip still running and waits for its end, and for a drive
    // call still running (on a worker).
    void waitForDriveUsers();

    // Runs call on a worker, then done on this thread; the grabber is the
    // worker's meanwhile and the window says that it waits.
    void runOnDrive(std::function<void()> call, std::function<void()> done);
    void showWaiting(const QString& text);
    // The drives and the chosen drive's table have been read: fills the
    // drive list and the rows, or says that there is no drive.
    void DrivesRead(const QStringList& names, int selection);
    // Fills the list from the table just read; keeps what the user typed
    // when the disc is the one shown.
    void FillDiscList();
    void LookupEnded(CddbLookupJob* job);
    void StopLookup();

    CdDriveJob* driveJob_ = nullptr;
    CddbLookupJob* lookupJob_ = nullptr;
    QList<QWidget*> disabledForLookup_;
    QList<QAction*> disabledActionsForLookup_;
    bool mediaChangedWhileBusy_ = false;
    // The CD database id of the disc the list shows ("" for none) and what
    // the user typed over the texts read for it.
    QString shownDisc_;
    bool artistTyped_ = false;
    bool albumTyped_ = false;
    bool genreChosen_ = false;
    PreviewTrack previewTrack_{AudioGrabber};
    BoxJobHandler jobHandler_{this};
    ToolJobThreads jobThreads_;
};

extern Tfm_cdripper* fm_cdripper;

// "07" for 7, "10" for 10: a leading zero for values of 9 or less.
QString FormatTwoDigits(int value);
