#pragma once
// Makes the program the opener of the audio types the user checks: through
// its desktop entry and the user's "mimeapps.list", written only when the
// user presses "Associate".
//
// Errors: a type whose list line could not be written is skipped, the others
// are still registered, and the user is told which file could not be
// written.

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;
class SkinEngine;

class Tfm_associate : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_associate(QWidget* parent = nullptr);

    // Dresses the window at each showing; null leaves it plain.
    void setSkinEngine(SkinEngine* engine) { skin_ = engine; }

    QGroupBox* gbx_type = nullptr;
    QCheckBox* cbx_wav = nullptr;
    QCheckBox* cbx_mp3 = nullptr;
    QCheckBox* cbx_ogg = nullptr;
    QCheckBox* cbx_wma = nullptr;
    QPushButton* btn_associate = nullptr;
    QPushButton* btn_cancel = nullptr;

    void FormShow();
    void btn_associateClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    SkinEngine* skin_ = nullptr;
};

extern Tfm_associate* fm_associate;
