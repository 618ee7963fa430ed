#pragma once
// Facts of the disc in the data writer's recorder: used and free space,
// the kind of disc and its state.

#include <QDialog>

class DataDiscWriter;
class QLabel;
class QPushButton;

class Tfm_discinfo : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_discinfo(QWidget* parent = nullptr);

    QLabel* sl_used = nullptr;
    QLabel* sl_estspace = nullptr;
    QLabel* sl_disctype = nullptr;
    QLabel* sl_discstatus = nullptr;
    QPushButton* btn_ok = nullptr;

    // The writer whose disc is shown (the data writer window's).
    DataDiscWriter* Writer = nullptr;

    void FormShow();
    void btn_okClick();

protected:
    void showEvent(QShowEvent* event) override;
};

extern Tfm_discinfo* fm_discinfo;

// "700.000 MB"
QString DiscMegabytes(int64_t bytes);
QString DiscTypeText(int type);
QString DiscStatusText(int status);
