#pragma once
// Writes a range of one audio file into a new file. The user keeps a list
// of files, picks one, sets the range with two bars in per mille of its
// length, may preview the range, and cuts: a CutJob owned by this window
// writes "cut" + the file's name into the output folder, on a thread of its
// own (WMA sources on the GUI thread).

#include <QDialog>
#include <QString>

#include "components/player/playbacksession.h"
#include "tools/cutjob.h"
#include "windowkit/toolwindow.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TvsProgressBar;
class TvsTrackBar;

class Tfm_cut : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_cut(QWidget* parent = nullptr);
    ~Tfm_cut() override;

    QTableWidget* lv = nullptr;
    QPushButton* btn_select = nullptr;
    QPushButton* btn_delete = nullptr;
    QPushButton* btn_clear = nullptr;
    QPushButton* btn_play = nullptr;
    QPushButton* btn_cut = nullptr;
    QPushButton* btn_stop = nullptr;
    QPushButton* btn_close = nullptr;
    QPushButton* btn_selectdir = nullptr;
    QLineEdit* edt_directory = nullptr;
    TvsTrackBar* tb_start = nullptr;
    TvsTrackBar* tb_end = nullptr;
    QLabel* st_times = nullptr;
    QLabel* st_timee = nullptr;
    QLineEdit* edt_info = nullptr;
    TvsProgressBar* pb = nullptr;
    QPushButton* Button1 = nullptr;  // start bar "<"
    QPushButton* Button2 = nullptr;  // start bar ">"
    QPushButton* Button3 = nullptr;  // end bar "<"
    QPushButton* Button4 = nullptr;  // end bar ">"
    QAction* mi_addfile = nullptr;
    QAction* mi_delete = nullptr;
    QAction* mi_clear = nullptr;
    QAction* mi_exit = nullptr;
    QAction* mi_play = nullptr;
    QAction* mi_startcut = nullptr;
    QAction* mi_stop = nullptr;

    QString CutSource;            // the selected row's file
    bool PreviewPlaying = false;
    int64_t PreviewStart = 0, PreviewEnd = 0;  // frames of CutSource

    // The preview's playback of CutSource.
    PlaybackSession& preview() { return preview_; }
    // The job of the cut that runs now, or null.
    CutJob* job() const { return job_; }

    // Handlers (the menu items share them).
    void btn_selectClick();
    void btn_deleteClick();
    void btn_clearClick();
    void lvClick();
    void btn_playClick();
    void btn_cutClick();
    void btn_stopClick();
    void btn_closeClick();
    void btn_selectdirClick();
    void tb_startChange();
    void tb_endChange();

    // Adds the files as Add does after its dialog.
    void addFiles(const QStringList& files);

protected:
    void showEvent(QShowEvent* event) override;
    // Every way of closing (Close, Exit, the frame, Escape) comes here.
    void done(int result) override;
    // Holding the start bar down pauses the preview; letting it go plays
    // on from the new start.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool startPreview();
    void stopPreview();
    void previewPosition(qint64 frame);
    void abortCut();
    void jobEnded(CutJob* job, const QString& folder, bool endStep);
    void resetWindow();
    void setIdleControls();
    void setCuttingControls();
    // A cut runs on its worker and was not stopped.
    bool cutOnWorker() const;
    void enableRangeControls(bool on);
    QString timeTextAt(int permille) const;

    BoxJobHandler boxes_;
    PlaybackSession preview_;
    qint64 durationMs_ = 0;  // of CutSource
    CutJob* job_ = nullptr;
    // Last: the jobs still running stop and are waited for before the
    // handler they ask through goes.
    ToolJobThreads threads_;
};

extern Tfm_cut* fm_cut;
