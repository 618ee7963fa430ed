#pragma once
// libburn serves both CD writers. It is started once per process, the first
// time a writer needs it, and finished at exit. Its messages never reach the
// terminal: they are queued inside the library and taken from there into the
// program's log, and the last serious one tells the user what went wrong
// (a full disk, missing rights) instead of a bare failure.
//
// burn_set_signal_handling is never called, so libburn installs no signal
// handler and the program keeps its own reaction to signals.

#include <QString>

// True when libburn is usable. Safe to call from any thread, any number of
// times.
bool InitializeBurnLibrary();

// Moves every queued libburn message into the log. Returns the text of the
// most recent one of severity SORRY or worse, or an empty text. Before the
// library has started it returns why it could not be loaded, if it could not.
QString TakeBurnMessages();
