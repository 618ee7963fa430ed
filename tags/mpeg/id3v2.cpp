#include "tags/mpeg/id3v2.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

#include "platform/utf8.h"
#include "tags/mpeg/id3genres.h"
#include "tags/textcodec.h"

namespace tags {
namespace {

constexpr size_t kHeaderSize = 10;
constexpr size_t kFrameHeaderSize = 10;
// The reader looks at no more of a frame than this, and the writer cuts a
// text to 255 bytes: the tag stays small whatever a field holds.
constexpr size_t kReadTextCap = 250;
constexpr size_t kWriteTextMax = 255;
constexpr size_t kDefaultPadding = 10;
constexpr size_t kFirstRead = 4096;

enum HeaderFlags : uint8_t { kUnsynchronised = 0x80, kExtendedHeader = 0x40, kFooter = 0x10 };
// v2.4 frame format flags.
enum FrameFlags24 : uint16_t { kGrouping24 = 0x0040, kCompressed24 = 0x0008, kEncrypted24 = 0x0004,
                               kUnsync24 = 0x0002, kDataLength24 = 0x0001 };

bool isFrameIdChar(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isFrameId(ByteSpan id) {
    return !id.empty() && std::all_of(id.begin(), id.end(), isFrameIdChar);
}

// The length of an extended header, its size field included. Writers get
// its size wrong both ways: a v2.4 tag with the size counted as v2.3 counts
// it (without its own four bytes, not synchsafe), or the flag set with no
// header at all. The version's own reading wins; another is taken only
// when a frame follows it and none follows the version's.
uint64_t extendedHeaderLength(uint8_t version, ByteSpan sizeField, const std::function<bool(uint64_t)>& frameAt) {
    if (sizeField.size() < 4) return 4;
    ByteReader size(sizeField);
    const uint64_t counted23 = 4 + uint64_t(size.u32be());
    size.seek(0);
    const uint64_t counted24 = std::max<uint64_t>(size.synchsafe32(), 4);
    const uint64_t own = version == 4 ? counted24 : counted23;
    if (frameAt(own)) return own;
    for (const uint64_t other : {version == 4 ? counted23 : counted24, uint64_t{0}})
        if (frameAt(other)) return other;
    return own;
}

// ID3v2.2 frame names and their v2.3 names. CRM (encrypted meta frame) has
// none; LNK names a frame by its three-letter name inside its body, which a
// v2.3 reader would misread; other names (iTunes' TCP, TST, TSA, TSP, TS2,
// TSC) are no part of v2.3. Those frames are not kept.
constexpr std::pair<std::string_view, std::string_view> kV22Names[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"}, {"EQU", "EQUA"},
    {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"},
    {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"},
    {"TCM", "TCOM"}, {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"},
    {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"}, {"TP1", "TPE1"},
    {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"},
    {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"},
    {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"},
    {"WXX", "WXXX"},
};

std::string_view v23NameOf(std::string_view v22) {
    for (const auto& [old, now] : kV22Names)
        if (old == v22) return now;
    return {};
}

// A v2.2 picture names its image format in three letters where APIC has a
// MIME type: "PNG" becomes "image/png", "JPG" "image/jpeg".
ByteVector apicBodyOf(ByteSpan pic) {
    if (pic.size() < 4) return ByteVector(pic.begin(), pic.end());
    std::string format(AsText(pic.subspan(1, 3)));
    for (char& c : format)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (format == "jpg") format = "jpeg";
    ByteWriter out;
    out.u8(pic[0]).text("image/" + format).u8(0).bytes(pic.subspan(4));
    return out.take();
}

// The frames of a v2.2 tag body under their v2.3 names.
void readV22Frames(ByteReader& in, std::vector<Id3v2Frame>& frames) {
    while (in.remaining() >= 6) {
        const ByteSpan id = in.bytes(3);
        if (!isFrameId(id)) break;
        const ByteSpan sizeBytes = in.bytes(3);
        const uint32_t size = (uint32_t(sizeBytes[0]) << 16) | (uint32_t(sizeBytes[1]) << 8) | sizeBytes[2];
        if (size > in.remaining()) break;
        const ByteSpan data = in.bytes(size);
        const std::string_view name = v23NameOf(AsText(id));
        if (name.empty()) continue;
        Id3v2Frame frame;
        frame.id = std::string(name);
        if (name == "APIC") frame.data = apicBodyOf(data);
        else frame.data.assign(data.begin(), data.end());
        frames.push_back(std::move(frame));
    }
}

// Undoes unsynchronisation: every 0xFF 0x00 pair loses its zero.
ByteVector resynchronise(ByteSpan in) {
    ByteVector out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        out.push_back(in[i]);
        if (in[i] == 0xFF && i + 1 < in.size() && in[i + 1] == 0x00) ++i;
    }
    return out;
}

// Text of one encoding up to its terminator; *used is set to the bytes taken,
// terminator included.
std::string decodeString(uint8_t encoding, ByteSpan bytes, size_t* used) {
    if (encoding == 1 || encoding == 2) {
        ByteSpan text = Utf16UntilTerminator(bytes);
        const bool terminated = text.size() + 1 < bytes.size();
        if (used) *used = terminated ? text.size() + 2 : bytes.size();
        bool bigEndian = encoding == 2;
        if (encoding == 1 && text.size() >= 2) {
            if (text[0] == 0xFF && text[1] == 0xFE) {
                text = text.subspan(2);
            } else if (text[0] == 0xFE && text[1] == 0xFF) {
                text = text.subspan(2);
                bigEndian = true;
            }
        }
        return bigEndian ? Utf16BeToUtf8(text) : Utf16LeToUtf8(text);
    }
    const auto zero = std::find(bytes.begin(), bytes.end(), 0);
    const size_t end = static_cast<size_t>(zero - bytes.begin());
    if (used) *used = zero == bytes.end() ? end : end + 1;
    const std::string_view raw = AsText(bytes.first(end));
    return encoding == 3 ? SanitizeUtf8(raw) : Windows1252ToUtf8(raw);
}

// A genre written as "(17)", "(17)Rock" or "17" reads as its name.
std::string genreText(std::string text) {
    std::string_view v = text;
    std::string_view rest;
    if (v.size() >= 3 && v[0] == '(') {
        const size_t close = v.find(')');
        if (close == std::string_view::npos) return text;
        rest = v.substr(close + 1);
        v = v.substr(1, close - 1);
    }
    if (v.empty() || v.size() > 3 || !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return text;
    if (!rest.empty()) return std::string(rest);
    const int index = std::stoi(std::string(v));
    return index <= 147 ? std::string(Id3GenreNames[static_cast<size_t>(index)]) : text;
}

void storeSynchsafe(std::array<uint8_t, 10>& header, uint32_t total) {
    header[9] = total % 128;
    header[8] = (total / 128) % 128;
    header[7] = (total / 16384) % 128;
    header[6] = static_cast<uint8_t>(total / 2097152);
}

bool isComm(const Id3v2Frame& frame) {
    return frame.id == "COMM";
}

// The description of a COMM frame and where its text starts.
std::string commDescription(const Id3v2Frame& frame, size_t* textStart) {
    ByteReader in(frame.data);
    const uint8_t encoding = in.u8();
    in.skip(3);
    size_t used = 0;
    const size_t at = in.position();
    std::string description = decodeString(encoding, in.rest(), &used);
    if (textStart) *textStart = std::min(at + used, frame.data.size());
    return description;
}

std::string commText(const Id3v2Frame& frame) {
    size_t start = 0;
    commDescription(frame, &start);
    const ByteSpan body = ByteSpan(frame.data).first(std::min(frame.data.size(), kReadTextCap));
    if (body.empty() || start >= body.size()) return {};
    return decodeString(body[0], body.subspan(start), nullptr);
}

// A TXXX frame whose description is "comment": the comment as some encoders
// write it.
bool isCommentTxxx(const Id3v2Frame& frame) {
    if (frame.id != "TXXX" || frame.data.empty()) return false;
    size_t used = 0;
    return EqualsIgnoringAsciiCase(decodeString(frame.data[0], ByteSpan(frame.data).subspan(1), &used), "comment");
}

std::string commentTxxxText(const Id3v2Frame& frame) {
    const ByteSpan body = ByteSpan(frame.data).first(std::min(frame.data.size(), kReadTextCap));
    size_t used = 0;
    decodeString(body[0], body.subspan(1), &used);
    return decodeString(body[0], body.subspan(std::min(body.size(), 1 + used)), nullptr);
}

ByteVector encodeComment(std::string_view utf8) {
    ByteVector text = EncodeId3v2Text(utf8, kWriteTextMax);
    ByteWriter out;
    out.u8(text[0]).text("eng");
    if (text[0] == 1) out.bytes(std::initializer_list<uint8_t>{0xFF, 0xFE, 0, 0});
    else out.u8(0);
    out.bytes(ByteSpan(text).subspan(1));
    return out.take();
}

}  // namespace

std::string DecodeId3v2Text(ByteSpan body) {
    if (body.empty()) return {};
    return decodeString(body[0], body.subspan(1), nullptr);
}

ByteVector EncodeId3v2Text(std::string_view utf8, size_t maxTextBytes) {
    ByteWriter out;
    if (FitsWindows1252(utf8)) {
        const std::string bytes = Utf8ToWindows1252(utf8);
        out.u8(0).text(std::string_view(bytes).substr(0, maxTextBytes));
        return out.take();
    }
    // Text beyond Windows-1252 goes as UTF-16 with a byte-order mark, still
    // within the byte limit and never splitting a surrogate pair.
    const std::u16string text = Utf8ToUtf16(utf8);
    size_t units = std::min(text.size(), maxTextBytes >= 2 ? (maxTextBytes - 2) / 2 : 0);
    if (units > 0 && units < text.size() && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF) --units;
    out.u8(1).u8(0xFF).u8(0xFE);
    for (size_t i = 0; i < units; ++i) out.u16le(text[i]);
    return out.take();
}

uint64_t Id3v2Tag::SizeOnDisk(ByteSpan first10) {
    if (first10.size() < kHeaderSize || first10[0] != 'I' || first10[1] != 'D' || first10[2] != '3') return 0;
    // Any version, and size bytes as they are: a byte with its high bit set
    // counts with all eight bits, so a header that other writers got wrong
    // still covers its tag and a save replaces it instead of stacking a new
    // tag in front of it.
    uint64_t size = kHeaderSize + uint64_t(first10[6]) * 2097152 + uint64_t(first10[7]) * 16384 +
                    uint64_t(first10[8]) * 128 + first10[9];
    if (first10[3] == 4 && (first10[5] & kFooter)) size += kHeaderSize;
    return size;
}

std::optional<Id3v2Tag> Id3v2Tag::Parse(ByteSpan bytes) {
    const uint64_t declared = SizeOnDisk(bytes);
    if (declared == 0) return std::nullopt;
    Id3v2Tag tag;
    tag.version_ = bytes[3];
    const uint8_t flags = bytes[5];
    // v2.2's one compression flag came with no agreed method: such a tag
    // reads as empty. Versions we do not know are read by the v2.3 rules.
    if (tag.version_ == 2 && (flags & kExtendedHeader)) return tag;

    // A tag that says it is longer than the bytes there gives the frames
    // that are whole.
    ByteSpan body = bytes.subspan(kHeaderSize, std::min<uint64_t>(bytes.size(), declared) - kHeaderSize);
    if (tag.version_ == 4 && (flags & kFooter) && body.size() >= kHeaderSize && declared <= bytes.size())
        body = body.first(body.size() - kHeaderSize);
    ByteVector resynced;
    if (tag.version_ != 4 && (flags & kUnsynchronised)) {
        resynced = resynchronise(body);
        body = resynced;
    }

    ByteReader in(body);
    if (tag.version_ == 2) {
        readV22Frames(in, tag.frames_);
        return tag;
    }
    if (flags & kExtendedHeader) {
        // v2.3 counts the size without its own four bytes, v2.4 with them.
        in.skip(extendedHeaderLength(tag.version_, body.first(std::min<size_t>(4, body.size())), [&](uint64_t at) {
            return at + 4 <= body.size() && isFrameId(body.subspan(static_cast<size_t>(at), 4));
        }));
    }
    while (in.remaining() >= kFrameHeaderSize) {
        ByteSpan id = in.bytes(4);
        if (!isFrameId(id)) break;  // padding or damage: the frames before it stay
        const uint32_t size = tag.version_ == 4 ? in.synchsafe32() : in.u32be();
        uint16_t frameFlags = in.u16be();
        if (size > in.remaining()) break;
        ByteSpan data = in.bytes(size);
        Id3v2Frame frame;
        frame.id.assign(AsText(id));
        if (tag.version_ == 4) {
            // Kept frames are rendered as v2.3: undo what v2.3 cannot say.
            if (frameFlags & (kCompressed24 | kEncrypted24 | kGrouping24)) continue;
            ByteVector plain;
            if (frameFlags & kUnsync24) {
                plain = resynchronise(data);
                data = plain;
            }
            if (frameFlags & kDataLength24) data = data.size() >= 4 ? data.subspan(4) : ByteSpan{};
            frame.data.assign(data.begin(), data.end());
            frameFlags = 0;
        } else {
            frame.data.assign(data.begin(), data.end());
        }
        frame.flags = frameFlags;
        tag.frames_.push_back(std::move(frame));
    }
    return tag;
}

size_t Id3v2Tag::RenderedSize() const {
    size_t size = 10;
    for (const Id3v2Frame& frame : frames_)
        if (frame.id.size() == 4) size += 10 + frame.data.size();
    return size;
}

// Straight into one buffer: a tag with its pictures is copied once.
ByteVector Id3v2Tag::Render(size_t padding) const {
    std::array<uint8_t, 10> header = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    storeSynchsafe(header, static_cast<uint32_t>(RenderedSize() - 10 + padding));
    ByteWriter out;
    out.bytes(header);
    for (const Id3v2Frame& frame : frames_) {
        if (frame.id.size() != 4) continue;
        out.text(frame.id).u32be(static_cast<uint32_t>(frame.data.size()));
        out.u8(static_cast<uint8_t>(frame.flags >> 8)).u8(static_cast<uint8_t>(frame.flags));
        out.bytes(frame.data);
    }
    out.zeros(padding);
    return out.take();
}

namespace {

// The frames the seven fields are taken from.
bool isFieldFrame(ByteSpan id) {
    static constexpr std::string_view kIds[] = {"TIT2", "TPE1", "TALB", "TRCK", "TYER",
                                                "TDRC", "TCON", "COMM", "TXXX"};
    return std::find(std::begin(kIds), std::end(kIds), AsText(id)) != std::end(kIds);
}

}  // namespace

Id3v2Tag Id3v2Tag::ReadFields(const ByteSource& source) {
    Id3v2Tag tag;
    SourceCursor in(source);
    std::array<uint8_t, kHeaderSize> header{};
    if (!in.read(header)) return tag;
    const uint64_t extent = SizeOnDisk(header);
    if (extent == 0) return tag;
    // A tag cut short with its file gives the frames that are whole.
    const uint64_t there = std::min(extent, source.size());
    tag.version_ = header[3];
    const uint8_t flags = header[5];
    // A tag unsynchronised as a whole has its frame sizes in the decoded
    // bytes, and a v2.2 tag has frames of another shape; both are rare
    // enough to be read whole.
    if (tag.version_ == 2 || (tag.version_ != 4 && (flags & kUnsynchronised))) {
        auto whole = Parse(source.read(0, static_cast<size_t>(there)));
        return whole ? std::move(*whole) : tag;
    }
    uint64_t end = there;
    if (tag.version_ == 4 && (flags & kFooter) && extent <= source.size() && extent >= 2 * kHeaderSize)
        end -= kHeaderSize;

    if (flags & kExtendedHeader) {
        const ByteVector sizeField = source.read(kHeaderSize, static_cast<size_t>(std::min<uint64_t>(4, end - kHeaderSize)));
        in.skip(extendedHeaderLength(tag.version_, sizeField, [&](uint64_t at) {
            if (kHeaderSize + at + 4 > end) return false;
            const ByteVector id = source.read(kHeaderSize + at, 4);
            return id.size() == 4 && isFrameId(id);
        }));
    }
    // The walk Parse makes, over the frame headers alone: a frame the fields
    // do not come from (a picture, a private frame) is skipped unread, and a
    // field's frame is read only as far as the field reads it.
    while (!in.failed() && in.position() + kFrameHeaderSize <= end) {
        std::array<uint8_t, kFrameHeaderSize> head{};
        in.read(head);
        const ByteSpan id = ByteSpan(head).first(4);
        if (!isFrameId(id)) break;
        ByteReader sizes(ByteSpan(head).subspan(4));
        const uint32_t size = tag.version_ == 4 ? sizes.synchsafe32() : sizes.u32be();
        const uint16_t frameFlags = sizes.u16be();
        if (size > end - in.position()) break;
        const bool v4 = tag.version_ == 4;
        if (!isFieldFrame(id) || (v4 && (frameFlags & (kCompressed24 | kEncrypted24 | kGrouping24)))) {
            in.skip(size);
            continue;
        }
        // Enough raw bytes for kReadTextCap decoded ones: a data length
        // indicator takes four more, unsynchronisation up to twice as many.
        size_t wanted = kReadTextCap;
        if (v4 && (frameFlags & kDataLength24)) wanted += 4;
        if (v4 && (frameFlags & kUnsync24)) wanted *= 2;
        const uint64_t next = in.position() + size;
        ByteSpan data = in.bytes(std::min<size_t>(size, wanted));
        in.seek(next);
        ByteVector plain;
        if (v4 && (frameFlags & kUnsync24)) {
            plain = resynchronise(data);
            data = plain;
        }
        if (v4 && (frameFlags & kDataLength24)) data = data.size() >= 4 ? data.subspan(4) : ByteSpan{};
        Id3v2Frame frame;
        frame.id.assign(AsText(id));
        frame.data.assign(data.begin(), data.begin() + static_cast<ptrdiff_t>(std::min(data.size(), kReadTextCap)));
        tag.frames_.push_back(std::move(frame));
    }
    return tag;
}

// Of two frames with one id the first counts, as other readers take it.
std::string Id3v2Tag::text(std::string_view id) const {
    for (const Id3v2Frame& frame : frames_)
        if (frame.id == id) return DecodeId3v2Text(ByteSpan(frame.data).first(std::min(frame.data.size(), kReadTextCap)));
    return {};
}

std::string Id3v2Tag::comment() const {
    const Id3v2Frame* chosen = nullptr;
    for (const Id3v2Frame& frame : frames_) {
        if (!isComm(frame)) continue;
        if (!chosen) chosen = &frame;
        if (commDescription(frame, nullptr).empty()) {
            chosen = &frame;
            break;
        }
    }
    if (chosen) return commText(*chosen);
    // Some encoders keep the comment in a user text frame of that name.
    for (const Id3v2Frame& frame : frames_)
        if (isCommentTxxx(frame)) return commentTxxxText(frame);
    return {};
}

namespace {

struct TagOnDisk {
    Id3v2Tag tag;
    uint64_t extent = 0;  // bytes the old tag takes at the start of the file
    uint64_t fileSize = 0;
    bool overrun = false;  // a tag header whose size runs past the file's end
};

bool readTagOnDisk(const std::string& fileName, TagOnDisk& out, std::string* error) {
    FileSource file(fileName);
    if (!file.ok()) {
        if (error) *error = "Cannot open " + fileName + ": " + file.error();
        return false;
    }
    out.fileSize = file.size();
    // Most tags fit the first read; only a larger one needs a second.
    ByteVector bytes = file.read(0, kFirstRead);
    const uint64_t extent = Id3v2Tag::SizeOnDisk(bytes);
    if (extent == 0) return true;
    // A tag that runs past the end is read as far as it goes; where it ends
    // stays unknown.
    out.overrun = extent > out.fileSize;
    const uint64_t there = std::min(extent, out.fileSize);
    if (bytes.size() < there) bytes = file.read(0, static_cast<size_t>(there));
    bytes.resize(std::min<size_t>(bytes.size(), there));
    if (bytes.size() != there) {
        if (error) *error = "Cannot read " + fileName;
        return false;
    }
    if (auto tag = Id3v2Tag::Parse(bytes)) {
        out.tag = std::move(*tag);
        if (!out.overrun) out.extent = extent;
    }
    return true;
}

// The tag written over the one read as disk.
TagWriteResult writeFramesOver(const std::string& fileName, const TagOnDisk& disk, const Id3v2Tag& tag);

}  // namespace

bool ReadId3v2Frames(const std::string& fileName, Id3v2Tag& tag, std::string* error) {
    TagOnDisk disk;
    const bool ok = readTagOnDisk(fileName, disk, error);
    tag = std::move(disk.tag);
    return ok;
}

Id3v2Tag Id3v2TagOf(const ID3StructV2& fields) {
    Id3v2Tag tag;
    auto& frames = tag.frames();
    const std::array<const std::string*, 6> texts = {&fields.Title, &fields.Artist, &fields.Album,
                                                     &fields.Track, &fields.Year,   &fields.Genre};
    for (size_t i = 0; i < texts.size(); ++i)
        frames.push_back({std::string(kId3v2FrameIds[i]), 0, EncodeId3v2Text(*texts[i], kWriteTextMax)});
    frames.push_back({"COMM", 0, encodeComment(fields.Comment)});
    return tag;
}

ByteVector RenderNewId3v2Tag(const Id3v2Tag& tag) { return tag.Render(kDefaultPadding); }

TagWriteResult WriteId3v2Frames(const std::string& fileName, const Id3v2Tag& tag) {
    TagWriteResult result;
    TagOnDisk disk;
    if (!readTagOnDisk(fileName, disk, &result.error)) return result;
    return writeFramesOver(fileName, disk, tag);
}

namespace {

TagWriteResult writeFramesOver(const std::string& fileName, const TagOnDisk& disk, const Id3v2Tag& tag) {
    TagWriteResult result;
    // Where such a tag ends is unknown: a new tag written in front would
    // leave it before the audio, and one written over it could hit audio.
    if (disk.overrun) {
        result.error = "Cannot write " + fileName + ": the ID3v2 tag at its start says it is larger than the file";
        return result;
    }

    const std::size_t needed = tag.RenderedSize();
    if (disk.extent >= needed) {
        // Fits the old tag with its padding: written in place, the rest of
        // the old room becomes padding so no stale frame bytes stay before
        // the audio.
        return WriteFileBytes(fileName, 0, tag.Render(disk.extent - needed));
    }

    // The tag grows: a new file of the tag and the audio after the old tag.
    return ReplaceFileHead(fileName, tag.Render(kDefaultPadding), disk.extent);
}

}  // namespace

}  // namespace tags

ID3StructV2 LastID3v2Tag;

int64_t ID3v2TagSize(const TagInfo& info) {
    const auto& h = info.Header;
    const int64_t size = int64_t(h[6]) * 2097152 + int64_t(h[7]) * 16384 + int64_t(h[8]) * 128 + h[9] + 10;
    return size > info.FileSize ? 0 : size;
}

uint32_t ComputeID3v2TagSize(std::array<uint8_t, 10>& header, std::span<const uint32_t> frameSizes) {
    uint32_t total = 10;
    for (uint32_t size : frameSizes) total += 10 + (size & 0xFFFFFF);
    tags::storeSynchsafe(header, total);
    return total;
}

namespace {

ID3StructV2 fieldsOf(const tags::Id3v2Tag& frames) {
    ID3StructV2 tag;
    auto field = [&](std::string_view id) { return std::string(tags::TrimTagText(frames.text(id))); };
    tag.Title = field("TIT2");
    tag.Artist = field("TPE1");
    tag.Album = field("TALB");
    tag.Track = field("TRCK");
    tag.Year = field("TYER");
    // v2.4 keeps the year in the recording time.
    if (tag.Year.empty()) tag.Year = field("TDRC");
    tag.Genre = tags::genreText(field("TCON"));
    tag.Comment = std::string(tags::TrimTagText(frames.comment()));
    return tag;
}

}  // namespace

bool ReadID3v2Tag(const std::string& fileName, ID3StructV2& tag, std::string* error) {
    tag = {};
    const tags::FileSource file(fileName);
    if (!file.ok()) {
        if (error) *error = "Cannot open " + fileName + ": " + file.error();
        return false;
    }
    tag = fieldsOf(tags::Id3v2Tag::ReadFields(file));
    return true;
}

namespace {

bool readMp3Tags(const tags::FileSource& file, const std::string& fileName, ID3StructV2& v2, ID3v1Block& v1,
                 std::string* error) {
    const uint64_t size = file.size();
    // The block at the end is asked for first, so that on a cold cache its
    // disk read runs while the tag at the start is read.
    if (size >= ID3v1Block::kSize) file.willRead(size - ID3v1Block::kSize, ID3v1Block::kSize);
    v2 = fieldsOf(tags::Id3v2Tag::ReadFields(file));
    return tags::ReadId3v1Block(file, fileName, v1, error);
}

}  // namespace

bool ReadMp3Tags(const std::string& fileName, ID3StructV2& v2, ID3v1Block& v1, std::string* error) {
    v2 = {};
    v1 = ID3v1Block::Parse({});
    const tags::FileSource file(fileName);
    if (!file.ok()) {
        if (error) *error = "Cannot open " + fileName + ": " + file.error();
        return false;
    }
    return readMp3Tags(file, fileName, v2, v1, error);
}

bool ReadMp3Tags(int fd, uint64_t size, const std::string& fileName, ID3StructV2& v2, ID3v1Block& v1,
                 std::string* error) {
    v2 = {};
    v1 = ID3v1Block::Parse({});
    return readMp3Tags(tags::FileSource(fd, size), fileName, v2, v1, error);
}

const ID3StructV2& ReadID3v2Tag(const std::string& fileName) {
    ReadID3v2Tag(fileName, LastID3v2Tag);
    return LastID3v2Tag;
}

TagWriteResult WriteID3v2Tag(const std::string& fileName, const ID3StructV2& tag) {
    // Read once, for the frames kept and for the room the new tag has.
    tags::TagOnDisk disk;
    std::string error;
    const bool read = tags::readTagOnDisk(fileName, disk, &error);
    const tags::Id3v2Tag& old = disk.tag;
    if (!read) return {false, error};

    tags::Id3v2Tag updated = tags::Id3v2TagOf(tag);
    auto& frames = updated.frames();

    // Everything the program does not edit follows in its old order: frames
    // of the table and comments without a description are the ones replaced,
    // and so are the v2.4 recording time and the "comment" user text that
    // stood for the year and the comment.
    for (const tags::Id3v2Frame& frame : old.frames()) {
        const bool edited =
            frame.id == "TDRC" || tags::isCommentTxxx(frame) ||
            (tags::isComm(frame) ? tags::commDescription(frame, nullptr).empty()
                                 : std::find(kId3v2FrameIds.begin(), kId3v2FrameIds.end(), frame.id) !=
                                       kId3v2FrameIds.end());
        if (!edited) frames.push_back(frame);
    }
    return tags::writeFramesOver(fileName, disk, updated);
}
