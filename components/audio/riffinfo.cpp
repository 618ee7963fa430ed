#include "components/audio/riffinfo.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <vector>

#include "components/audio/outputfile.h"
#include "platform/posixfile.h"
#include "tags/textcodec.h"

namespace audio {

namespace {

uint32_t get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

struct Chunk {
    std::string id;
    uint64_t offset = 0;  // of the chunk header
    uint64_t size = 0;    // of the body, as stored (the file may hold less)
};

// The top-level chunks of a RIFF WAVE file, bounded by the file's real size.
bool listChunks(const PosixFile& file, uint64_t fileSize, std::vector<Chunk>& chunks, std::string* error) {
    uint8_t head[12];
    if (fileSize < 12 || !file.readAll(0, head) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0) {
        if (error) *error = "not a RIFF WAVE file";
        return false;
    }
    uint64_t at = 12;
    while (at + 8 <= fileSize) {
        uint8_t h[8];
        if (!file.readAll(at, h)) break;
        Chunk c{std::string(reinterpret_cast<char*>(h), 4), at, get32(h + 4)};
        chunks.push_back(c);
        at += 8 + c.size + (c.size & 1);
    }
    return true;
}

std::string infoText(const uint8_t* p, size_t n) {
    std::string_view raw(reinterpret_cast<const char*>(p), n);
    raw = raw.substr(0, raw.find('\0'));
    // Older files hold Windows-1252; ours hold UTF-8.
    std::string sane = tags::SanitizeUtf8(raw);
    return sane == raw ? sane : tags::Windows1252ToUtf8(raw);
}

bool isInfoList(const PosixFile& file, const Chunk& c) {
    uint8_t type[4];
    return c.id == "LIST" && c.size >= 4 && file.readAll(c.offset + 8, type) && std::memcmp(type, "INFO", 4) == 0;
}

}  // namespace

std::string riffInfoChunk(const RiffInfoItems& items) {
    std::string body = "INFO";
    for (const auto& [id, text] : items) {
        if (text.empty() || id.size() != 4) continue;
        body += id;
        put32(body, static_cast<uint32_t>(text.size() + 1));
        body += text;
        body.push_back('\0');
        if ((text.size() + 1) & 1) body.push_back('\0');
    }
    if (body.size() == 4) return {};
    std::string list = "LIST";
    put32(list, static_cast<uint32_t>(body.size()));
    return list + body;
}

bool appendRiffInfo(OutputFile& out, const RiffInfoItems& items) {
    const std::string list = riffInfoChunk(items);
    if (list.empty()) return !out.failed();
    if (!out.appendOptional(list.data(), list.size())) return false;
    // As the writer's own header does past 4 GiB: the largest size there is.
    std::string riffSize;
    put32(riffSize, static_cast<uint32_t>(std::min<uint64_t>(out.size() - 8, 0xffffffffu)));
    return out.writeAt(4, riffSize.data(), riffSize.size());
}

bool readRiffInfo(const std::string& fileName, RiffInfoItems& items, std::string* error) {
    items.clear();
    PosixFile file(fileName, O_RDONLY | O_CLOEXEC);
    uint64_t size = 0;
    if (!file.isOpen() || !file.size(&size)) {
        if (error) *error = "Cannot open " + fileName;
        return false;
    }
    std::vector<Chunk> chunks;
    if (!listChunks(file, size, chunks, error)) return false;
    for (const Chunk& c : chunks) {
        if (!isInfoList(file, c)) continue;
        const uint64_t body = std::min<uint64_t>(c.size, size - (c.offset + 8));
        if (body > (1u << 24)) continue;  // no real INFO list is this big
        std::vector<uint8_t> bytes(body);
        size_t got = 0;
        if (!file.readAt(c.offset + 8, bytes, &got)) return false;
        bytes.resize(got);
        size_t at = 4;
        while (at + 8 <= bytes.size()) {
            const uint32_t n = get32(&bytes[at + 4]);
            const size_t avail = std::min<size_t>(n, bytes.size() - at - 8);
            items.emplace_back(std::string(reinterpret_cast<char*>(&bytes[at]), 4), infoText(&bytes[at + 8], avail));
            at += 8 + static_cast<size_t>(n) + (n & 1);
        }
    }
    return true;
}

AtomicWriteResult writeRiffInfo(const std::string& fileName, const RiffInfoItems& items) {
    PosixFile file(fileName, O_RDONLY | O_CLOEXEC);
    uint64_t size = 0;
    if (!file.isOpen() || !file.size(&size)) return {false, "Cannot open " + fileName};
    std::vector<Chunk> chunks;
    std::string error;
    if (!listChunks(file, size, chunks, &error)) return {false, "Cannot write the tags of " + fileName + ": " + error};

    const std::string list = riffInfoChunk(items);
    const bool writeList = !list.empty();

    return RewriteFileAtomically(fileName, [&](PosixFile& out, std::string* why) {
        std::string head = "RIFF";
        put32(head, 0);  // fixed below
        head += "WAVE";
        uint64_t written = 0;
        auto emit = [&](const void* data, size_t n) {
            if (!out.write({static_cast<const uint8_t*>(data), n})) {
                *why = "Cannot write " + fileName;
                return false;
            }
            written += n;
            return true;
        };
        if (!emit(head.data(), head.size())) return false;
        bool listDone = !writeList;
        std::vector<uint8_t> buffer(1 << 20);
        for (const Chunk& c : chunks) {
            if (isInfoList(file, c)) continue;
            if (!listDone && c.id == "data") {
                if (!emit(list.data(), list.size())) return false;
                listDone = true;
            }
            // A chunk copied as it lies, cut where the file ends.
            uint64_t from = c.offset, left = std::min<uint64_t>(8 + c.size + (c.size & 1), size - c.offset);
            while (left > 0) {
                size_t got = 0;
                std::span<uint8_t> piece(buffer.data(), static_cast<size_t>(std::min<uint64_t>(left, buffer.size())));
                if (!file.readAt(from, piece, &got) || got == 0) {
                    *why = "Cannot read " + fileName;
                    return false;
                }
                if (!emit(buffer.data(), got)) return false;
                from += got;
                left -= got;
            }
        }
        if (!listDone && !emit(list.data(), list.size())) return false;
        std::string riffSize;
        put32(riffSize, static_cast<uint32_t>(std::min<uint64_t>(written - 8, 0xffffffffu)));
        if (!out.writeAt(4, {reinterpret_cast<const uint8_t*>(riffSize.data()), 4})) {
            *why = "Cannot write " + fileName;
            return false;
        }
        return true;
    });
}

}  // namespace audio
