#include "disc/discinformation.h"

#include <QLabel>
#include <QPushButton>

#include "components/discwriter/datadiscwriter.h"
#include "disc/discwindows.h"
#include "windowkit/toolskin.h"

Tfm_discinfo* fm_discinfo = nullptr;

QString DiscMegabytes(int64_t bytes)
{
    return QString::number(static_cast<double>(bytes) / 1024.0 / 1024.0, 'f', 3) + QStringLiteral(" MB");
}

QString DiscTypeText(int type)
{
    switch (type) {
    case 0: return QStringLiteral("No Disc");
    case 1: return QStringLiteral("Write Once");
    case 2: return QStringLiteral("Erasable Disc");
    case 3: return QStringLiteral("DVD-RAM");
    default: return {};
    }
}

QString DiscStatusText(int status)
{
    switch (status) {
    case 0: return QStringLiteral("Blank");
    case 1: return QStringLiteral("Open");
    case 2: return QStringLiteral("Closed");
    case 3: return QStringLiteral("Unknown");
    default: return {};
    }
}

Tfm_discinfo::Tfm_discinfo(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Disc Information"));
    const char* captions[] = {"Used Space:", "Free Space:", "Disc Type:", "Disc Status:"};
    QLabel** values[] = {&sl_used, &sl_estspace, &sl_disctype, &sl_discstatus};
    for (int i = 0; i < 4; ++i) {
        PlaceControl(new QLabel(QString::fromLatin1(captions[i])), this, 16, 16 + i * 26, 90, 21);
        *values[i] = PlaceControl(new QLabel, this, 110, 16 + i * 26, 150, 21);
    }
    btn_ok = PlaceControl(new QPushButton(QStringLiteral("OK")), this, 100, 124, 80, 25);
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_discinfo::btn_okClick);
    setFixedSize(280, 160);
}

void Tfm_discinfo::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void Tfm_discinfo::FormShow()
{
    DressToolWindow(this);
    if (!Writer)
        return;
    // Read after the refresh, so the sizes are the disc's in the drive now.
    Writer->refresh();
    sl_used->setText(DiscMegabytes(Writer->usedBytes()));
    sl_estspace->setText(DiscMegabytes(Writer->getFreeBytes()));
    // A size that is not known reads as nothing, in the unit of the others.
    const QString none = DiscMegabytes(0);
    const int type = Writer->discType();
    sl_disctype->setText(DiscTypeText(type));
    if (type == 0) {
        sl_used->setText(none);
        sl_estspace->setText(none);
    }
    const int status = Writer->discStatus();
    sl_discstatus->setText(DiscStatusText(status));
    if (status == 0)
        sl_used->setText(none);
    if (status == 3) {
        sl_used->setText(none);
        sl_estspace->setText(none);
    }
}

void Tfm_discinfo::btn_okClick() { accept(); }
