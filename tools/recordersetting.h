#pragma once
// The line-in recorder's options: output format, the three input filters,
// the time limit and the silence handling, kept in [recorder]. OK writes
// them and the recorder's format summary; Cancel writes nothing.

#include <QDialog>
#include <QSpinBox>

#include <array>

class QButtonGroup;
class QCheckBox;
class QPushButton;
class QRadioButton;
class UpDown;

// A spin box that the user may type into; left empty, it takes emptyValue.
class SpinEdit : public QSpinBox {
    Q_OBJECT
public:
    SpinEdit(int min, int max, int step, int emptyValue, QWidget* parent = nullptr);
    // Only the arrows and the keyboard's steps change it.
    void setTypingOff();

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    int emptyValue_;
};

class Tfm_recordsetting : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_recordsetting(QWidget* parent = nullptr);

    // "Filter Settings"
    QCheckBox* CB_notch = nullptr;
    SpinEdit* se_notch = nullptr;
    QCheckBox* CB_highpass = nullptr;
    SpinEdit* SpinEdit2 = nullptr;
    QCheckBox* CB_lowpass = nullptr;
    SpinEdit* SpinEdit3 = nullptr;
    // "Output Format": WAV, MP3, OGG, WMA
    std::array<QRadioButton*, 4> rb_format{};
    // "Edit Record Time"
    QCheckBox* cb_time = nullptr;
    UpDown* up_hour = nullptr;
    UpDown* up_minute = nullptr;
    UpDown* up_second = nullptr;
    // "Recorder Option"
    QCheckBox* cb_auto = nullptr;
    UpDown* up_at = nullptr;
    UpDown* up_rt = nullptr;
    UpDown* up_rl = nullptr;
    QPushButton* btn_default = nullptr;
    QPushButton* btn_ok = nullptr;
    QPushButton* btn_cancel = nullptr;
    QPushButton* btn_option = nullptr;

    // 0 WAV, 1 MP3, 2 OGG, 3 WMA.
    int RecordFormat = 1;

    void btn_defaultClick();
    void btn_okClick();
    void btn_optionClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void readSettings();
};

extern Tfm_recordsetting* fm_recordsetting;
