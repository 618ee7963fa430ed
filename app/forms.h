#pragma once
// Every window of the program exists from start to exit: they are made
// once, in one fixed order (the main window first), and only shown and
// hidden afterwards.

// Creates the windows into their fm_ globals; fm_main is the first.
void CreateForms();
// The same in two steps, each in the order of the whole: the main window
// with the library's windows its first show uses (the playlist and mini
// windows), then the library's dialogs and the tool and disc windows, which
// the main window reaches only after asking its table of tool windows. A
// second call of CreateToolForms does nothing.
void CreateLibraryForms();
void CreateToolForms();
// The main window alone, as the first step of CreateLibraryForms: the start
// shows it and makes the library's other windows while its map is on the way
// to the X server, before the first turn of the event loop.
void CreateMainForm();
// Destroys them in the reverse order and clears the globals.
void DestroyForms();
