#pragma once
// While a modal box or dialog is up, the windows it blocks take no input: Qt
// refuses their clicks, keys and shortcuts. What it does not refuse is a
// command that reaches a blocked window another way (a timer, an assistive
// tool's action, a job's report) and opens a dialog there, whose loop would
// then run inside the box's; the two could end out of order and leave the
// program blocked with no dialog shown. The presenter and the file dialogs
// refuse such a dialog through ModalBlocking, and every refusal is logged
// with what holds the program modal, so that a window that stops answering
// can be traced to the widget that blocks it.

class QObject;
class QWidget;

// The modal widget that blocks window's input, or nullptr. The modal widget
// itself, what it opened (its boxes) and open popups are not blocked.
QWidget* ModalBlocking(const QWidget* window);

// Writes one log line: input of this kind meant for target was refused, and
// which modal widget and modal window hold the program.
void LogRefusedInput(const QObject* target, const char* what);

// From now on logs every key or mouse press that Qt refuses to a blocked
// window (on X11, where Qt drops them without a trace). Later calls do
// nothing.
void LogInputRefusedWhileModal();
