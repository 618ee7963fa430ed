#pragma once
// Writes an audio CD from a list of audio files: the user builds the track
// list (add files, add a folder, reorder, remove, or load a CD file list),
// chooses the recorder and the write speed, and writes. With the "cache"
// option on, every track is first converted into a CD-quality WAV in a
// private temporary folder (TThreadConversion), and the burn takes those;
// otherwise the writer takes the files as they are. The folder lives until
// the burn ends, fails or is cancelled, and is removed on every way out.
//
// The list is emptied only after a successful real write; after an error, a
// cancel or a test write it stays, so no unsaved compilation is lost.

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "disc/erase.h"
#include "jobs/tooljob.h"
#include "platform/eventpump.h"
#include "windowkit/repeatedproblems.h"

class AudioDiscWriter;
class CdConversionJob;
class QAction;
class QComboBox;
class QMenu;
class QMenuBar;
class QPushButton;
class QStatusBar;
class QTableWidget;
class OwnedTemporaryFolder;
class ToolPopupMenu;
class TvsProgressBar;

// The most music the list takes: 74 minutes, shown as "01:14:00".
inline constexpr int AudioCdMaxSeconds = 4440;

// "HH:MM:SS / 01:14:00" of the list's total.
QString AudioCdTotalText(int totalSeconds);
// A row's time column: two-digit minutes and seconds ("03:25"; "101:40").
QString AudioCdRowTime(int seconds);

class Tfm_cdaudioburner : public QDialog, private EraseSide {
    Q_OBJECT
public:
    explicit Tfm_cdaudioburner(QWidget* parent = nullptr);
    ~Tfm_cdaudioburner() override;

    // Tests hand in a scripted writer before the window is first shown.
    void setWriter(AudioDiscWriter* writer);
    AudioDiscWriter* AudioCDWriter = nullptr;

    QMenuBar* MainMenu = nullptr;
    QAction *New1 = nullptr, *Open1 = nullptr, *Save1 = nullptr, *WriteCD1 = nullptr, *EraseCDRW1 = nullptr,
            *EjectCD = nullptr, *CloseDriveTray1 = nullptr, *EnableTestMode1 = nullptr, *Exit1 = nullptr;
    QAction *Option1 = nullptr, *AddFile1 = nullptr, *AddPath1 = nullptr, *RemoveFileRecord1 = nullptr,
            *RemoveAll1 = nullptr, *MoveUp1 = nullptr, *MoveDown1 = nullptr;
    ToolPopupMenu* pm = nullptr;
    QTableWidget* lv = nullptr;
    QComboBox* cb_drive = nullptr;
    QComboBox* cb_writespeed = nullptr;
    TvsProgressBar* pgb_progress = nullptr;
    QStatusBar* sb = nullptr;
    QPushButton *btn_file = nullptr, *btn_delete = nullptr, *btn_up = nullptr, *btn_down = nullptr,
                *btn_write = nullptr, *btn_cancel = nullptr, *btn_close = nullptr;

    // Read by the erase dialog while it waits.
    bool WriterError = false;
    int TotalSeconds = 0;
    bool IsWriting = false;
    int ErasePercent = 0;
    bool ProgressSeen = false;

    bool ConversionRunning() const { return conversion_ != nullptr; }
    int BurnTrackNumber = 1;
    bool TrackCloseLatch = false;
    bool ListSaved = true;
    bool CancelAdding = false;
    int AddStartRow = 0;
    // The converted tracks of the burn under way, in list order.
    QStringList TempWavNames;

    QString statusText() const;
    void setStatusText(const QString& text);
    // The paths of the list, in order.
    QStringList listedPaths() const;

    void FormShow();
    bool FormCloseQuery();
    void btn_fileClick();
    void AddPath1Click();
    void btn_deleteClick();
    void RemoveAll1Click();
    void btn_upClick();
    void btn_downClick();
    void btn_newClick();
    void btn_openClick();
    void btn_saveClick();
    void btn_writeClick();
    void btn_cancelClick();
    void btn_closeClick();
    void Exit1Click();
    void Option1Click();
    void EraseCDRW1Click();
    void EjectCDClick();
    void CloseDriveTray1Click();
    void EnableTestMode1Click();
    void cb_driveClick();
    void AudioCDWriterOperationProgress(int Percent);
    void AudioCDWriterError(int errCode);
    void AudioCDWriterMediaChange();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    enum class AddKind { Files, Folder, List };
    // What an add asks about once for all its files.
    enum class AddProblem { Missing, Unreadable };

    void PushTracksToWriter(const QStringList& paths, const QStringList& textSources);
    void FillAudioWriteSpeeds();
    void SetAudioControlsEnabled(bool Enabled);
    void SetMenusEnabled(bool enabled);
    void ResetAudioWriterUi(bool clearList);
    void AddAudioFolderRecursive(const QString& Folder, bool Recurse);
    void DeleteTempWavFiles();
    // Adds one file as a row; false when the add should stop.
    void addListedFile(const QString& path, AddKind kind);
    void appendRow(const QString& path, int seconds);
    void renumber();
    void updateTotalText();
    // After an add: the total, and how many files it passed over unasked.
    void tellPassedOver();
    void moveSelection(int step);
    // Runs an add: the commands that write, erase, save or change the list
    // are off meanwhile, and the window's events run now and then.
    void runAdd(const std::function<void()>& add);
    void startBurn();
    void conversionEnded(const QStringList& converted, const QStringList& sources, bool stopped);
    void burnEnded();
    // Refresh before a write or an erase; the writer's reason when it failed.
    QString refreshForUse();

    // What the erase dialog works through.
    bool writerError() const override { return WriterError; }
    void setWriterError(bool on) override { WriterError = on; }
    int erasePercent() const override { return ErasePercent; }
    void setErasePercent(int percent) override { ErasePercent = percent; }
    bool progressSeen() const override { return ProgressSeen; }
    void setProgressSeen(bool on) override { ProgressSeen = on; }
    void setEraseStatus(const QString& text) override { setStatusText(text); }
    void eraseDisc(bool quick) override;
    void refreshWriter() override;
    void cycleWriterIndexes() override {}
    QString writerErrorReason() const override;
    EraseNotifier* eraseNotifier() override { return &eraseNotifier_; }

    EraseNotifier eraseNotifier_;
    // What SetAudioControlsEnabled turns off with the buttons: the menu and
    // popup items that write, erase, save or change the list.
    QList<QAction*> listCommands_;
    EventPump addPump_;
    RepeatedProblems problems_;
    std::unique_ptr<OwnedTemporaryFolder> cacheFolder_;
    CdConversionJob* conversion_ = nullptr;
    bool shown_ = false;
    bool adding_ = false;
    bool testWrite_ = false;  // the burn under way only simulates
    // Last: its jobs stop and end before the folder they write into goes.
    ToolJobThreads jobs_;
};

extern Tfm_cdaudioburner* fm_cdaudioburner;
