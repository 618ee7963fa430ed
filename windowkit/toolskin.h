#pragma once
// The main window's skin engine dresses every tool window when it shows, in
// the skin's section "windows". The main window hands its engine over here,
// so that the tool windows need nothing else of it.

class QWidget;
class SkinEngine;

void SetToolWindowSkin(SkinEngine* engine);
// Resets the window's skin and applies the "windows" section; nothing when
// no engine was handed over (tests, a tool window shown on its own).
void DressToolWindow(QWidget* window);
