#include "tags/ogg/vorbiscommentreader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tags {
namespace {

constexpr size_t kPageHead = 27;
constexpr uint8_t kContinued = 1, kFirstPage = 2;
// A page of 255 lacing values of 255: the most a page holds, and what libogg
// cuts a packet larger than a page into.
constexpr uint64_t kFullPage = kPageHead + 255 + 255 * 255;
// Garbage allowed before the first page, and the most header bytes a file
// may hold; both keep a hostile file from making us read without end.
constexpr uint64_t kMaxLeadingGarbage = 64 * 1024;
constexpr uint64_t kMaxHeaderBytes = 64 * 1024 * 1024;

constexpr const char* kNotOgg = "Input is not an Ogg bitstream.";
constexpr const char* kNotVorbis = "Ogg bitstream does not contain Vorbis data.";
constexpr const char* kCorrupt = "Corrupt secondary header.";
constexpr const char* kEof = "EOF before end of Vorbis headers.";

// The packets of one logical stream, read through its pages.
class PacketReader {
public:
    explicit PacketReader(const ByteSource& source) : in_(source) {}

    const std::string& error() const { return error_; }

    // Finds the first page, which must be whole and begin a stream.
    bool openFirstPage() {
        const uint64_t start = findPage(0);
        if (start == kNone || !loadPage(start) || !(flags_ & kFirstPage)) {
            error_.clear();
            return fail(in_.size() == 0 ? "Input truncated or empty." : kNotOgg);
        }
        serial_ = pageSerial_;
        return true;
    }

    // Starts the next packet; false at the end of the input.
    bool beginPacket() {
        if (seg_ == segments_) {
            if (!nextPage()) return false;
            if (flags_ & kContinued) return fail(kCorrupt);
        }
        measure();
        return true;
    }

    // Copies the next out.size() bytes of the packet.
    bool read(std::span<uint8_t> out) {
        for (size_t done = 0; done < out.size();) {
            if (!ensureBytes()) return false;
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left_, out.size() - done));
            in_.seek(bodyPos_);
            if (!in_.read(out.subspan(done, n))) return fail(kEof);
            consume(n);
            done += n;
        }
        return true;
    }

    uint32_t u32() {
        std::array<uint8_t, 4> b{};
        if (!read(b)) return 0;
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }

    // Passes n bytes of the packet without reading them.
    bool skip(uint64_t n) {
        while (n > 0) {
            if (!ensureBytes()) return false;
            const uint64_t here = std::min<uint64_t>(left_, n);
            consume(here);
            n -= here;
            if (left_ == 0 && !ends_) jumpPages(&n);
        }
        return true;
    }

    // Passes the rest of the packet.
    bool finishPacket() {
        for (;;) {
            consume(left_);
            if (ends_) return true;
            if (!ensureBytes()) return false;
        }
    }

    bool pageEnded() const { return seg_ == segments_; }
    // At most the packet bytes still to come: what the file holds after the
    // position, within the bound on header bytes.
    uint64_t available() const {
        const uint64_t end = std::min(in_.size(), kMaxHeaderBytes);
        return end > bodyPos_ ? end - bodyPos_ : 0;
    }

private:
    static constexpr uint64_t kNone = ~uint64_t(0);

    bool fail(const char* message) {
        if (error_.empty()) error_ = message;
        return false;
    }

    // The first page start at or after `from`, within kMaxLeadingGarbage.
    uint64_t findPage(uint64_t from) {
        in_.seek(from);
        const ByteSpan start = in_.peek(5);
        if (start.size() == 5 && std::memcmp(start.data(), "OggS\0", 5) == 0) return from;
        const ByteSpan head = in_.peek(static_cast<size_t>(kMaxLeadingGarbage + 5));
        for (size_t at = 0; at + 5 <= head.size(); ++at)
            if (std::memcmp(head.data() + at, "OggS\0", 5) == 0) return from + at;
        return kNone;
    }

    // Reads the head of the page at `at`.
    bool loadPage(uint64_t at) {
        if (at > kMaxHeaderBytes) return fail("Vorbis headers too large.");
        in_.seek(at);
        pageStart_ = at;
        const ByteSpan head = in_.peek(kPageHead);
        if (head.size() < kPageHead) return fail(kEof);
        ByteReader fields(head);
        fields.skip(5);
        flags_ = fields.u8();
        fields.skip(8);  // granule position
        pageSerial_ = fields.u32le();
        sequence_ = fields.u32le();
        fields.skip(4);  // checksum: a reader need not check it
        segments_ = fields.u8();
        in_.skip(kPageHead);
        if (!in_.read(std::span<uint8_t>(lacing_).first(segments_))) return fail(kEof);
        bodyPos_ = at + kPageHead + segments_;
        uint64_t body = 0;
        for (size_t i = 0; i < segments_; ++i) body += lacing_[i];
        pageEnd_ = bodyPos_ + body;
        if (pageEnd_ > in_.size()) return fail(kEof);  // a page cut short
        seg_ = 0;
        left_ = 0;
        ends_ = false;
        return true;
    }

    // The next page of our stream, right after this one; bytes between pages
    // that are no page are passed over, as libogg does.
    bool nextPage() {
        const uint32_t expected = sequence_ + 1;
        const uint64_t at = findPage(pageEnd_);
        if (at == kNone) return fail(pageEnd_ >= in_.size() ? kEof : kCorrupt);
        if (!loadPage(at)) return false;
        if (pageSerial_ != serial_) return fail("Ogg bitstream holds other streams beside Vorbis.");
        if (sequence_ != expected) return fail(kCorrupt);
        return true;
    }

    // The packet bytes from the current lacing value on, up to the packet's
    // end or the page's.
    void measure() {
        left_ = 0;
        ends_ = false;
        while (seg_ < segments_ && !ends_) {
            left_ += lacing_[seg_];
            ends_ = lacing_[seg_++] < 255;
        }
    }

    // Bytes of the packet at the position; a page that carries the packet on
    // is loaded when this one has none left.
    bool ensureBytes() {
        while (left_ == 0) {
            if (ends_) return fail(kCorrupt);  // the packet is shorter than its contents say
            if (!nextPage()) return false;
            if (!(flags_ & kContinued)) return fail(kCorrupt);
            measure();
        }
        return true;
    }

    void consume(uint64_t n) {
        bodyPos_ += n;
        left_ -= n;
    }

    // The rest of a skip lies beyond this page. A page inside a packet has
    // nothing but lacing values of 255, so its packet bytes follow from its
    // size, and the bytes of k such pages from their total size. Writers cut
    // a long packet into pages of one size (this page's, or the largest), so
    // the page where the skip ends is looked for where pages of that size
    // would put it; found there, with its sequence number k higher, the k
    // pages between are passed without reading them. Otherwise the pages are
    // walked one by one.
    void jumpPages(uint64_t* n) {
        const uint64_t thisPage = pageEnd_ - pageStart_;
        const bool allFull = std::all_of(lacing_.begin(), lacing_.begin() + segments_, [](uint8_t v) { return v == 255; });
        for (const uint64_t stride : {allFull && segments_ > 0 ? thisPage : 0, kFullPage}) {
            if (stride <= kPageHead + 1) continue;
            const uint64_t body = (stride - kPageHead) / 256 * 255;
            if (*n <= body) return;
            const uint64_t k = (*n - 1) / body;
            if (landsAt(pageEnd_ + k * stride, k)) {
                sequence_ += static_cast<uint32_t>(k);
                pageEnd_ += k * stride;
                *n -= k * body;
                return;
            }
        }
    }

    // A page of ours that carries the packet on, k pages after this one.
    bool landsAt(uint64_t at, uint64_t k) {
        in_.seek(at);
        const ByteSpan head = in_.peek(kPageHead);
        if (head.size() < kPageHead || std::memcmp(head.data(), "OggS\0", 5) != 0) return false;
        ByteReader fields(head);
        fields.skip(5);
        const uint8_t flags = fields.u8();
        fields.skip(8);
        const uint32_t serial = fields.u32le();
        const uint32_t sequence = fields.u32le();
        return (flags & kContinued) && serial == serial_ && sequence == sequence_ + k + 1;
    }

    SourceCursor in_;
    std::string error_;
    uint32_t serial_ = 0;
    // The current page.
    uint8_t flags_ = 0;
    uint32_t pageSerial_ = 0;
    uint32_t sequence_ = 0;
    size_t segments_ = 0;
    std::array<uint8_t, 255> lacing_{};
    uint64_t pageStart_ = 0;
    uint64_t pageEnd_ = 0;
    // The position within the current packet.
    size_t seg_ = 0;         // the next lacing value to measure
    uint64_t bodyPos_ = 0;   // file offset of the next packet byte
    uint64_t left_ = 0;      // packet bytes left in this page
    bool ends_ = false;      // the packet ends in this page
};

// The identification header, as a Vorbis decoder accepts it.
bool validIdentification(std::span<const uint8_t, 30> id) {
    if (id[0] != 1 || std::memcmp(id.data() + 1, "vorbis", 6) != 0) return false;
    ByteReader in(id.subspan(7));
    const uint32_t version = in.u32le();
    const uint8_t channels = in.u8();
    const uint32_t rate = in.u32le();
    in.skip(12);  // bitrates
    const uint8_t blocksizes = in.u8();
    const unsigned small = blocksizes & 15, large = blocksizes >> 4;
    return version == 0 && channels >= 1 && rate >= 1 && small >= 6 && large >= small && large <= 13 &&
           (in.u8() & 1);
}

bool isHeader(std::span<const uint8_t, 7> head, uint8_t type) {
    return head[0] == type && std::memcmp(head.data() + 1, "vorbis", 6) == 0;
}

}  // namespace

bool ReadVorbisComments(const ByteSource& source, const std::function<bool(std::string_view head)>& wanted,
                        std::vector<std::string>* comments, std::string* error) {
    PacketReader packets(source);
    // The first problem met is the one reported.
    auto failed = [&](const char* message) {
        if (error) *error = packets.error().empty() ? message : packets.error();
        return false;
    };
    if (!packets.openFirstPage()) return failed(kNotOgg);

    std::array<uint8_t, 30> id{};
    if (!packets.beginPacket() || !packets.read(id) || !validIdentification(id)) {
        // A first packet cut short or damaged is no Vorbis identification.
        const std::string& reason = packets.error();
        if (error) *error = reason.empty() || reason == kEof || reason == kCorrupt ? kNotVorbis : reason;
        return false;
    }
    if (!packets.finishPacket()) return failed(kEof);

    std::array<uint8_t, 7> head{};
    if (!packets.beginPacket()) return failed(kEof);
    if (!packets.read(head)) return failed(kEof);
    if (!isHeader(head, 3)) return failed(kCorrupt);
    if (!packets.skip(packets.u32())) return failed(kCorrupt);  // the vendor
    const uint32_t count = packets.u32();
    std::string comment;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t length = packets.u32();
        if (!packets.error().empty() || length > packets.available()) return failed(kCorrupt);
        comment.resize(std::min<size_t>(length, kCommentPeek));
        if (!packets.read(std::span(reinterpret_cast<uint8_t*>(comment.data()), comment.size())))
            return failed(kCorrupt);
        if (wanted(comment)) {
            comment.resize(length);
            const size_t peeked = std::min<size_t>(length, kCommentPeek);
            if (!packets.read(std::span(reinterpret_cast<uint8_t*>(comment.data()) + peeked, length - peeked)))
                return failed(kCorrupt);
            comments->push_back(comment);
        } else if (!packets.skip(length - comment.size())) {
            return failed(kCorrupt);
        }
    }
    std::array<uint8_t, 1> framing{};
    if (!packets.read(framing) || !(framing[0] & 1)) return failed(kCorrupt);
    if (!packets.finishPacket()) return failed(kEof);

    // The setup header is only followed to its end: its codebooks are of no
    // use here, but a file whose headers stop short is not a whole stream.
    if (!packets.beginPacket() || !packets.read(head)) return failed(kEof);
    if (!isHeader(head, 5)) return failed(kCorrupt);
    if (!packets.finishPacket()) return failed(kEof);
    if (!packets.pageEnded()) return failed("Vorbis headers do not end their page.");
    return true;
}

}  // namespace tags
