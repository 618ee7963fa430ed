#include "library/about.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QShowEvent>
#include <QVBoxLayout>

#include "components/skin/skinengine.h"
#include "components/skin/skinlabel.h"

Tfm_about* fm_about = nullptr;

namespace {

// The program's emblem: a note over a sound wave on a blue tile.
QPixmap Emblem() {
    QPixmap pixmap(112, 112);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient tile(0, 0, 0, 112);
    tile.setColorAt(0, QColor(0x4a, 0x7d, 0xc8));
    tile.setColorAt(1, QColor(0x1d, 0x3d, 0x78));
    p.setBrush(tile);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 108, 108), 18, 18);
    QPainterPath wave;
    wave.moveTo(12, 84);
    for (int x = 12; x <= 100; x += 4) wave.lineTo(x, 84 + ((x / 4) % 2 ? -1 : 1) * (4 + (x * 7) % 9));
    p.setPen(QPen(QColor(255, 255, 255, 110), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(30, 56, 22, 16));
    p.drawEllipse(QRectF(62, 50, 22, 16));
    p.drawRect(QRectF(47, 22, 5, 42));
    p.drawRect(QRectF(79, 16, 5, 42));
    QPolygonF beam({QPointF(47, 22), QPointF(84, 16), QPointF(84, 26), QPointF(47, 32)});
    p.drawPolygon(beam);
    return pixmap;
}

}  // namespace

Tfm_about::Tfm_about(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    auto* row = new QHBoxLayout(this);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(Emblem());
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->installEventFilter(this);
    row->addWidget(Image1, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    // The name keeps its size whatever look the skin gives the other labels.
    auto* name = new QLabel(QStringLiteral("Tunevale"), this);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    texts->addWidget(name);
    texts->addWidget(new SkinLabel(QStringLiteral("Music library manager and player"), this));
    lbl_version = new SkinLabel(QStringLiteral("Version 1.00"), this);
    lbl_version->setObjectName(QStringLiteral("lbl_version"));
    texts->addWidget(lbl_version);
    texts->addStretch(1);
    texts->addWidget(new SkinLabel(QStringLiteral("Click the picture to close this window."), this));
    row->addLayout(texts, 1);
    // Its size is known before it is first shown, so that it is centred.
    resize(sizeHint());
}

void Tfm_about::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void Tfm_about::FormShow() {
    if (!skin_) return;
    skin_->resetWindow(this);
    skin_->applySkinSection(this, QStringLiteral("windows"));
}

void Tfm_about::Image1Click() { close(); }

bool Tfm_about::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease) Image1Click();
    return QDialog::eventFilter(watched, event);
}
