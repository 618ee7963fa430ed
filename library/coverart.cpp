// coverart OUTPUT.cpp: draws the splash picture with the product's words and
// writes its pixels into a C++ source file. It runs when the program is
// built, so that the splash at each start shows its words without first
// waiting for the fonts to load.

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QSaveFile>

#include <cstdio>

namespace {

constexpr int kWidth = 399;
constexpr int kHeight = 239;

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: coverart OUTPUT.cpp\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QImage picture = CoverPicture();
    // One 0xffRRGGBB word a pixel, row after row: the program shows the
    // words as they are, whatever its byte order.
    QByteArray source = "// Made by coverart when the program is built: the splash picture.\n"
                        "#include <cstdint>\n"
                        "extern const int kCoverPictureWidth = " + QByteArray::number(kWidth) + ";\n"
                        "extern const int kCoverPictureHeight = " + QByteArray::number(kHeight) + ";\n"
                        "extern const std::uint32_t kCoverPicture[] = {";
    for (int y = 0; y < kHeight; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            if (x % 12 == 0) source += "\n";
            source += "0x" + QByteArray::number(row[x] | 0xff000000u, 16) + ",";
        }
    }
    source += "\n};\n";
    QSaveFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(source) != source.size() || !out.commit()) {
        std::fprintf(stderr, "coverart: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
