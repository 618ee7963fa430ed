#pragma once
// The converter and normalizer windows: one design for the four targets
// (MP3, WAV, OGG, WMA), told apart by a ConverterConfig. Each window serves
// two jobs chosen by JobMode, which the main window sets before showing it:
// 1 converts files of the other three formats to the window's format, 0
// normalizes files of the window's own format. Either way the output is a
// file of the window's format, written by a ConversionJob that the window
// owns; the MP3, WAV and OGG jobs run on a thread of their own, the WMA job
// on the GUI thread.

#include <QDialog>
#include <QSize>
#include <QString>

#include "tools/conversionjob.h"
#include "windowkit/toolcontrols.h"
#include "windowkit/toolwindow.h"

class QAction;
class QCheckBox;
class QMenu;
class QTableWidget;
class SkinLabel;

struct ConverterConfig {
    TargetFormat target = TargetFormat::Mp3;
    QString designCaption;
    QSize showSize;  // width x height set on show
    QString normalizeBoxName, normalizeBoxCaption;
    int fadeMinimum = 0;
    QString fileMenu, addItem, actionMenu;
    const char* defaultButtonName = "Button1";
    const char* folderKey = "output directory";
    bool hasPause = true;
    const char* convertSection = "";
    const char* normalizeSection = "";
    const char* convertAddSection = "";
    const char* normalizeAddSection = "";
    QString ownFilter, otherFilter;  // open dialog: normalization; conversion
};

ConverterConfig Mp3ConverterConfig();
ConverterConfig WavConverterConfig();
ConverterConfig OggConverterConfig();
ConverterConfig WmaConverterConfig();

class ConverterWindow : public QDialog {
    Q_OBJECT
public:
    explicit ConverterWindow(ConverterConfig config, QWidget* parent = nullptr);

    const ConverterConfig& config() const { return config_; }

    // 1 conversion, 0 normalization; read again by every handler.
    int JobMode = 1;
    bool normalizing() const { return JobMode == 0; }
    // A batch is running (the job has not reported its end).
    bool running() const;
    // The job of the batch that runs now, or null.
    ConversionJob* job() const { return job_; }
    // Worker threads that have not ended yet (a stopped job finishing its
    // block after the window let it go counts too).
    size_t workerThreads() const { return threads_.count(); }

    // Handlers (the menu items share them).
    void btn_addClick();
    void btn_deleteClick();
    void btn_clearClick();
    void btn_startClick();
    void btn_pauseClick();
    void btn_stopClick();
    void btn_closeClick();
    void btn_selectdirClick();
    void btn_defaultClick();
    void cb_normalizeClick();
    void cbx_fadeClick();

    // Adds the files as Add does after its dialog.
    void addFiles(const QStringList& files);

    QTableWidget* vslv_mp3file = nullptr;
    QPushButton* btn_default = nullptr;  // "Defalut"
    QPushButton* btn_add = nullptr;
    QPushButton* btn_delete = nullptr;
    QPushButton* btn_clear = nullptr;
    QPushButton* btn_start = nullptr;
    QPushButton* btn_pause = nullptr;  // null in the WMA window
    QPushButton* btn_stop = nullptr;
    QPushButton* btn_close = nullptr;
    QLineEdit* edt_directory = nullptr;
    QPushButton* btn_selectdir = nullptr;
    QCheckBox* cb_normalize = nullptr;
    UpDown* ud_normalize = nullptr;
    QCheckBox* cbx_fade = nullptr;
    UpDown* ud_fadein = nullptr;
    UpDown* ud_fadeout = nullptr;
    // Format controls (plain lists, unlike the encoder settings'); those of
    // other targets are null.
    QComboBox* cbx_frequency = nullptr;  // MP3, WAV, OGG
    QComboBox* cbx_channel = nullptr;    // MP3, WAV, OGG
    QComboBox* cbx_bit = nullptr;        // MP3
    QComboBox* cbx_vbrbit = nullptr;     // MP3
    UpDown* ud_quality = nullptr;        // MP3 (0..9), OGG (UpDown1, 0..1000)
    QComboBox* cbx_bitrate = nullptr;    // WAV (bits), OGG (bitrate)
    QComboBox* cbx_format = nullptr;     // WMA
    QPushButton* Button1 = nullptr;         // WMA "？"
    SkinLabel* helpLabel = nullptr;         // WMA
    ToolProgressBar* pb_mp3 = nullptr;

    QAction* mi_add = nullptr;
    QAction* mi_delete = nullptr;
    QAction* mi_clear = nullptr;
    QAction* mi_exit = nullptr;
    QAction* mi_start = nullptr;
    QAction* mi_pause = nullptr;  // null in the WMA window
    QAction* mi_stop = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    // Every way of closing (Close, Exit, the frame, Escape) comes here.
    void done(int result) override;

private:
    void buildFormatControls(class QFormLayout* form);
    void readSettings();
    void writeSettings();
    void defaultFormat();
    ConversionSettings snapshot() const;
    const char* section() const;
    const char* addSection() const;
    void setBatchButtons(bool running);
    void watch(ConversionJob* job, const QString& outputFolder);
    void detachJob();

    ConverterConfig config_;
    BoxJobHandler boxes_{this};
    ConversionJob* job_ = nullptr;
    ToolJobThreads threads_;  // stops and waits for its jobs when the window goes
};
