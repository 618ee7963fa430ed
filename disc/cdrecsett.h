#pragma once
// The data writer's write options, kept in [Data CD Burner]: Joliet, Mode
// 2/XA (kept as a setting; the disc is written in Mode 1) and finalize.

#include <QDialog>

class QCheckBox;
class QPushButton;

class Tfm_recsett : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_recsett(QWidget* parent = nullptr);

    QCheckBox* cb_joliet = nullptr;
    QCheckBox* cd_mode = nullptr;
    QCheckBox* cd_finalize = nullptr;
    QPushButton* btn_settok = nullptr;
    QPushButton* btn_settcancel = nullptr;

    void FormShow();
    void btn_settokClick();
    void btn_settcancelClick();

protected:
    void showEvent(QShowEvent* event) override;
};

extern Tfm_recsett* fm_recsett;
