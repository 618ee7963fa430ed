#include "library/cover.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>

#include <cstdint>

extern const int kCoverPictureWidth;
extern const int kCoverPictureHeight;
extern const std::uint32_t kCoverPicture[];

Tfm_cover* fm_cover = nullptr;

namespace {

constexpr int kWidth = 399;
constexpr int kHeight = 239;

// A label would grey its picture out, and the splash is disabled on purpose
// (it takes no input); the picture is drawn as it is. It was drawn, words and
// all, when the program was built (coverart), so the first paint waits for
// no font.
class CoverImage final : public QWidget {
public:
    explicit CoverImage(QWidget* parent)
        : QWidget(parent),
          picture_(reinterpret_cast<const uchar*>(kCoverPicture), kCoverPictureWidth, kCoverPictureHeight,
                   kCoverPictureWidth * 4, QImage::Format_RGB32) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(rect(), picture_);
    }

private:
    const QImage picture_;
};

}  // namespace

Tfm_cover::Tfm_cover(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      Image1(new CoverImage(this)),
      Timer1(new QTimer(this)) {
    fm_cover = this;
    setAttribute(Qt::WA_DeleteOnClose);
    // It comes over the main window, which keeps the keyboard.
    setAttribute(Qt::WA_ShowWithoutActivating);
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
