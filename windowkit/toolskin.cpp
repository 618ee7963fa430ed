#include "windowkit/toolskin.h"

#include <QPointer>

#include "components/skin/skinengine.h"
#include "platform/keyboard.h"

namespace {
QPointer<SkinEngine> g_engine;
}

void SetToolWindowSkin(SkinEngine* engine) { g_engine = engine; }

void DressToolWindow(QWidget* window) {
    KeepAltLettersOutOfText();
    if (!g_engine || !window) return;
    g_engine->resetWindow(window);
    g_engine->applySkinSection(window, QStringLiteral("windows"));
}
