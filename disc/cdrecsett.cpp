#include "disc/cdrecsett.h"

#include <QCheckBox>
#include <QPushButton>

#include "disc/discwindows.h"
#include "windowkit/toolskin.h"
#include "platform/inifile.h"

Tfm_recsett* fm_recsett = nullptr;

Tfm_recsett::Tfm_recsett(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Burner Setting"));
    cb_joliet = PlaceControl(new QCheckBox(QStringLiteral("Include Joliet Directories(64 Characters)")), this, 16, 16, 320, 21);
    cd_mode = PlaceControl(new QCheckBox(QStringLiteral("Mode 2/XA Instead of Mode 1(CDR/W Only)")), this, 16, 44, 320, 21);
    cd_finalize =
        PlaceControl(new QCheckBox(QStringLiteral("Finalize Disc (No Further Writing Possible)")), this, 16, 72, 320, 21);
    btn_settok = PlaceControl(new QPushButton(QStringLiteral("OK")), this, 160, 108, 80, 25);
    btn_settcancel = PlaceControl(new QPushButton(QStringLiteral("Cancel")), this, 250, 108, 80, 25);
    connect(btn_settok, &QPushButton::clicked, this, &Tfm_recsett::btn_settokClick);
    connect(btn_settcancel, &QPushButton::clicked, this, &Tfm_recsett::btn_settcancelClick);
    setFixedSize(345, 145);
}

void Tfm_recsett::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void Tfm_recsett::FormShow()
{
    DressToolWindow(this);
    const IniFile ini;
    cb_joliet->setChecked(ini.readBool(kDataCdSection, "joliet", true));
    cd_mode->setChecked(ini.readBool(kDataCdSection, "mode", false));
    cd_finalize->setChecked(ini.readBool(kDataCdSection, "finalize", false));
}

void Tfm_recsett::btn_settokClick()
{
    IniFile ini;
    ini.writeBool(kDataCdSection, "joliet", cb_joliet->isChecked());
    ini.writeBool(kDataCdSection, "mode", cd_mode->isChecked());
    ini.writeBool(kDataCdSection, "finalize", cd_finalize->isChecked());
    accept();
}

void Tfm_recsett::btn_settcancelClick() { reject(); }
