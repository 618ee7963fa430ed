#include "tags/asf/asfattributes.h"

#include <algorithm>

#include "tags/textcodec.h"

namespace tags {
namespace {

constexpr Guid kHeaderGuid = GuidFromText("75B22630-668E-11CF-A6D9-00AA0062CE6C");
constexpr Guid kFilePropertiesGuid = GuidFromText("8CABDCA1-A947-11CF-8EE4-00C00C205365");
constexpr Guid kContentDescriptionGuid = GuidFromText("75B22633-668E-11CF-A6D9-00AA0062CE6C");
constexpr Guid kExtendedContentGuid = GuidFromText("D2D0A440-E307-11D2-97F0-00A0C95EA850");

constexpr size_t kObjectHead = 24;
constexpr size_t kHeaderHead = 30;  // head, child count, two reserved bytes
constexpr uint64_t kMaxHeaderSize = 64u * 1024 * 1024;
constexpr size_t kFileSizeOffset = 40;  // within the File Properties object

constexpr std::array<std::string_view, AsfHeader::kFieldCount> kFieldNames = {"Title", "Author", "Copyright",
                                                                              "Description", "Rating"};

Guid guidAt(ByteSpan bytes) {
    Guid g{};
    std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), 16), g.begin());
    return g;
}

// UTF-16LE bytes to text, ending at the first zero character.
std::u16string u16FromBytes(ByteSpan bytes) {
    return Utf16LeUnits(Utf16UntilTerminator(bytes));
}

void writeU16Text(ByteWriter& out, const std::u16string& text) {
    out.bytes(Utf16LeWithTerminator(text));
}

// Texts and values carry 16-bit byte counts. A longer one (a pasted text of
// liner notes, a name without terminator in a damaged file) is cut to fit,
// as every tag writer cuts to its field; a count that wrapped instead would
// leave a header that no reader, ours included, can walk.
constexpr size_t kMaxValueBytes = 0xFFFF;
constexpr size_t kMaxTextUnits = kMaxValueBytes / 2 - 1;  // with its terminator

std::u16string fitted(const std::u16string& text) {
    if (text.size() <= kMaxTextUnits) return text;
    size_t n = kMaxTextUnits;
    if (text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;  // never half a pair
    return text.substr(0, n);
}

ByteVector fittedValue(const AsfDescriptor& d) {
    if (d.value.size() <= kMaxValueBytes) return d.value;
    if (d.type == AsfType::String) {
        ByteWriter out;
        writeU16Text(out, fitted(u16FromBytes(d.value)));
        return out.take();
    }
    return ByteVector(d.value.begin(), d.value.begin() + kMaxValueBytes);
}

bool fail(std::string* error, const char* message) {
    if (error) *error = message;
    return false;
}

bool parseContentDescription(ByteSpan body, std::array<std::u16string, AsfHeader::kFieldCount>& fields,
                             std::string* error) {
    ByteReader in(body);
    std::array<uint16_t, AsfHeader::kFieldCount> lengths{};
    for (auto& length : lengths) length = in.u16le();
    for (size_t i = 0; i < lengths.size(); ++i) fields[i] = u16FromBytes(in.bytes(lengths[i]));
    return !in.failed() || fail(error, "Damaged content description.");
}

// The descriptors of an Extended Content Description body, the cursor at
// its start; with names, only the descriptors of those names (without case)
// are kept and the values of the others are skipped unread.
bool parseExtendedContent(SourceCursor& in, uint64_t bodySize, const std::span<const std::string_view>* names,
                          std::vector<AsfDescriptor>& descriptors, std::string* error) {
    const uint64_t end = in.position() + bodySize;
    bool ok = true;
    // Each read must stay within the body.
    auto fits = [&](uint64_t n) { return ok = ok && n <= end - in.position(); };
    const uint16_t count = fits(2) ? in.u16le() : 0;
    for (uint16_t i = 0; i < count && ok; ++i) {
        AsfDescriptor d;
        const uint16_t nameBytes = fits(2) ? in.u16le() : 0;
        if (fits(nameBytes)) d.name = u16FromBytes(in.bytes(nameBytes));
        if (fits(2)) d.type = static_cast<AsfType>(in.u16le());
        const uint16_t valueBytes = fits(2) ? in.u16le() : 0;
        if (!fits(valueBytes)) break;
        bool wanted = !names;
        if (names) {
            const std::string name = Utf16ToUtf8(d.name);
            wanted = std::any_of(names->begin(), names->end(),
                                 [&](std::string_view n) { return EqualsIgnoringAsciiCase(name, n); });
        }
        if (!wanted) {
            in.skip(valueBytes);
            continue;
        }
        const ByteSpan value = in.bytes(valueBytes);
        d.value.assign(value.begin(), value.end());
        descriptors.push_back(std::move(d));
    }
    return (ok && !in.failed()) || fail(error, "Damaged extended content description.");
}

ByteVector renderObject(const Guid& guid, const ByteVector& body) {
    ByteWriter out;
    out.bytes(guid).u64le(kObjectHead + body.size()).bytes(body);
    return out.take();
}

}  // namespace

std::optional<AsfHeader> AsfHeader::Parse(ByteSpan bytes, std::string* error) {
    const MemorySource source(bytes);
    SourceCursor in(source);
    return read(in, nullptr, error);
}

std::optional<AsfHeader> AsfHeader::ReadFields(const ByteSource& source, std::span<const std::string_view> names,
                                               std::string* error) {
    SourceCursor in(source);
    return read(in, &names, error);
}

std::optional<AsfHeader> AsfHeader::read(SourceCursor& in, const std::span<const std::string_view>* names,
                                         std::string* error) {
    const Guid guid = guidAt(in.bytes(16));
    const uint64_t size = in.u64le();
    in.u32le();  // the child count follows from the sizes
    AsfHeader header;
    header.readOnly_ = names != nullptr;
    header.reserved_ = {in.u8(), in.u8()};
    if (in.failed() || guid != kHeaderGuid) return fail(error, "Not an ASF file."), std::nullopt;
    if (size < kHeaderHead || size > in.size()) return fail(error, "Damaged ASF header."), std::nullopt;

    while (in.position() < size) {
        const uint64_t start = in.position();
        if (size - start < kObjectHead) return fail(error, "Damaged ASF header object."), std::nullopt;
        const Guid childGuid = guidAt(in.bytes(16));
        const uint64_t childSize = in.u64le();
        if (in.failed() || childSize < kObjectHead || childSize > size - start)
            return fail(error, "Damaged ASF header object."), std::nullopt;
        const uint64_t bodySize = childSize - kObjectHead;
        if (childGuid == kContentDescriptionGuid && !header.hasContentDescription_) {
            if (!parseContentDescription(in.bytes(static_cast<size_t>(bodySize)), header.fields_, error))
                return std::nullopt;
            header.hasContentDescription_ = true;
            header.children_.push_back({childGuid, {}});
        } else if (childGuid == kExtendedContentGuid && !header.hasExtended_) {
            if (!parseExtendedContent(in, bodySize, names, header.descriptors_, error)) return std::nullopt;
            header.hasExtended_ = true;
            header.children_.push_back({childGuid, {}});
        } else if (!names) {
            in.seek(start);
            const ByteSpan whole = in.bytes(static_cast<size_t>(childSize));
            header.children_.push_back({childGuid, ByteVector(whole.begin(), whole.end())});
        }
        // A reader has no use for the other objects (stream properties, the
        // header extension with its metadata library, where a large cover
        // picture lies, padding): they are passed unread.
        in.seek(start + childSize);
    }
    return header;
}

ByteVector AsfHeader::Render(uint64_t restSize) const {
    auto contentDescription = [&] {
        std::array<std::u16string, kFieldCount> fields;
        std::transform(fields_.begin(), fields_.end(), fields.begin(), fitted);
        ByteWriter body;
        for (const auto& f : fields) body.u16le(static_cast<uint16_t>(f.empty() ? 0 : (f.size() + 1) * 2));
        for (const auto& f : fields)
            if (!f.empty()) writeU16Text(body, f);
        return renderObject(kContentDescriptionGuid, body.data());
    };
    auto extendedContent = [&] {
        ByteWriter body;
        body.u16le(static_cast<uint16_t>(std::min<size_t>(descriptors_.size(), 0xFFFF)));
        for (size_t i = 0; i < descriptors_.size() && i < 0xFFFF; ++i) {
            const AsfDescriptor& d = descriptors_[i];
            const std::u16string name = fitted(d.name);
            const ByteVector value = fittedValue(d);
            body.u16le(static_cast<uint16_t>((name.size() + 1) * 2));
            writeU16Text(body, name);
            body.u16le(static_cast<uint16_t>(d.type)).u16le(static_cast<uint16_t>(value.size())).bytes(value);
        }
        return renderObject(kExtendedContentGuid, body.data());
    };

    std::vector<ByteVector> objects;
    bool wroteDescription = false, wroteExtended = false;
    for (const Child& child : children_) {
        if (child.guid == kContentDescriptionGuid && child.bytes.empty()) {
            objects.push_back(contentDescription());
            wroteDescription = true;
        } else if (child.guid == kExtendedContentGuid && child.bytes.empty()) {
            objects.push_back(extendedContent());
            wroteExtended = true;
        } else {
            objects.push_back(child.bytes);
        }
    }
    const bool anyField = std::any_of(fields_.begin(), fields_.end(), [](const auto& f) { return !f.empty(); });
    if (!wroteDescription && anyField) objects.push_back(contentDescription());
    if (!wroteExtended && !descriptors_.empty()) objects.push_back(extendedContent());

    uint64_t headerSize = kHeaderHead;
    for (const ByteVector& o : objects) headerSize += o.size();
    ByteWriter out;
    out.bytes(kHeaderGuid).u64le(headerSize).u32le(static_cast<uint32_t>(objects.size()));
    out.u8(reserved_[0]).u8(reserved_[1]);
    for (ByteVector& o : objects) {
        if (guidAt(o) == kFilePropertiesGuid && o.size() >= kFileSizeOffset + 8) {
            ByteWriter size;
            size.u64le(headerSize + restSize);
            std::copy(size.data().begin(), size.data().end(), o.begin() + kFileSizeOffset);
        }
        out.bytes(o);
    }
    return out.take();
}

int AsfHeader::FieldOf(std::string_view name) {
    for (size_t i = 0; i < kFieldNames.size(); ++i)
        if (EqualsIgnoringAsciiCase(name, kFieldNames[i])) return static_cast<int>(i);
    return -1;
}

const AsfDescriptor* AsfHeader::find(std::string_view name) const {
    const std::u16string wanted = Utf8ToUtf16(name);
    for (const AsfDescriptor& d : descriptors_)
        if (d.name == wanted) return &d;
    for (const AsfDescriptor& d : descriptors_)
        if (EqualsIgnoringAsciiCase(Utf16ToUtf8(d.name), name)) return &d;
    return nullptr;
}

void AsfHeader::set(AsfDescriptor descriptor) {
    const std::string name = Utf16ToUtf8(descriptor.name);
    bool placed = false;
    for (auto it = descriptors_.begin(); it != descriptors_.end();) {
        if (!EqualsIgnoringAsciiCase(Utf16ToUtf8(it->name), name)) {
            ++it;
        } else if (!placed) {
            *it++ = descriptor;
            placed = true;
        } else {
            it = descriptors_.erase(it);
        }
    }
    if (!placed) descriptors_.push_back(std::move(descriptor));
}

void AsfHeader::remove(std::string_view name) {
    std::erase_if(descriptors_,
                  [&](const AsfDescriptor& d) { return EqualsIgnoringAsciiCase(Utf16ToUtf8(d.name), name); });
}

std::optional<AsfFile> AsfFile::Load(const std::string& path, std::string* error) {
    return load(path, nullptr, error);
}

std::optional<AsfFile> AsfFile::LoadFields(const std::string& path, std::span<const std::string_view> names,
                                           std::string* error) {
    return load(path, &names, error);
}

std::optional<AsfFile> AsfFile::load(const std::string& path, const std::span<const std::string_view>* names,
                                     std::string* error) {
    FileSource file(path);
    if (!file.ok()) {
        if (error) *error = "Cannot open " + path + ": " + file.error();
        return std::nullopt;
    }
    SourceCursor in(file);
    const Guid guid = guidAt(in.bytes(16));
    const uint64_t size = in.u64le();
    if (in.failed() || guid != kHeaderGuid) return fail(error, "Not an ASF file."), std::nullopt;
    if (size < kHeaderHead || size > file.size() || size > kMaxHeaderSize)
        return fail(error, "Damaged ASF header."), std::nullopt;
    in.seek(0);
    auto header = AsfHeader::read(in, names, error);
    if (!header) return std::nullopt;
    AsfFile asf;
    asf.path_ = path;
    asf.header_ = std::move(*header);
    asf.headerSize_ = size;
    asf.fileSize_ = file.size();
    return asf;
}

TagWriteResult AsfFile::Save() const {
    if (header_.readOnly_) return {false, "The tags of " + path_ + " were opened for reading only."};
    FileSource in(path_);
    if (!in.ok()) return {false, "Cannot open " + path_ + ": " + in.error()};
    if (in.size() != fileSize_) return {false, "The file " + path_ + " changed while its tags were edited."};
    // Everything after the header (data packets, indexes) is copied as is:
    // index entries count packets, so nothing in them moves.
    return ReplaceFileHead(path_, header_.Render(fileSize_ - headerSize_), headerSize_);
}

}  // namespace tags
