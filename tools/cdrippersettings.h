#pragma once
// The encoder settings dialog: output formats of the CD ripper and of the
// line-in recorder and, for the ripper, the CD reading options, the naming
// and folder of the output, normalize and fade, and the CD database lookup.
// It keeps nothing between runs: it reads its INI section when shown and
// writes it on OK. The opener sets CdSetForRecorder and the caption first.

#include <QDialog>
#include <QString>

#include <array>

#include "jobs/ripoptions.h"
#include "windowkit/toolcontrols.h"

class QButtonGroup;
class QCheckBox;
class QRadioButton;
class QTabWidget;
class SkinLabel;

// True: the recorder's settings (section [recorder], format tabs only);
// false: the ripper's (section [cd ripper], all tabs).
extern bool CdSetForRecorder;

class Tfm_cdset : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_cdset(QWidget* parent = nullptr);

    // Read by the ripper and the recorder settings while the dialog is closed.
    int currentWmaIndex() const;

    void btn_okClick();
    void btn_cancelClick();
    void btn_defaultClick();
    void btn_selectdirClick();
    void cbx_normalizeClick();
    void cbx_fadeClick();

    QTabWidget* PageControl1 = nullptr;
    // "CD Setting"
    std::array<QRadioButton*, 4> cd_g{};  // cd_g0..cd_g3: grab mode 1..4
    UpDown* ud_retries = nullptr;
    UpDown* ud_speed = nullptr;
    std::array<QRadioButton*, 4> cd_a{};  // cd_a1..cd_a4: error action 1..4
    // "MP3"
    ToolComboBox* cbx_frequency = nullptr;
    ToolComboBox* cbx_channel = nullptr;
    ToolComboBox* cbx_mp3bit = nullptr;
    ToolComboBox* cbx_mp3vbrbit = nullptr;
    UpDown* ud_mp3vbrquality = nullptr;
    // "WAV"
    std::array<QRadioButton*, 10> rb_f{};  // rb_f1..rb_f10: frequency code 1..10
    std::array<QRadioButton*, 2> rb_b{};   // rb_b1, rb_b2: bits code 1, 2
    std::array<QRadioButton*, 2> rb_c{};   // rb_c1, rb_c2: channel code 1, 2
    // "WMA"
    ToolComboBox* cbx_wma = nullptr;
    QPushButton* Button1 = nullptr;
    SkinLabel* SkinLabel1 = nullptr;
    // "OGG"
    ToolComboBox* cbx_oggfre = nullptr;
    ToolComboBox* cbx_oggchannel = nullptr;
    ToolComboBox* cbx_oggbit = nullptr;
    UpDown* up_oggquality = nullptr;
    // "Output"
    ToolComboBox* cbx_name = nullptr;
    QCheckBox* cbx_normalize = nullptr;
    UpDown* ud_normzlize = nullptr;
    QCheckBox* cbx_fade = nullptr;
    UpDown* ud_fadein = nullptr;
    UpDown* ud_fadeout = nullptr;
    QLineEdit* edt_directory = nullptr;
    QPushButton* btn_selectdir = nullptr;
    // "Free DB"
    std::array<QRadioButton*, 3> RadioButton{};  // RadioButton1..3: CD source 0..2
    QLineEdit* edt_cddbadd = nullptr;
    QLineEdit* edt_cddbport = nullptr;
    UpDown* ud_timeout = nullptr;

    QPushButton* btn_ok = nullptr;
    QPushButton* btn_default = nullptr;
    QPushButton* btn_cancel = nullptr;

    // The codes the radio groups stand for.
    int GrabMode = RipSettings{}.grabMode;
    int ErrorAction = RipSettings{}.errorAction;
    int CdSource = 1;
    int WavFrequency = 2;
    int WavBits = 2;
    int WavChannel = 2;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void readSettings();
    void writeSettings();
    void showRipSettings(const RipSettings& settings, bool withFolder);
    void checkCodes();
};

extern Tfm_cdset* fm_cdset;
