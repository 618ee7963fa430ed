#include "skin/drawing.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

void DrawTiled(QPainter& p, const QImage& picture, const QRect& rect) {
    if (picture.isNull() || rect.isEmpty()) return;
    // Tiles start at the origin; only the rectangle is painted.
    const QPoint offset(rect.left() % picture.width(), rect.top() % picture.height());
    p.drawTiledPixmap(rect, QPixmap::fromImage(picture), offset);
}

QImage WithTransparentKey(const QImage& image, QRgb key) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    key &= 0xFFFFFF;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key && qAlpha(line[x]) == 255) line[x] = 0;
    }
    return out;
}

void DrawStretch3Part(const QImage& image, QPainter& p, const QRect& rect, bool useCornerPixel) {
    const int pw = image.width() / 3;
    if (pw <= 0 || rect.isEmpty()) return;
    const QRgb key = useCornerPixel ? image.pixel(0, 0) : qRgb(255, 0, 255);
    const QImage keyed = WithTransparentKey(image, key);
    const int h = image.height();
    // Scaling the middle must not blend the key colour into its neighbours.
    const bool smooth = p.testRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QPoint(rect.left(), rect.top()), keyed, QRect(0, 0, pw, h));
    p.drawImage(QPoint(rect.left() + rect.width() - pw, rect.top()), keyed, QRect(2 * pw, 0, pw, h));
    // A rectangle narrower than the two ends leaves no room for the middle;
    // stretching it to a negative width would mirror it.
    const int middle = rect.width() - 2 * pw;
    if (middle > 0) p.drawImage(QRect(rect.left() + pw, rect.top(), middle, rect.height()), keyed, QRect(pw, 0, pw, h));
    p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

QImage RotateBitmap90(const QImage& image) {
    if (image.isNull()) return image;
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.height(), src.width(), QImage::Format_ARGB32);
    for (int y = 0; y < src.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        for (int x = 0; x < src.width(); ++x) out.setPixel(y, src.width() - 1 - x, line[x]);
    }
    return out;
}

QImage SplitBitmap(const QImage& source, int count, int index) {
    if (source.isNull() || count <= 0 || index < 1 || index > count) return {};
    const int w = source.width() / count;
    if (w <= 0) return {};
    return source.copy((index - 1) * w, 0, w, source.height());
}

void ContainerApplyUIStyle(QWidget* container, TvsUIStyle style, TvsFileTheme* theme) {
    if (!container) return;
    for (QObject* child : container->children())
        if (auto* themed = dynamic_cast<TvsThemeable*>(child)) {
            themed->setFileTheme(theme);
            themed->setUIStyle(style);
        }
}

QRect GetWorkAreaRect(const QWidget* widget) {
    QScreen* screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}
