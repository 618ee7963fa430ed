#pragma once
// The application object. An exception that no handler caught would end the
// program inside Qt's event loop; it is caught where the event was delivered
// and handed to the main window's error handler, which logs it and offers to
// start the program again.

#include <QApplication>

#include <exception>
#include <functional>

class TunevaleApplication : public QApplication {
    Q_OBJECT
public:
    TunevaleApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs one delivery; an exception out of it goes to the handler and the
// delivery counts as handled.
bool DeliverGuarded(const std::function<bool()>& deliver);

// Hands an exception to the main window's handler (to standard error when
// there is no main window).
void HandleUnexpectedException(const std::exception_ptr& error);
