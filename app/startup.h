#pragma once
// The program's start: whether this process becomes the running instance,
// closes the one it finds first, or only addresses it and ends.

#include <QString>

#include <cstdint>

class QApplication;

// The title a start looks for. Only an instance that closed another one
// carries it, so an instance started normally is never found.
inline const QString kSearchedTitle = QStringLiteral("Tunevale v1.00");
// The title of an instance that found nobody.
inline const QString kNormalTitle = QStringLiteral("Tunevale v1.10");

// The application title this instance set; the single-instance channel
// listens under it.
extern QString ApplicationTitle;

enum class StartupAction {
    StartNormal,     // nobody found
    CloseThenStart,  // found, with a file to open: close it, then start
    NotifyAndExit,   // found, nothing to open: address it and end
};

StartupAction DecideStartup(bool found, int parameterCount);

// The title a started instance takes after the decision.
QString StartupTitle(StartupAction action);

// The application's policy: the program ends when the main window closes,
// not when the last visible window does; the data root exists.
void SetUpApplication(QApplication& app);
// Shows the splash and paints it before the windows are created.
void ShowSplash();
// What the running instance does with a message from a later start: a
// close goes through the main window's own close path with its question.
// True when the main window really closed.
bool HandleInstanceMessage(std::uint8_t message);

// Everything after the application object exists: the single-instance test,
// the splash, the windows and the message loop. Returns the exit code.
int RunProgram(QApplication& app);
