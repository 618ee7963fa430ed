#include "library/main.h"

#include <QCloseEvent>
#include <QCoreApplication>

#include "platform/messageboxes.h"

Tfm_main* fm_main = nullptr;

Tfm_main::Tfm_main(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Tunevale"));
    resize(760, 520);
}

void Tfm_main::closeEvent(QCloseEvent* event) {
    if (!AskConfirmation(QStringLiteral("Are you sure to quit?"), this)) {
        event->ignore();
        return;
    }
    event->accept();
    // The program ends with this window, not with the last visible one.
    QCoreApplication::quit();
}
