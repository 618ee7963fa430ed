#pragma once
// ASF 1.0 attributes: the Content Description object (title, author,
// copyright, description, rating) and the Extended Content Description
// object (named descriptors) of a file's Header Object. The header is read
// into memory and parsed with every size checked; a commit writes a new
// Header Object followed by the file's remaining bytes unchanged.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tags/bytes.h"
#include "tags/tagfile.h"

namespace tags {

// ASF descriptor value types.
enum class AsfType : uint16_t { String = 0, Bytes = 1, Bool = 2, Dword = 3, Qword = 4, Word = 5 };

struct AsfDescriptor {
    std::u16string name;
    AsfType type = AsfType::String;
    ByteVector value;  // as stored; strings are UTF-16LE with terminator
};

// The parsed Header Object. Children other than the two description objects
// are kept as raw bytes in their order.
class AsfHeader {
public:
    enum Field { Title, Author, Copyright, Description, Rating, kFieldCount };

    // bytes must hold the whole Header Object; nullopt (and *error) when it is
    // not one or any size in it does not fit.
    static std::optional<AsfHeader> Parse(ByteSpan bytes, std::string* error = nullptr);
    // A reader's view of the Header Object at the start of source: the
    // content description and, of the extended descriptors, those of the
    // given names (without case); every other object and descriptor value is
    // skipped unread. It fails where Parse fails and cannot be rendered.
    static std::optional<AsfHeader> ReadFields(const ByteSource& source, std::span<const std::string_view> names,
                                               std::string* error = nullptr);
    // The Header Object with the current fields; the File Properties' file
    // size is set to headerSize + restSize. A text or value longer than its
    // 16-bit byte count holds is cut to fit, at a character boundary.
    ByteVector Render(uint64_t restSize) const;

    const std::u16string& field(Field f) const { return fields_[f]; }
    void setField(Field f, std::u16string value) { fields_[f] = std::move(value); }
    // The five names of the content description fields, or -1.
    static int FieldOf(std::string_view name);

    const std::vector<AsfDescriptor>& descriptors() const { return descriptors_; }
    // First descriptor of that name exactly, then one equal without case.
    const AsfDescriptor* find(std::string_view name) const;
    // Replaces the first descriptor of that name where it stands (without
    // case) and drops the others of that name, or appends it.
    void set(AsfDescriptor descriptor);
    // Drops every descriptor of that name (without case).
    void remove(std::string_view name);
    // Adds it after the others, also when one of that name is there already
    // (a file may hold several pictures).
    void append(AsfDescriptor descriptor) { descriptors_.push_back(std::move(descriptor)); }

private:
    friend class AsfFile;
    static std::optional<AsfHeader> read(SourceCursor& in, const std::span<const std::string_view>* names,
                                         std::string* error);

    struct Child {
        std::array<uint8_t, 16> guid;
        ByteVector bytes;  // the whole object, head included
    };
    std::vector<Child> children_;
    std::array<uint8_t, 2> reserved_{1, 2};
    std::array<std::u16string, kFieldCount> fields_;
    bool hasContentDescription_ = false;
    bool hasExtended_ = false;
    bool readOnly_ = false;
    std::vector<AsfDescriptor> descriptors_;
};

// A file's header and the bounds of what follows it.
class AsfFile {
public:
    // Reads and parses the Header Object (at most 64 MiB); nullopt and *error
    // when the file cannot be read or holds no ASF 1.0 header.
    static std::optional<AsfFile> Load(const std::string& path, std::string* error = nullptr);
    // The same for reading the named attributes only (AsfHeader::ReadFields);
    // such a file cannot be saved.
    static std::optional<AsfFile> LoadFields(const std::string& path, std::span<const std::string_view> names,
                                             std::string* error = nullptr);

    AsfHeader& header() { return header_; }
    const AsfHeader& header() const { return header_; }
    // Writes the new header and the unchanged rest atomically; the file must
    // not have changed size since Load.
    TagWriteResult Save() const;

private:
    static std::optional<AsfFile> load(const std::string& path, const std::span<const std::string_view>* names,
                                       std::string* error);

    std::string path_;
    AsfHeader header_;
    uint64_t headerSize_ = 0;
    uint64_t fileSize_ = 0;
};

}  // namespace tags
