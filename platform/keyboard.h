#pragma once
// Keys that reach what the mouse reaches: F10 opens a window's menu bar, as
// it does in other desktop programs here, and Enter on a list row does
// what a double click on it does.

#include <functional>

class QAbstractItemView;
class QAction;
class QMenuBar;
class QWidget;

// F10 anywhere in window opens the first menu of bar; the arrows then walk
// the menus and Escape leaves them.
void OpenMenuBarOnF10(QWidget* window, QMenuBar* bar);
// F10 and Alt with a title's underlined letter open the bar's menus in
// window. A title without an underlined letter gets one: its first letter
// that no other title of the bar has taken.
void OpenMenusFromKeyboard(QWidget* window, QMenuBar* bar);
// From now on Alt with a letter or digit reaches shortcuts and menus only: a
// text field that none of them took the key from does not type it. Once for
// the application; later calls do nothing.
void KeepAltLettersOutOfText();
// Enter or Return on the list's current row runs handler, the list's
// double click handler; the key goes no further (not to a default button).
void RunOnEnter(QAbstractItemView* list, std::function<void()> handler);

// A list's own keys: Delete runs remove (nothing while it is disabled);
// Shift+F10 and the Menu key open the list's context menu at its selected
// row, as a right click there does; Tab and Shift+Tab move to the next and
// previous control instead of from cell to cell.
void GiveListItsKeys(QAbstractItemView* list, QAction* remove);
