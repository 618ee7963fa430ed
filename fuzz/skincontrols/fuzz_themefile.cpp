// Feeds arbitrary bytes to the theme file reader. A file is either refused
// with a reason or taken whole; when taken, every picture it holds is of a
// size a control can draw, and all that was decoded for it stays within the
// cap of one file's pictures, however many entries share a picture's bytes.

#include "skin/themefilereader.h"
#include "skin/uistyle.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QString error;
    const auto reader =
        TvsThemeFileReader::parse(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    if (!reader) {
        if (error.isEmpty()) std::abort();
        return 0;
    }
    if (reader->decodedPixels() > TvsThemeFileReader::kMaxThemePixels) std::abort();
    for (int key = 1; key <= vskey::kCount; ++key) {
        const QImage image = reader->GetBitmap(ThemeKeyName(key));
        if (!image.isNull() && qint64(image.width()) * image.height() > TvsThemeFileReader::kMaxImagePixels) std::abort();
        reader->GetInt(ThemeKeyName(key));
        reader->GetBool(ThemeKeyName(key));
    }
    return 0;
}
