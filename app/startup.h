#pragma once
// The program's start: whether this process becomes the one instance that
// runs on its library (the data root), closes the one it finds first, or
// only addresses it and ends. Two instances never share a library, so
// neither overwrites the other's tree file.

#include <cstdint>

class InstanceServer;
class QApplication;
class QString;
class QWidget;

// The key every instance on one data root listens under, whatever its
// window's title.
extern const QString kInstanceKey;

enum class StartupAction {
    StartNormal,     // nobody found
    CloseThenStart,  // found, with a file to open: close it, then start
    NotifyAndExit,   // found, nothing to open: bring it to the front and end
};

StartupAction DecideStartup(bool found, int parameterCount);

// Makes this process the instance of its data root: addresses the running
// one as the decision says, then listens on the channel. False when this
// start ends here: the running instance was brought to the front, or it
// refused to close and keeps the library.
bool ClaimInstance(InstanceServer& channel, int parameterCount);

// The application's policy: the program ends when the main window closes,
// not when the last visible window does; a file-size limit fails a write
// rather than ending the process; the data root exists.
void SetUpApplication(QApplication& app);
// Shows the splash over the main window and paints it at once.
void ShowSplash();
// Shows the splash and makes the tool and disc windows right after the
// window's first paint, or a second after this call if it is not painted by
// then.
void CreateToolFormsAfterFirstPaint(QWidget* window);
// What the running instance does with a message from a later start: a
// close goes through the main window's own close path with its question;
// a start without a file brings the window the user sees to the front.
// True when the main window really closed.
bool HandleInstanceMessage(std::uint8_t message);

// Removes what processes on this machine that no longer run left behind:
// the audio CD caches in the temporary folder, image parts in the image
// folder and the data CD staging folder; an append to the data image that
// was cut short is taken back. What a running process still writes stays.
// Runs on a thread of its own from the start.
void SweepLeftovers();

// Reads the system's font configuration on a thread: the first words any
// window shows wait for it, and it needs nothing of Qt, so it is read while
// the application object is made. Called first thing in the process.
void StartReadingFontConfiguration();
// Until the reading above is done; at once when it was never started. Font
// lookups wait for it so that the configuration is never read twice at once.
void WaitForFontConfiguration();

// Everything after the application object exists: the single-instance test,
// the splash, the windows and the message loop. Returns the exit code.
int RunProgram(QApplication& app);
