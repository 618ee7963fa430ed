#include "library/cover.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QImage>
#include <QScreen>

#include <future>

Tfm_cover* fm_cover = nullptr;

namespace {

constexpr int kWidth = 399;
constexpr int kHeight = 239;

// The splash picture with the product texts, drawn here rather than shipped.
// An image rather than a pixmap: it is drawn on a thread of its own.
QImage CoverPicture() {
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&picture);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0.0, QColor(0x1f, 0x3b, 0x5c));
    sky.setColorAt(1.0, QColor(0x0b, 0x14, 0x22));
    p.fillRect(picture.rect(), sky);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 24; ++i) {
        const int h = 12 + (i * 37) % 70;
        p.setBrush(QColor(0x4f, 0x9d, 0xd9, 90 + (i * 23) % 120));
        p.drawRoundedRect(QRectF(24 + i * 14.5, kHeight - 40 - h, 9, h), 2, 2);
    }
    p.setPen(QColor(0xf2, 0xf5, 0xf8));
    QFont title = p.font();
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(24, 30, kWidth - 48, 56), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tunevale"));
    QFont small = p.font();
    small.setPixelSize(13);
    small.setBold(false);
    p.setFont(small);
    p.drawText(QRect(26, 86, kWidth - 52, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Music library and player"));
    p.drawText(QRect(24, kHeight - 32, kWidth - 48, 20), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Version 1.10"));
    return picture;
}

// A label would grey its picture out, and the splash is disabled on purpose
// (it takes no input); the picture is drawn as it is. Loading the fonts of
// its words takes about as long as making and showing the window, so the
// picture is drawn beside that, and the first paint waits for it.
class CoverImage final : public QWidget {
public:
    explicit CoverImage(QWidget* parent)
        : QWidget(parent), drawing_(std::async(std::launch::async, CoverPicture)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        if (drawing_.valid()) picture_ = drawing_.get();
        QPainter p(this);
        p.drawImage(rect(), picture_);
    }

private:
    std::future<QImage> drawing_;
    QImage picture_;
};

}  // namespace

Tfm_cover::Tfm_cover(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      Image1(new CoverImage(this)),
      Timer1(new QTimer(this)) {
    fm_cover = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kWidth, kHeight);
    setEnabled(false);
    Image1->setGeometry(rect());
    if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->geometry().center() - rect().center());

    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Tfm_cover::Timer1Timer);
    Timer1->start();
}

Tfm_cover::~Tfm_cover() {
    if (fm_cover == this) fm_cover = nullptr;
}

void Tfm_cover::Timer1Timer() { close(); }
