#include "skin/themefilereader.h"

#include "platform/posixfile.h"

#include <cerrno>

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <vector>

namespace {

quint32 u32(const QByteArray& b, qint64 at) { return qFromLittleEndian<quint32>(b.constData() + at); }

enum FileKind : quint8 { kImage = 0, kInteger = 1, kBoolean = 2, kText = 3 };

// A BMP that decodes into a picture of sensible size, or null. The size is
// asked first so that a header claiming a huge picture allocates nothing;
// a picture that would take the pixels left over `budget` is not decoded and
// sets *overBudget.
QImage decodeBmp(const QByteArray& data, qint64& budget, bool* overBudget) {
    // The pixels must start inside the picture's own bytes.
    if (data.size() < 26 || !data.startsWith("BM") || u32(data, 10) >= quint32(data.size())) return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "BMP");
    const QSize size = reader.size();
    const qint64 pixels = qint64(size.width()) * size.height();
    if (!size.isValid() || size.isEmpty() || pixels > TvsThemeFileReader::kMaxImagePixels) return {};
    if (pixels > budget) {
        *overBudget = true;
        return {};
    }
    budget -= pixels;
    return reader.read();
}

}  // namespace

std::unique_ptr<TvsThemeFileReader> TvsThemeFileReader::parse(const QByteArray& bytes, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return std::unique_ptr<TvsThemeFileReader>();
    };
    const qint64 size = bytes.size();
    if (size > kMaxFileBytes) return fail(QStringLiteral("the file is larger than 4 MiB"));
    if (size < 16) return fail(QStringLiteral("the file is too short for a theme file"));
    // The header must reach the first-entry field and fit its 28 bytes.
    const quint32 headerLength = u32(bytes, 12);
    if (headerLength < 24 || headerLength > 28 || headerLength > size)
        return fail(QStringLiteral("the header length %1 is not 24 to 28").arg(headerLength));

    std::unique_ptr<TvsThemeFileReader> reader(new TvsThemeFileReader);
    // Several entries may share one picture's bytes; it is decoded once.
    QHash<quint64, QImage> decoded;
    qint64 budget = kMaxThemePixels;
    std::vector<bool> visited(size_t(size), false);
    quint64 at = u32(bytes, 20);
    for (;;) {
        if (at + kEntryBytes > quint64(size)) return fail(QStringLiteral("an entry lies outside the file"));
        if (visited[at]) return fail(QStringLiteral("the entries run in a loop"));
        visited[at] = true;
        const char* entry = bytes.constData() + at;
        const quint32 next = u32(bytes, at + 73);
        if (next == 0) break;  // the closing entry holds no value

        const QString name = QString::fromLatin1(entry, qstrnlen(entry, 64)).toLower();
        const quint8 kind = quint8(entry[64]);
        const quint64 offset = u32(bytes, at + 65), dataSize = u32(bytes, at + 69);
        if (offset + dataSize > quint64(size)) return fail(QStringLiteral("the value of \"%1\" lies outside the file").arg(name));
        const QByteArray data = QByteArray::fromRawData(bytes.constData() + offset, qsizetype(dataSize));
        switch (kind) {
        case kImage: {
            const quint64 region = (offset << 32) | dataSize;
            auto it = decoded.constFind(region);
            if (it == decoded.constEnd()) {
                bool overBudget = false;
                it = decoded.insert(region, decodeBmp(QByteArray(data), budget, &overBudget));
                if (overBudget)
                    return fail(QStringLiteral("the pictures hold more than %1 pixels in all").arg(kMaxThemePixels));
            }
            if (it->isNull()) return fail(QStringLiteral("the picture \"%1\" is no readable BMP").arg(name));
            if (!reader->images_.contains(name)) reader->images_.insert(name, *it);
            break;
        }
        case kInteger:
            if (dataSize != 4) return fail(QStringLiteral("the number \"%1\" is not 4 bytes").arg(name));
            if (!reader->ints_.contains(name)) reader->ints_.insert(name, qFromLittleEndian<qint32>(data.constData()));
            break;
        case kBoolean:
            if (dataSize != 1) return fail(QStringLiteral("the switch \"%1\" is not 1 byte").arg(name));
            if (!reader->bools_.contains(name)) reader->bools_.insert(name, data[0] != 0);
            break;
        default:  // texts have no reader, other kinds no meaning
            break;
        }
        at = next;
    }
    reader->decodedPixels_ = kMaxThemePixels - budget;
    return reader;
}

std::unique_ptr<TvsThemeFileReader> TvsThemeFileReader::read(const QString& fileName, QString* error) {
    // Checking the name first and opening it afterwards leaves a moment in
    // which a FIFO can take the file's place; the shared reader decides on
    // the open file itself. One byte over the limit refuses an oversized file.
    std::string bytes;
    if (!ReadRegularFile(fileName.toStdString(), kMaxFileBytes, &bytes)) {
        if (error) *error = QStringLiteral("%1: %2").arg(fileName, QString::fromStdString(FileReadErrorText(errno)));
        return {};
    }
    return parse(QByteArray::fromStdString(bytes), error);
}

int TvsThemeFileReader::GetInt(const QString& name) const { return ints_.value(name.toLower(), -1); }

bool TvsThemeFileReader::GetBool(const QString& name) const { return bools_.value(name.toLower(), false); }

QImage TvsThemeFileReader::GetBitmap(const QString& name) const { return images_.value(name.toLower()); }
