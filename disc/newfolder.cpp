#include "disc/newfolder.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "disc/compilation.h"
#include "disc/discwindows.h"
#include "windowkit/toolskin.h"
#include "platform/messageboxes.h"

Tfm_newfolder* fm_newfolder = nullptr;

Tfm_newfolder::Tfm_newfolder(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Create New Folder"));
    sl_name = PlaceControl(new QLabel(QStringLiteral("Please enter the name of your new folder:")), this, 16, 12, 300, 21);
    edt_name = PlaceControl(new QLineEdit, this, 16, 38, 300, 23);
    sl_name->setBuddy(edt_name);
    edt_name->installEventFilter(this);
    btn_ok = PlaceControl(new QPushButton(QStringLiteral("Ok")), this, 146, 74, 80, 25);
    btn_cancel = PlaceControl(new QPushButton(QStringLiteral("Cancel")), this, 236, 74, 80, 25);
    btn_ok->setAutoDefault(false);
    btn_cancel->setAutoDefault(false);
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_newfolder::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_newfolder::btn_cancelClick);
    setFixedSize(332, 110);
}

void Tfm_newfolder::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void Tfm_newfolder::FormShow() { DressToolWindow(this); }

bool Tfm_newfolder::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edt_name && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            edt_nameKeyPress(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Tfm_newfolder::edt_nameKeyPress(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        btn_okClick();
}

void Tfm_newfolder::btn_okClick()
{
    const QString text = edt_name->text();
    static const QString kNine = QStringLiteral("*?|:\"/\\<>");
    for (QChar c : text) {
        if (kNine.contains(c)) {
            ShowInformation(QStringLiteral("* ? | : \" \\ / < > are illegal in file name."), this);
            edt_name->setText(FolderName);
            return;
        }
    }
    // "." and ".." would name the folder above; a leading dot hides the
    // folder from every walk, so its files would never reach the disc.
    if (text.isEmpty() || text.trimmed().isEmpty() || IsIllegalFolderName(text)) {
        ShowInformation(QStringLiteral("Please enter the name of your new folder!"), this);
        return;
    }
    if (TakenNames.contains(text)) {
        ShowInformation(QStringLiteral("The same-named-folder already exists!"), this);
        return;
    }
    FolderName = text;
    accept();
}

void Tfm_newfolder::btn_cancelClick()
{
    FolderName.clear();
    reject();
}
