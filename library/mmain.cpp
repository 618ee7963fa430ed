#include "library/mmain.h"

#include <QCloseEvent>
#include <QShowEvent>

#include "components/skin/skinengine.h"

Tfm_mmain* fm_mmain = nullptr;

Tfm_mmain::Tfm_mmain(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Tunevale"));
    resize(373, 55);
}

void Tfm_mmain::setSkinEngine(SkinEngine* engine) { engine_ = engine; }

void Tfm_mmain::FormShow() {
    resize(373, 55);
    if (engine_) engine_->applySkinSection(this, QStringLiteral("minTunevale"));
}

void Tfm_mmain::CloseForReturn() {
    returning_ = true;
    close();
    returning_ = false;
}

void Tfm_mmain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Dressing the window shows it again; only a window that was closed
    // starts afresh.
    if (event->spontaneous() || formShown_) return;
    formShown_ = true;
    FormShow();
}

void Tfm_mmain::closeEvent(QCloseEvent* event) {
    if (returning_) {
        formShown_ = false;
        event->accept();
        return;
    }
    event->ignore();
    emit closeRequested();
}
