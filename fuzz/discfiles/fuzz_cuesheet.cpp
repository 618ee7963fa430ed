// Feeds any bytes to the cue check and to the grabber as a disc image. The
// first byte shapes the .bin (its length in sectors, a part sector at its
// end, the case of the names, the road that reads it); the rest is the
// cue. Besides not crashing or blocking: the list offers the image exactly
// when the grabber reads its table, the table is one a disc can have, and
// every track reads back byte for byte what the .bin holds.

#include <QLoggingCategory>

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include "components/disc/cdgrabber.h"
#include "components/disc/cdimages.h"
#include "platform/utf8.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

std::string& folder() {
    static std::string f = [] {
        char name[] = "/tmp/fuzz-cuesheet-XXXXXX";
        check(::mkdtemp(name) != nullptr);
        ::setenv("TUNEVALE_HOME", name, 1);
        // Every refused cue is logged; a million lines would only slow the run.
        QLoggingCategory::setFilterRules(QStringLiteral("tunevale.disc.warning=false"));
        return std::string(name);
    }();
    return f;
}

void writeFile(const std::string& path, std::string_view bytes) {
    ::unlink(path.c_str());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

uint8_t binByte(std::size_t i) { return static_cast<uint8_t>((i / 2352) * 13 + (i % 2352) * 7 + (i >> 9)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t shape = data[0];
    const std::string_view cue(reinterpret_cast<const char*>(data + 1), size - 1);
    const int sectors = shape & 0x0f;
    const bool partSector = shape & 0x10;
    const bool upperNames = shape & 0x20;
    const bool paranoia = (shape & 0xc0) == 0xc0;

    const std::string& dir = folder();
    const std::string cuePath = dir + (upperNames ? "/F.CUE" : "/f.cue");
    ::unlink((dir + "/f.cue").c_str());
    ::unlink((dir + "/F.CUE").c_str());
    ::unlink((dir + "/f.bin").c_str());
    std::string bin(static_cast<std::size_t>(sectors) * 2352 + (partSector ? 100 : 0), '\0');
    for (std::size_t i = 0; i < bin.size(); ++i) bin[i] = static_cast<char>(binByte(i));
    writeFile(dir + "/f.bin", bin);
    writeFile(cuePath, cue);

    CdCueSheet sheet;
    const std::string reason = ParseCdCueSheet(cue, &sheet);
    if (reason.empty()) {
        check(!sheet.tracks.empty() && sheet.tracks.size() <= 99);
        check(sheet.fileName.find('/') == std::string::npos && !sheet.fileName.empty());
        check(IsValidUtf8(sheet.title) && IsValidUtf8(sheet.performer) && IsValidUtf8(sheet.fileName));
        for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
            const CdCueTrack& t = sheet.tracks[i];
            check(t.number >= 1 && t.number <= 99 && t.lsn >= 0);
            check(IsValidUtf8(t.title) && IsValidUtf8(t.performer));
            if (i > 0) check(t.number == sheet.tracks[i - 1].number + 1 && t.lsn > sheet.tracks[i - 1].lsn);
        }
    }

    const CdImageCheck image = CheckCdImage(cuePath);
    check(image.ok == image.reason.empty());
    if (image.ok) {
        check(reason.empty());
        check(!partSector && image.leadout == sectors && image.sheet.tracks.back().lsn < image.leadout);
        check(image.binPath == dir + "/f.bin");
    }
    check(ListCdImages(dir).size() == (image.ok ? 1u : 0u));

    static CdGrabber grabber;
    grabber.setImageFolder(dir);
    int drive = 0;
    for (int i = 1; i <= grabber.driveCount(); ++i) {
        grabber.setDriveIndex(i);
        if (grabber.driveIsImage()) drive = i;
    }
    check((drive != 0) == image.ok);
    if (!drive) return 0;
    grabber.setDriveIndex(drive);
    check(grabber.readToc());
    check(grabber.trackCount() == static_cast<int>(image.sheet.tracks.size()));
    grabber.cddbQuery(2);
    check(IsValidUtf8(grabber.cddbArtist().toStdString()));
    grabber.setParanoiaForImages(paranoia);
    grabber.setGrabMode(CdGrabber::GrabSecure);
    const auto& lsns = grabber.tableOfContents().trackLsn;
    for (int t = 1; t <= grabber.trackCount(); ++t) {
        if (paranoia && t > 2) break;
        check(grabber.openTrack(t));
        const std::size_t first = static_cast<std::size_t>(lsns[static_cast<std::size_t>(t - 1)]) * 2352;
        const std::size_t end = t < grabber.trackCount() ? static_cast<std::size_t>(lsns[static_cast<std::size_t>(t)]) * 2352
                                                         : bin.size();
        std::size_t at = first;
        for (int64_t count = 1 + shape % 7;; count = count * 3 + 2) {
            const AudioBlock block = grabber.readBlock(count * 2);
            check(grabber.lastError() == 0);
            if (block.empty()) break;
            const std::size_t bytes = static_cast<std::size_t>(block.size()) * 2;
            check(at + bytes <= end && std::memcmp(block.samples.data(), bin.data() + at, bytes) == 0);
            at += bytes;
        }
        check(at == end);
        grabber.closeTrack();
    }
    return 0;
}
