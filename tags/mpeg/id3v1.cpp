#include "tags/mpeg/id3v1.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "platform/utf8.h"
#include "tags/textcodec.h"

namespace {

struct Field {
    size_t offset;
    size_t width;
};
constexpr Field kTitle{3, 30}, kArtist{33, 30}, kAlbum{63, 30}, kYear{93, 4}, kComment{97, 28}, kTrack{125, 2};
constexpr uint8_t kNoTagGenre = 3;

// The whole field trimmed, so a zero or blank before the text does not hide
// it; a zero byte left inside ends the text, as the rest is left over from
// an older, longer text.
std::string getField(const ID3v1Block& block, Field f) {
    std::string_view text = tags::TrimTagText(
        std::string_view(reinterpret_cast<const char*>(block.bytes.data() + f.offset), f.width));
    text = tags::TrimTagText(text.substr(0, text.find('\0')));
    return tags::Windows1252ToUtf8(text);
}

void setField(ID3v1Block& block, Field f, std::string_view utf8) {
    const std::string bytes = tags::Utf8ToWindows1252(utf8);
    const size_t n = std::min(bytes.size(), f.width);
    std::fill_n(block.bytes.begin() + static_cast<ptrdiff_t>(f.offset), f.width, 0);
    std::copy_n(bytes.begin(), n, block.bytes.begin() + static_cast<ptrdiff_t>(f.offset));
}

}  // namespace

ID3v1Block LastID3v1Tag;

ID3v1Block ID3v1Block::Empty() {
    ID3v1Block block;
    std::memcpy(block.bytes.data(), "TAG", 3);
    block.bytes[127] = 255;
    return block;
}

ID3v1Block ID3v1Block::Parse(tags::ByteSpan last128) {
    ID3v1Block block;
    std::copy_n(last128.begin(), std::min(last128.size(), kSize), block.bytes.begin());
    if (last128.size() < kSize) block.bytes.fill(0);
    if (!block.hasMagic()) {
        std::fill(block.bytes.begin() + 3, block.bytes.begin() + 127, 0);
        block.bytes[127] = kNoTagGenre;
    }
    return block;
}

bool ID3v1Block::hasMagic() const {
    return bytes[0] == 'T' && bytes[1] == 'A' && bytes[2] == 'G';
}

std::string ID3v1Block::title() const { return getField(*this, kTitle); }
std::string ID3v1Block::artist() const { return getField(*this, kArtist); }
std::string ID3v1Block::album() const { return getField(*this, kAlbum); }
std::string ID3v1Block::year() const { return getField(*this, kYear); }
std::string ID3v1Block::comment() const { return getField(*this, kComment); }
std::string ID3v1Block::track() const {
    if (bytes[kTrack.offset] == 0 && bytes[kTrack.offset + 1] != 0) return std::to_string(bytes[kTrack.offset + 1]);
    return getField(*this, kTrack);
}

void ID3v1Block::setTitle(std::string_view utf8) { setField(*this, kTitle, utf8); }
void ID3v1Block::setArtist(std::string_view utf8) { setField(*this, kArtist, utf8); }
void ID3v1Block::setAlbum(std::string_view utf8) { setField(*this, kAlbum, utf8); }
void ID3v1Block::setYear(std::string_view utf8) { setField(*this, kYear, utf8); }
void ID3v1Block::setComment(std::string_view utf8) { setField(*this, kComment, utf8); }
void ID3v1Block::setTrack(std::string_view utf8) {
    if (const std::optional<uint8_t> number = Id3v1TrackNumber(utf8)) {
        bytes[kTrack.offset] = 0;
        bytes[kTrack.offset + 1] = *number;
        return;
    }
    setField(*this, kTrack, utf8);
}

std::optional<uint8_t> Id3v1TrackNumber(std::string_view text) {
    text = tags::TrimTagText(text);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 1 || value > 255)
        return std::nullopt;
    return static_cast<uint8_t>(value);
}

void ID3v1Block::setGenre(int index) {
    bytes[127] = (index >= 0 && index <= 147) ? static_cast<uint8_t>(index) : 255;
}

bool ReadID3v1Tag(const std::string& fileName, ID3v1Block& block, std::string* error) {
    block = ID3v1Block::Parse({});
    tags::FileSource file(fileName);
    if (!file.ok()) {
        if (error) *error = "Cannot open " + fileName + ": " + file.error();
        return false;
    }
    return tags::ReadId3v1Block(file, fileName, block, error);
}

namespace tags {

bool ReadId3v1Block(const ByteSource& file, const std::string& fileName, ID3v1Block& block, std::string* error) {
    block = ID3v1Block::Parse({});
    if (file.size() < ID3v1Block::kSize) return true;
    const ByteVector last = file.read(file.size() - ID3v1Block::kSize, ID3v1Block::kSize);
    if (last.size() != ID3v1Block::kSize) {
        if (error) *error = "Cannot read " + fileName;
        return false;
    }
    block = ID3v1Block::Parse(last);
    return true;
}

}  // namespace tags

const ID3v1Block& ReadID3v1Tag(const std::string& fileName) {
    ReadID3v1Tag(fileName, LastID3v1Tag);
    return LastID3v1Tag;
}

TagWriteResult WriteID3v1Tag(const std::string& fileName, const ID3v1Block& block) {
    tags::FileSource file(fileName);
    if (!file.ok()) return {false, "Cannot open " + fileName + ": " + file.error()};
    // Replace a block that is there; otherwise append one, which leaves every
    // byte of the file as it was.
    uint64_t at = file.size();
    if (file.size() >= ID3v1Block::kSize) {
        const tags::ByteVector magic = file.read(file.size() - ID3v1Block::kSize, 3);
        if (magic.size() != 3) return {false, "Cannot read " + fileName};
        if (magic[0] == 'T' && magic[1] == 'A' && magic[2] == 'G') at -= ID3v1Block::kSize;
    }
    return tags::WriteFileBytes(fileName, at, block.bytes);
}
