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

bool parseExtendedContent(ByteSpan body, std::vector<AsfDescriptor>& descriptors, std::string* error) {
    ByteReader in(body);
    const uint16_t count = in.u16le();
    for (uint16_t i = 0; i < count && !in.failed(); ++i) {
        AsfDescriptor d;
        d.name = u16FromBytes(in.bytes(in.u16le()));
        d.type = static_cast<AsfType>(in.u16le());
        const ByteSpan value = in.bytes(in.u16le());
        d.value.assign(value.begin(), value.end());
        if (!in.failed()) descriptors.push_back(std::move(d));
    }
    return !in.failed() || fail(error, "Damaged extended content description.");
}

ByteVector renderObject(const Guid& guid, const ByteVector& body) {
    ByteWriter out;
    out.bytes(guid).u64le(kObjectHead + body.size()).bytes(body);
    return out.take();
}

}  // namespace

std::optional<AsfHeader> AsfHeader::Parse(ByteSpan bytes, std::string* error) {
    ByteReader in(bytes);
    const Guid guid = guidAt(in.bytes(16));
    const uint64_t size = in.u64le();
    in.u32le();  // the child count follows from the sizes
    AsfHeader header;
    header.reserved_ = {in.u8(), in.u8()};
    if (in.failed() || guid != kHeaderGuid) return fail(error, "Not an ASF file."), std::nullopt;
    if (size < kHeaderHead || size > bytes.size()) return fail(error, "Damaged ASF header."), std::nullopt;

    ByteReader children(bytes.subspan(kHeaderHead, static_cast<size_t>(size) - kHeaderHead));
    while (!children.atEnd()) {
        const size_t start = children.position();
        const Guid childGuid = guidAt(children.bytes(16));
        const uint64_t childSize = children.u64le();
        if (children.failed() || childSize < kObjectHead || childSize - kObjectHead > children.remaining())
            return fail(error, "Damaged ASF header object."), std::nullopt;
        const ByteSpan body = children.bytes(static_cast<size_t>(childSize - kObjectHead));
        if (childGuid == kContentDescriptionGuid && !header.hasContentDescription_) {
            if (!parseContentDescription(body, header.fields_, error)) return std::nullopt;
            header.hasContentDescription_ = true;
            header.children_.push_back({childGuid, {}});
        } else if (childGuid == kExtendedContentGuid && !header.hasExtended_) {
            if (!parseExtendedContent(body, header.descriptors_, error)) return std::nullopt;
            header.hasExtended_ = true;
            header.children_.push_back({childGuid, {}});
        } else {
            const ByteSpan whole = ByteSpan(bytes).subspan(kHeaderHead + start, static_cast<size_t>(childSize));
            header.children_.push_back({childGuid, ByteVector(whole.begin(), whole.end())});
        }
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
    FileSource file(path);
    if (!file.ok()) {
        if (error) *error = "Cannot open " + path + ": " + file.error();
        return std::nullopt;
    }
    const ByteVector head = file.read(0, kHeaderHead);
    ByteReader in(head);
    const Guid guid = guidAt(in.bytes(16));
    const uint64_t size = in.u64le();
    if (in.failed() || guid != kHeaderGuid) return fail(error, "Not an ASF file."), std::nullopt;
    if (size < kHeaderHead || size > file.size() || size > kMaxHeaderSize)
        return fail(error, "Damaged ASF header."), std::nullopt;
    const ByteVector bytes = file.read(0, static_cast<size_t>(size));
    auto header = AsfHeader::Parse(bytes, error);
    if (!header) return std::nullopt;
    AsfFile asf;
    asf.path_ = path;
    asf.header_ = std::move(*header);
    asf.headerSize_ = size;
    asf.fileSize_ = file.size();
    return asf;
}

TagWriteResult AsfFile::Save() const {
    FileSource in(path_);
    if (!in.ok()) return {false, "Cannot open " + path_ + ": " + in.error()};
    if (in.size() != fileSize_) return {false, "The file " + path_ + " changed while its tags were edited."};
    // Everything after the header (data packets, indexes) is copied as is:
    // index entries count packets, so nothing in them moves.
    return ReplaceFileHead(path_, header_.Render(fileSize_ - headerSize_), headerSize_);
}

}  // namespace tags
