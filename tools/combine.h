#pragma once
// Joins a list of audio files, in list order, into one file of a chosen
// format (WAV, MP3, OGG or WMA) in an output folder. The work is a
// CombineJob owned by this window, on a thread of its own (WMA on the GUI
// thread); the encoder settings come from [combine], which the settings
// window edits.

#include <QDialog>
#include <QPointer>
#include <QString>

#include "tools/combinejob.h"
#include "windowkit/toolwindow.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class TvsProgressBar;

class Tfm_combine : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_combine(QWidget* parent = nullptr);

    QTableWidget* vslv_mp3file = nullptr;
    QPushButton* btn_add = nullptr;
    QPushButton* btn_delete = nullptr;
    QPushButton* btn_clear = nullptr;
    QPushButton* btn_up = nullptr;
    QPushButton* btn_down = nullptr;
    QPushButton* btn_combine = nullptr;
    QPushButton* btn_stop = nullptr;
    QPushButton* btn_close = nullptr;
    QPushButton* btn_selectdir = nullptr;
    QPushButton* btn_option = nullptr;
    QLineEdit* edt_directory = nullptr;
    QLineEdit* edt_file = nullptr;
    QLabel* st_time = nullptr;
    TvsProgressBar* pb_current = nullptr;
    TvsProgressBar* pb_total = nullptr;
    QRadioButton* rb_format[4] = {};  // "WAV", "MP3", "OGG", "WMA"
    QAction* mi_add = nullptr;
    QAction* mi_delete = nullptr;
    QAction* mi_clear = nullptr;
    QAction* mi_up = nullptr;
    QAction* mi_down = nullptr;
    QAction* mi_option = nullptr;
    QAction* mi_exit = nullptr;
    QAction* mi_start = nullptr;
    QAction* mi_stop = nullptr;

    int CombineFormat = 1;  // 0 WAV, 1 MP3, 2 OGG, 3 WMA
    qint64 TotalDurationMs = 0;

    // The job of the combine that runs now, or null.
    CombineJob* job() const { return job_; }

    // Handlers (the menu items share them).
    void btn_addClick();
    void btn_deleteClick();
    void btn_clearClick();
    void btn_upClick();
    void btn_downClick();
    void btn_combineClick();
    void btn_stopClick();
    void btn_closeClick();
    void btn_selectdirClick();
    void btn_optionClick();
    void edt_fileExit();

    // Adds the files as Add does after its dialog.
    void addFiles(const QStringList& files);

protected:
    void showEvent(QShowEvent* event) override;
    // Every way of closing (Close, Exit, the frame, Escape) comes here.
    void done(int result) override;

private:
    CombineSettings snapshot() const;
    void setJobControls(bool running);
    void jobEnded(CombineJob* job, const QString& folder, bool endStep);
    void showTotalTime();
    void moveSelected(int step);

    BoxJobHandler boxes_;
    CombineJob* job_ = nullptr;
    ToolJobThreads threads_;  // stops and waits for its jobs when the window goes
};

extern Tfm_combine* fm_combine;
