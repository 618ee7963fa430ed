#pragma once
// Every message box of the program goes through here, so that tests can
// answer the questions and read what was asked. Boxes belong to the GUI
// thread: a worker asks through its job's handler, which can let it go when
// the job is stopped. A box asked for on another thread is not shown; the
// call answers Cancel at once, since waiting there could hang against a
// window that waits for that worker.

#include <QString>

class QWidget;

enum class MessageKind { Information, Confirmation, Warning, Error };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    MessageKind kind = MessageKind::Information;
    QString title;
    QString text;
    MessageButtons buttons = MessageButtons::Ok;
    QWidget* parent = nullptr;
    QString details;  // shown on demand under the text, such as the files concerned
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // The answer of a box closed without a button is the "No" or "Cancel"
    // one (Ok for a box with only OK).
    virtual MessageAnswer show(const MessageRequest& request) = 0;
};

// The boxes in use; nullptr restores the real ones. The installer keeps
// ownership.
void InstallMessageBoxes(MessageBoxes* boxes);
MessageBoxes& CurrentMessageBoxes();

MessageAnswer ShowMessage(const MessageRequest& request);
// True while a box is open (on the GUI thread). A job's question waits for
// it to close: opening over another question, it would take the click
// meant for that one.
bool MessageBoxOpen();
// "Information" with OK.
void ShowInformation(const QString& text, QWidget* parent = nullptr);
void ShowInformation(const QString& text, const QString& details, QWidget* parent);
// "Confirmation" with Yes and No; true only for Yes.
bool AskConfirmation(const QString& text, QWidget* parent = nullptr);
// "Error" with OK.
void ShowError(const QString& text, QWidget* parent = nullptr);
