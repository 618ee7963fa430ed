#pragma once
// Every window of the program exists from start to exit: they are made
// once, in one fixed order (the main window first), and only shown and
// hidden afterwards.

// Creates the windows into their fm_ globals; fm_main is the first.
void CreateForms();
// Destroys them in the reverse order and clears the globals.
void DestroyForms();
