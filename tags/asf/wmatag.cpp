#include "tags/asf/wmatag.h"

#include <algorithm>

#include "platform/utf8.h"
#include "tags/asf/asfattributes.h"
#include "tags/textcodec.h"
#include "tags/asf/wmaudioinfo.h"

namespace {

using tags::ByteReader;
using tags::ByteSpan;

// The pre-1.0 header format: its header object and the object of its tag records.
constexpr tags::Guid kOldHeaderGuid = tags::GuidFromText("D6E229D1-35DA-11D1-9034-00A0C90349BE");
constexpr tags::Guid kOldRecordsGuid = tags::GuidFromText("D6E229D5-35DA-11D1-9034-00A0C90349BE");
constexpr size_t kObjectHead = 24;
constexpr size_t kMaxCharsKept = 511;
// A record object larger than this is skipped rather than read.
constexpr uint64_t kMaxRecordObject = 64u * 1024 * 1024;

std::string cut(std::string_view text, size_t max) {
    return std::string(Utf8Cut(text, max));
}

uint16_t trackFromText(std::string_view text) {
    text = tags::TrimTagText(text);
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    uint32_t value = 0;
    for (char c : text) value = std::min<uint32_t>(value * 10 + static_cast<uint32_t>(c - '0'), 65535);
    return static_cast<uint16_t>(value);
}

void readRecords(ByteSpan object, WmaTagInfo& info) {
    ByteReader in(object);
    const uint16_t count = in.u16le();
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t id = in.u8();
        in.skip(4);
        const uint16_t nameLength = in.u16le();
        const uint16_t valueLength = in.u16le();
        const std::string name = ReadUtf16Chars(in, nameLength);
        const std::string value = ReadUtf16Chars(in, valueLength);
        // A count larger than the object holds ends at the object's end.
        if (in.failed()) break;
        switch (id) {
            case 1: info.Author = cut(value, WmaTagInfo::kTextMax); break;
            case 2: info.Title = cut(value, WmaTagInfo::kTextMax); break;
            case 3: info.ExtraText = cut(value, WmaTagInfo::kTextMax); break;
            case 4: info.Description = cut(value, WmaTagInfo::kDescriptionMax); break;
            default:
                if (id < 100) break;
                if (tags::EqualsIgnoringAsciiCase(name, "WM/Track")) info.TrackNumber = trackFromText(value);
                else if (tags::EqualsIgnoringAsciiCase(name, "WM/Year")) info.Year = cut(value, WmaTagInfo::kTextMax);
                else if (tags::EqualsIgnoringAsciiCase(name, "WM/AlbumTitle"))
                    info.Album = cut(value, WmaTagInfo::kTextMax);
        }
    }
}

}  // namespace

std::string ReadUtf16Chars(ByteReader& in, size_t count) {
    if (count == 0) return {};
    const size_t kept = std::min(count, kMaxCharsKept);
    ByteSpan bytes = in.bytes(kept * 2);
    in.skip(uint64_t(count - kept) * 2);
    return tags::Utf16LeToUtf8(tags::Utf16UntilTerminator(bytes));
}

WmaTagInfo ReadWmaHeaderRecords(const tags::ByteSource& source) {
    WmaTagInfo info;
    const tags::ByteVector head = source.read(0, kObjectHead);
    ByteReader first(head);
    tags::Guid guid{};
    std::ranges::copy(first.bytes(16), guid.begin());
    uint64_t remaining = first.u64le();
    if (first.failed() || guid != kOldHeaderGuid) return info;
    info.Status = -1;

    // Every object must hold at least its head and fit both the header and
    // the file, so each step moves forward and the walk ends.
    uint64_t position = kObjectHead;
    while (remaining > 0 && position + kObjectHead <= source.size()) {
        const tags::ByteVector objectHead = source.read(position, kObjectHead);
        ByteReader in(objectHead);
        std::ranges::copy(in.bytes(16), guid.begin());
        const uint64_t size = in.u64le();
        if (in.failed() || size < kObjectHead || size > remaining || size > source.size() - position) break;
        remaining -= size;
        if (guid == kOldRecordsGuid && size <= kMaxRecordObject) {
            const tags::ByteVector body = source.read(position + kObjectHead, static_cast<size_t>(size - kObjectHead));
            readRecords(body, info);
        }
        position += size;
    }
    return info;
}

namespace {

// The file's attribute set as WMAudioCreateInfo opens it, but holding only
// the attributes the record is read from: the other objects of the header
// (a cover picture among them) are not read.
std::unique_ptr<WmaAttributeObject> openForReading(const std::string& fileName) {
    static constexpr std::string_view kNames[] = {WMAudioInfo::Title,       WMAudioInfo::Author, WMAudioInfo::AlbumTitle,
                                                  WMAudioInfo::Year,        WMAudioInfo::Genre,  WMAudioInfo::Description,
                                                  WMAudioInfo::TrackNumber, WMAudioInfo::Track};
    auto file = tags::AsfFile::LoadFields(fileName, kNames);
    if (!file) return nullptr;
    return std::make_unique<WmaAttributeObject>(std::make_unique<tags::AsfFile>(std::move(*file)));
}

}  // namespace

bool ReadWmaInfo(const std::string& fileName, WmaTagInfo& info, std::string* error) {
    info = {};
    std::unique_ptr<WmaAttributeObject> attributes;
    if (WMAudioSdkAvailable && (attributes = openForReading(fileName))) {
        info.Status = -1;
        info.Title = cut(GetStringAttribute(*attributes, WMAudioInfo::Title), WmaTagInfo::kTextMax);
        info.Author = cut(GetStringAttribute(*attributes, WMAudioInfo::Author), WmaTagInfo::kTextMax);
        info.Album = cut(GetStringAttribute(*attributes, WMAudioInfo::AlbumTitle), WmaTagInfo::kTextMax);
        info.Year = cut(GetStringAttribute(*attributes, WMAudioInfo::Year), WmaTagInfo::kTextMax);
        uint32_t track = GetDwordAttribute(*attributes, WMAudioInfo::TrackNumber);
        if (track == 0) track = GetDwordAttribute(*attributes, WMAudioInfo::Track);
        info.TrackNumber = static_cast<uint16_t>(std::min<uint32_t>(track, 65535));
        info.Description = cut(GetStringAttribute(*attributes, WMAudioInfo::Description), WmaTagInfo::kDescriptionMax);
        info.Genre = cut(GetStringAttribute(*attributes, WMAudioInfo::Genre), WmaTagInfo::kGenreMax);
        attributes->Close();
        return true;
    }
    tags::FileSource file(fileName);
    if (!file.ok()) {
        if (error) *error = "Cannot open " + fileName + ": " + file.error();
        return false;
    }
    info = ReadWmaHeaderRecords(file);
    return true;
}

TagWriteResult WriteWmaTag(const std::string& fileName, const WmaTagInfo& info) {
    std::unique_ptr<WmaAttributeObject> attributes;
    std::string error;
    if (WMAudioCreateInfo(fileName, attributes, &error) != 0)
        return {false, error == "Not an ASF file." ? "Cannot write the tags of " + fileName + ": not an ASF file"
                                                   : error};
    SetStringAttribute(*attributes, WMAudioInfo::Author, info.Author);
    SetStringAttribute(*attributes, WMAudioInfo::Title, info.Title);
    SetStringAttribute(*attributes, WMAudioInfo::AlbumTitle, info.Album);
    SetStringAttribute(*attributes, WMAudioInfo::Year, info.Year);
    SetStringAttribute(*attributes, WMAudioInfo::Description, info.Description);
    SetStringAttribute(*attributes, WMAudioInfo::Genre, info.Genre);
    SetDwordAttribute(*attributes, WMAudioInfo::TrackNumber, info.TrackNumber);
    if (attributes->Close(&error) != 0) return {false, error};
    return {true, {}};
}
