#include "disc/option.h"

#include <QCheckBox>
#include <QPushButton>

#include "disc/audiocdsettings.h"
#include "platform/inifile.h"
#include "windowkit/toolskin.h"

Tfm_option* fm_option = nullptr;

Tfm_option::Tfm_option(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Option"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    cbx_eject = new QCheckBox(QStringLiteral("Auto-Eject CD on Completion"), this);
    cbx_eject->setGeometry(16, 14, 240, 21);
    cbx_cache = new QCheckBox(QStringLiteral("Cache/Decode Files Locally"), this);
    cbx_cache->setGeometry(16, 42, 240, 21);
    btn_ok = new QPushButton(QStringLiteral("Ok"), this);
    btn_ok->setGeometry(60, 80, 80, 25);
    btn_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    btn_cancel->setGeometry(150, 80, 80, 25);
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_option::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_option::btn_cancelClick);
    setFixedSize(250, 116);
}

void Tfm_option::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void Tfm_option::FormShow() {
    DressToolWindow(this);
    const IniFile ini;
    cbx_eject->setChecked(ini.readBool(AudioCdSection, "auto eject", true));
    cbx_cache->setChecked(ini.readBool(AudioCdSection, "cache", true));
}

void Tfm_option::btn_okClick() {
    IniFile ini;
    ini.writeBool(AudioCdSection, "auto eject", cbx_eject->isChecked());
    ini.writeBool(AudioCdSection, "cache", cbx_cache->isChecked());
    accept();
}

void Tfm_option::btn_cancelClick() { reject(); }
