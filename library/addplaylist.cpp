#include "library/addplaylist.h"

#include <QShowEvent>
#include <QVBoxLayout>

#include "components/skin/skinengine.h"
#include "components/skin/skinlabel.h"

Tfm_addlist* fm_addlist = nullptr;

Tfm_addlist::Tfm_addlist(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Add File..."));
    auto* column = new QVBoxLayout(this);
    column->addWidget(new SkinLabel(QStringLiteral("Adding files to the library,"), this));
    column->addWidget(new SkinLabel(QStringLiteral("please wait..."), this));
    resize(200, 58);
}

void Tfm_addlist::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void Tfm_addlist::FormShow() {
    if (!skin_) return;
    skin_->resetWindow(this);
    skin_->applySkinSection(this, QStringLiteral("windows"));
}
