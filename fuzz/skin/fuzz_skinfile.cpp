// Feeds arbitrary bytes to the skin reader. A file is either refused with a
// reason or taken whole; when taken, every box it places must stay finite.

#include "components/skin/skinfile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QString error;
    auto skin = skin::parseSkin(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    if (!skin) {
        if (error.isEmpty()) std::abort();
        return 0;
    }
    for (const skin::SectionDef& section : skin->sections)
        for (const skin::ElementDef& e : section.elements) {
            const QRect r = e.rect.place(QSize(skin::kMaxCoordinate, skin::kMaxCoordinate));
            if (r.width() < 0 || r.height() < 0) std::abort();
        }
    return 0;
}
