#include "library/associate.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "components/skin/skinengine.h"
#include "library/desktopentry.h"
#include "platform/messageboxes.h"
#include "platform/paths.h"

Tfm_associate* fm_associate = nullptr;

Tfm_associate::Tfm_associate(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Associate"));
    auto* column = new QVBoxLayout(this);
    gbx_type = new QGroupBox(QStringLiteral("Associate Type"), this);
    gbx_type->setObjectName(QStringLiteral("gbx_type"));
    auto* boxes = new QHBoxLayout(gbx_type);
    auto box = [this, boxes](const char* name, const char* caption) {
        auto* check = new QCheckBox(QString::fromLatin1(caption), gbx_type);
        check->setObjectName(QString::fromLatin1(name));
        boxes->addWidget(check);
        return check;
    };
    cbx_wav = box("cbx_wav", ".WAV");
    cbx_mp3 = box("cbx_mp3", ". MP3");
    cbx_ogg = box("cbx_ogg", ". OGG");
    cbx_wma = box("cbx_wma", ". WMA");
    column->addWidget(gbx_type);
    auto* buttons = new QHBoxLayout;
    btn_associate = new QPushButton(QStringLiteral("Associate"), this);
    btn_associate->setObjectName(QStringLiteral("btn_associate"));
    btn_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    btn_cancel->setObjectName(QStringLiteral("btn_cancel"));
    buttons->addStretch(1);
    buttons->addWidget(btn_associate);
    buttons->addWidget(btn_cancel);
    column->addLayout(buttons);
    connect(btn_associate, &QPushButton::clicked, this, &Tfm_associate::btn_associateClick);
    connect(btn_cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(264, 150);
}

void Tfm_associate::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void Tfm_associate::FormShow() {
    resize(264, 150);
    if (!skin_) return;
    skin_->resetWindow(this);
    skin_->applySkinSection(this, QStringLiteral("filter"));
}

void Tfm_associate::btn_associateClick() {
    const QString program = QString::fromStdString(ProgramPath());
    const std::pair<QCheckBox*, const char*> types[] = {
        {cbx_mp3, ".mp3"}, {cbx_wav, ".wav"}, {cbx_ogg, ".ogg"}, {cbx_wma, ".wma"}};
    QStringList failures;
    for (const auto& [box, extension] : types) {
        if (!box->isChecked()) continue;
        // A type that cannot be registered is skipped; the others still are.
        if (const std::optional<QString> error = RegisterFileType(QString::fromLatin1(extension), program))
            if (!failures.contains(*error)) failures << *error;
    }
    if (!failures.isEmpty()) ShowError(failures.join(u'\n'), this);
    accept();
}
