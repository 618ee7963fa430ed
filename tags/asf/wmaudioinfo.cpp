#include "tags/asf/wmaudioinfo.h"

#include <algorithm>
#include <limits>

#include "tags/asf/asfattributes.h"
#include "tags/textcodec.h"

namespace {

using tags::AsfHeader;
using tags::AsfType;

// Value types beyond the two the tag code uses, in the interface's numbering.
constexpr uint32_t kTypeBinary = 2, kTypeBool = 3, kTypeQword = 4, kTypeWord = 5;

uint32_t interfaceType(AsfType type) {
    switch (type) {
        case AsfType::String: return kWmaTypeString;
        case AsfType::Dword: return kWmaTypeDword;
        case AsfType::Bytes: return kTypeBinary;
        case AsfType::Bool: return kTypeBool;
        case AsfType::Qword: return kTypeQword;
        case AsfType::Word: return kTypeWord;
    }
    return kTypeBinary;
}

AsfType asfType(uint32_t type) {
    switch (type) {
        case kWmaTypeString: return AsfType::String;
        case kWmaTypeDword: return AsfType::Dword;
        case kTypeBool: return AsfType::Bool;
        case kTypeQword: return AsfType::Qword;
        case kTypeWord: return AsfType::Word;
        default: return AsfType::Bytes;
    }
}

uint32_t clampToU32(uint64_t v) {
    return static_cast<uint32_t>(std::min<uint64_t>(v, std::numeric_limits<uint32_t>::max()));
}

// A decimal number at the start of a text ("7", " 7/12"); 0 when there is none.
uint32_t leadingNumber(std::string_view text) {
    text = tags::TrimTagText(text);
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(c - '0'), 1ull << 33);
    }
    return clampToU32(value);
}

}  // namespace

WmaAttributeObject::WmaAttributeObject(std::unique_ptr<tags::AsfFile> file) : file_(std::move(file)) {}
WmaAttributeObject::~WmaAttributeObject() = default;

int32_t WmaAttributeObject::GetAttributeByName(std::string_view name, uint32_t& type,
                                               tags::ByteVector& value) const {
    const AsfHeader& header = file_->header();
    const int field = AsfHeader::FieldOf(name);
    if (field >= 0 && !header.field(static_cast<AsfHeader::Field>(field)).empty()) {
        type = kWmaTypeString;
        value = tags::Utf16LeWithTerminator(header.field(static_cast<AsfHeader::Field>(field)));
        return 0;
    }
    const tags::AsfDescriptor* d = header.find(name);
    if (!d) return kWmaFail;
    type = interfaceType(d->type);
    value = d->value;
    return 0;
}

int32_t WmaAttributeObject::SetAttribute(std::string_view name, uint32_t type, tags::ByteSpan value) {
    AsfHeader& header = file_->header();
    const int field = AsfHeader::FieldOf(name);
    if (type == kWmaTypeString) {
        const std::u16string text = tags::Utf16LeUnits(tags::Utf16UntilTerminator(value));
        if (field >= 0) {
            // The description object holds these five; a descriptor of the
            // same name would shadow a cleared field on the next read.
            header.setField(static_cast<AsfHeader::Field>(field), text);
            header.remove(name);
        } else if (text.empty()) {
            header.remove(name);
        } else {
            header.set({tags::Utf8ToUtf16(name), AsfType::String, tags::Utf16LeWithTerminator(text)});
        }
    } else {
        if (type == kWmaTypeDword && value.size() != 4) return kWmaFail;
        header.set({tags::Utf8ToUtf16(name), asfType(type), tags::ByteVector(value.begin(), value.end())});
    }
    dirty_ = true;
    return 0;
}

int32_t WmaAttributeObject::Close(std::string* error) {
    if (!dirty_) return 0;
    const TagWriteResult result = file_->Save();
    if (!result.ok) {
        if (error) *error = result.error;
        return kWmaFail;
    }
    dirty_ = false;
    return 0;
}

int32_t WMAudioCreateInfo(const std::string& fileName, std::unique_ptr<WmaAttributeObject>& info,
                          std::string* error) {
    auto file = tags::AsfFile::Load(fileName, error);
    if (!file) return kWmaFail;
    info = std::make_unique<WmaAttributeObject>(std::make_unique<tags::AsfFile>(std::move(*file)));
    return 0;
}

std::string GetStringAttribute(const WmaAttributeObject& info, std::string_view name) {
    uint32_t type = 0;
    tags::ByteVector value;
    if (info.GetAttributeByName(name, type, value) != 0 || type != kWmaTypeString) return {};
    return tags::Utf16LeToUtf8(tags::Utf16UntilTerminator(value));
}

uint32_t GetDwordAttribute(const WmaAttributeObject& info, std::string_view name) {
    uint32_t type = 0;
    tags::ByteVector value;
    if (info.GetAttributeByName(name, type, value) != 0) return 0;
    tags::ByteReader in(value);
    switch (type) {
        case kWmaTypeDword:
        case kTypeBool: return in.u32le();
        case kTypeWord: return in.u16le();
        case kTypeQword: return clampToU32(in.u64le());
        // Many encoders store track numbers as text.
        case kWmaTypeString: return leadingNumber(GetStringAttribute(info, name));
        default: return 0;
    }
}

int32_t SetStringAttribute(WmaAttributeObject& info, std::string_view name, std::string_view value) {
    const tags::ByteVector bytes = tags::Utf16LeWithTerminator(tags::Utf8ToUtf16(value));
    return info.SetAttribute(name, kWmaTypeString, bytes);
}

int32_t SetDwordAttribute(WmaAttributeObject& info, std::string_view name, uint32_t value) {
    tags::ByteWriter out;
    out.u32le(value);
    return info.SetAttribute(name, kWmaTypeDword, out.data());
}
