#pragma once
// Small byte types shared by the tag formats: a bounds-checked reader over a
// span, a writer that appends to a byte vector, and positioned sources that a
// file or a memory buffer can back. Parsers never index raw buffers: a read
// past the end yields zeros and marks the reader failed, so a truncated or
// hostile tag gives a partial result instead of an out-of-bounds read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tags {

using ByteVector = std::vector<uint8_t>;
using ByteSpan = std::span<const uint8_t>;

inline ByteSpan AsBytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}
inline std::string_view AsText(ByteSpan bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A GUID in the byte order files store it: the first three groups
// little-endian, the last two as written.
using Guid = std::array<uint8_t, 16>;

constexpr Guid GuidFromText(std::string_view text) {
    auto hex = [](char c) -> uint8_t {
        return static_cast<uint8_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    };
    auto byteAt = [&](size_t i) { return static_cast<uint8_t>(hex(text[i]) << 4 | hex(text[i + 1])); };
    // Offsets of each stored byte's two hex digits in "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx".
    constexpr size_t at[16] = {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34};
    Guid guid{};
    for (size_t i = 0; i < 16; ++i) guid[i] = byteAt(at[i]);
    return guid;
}

class ByteReader {
public:
    explicit ByteReader(ByteSpan data) : data_(data) {}

    size_t position() const { return pos_; }
    size_t size() const { return data_.size(); }
    size_t remaining() const { return data_.size() - pos_; }
    // True once any read or skip asked for more than was left.
    bool failed() const { return failed_; }

    uint8_t u8();
    uint16_t u16le();
    uint16_t u16be();
    uint32_t u32le();
    uint32_t u32be();
    uint64_t u64le();
    // Four bytes of seven bits each, most significant first.
    uint32_t synchsafe32();
    // The next n bytes; fewer (all that is left) and failed() when short.
    ByteSpan bytes(size_t n);
    // Everything from the position on.
    ByteSpan rest();
    bool skip(uint64_t n);
    void seek(size_t pos);

private:
    bool take(size_t n, ByteSpan* out);

    ByteSpan data_;
    size_t pos_ = 0;
    bool failed_ = false;
};

class ByteWriter {
public:
    ByteWriter& u8(uint8_t v);
    ByteWriter& u16le(uint16_t v);
    ByteWriter& u32le(uint32_t v);
    ByteWriter& u32be(uint32_t v);
    ByteWriter& u64le(uint64_t v);
    ByteWriter& synchsafe32(uint32_t v);
    ByteWriter& bytes(ByteSpan data);
    ByteWriter& text(std::string_view data) { return bytes(AsBytes(data)); }
    ByteWriter& zeros(size_t n);

    size_t size() const { return out_.size(); }
    ByteVector& data() { return out_; }
    const ByteVector& data() const { return out_; }
    ByteVector take() { return std::move(out_); }

private:
    ByteVector out_;
};

// Positioned reads from a file or from memory. readAt returns how many bytes
// it read (fewer at the end), never more than out.size().
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    virtual size_t readAt(uint64_t offset, std::span<uint8_t> out) const = 0;
    // Up to n bytes from offset (fewer at the end).
    ByteVector read(uint64_t offset, size_t n) const;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(ByteSpan data) : data_(data) {}
    uint64_t size() const override { return data_.size(); }
    size_t readAt(uint64_t offset, std::span<uint8_t> out) const override;

private:
    ByteSpan data_;
};

// A regular file opened for reading. ok() is false when it could not be
// opened or is not a regular file; error() then says why.
class FileSource : public ByteSource {
public:
    explicit FileSource(const std::string& path);
    // Reads through a descriptor the caller opened and keeps: the caller has
    // already told the file from folders and FIFOs and knows its size.
    FileSource(int fd, uint64_t size) : fd_(fd), size_(size), owned_(false) {}
    ~FileSource() override;
    bool ok() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }
    uint64_t size() const override { return size_; }
    size_t readAt(uint64_t offset, std::span<uint8_t> out) const override;
    // Starts reading n bytes at offset from the disk without waiting, so that
    // a read of another part of the file overlaps with it.
    void willRead(uint64_t offset, uint64_t n) const;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
    bool owned_ = true;
    std::string error_;
};

// Reads a source forward, as the tag readers walk their frames, objects and
// pages: small reads are served from a window of the source's bytes, and
// skip() moves on without reading what it passes, so a cover art payload
// the reader does not use is neither read from disk nor copied. A read past
// the end of the source yields zeros and marks the cursor failed.
class SourceCursor {
public:
    explicit SourceCursor(const ByteSource& source, uint64_t start = 0);

    uint64_t position() const { return pos_; }
    uint64_t size() const { return size_; }
    uint64_t remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
    bool failed() const { return failed_; }

    void seek(uint64_t pos) { pos_ = pos; }
    // Moves on n bytes without reading them; failed() when fewer are left.
    void skip(uint64_t n);
    // Up to n bytes at the position without moving it (fewer at the end);
    // the span stays valid until the next call.
    ByteSpan peek(size_t n);
    // The next n bytes; fewer (all that is left) and failed() when short.
    // The span stays valid until the next call.
    ByteSpan bytes(size_t n);
    // Copies the next out.size() bytes; false and failed() when short.
    bool read(std::span<uint8_t> out);
    uint8_t u8();
    uint16_t u16le();
    uint32_t u32le();
    uint64_t u64le();

private:
    const ByteSource& source_;
    uint64_t size_ = 0;
    uint64_t pos_ = 0;
    bool failed_ = false;
    // Not a ByteVector: it would zero every byte before the read fills it.
    std::unique_ptr<uint8_t[]> window_;
    size_t windowCapacity_ = 0;
    size_t windowSize_ = 0;
    uint64_t windowStart_ = 0;
};

}  // namespace tags
