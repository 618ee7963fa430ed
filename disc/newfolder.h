#pragma once
// Asks for the name of a folder of the data CD compilation.

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;

class Tfm_newfolder : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_newfolder(QWidget* parent = nullptr);

    QLabel* sl_name = nullptr;
    QLineEdit* edt_name = nullptr;
    QPushButton* btn_ok = nullptr;
    QPushButton* btn_cancel = nullptr;

    // The entered name after Ok, empty after Cancel.
    QString FolderName;
    // Names of the children of the folder the new one goes into; the
    // opener sets them.
    QStringList TakenNames;

    void FormShow();
    void btn_okClick();
    void btn_cancelClick();
    void edt_nameKeyPress(int key);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

extern Tfm_newfolder* fm_newfolder;
