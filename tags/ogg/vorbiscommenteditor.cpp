#include "tags/ogg/vorbiscommenteditor.h"

#include <algorithm>
#include <cstring>
#include <ogg/ogg.h>
#include <vector>
#include <vorbis/codec.h>

namespace {

constexpr size_t kChunk = 8192;
// Garbage allowed before the first page, and the most header bytes a file may
// declare; both keep a hostile file from making us read or hold without end.
constexpr size_t kMaxLeadingGarbage = 64 * 1024;
constexpr size_t kMaxHeaderBytes = 64 * 1024 * 1024;

struct PacketCopy {
    std::vector<uint8_t> bytes;
    void assign(const ogg_packet& op) { bytes.assign(op.packet, op.packet + op.bytes); }
};

bool isVorbisSetup(const ogg_packet& op) {
    return op.bytes >= 7 && op.packet[0] == 5 && std::memcmp(op.packet + 1, "vorbis", 6) == 0;
}

}  // namespace

struct VorbisCommentEditor::State {
    ogg_sync_state sync{};
    ogg_stream_state stream{};
    bool streamInit = false;
    vorbis_info info{};
    vorbis_comment comments{};
    ReadFn read;
    bool eof = false;
    bool opened = false;
    int serial = 0;
    long headerPages = 0;
    size_t fed = 0;
    PacketCopy idPacket;
    PacketCopy setupPacket;
    std::string lastError;

    State() {
        ogg_sync_init(&sync);
        vorbis_info_init(&info);
        vorbis_comment_init(&comments);
    }
    ~State() {
        if (streamInit) ogg_stream_clear(&stream);
        ogg_sync_clear(&sync);
        vorbis_comment_clear(&comments);
        vorbis_info_clear(&info);
    }

    // Adds the next chunk of input to the sync buffer; false at the end or
    // on a read error (lastError set).
    bool feed() {
        if (eof) return false;
        char* buffer = ogg_sync_buffer(&sync, kChunk);
        if (!buffer) {
            lastError = "Out of memory.";
            eof = true;
            return false;
        }
        const long n = read(std::span<uint8_t>(reinterpret_cast<uint8_t*>(buffer), kChunk));
        if (n < 0) {
            lastError = "Read error.";
            eof = true;
            return false;
        }
        if (n == 0) {
            eof = true;
            return false;
        }
        ogg_sync_wrote(&sync, n);
        fed += static_cast<size_t>(n);
        return true;
    }

    // The next page of the input; false at the end.
    bool nextPage(ogg_page* page) {
        for (;;) {
            if (ogg_sync_pageout(&sync, page) == 1) return true;
            if (!feed()) return false;
        }
    }

    int fail(const char* message) {
        if (lastError.empty()) lastError = message;
        return -1;
    }

    int open() {
        ogg_page page;
        for (;;) {
            if (ogg_sync_pageout(&sync, &page) == 1) break;
            if (fed > kMaxLeadingGarbage) return fail("Input is not an Ogg bitstream.");
            if (!feed()) return fail(fed == 0 ? "Input truncated or empty." : "Input is not an Ogg bitstream.");
        }
        if (!ogg_page_bos(&page)) return fail("Input is not an Ogg bitstream.");
        serial = ogg_page_serialno(&page);
        ogg_stream_init(&stream, serial);
        streamInit = true;
        ogg_stream_pagein(&stream, &page);
        headerPages = 1;

        ogg_packet packet;
        if (ogg_stream_packetout(&stream, &packet) != 1 || vorbis_synthesis_headerin(&info, &comments, &packet) < 0)
            return fail("Ogg bitstream does not contain Vorbis data.");
        idPacket.assign(packet);

        int have = 1;
        while (have < 3) {
            const int r = ogg_stream_packetout(&stream, &packet);
            if (r < 0) return fail("Corrupt secondary header.");
            if (r == 1) {
                if (have == 1) {
                    if (vorbis_synthesis_headerin(&info, &comments, &packet) < 0)
                        return fail("Corrupt secondary header.");
                } else {
                    // The setup header is only carried over, never decoded:
                    // its codebooks are of no use to a comment editor.
                    if (!isVorbisSetup(packet)) return fail("Corrupt secondary header.");
                    setupPacket.assign(packet);
                }
                ++have;
                continue;
            }
            if (fed > kMaxHeaderBytes) return fail("Vorbis headers too large.");
            if (!nextPage(&page)) return fail("EOF before end of Vorbis headers.");
            if (ogg_page_serialno(&page) != serial)
                return fail("Ogg bitstream holds other streams beside Vorbis.");
            if (ogg_stream_pagein(&stream, &page) != 0) return fail("Corrupt secondary header.");
            ++headerPages;
        }
        // Vorbis starts the audio on a page of its own; only then can the
        // audio pages be copied as they are.
        if (stream.lacing_returned != stream.lacing_fill || ogg_stream_packetpeek(&stream, nullptr) != 0)
            return fail("Vorbis headers do not end their page.");
        opened = true;
        return 0;
    }

    int write(const WriteFn& out) {
        if (!opened) return fail("No Vorbis stream is open.");
        auto writePage = [&](const ogg_page& page) {
            return out({page.header, static_cast<size_t>(page.header_len)}) &&
                   out({page.body, static_cast<size_t>(page.body_len)});
        };
        const char* writeError = "Error writing stream to output. Output stream may be corrupted or truncated.";

        ogg_stream_state header;
        ogg_stream_init(&header, serial);
        long outPages = 0;
        bool ok = true;
        auto flush = [&] {
            ogg_page page;
            while (ok && ogg_stream_flush(&header, &page)) {
                ok = writePage(page);
                ++outPages;
            }
        };
        ogg_packet id{};
        id.packet = idPacket.bytes.data();
        id.bytes = static_cast<long>(idPacket.bytes.size());
        id.b_o_s = 1;
        id.packetno = 0;
        ogg_stream_packetin(&header, &id);
        flush();

        ogg_packet comment{};
        vorbis_commentheader_out(&comments, &comment);
        comment.packetno = 1;
        ogg_stream_packetin(&header, &comment);
        ogg_packet_clear(&comment);
        ogg_packet setup{};
        setup.packet = setupPacket.bytes.data();
        setup.bytes = static_cast<long>(setupPacket.bytes.size());
        setup.packetno = 2;
        ogg_stream_packetin(&header, &setup);
        flush();
        ogg_stream_clear(&header);
        if (!ok) return fail(writeError);

        // Every later page goes out as it came; pages of our stream get the
        // sequence number the new header pages call for. Bytes between pages
        // and a truncated tail are copied too, so nothing of the file is lost.
        const long delta = outPages - headerPages;
        bool ended = false;
        for (;;) {
            ogg_page page;
            const long r = ogg_sync_pageseek(&sync, &page);
            if (r > 0) {
                if (!ended && ogg_page_serialno(&page) == serial) {
                    const uint32_t sequence = static_cast<uint32_t>(ogg_page_pageno(&page) + delta);
                    for (int i = 0; i < 4; ++i) page.header[18 + i] = static_cast<unsigned char>(sequence >> (8 * i));
                    ogg_page_checksum_set(&page);
                    ended = ogg_page_eos(&page);
                }
                if (!writePage(page)) return fail(writeError);
            } else if (r < 0) {
                const auto* skipped = reinterpret_cast<const uint8_t*>(sync.data + sync.returned + r);
                if (!out({skipped, static_cast<size_t>(-r)})) return fail(writeError);
            } else if (!feed()) {
                if (!lastError.empty()) return -1;
                const auto* tail = reinterpret_cast<const uint8_t*>(sync.data + sync.returned);
                if (sync.fill > sync.returned && !out({tail, static_cast<size_t>(sync.fill - sync.returned)}))
                    return fail(writeError);
                return 0;
            }
        }
    }
};

VorbisCommentEditor::VorbisCommentEditor() : d_(std::make_unique<State>()) {}
VorbisCommentEditor::~VorbisCommentEditor() = default;

int VorbisCommentEditor::open(ReadFn read) {
    d_->read = std::move(read);
    return d_->open();
}

vorbis_comment* VorbisCommentEditor::comments() {
    return &d_->comments;
}

int VorbisCommentEditor::write(WriteFn write) {
    return d_->write(write);
}

const std::string& VorbisCommentEditor::lastError() const {
    return d_->lastError;
}
