#pragma once
// Every window of the program exists from start to exit: they are made
// once, in one fixed order (the main window first), and only shown and
// hidden afterwards.

// Creates the windows into their fm_ globals; fm_main is the first.
void CreateForms();
// The same in two steps, each in the order of the whole: the main window
// with the library's windows, which its first show uses, then the tool and
// disc windows, which the main window reaches only through its table of
// tool windows. A second call of CreateToolForms does nothing.
void CreateLibraryForms();
void CreateToolForms();
// Destroys them in the reverse order and clears the globals.
void DestroyForms();
