#pragma once
// The audio CD writer's options, kept in [Audio CD Burner]: eject the disc
// when a write completes, and decode every track into a CD-quality WAV
// before writing. "Ok" writes both, "Cancel" writes nothing.

#include <QDialog>

class QCheckBox;
class QPushButton;

class Tfm_option : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_option(QWidget* parent = nullptr);

    QCheckBox* cbx_eject = nullptr;
    QCheckBox* cbx_cache = nullptr;
    QPushButton* btn_ok = nullptr;
    QPushButton* btn_cancel = nullptr;

    void FormShow();
    void btn_okClick();
    void btn_cancelClick();

protected:
    void showEvent(QShowEvent* event) override;
};

extern Tfm_option* fm_option;
