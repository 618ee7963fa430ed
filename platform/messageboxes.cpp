#include "platform/messageboxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include "platform/presenter.h"

namespace {

int g_open = 0;

class RealMessageBoxes final : public MessageBoxes {
public:
    MessageAnswer show(const MessageRequest& r) override {
        QMessageBox::Icon icon = QMessageBox::Information;
        switch (r.kind) {
        case MessageKind::Information: icon = QMessageBox::Information; break;
        case MessageKind::Confirmation: icon = QMessageBox::Question; break;
        case MessageKind::Warning: icon = QMessageBox::Warning; break;
        case MessageKind::Error: icon = QMessageBox::Critical; break;
        }
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        QMessageBox::StandardButton escape = QMessageBox::Ok;
        switch (r.buttons) {
        case MessageButtons::Ok: break;
        case MessageButtons::OkCancel:
            buttons = QMessageBox::Ok | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        case MessageButtons::YesNo:
            buttons = QMessageBox::Yes | QMessageBox::No;
            escape = QMessageBox::No;
            break;
        case MessageButtons::YesNoCancel:
            buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        }
        QMessageBox box(icon, r.title, r.text, buttons, r.parent);
        // A box stays above the window it was asked over, and above every
        // window of the program that is kept on top, or it would open
        // hidden behind that one.
        if (OnTopWindowShown()) box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.setEscapeButton(escape);
        if (!r.details.isEmpty()) box.setDetailedText(r.details);
        switch (box.exec()) {
        case QMessageBox::Yes: return MessageAnswer::Yes;
        case QMessageBox::No: return MessageAnswer::No;
        case QMessageBox::Cancel: return MessageAnswer::Cancel;
        case QMessageBox::Ok: return MessageAnswer::Ok;
        default:
            if (escape == QMessageBox::No) return MessageAnswer::No;
            return escape == QMessageBox::Cancel ? MessageAnswer::Cancel : MessageAnswer::Ok;
        }
    }
};

RealMessageBoxes g_real;
MessageBoxes* g_installed = nullptr;

}  // namespace

void InstallMessageBoxes(MessageBoxes* boxes) { g_installed = boxes; }

MessageBoxes& CurrentMessageBoxes() { return g_installed ? *g_installed : g_real; }

MessageAnswer ShowMessage(const MessageRequest& request) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        qWarning("A message box was asked for off the GUI thread: %s", qPrintable(request.text));
        return MessageAnswer::Cancel;
    }
    ++g_open;
    const MessageAnswer answer = CurrentMessageBoxes().show(request);
    --g_open;
    return answer;
}

bool MessageBoxOpen() { return g_open > 0; }

void ShowInformation(const QString& text, QWidget* parent) { ShowInformation(text, QString(), parent); }

void ShowInformation(const QString& text, const QString& details, QWidget* parent) {
    ShowMessage({MessageKind::Information, QStringLiteral("Information"), text, MessageButtons::Ok, parent, details});
}

bool AskConfirmation(const QString& text, QWidget* parent) {
    return ShowMessage({MessageKind::Confirmation, QStringLiteral("Confirmation"), text, MessageButtons::YesNo,
                        parent, {}}) == MessageAnswer::Yes;
}

void ShowError(const QString& text, QWidget* parent) {
    ShowMessage({MessageKind::Error, QStringLiteral("Error"), text, MessageButtons::Ok, parent, {}});
}
