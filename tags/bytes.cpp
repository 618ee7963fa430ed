#include "tags/bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tags {

bool ByteReader::take(size_t n, ByteSpan* out) {
    if (n > remaining()) {
        *out = data_.subspan(pos_);
        pos_ = data_.size();
        failed_ = true;
        return false;
    }
    *out = data_.subspan(pos_, n);
    pos_ += n;
    return true;
}

uint8_t ByteReader::u8() {
    ByteSpan b;
    return take(1, &b) ? b[0] : 0;
}

uint16_t ByteReader::u16le() {
    ByteSpan b;
    return take(2, &b) ? static_cast<uint16_t>(b[0] | b[1] << 8) : 0;
}

uint16_t ByteReader::u16be() {
    ByteSpan b;
    return take(2, &b) ? static_cast<uint16_t>(b[0] << 8 | b[1]) : 0;
}

uint32_t ByteReader::u32le() {
    ByteSpan b;
    if (!take(4, &b)) return 0;
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

uint32_t ByteReader::u32be() {
    ByteSpan b;
    if (!take(4, &b)) return 0;
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
}

uint64_t ByteReader::u64le() {
    const uint64_t low = u32le();
    const uint64_t high = u32le();
    return failed_ ? 0 : low | high << 32;
}

uint32_t ByteReader::synchsafe32() {
    ByteSpan b;
    if (!take(4, &b)) return 0;
    return uint32_t(b[0] & 0x7F) << 21 | uint32_t(b[1] & 0x7F) << 14 | uint32_t(b[2] & 0x7F) << 7 |
           uint32_t(b[3] & 0x7F);
}

ByteSpan ByteReader::bytes(size_t n) {
    ByteSpan b;
    take(n, &b);
    return b;
}

ByteSpan ByteReader::rest() {
    ByteSpan b = data_.subspan(pos_);
    pos_ = data_.size();
    return b;
}

bool ByteReader::skip(uint64_t n) {
    if (n > remaining()) {
        pos_ = data_.size();
        failed_ = true;
        return false;
    }
    pos_ += static_cast<size_t>(n);
    return true;
}

void ByteReader::seek(size_t pos) {
    if (pos > data_.size()) {
        pos_ = data_.size();
        failed_ = true;
    } else {
        pos_ = pos;
    }
}

ByteWriter& ByteWriter::u8(uint8_t v) {
    out_.push_back(v);
    return *this;
}

ByteWriter& ByteWriter::u16le(uint16_t v) {
    out_.push_back(uint8_t(v));
    out_.push_back(uint8_t(v >> 8));
    return *this;
}

ByteWriter& ByteWriter::u32le(uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out_.push_back(uint8_t(v >> shift));
    return *this;
}

ByteWriter& ByteWriter::u32be(uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out_.push_back(uint8_t(v >> shift));
    return *this;
}

ByteWriter& ByteWriter::u64le(uint64_t v) {
    for (int shift = 0; shift < 64; shift += 8) out_.push_back(uint8_t(v >> shift));
    return *this;
}

ByteWriter& ByteWriter::synchsafe32(uint32_t v) {
    for (int shift = 21; shift >= 0; shift -= 7) out_.push_back(uint8_t((v >> shift) & 0x7F));
    return *this;
}

ByteWriter& ByteWriter::bytes(ByteSpan data) {
    out_.insert(out_.end(), data.begin(), data.end());
    return *this;
}

ByteWriter& ByteWriter::zeros(size_t n) {
    out_.insert(out_.end(), n, 0);
    return *this;
}

ByteVector ByteSource::read(uint64_t offset, size_t n) const {
    const uint64_t total = size();
    if (offset >= total) return {};
    ByteVector out(static_cast<size_t>(std::min<uint64_t>(n, total - offset)));
    out.resize(readAt(offset, out));
    return out;
}

size_t MemorySource::readAt(uint64_t offset, std::span<uint8_t> out) const {
    if (offset >= data_.size()) return 0;
    const size_t n = std::min<uint64_t>(out.size(), data_.size() - offset);
    std::copy_n(data_.begin() + static_cast<ptrdiff_t>(offset), n, out.begin());
    return n;
}

FileSource::FileSource(const std::string& path) {
    do {
        // Non-blocking, so a FIFO under an audio name is refused below
        // instead of waiting for a writer.
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = S_ISDIR(st.st_mode) ? "Is a directory" : "Not a regular file";
        ::close(fd_);
        fd_ = -1;
        return;
    }
    size_ = static_cast<uint64_t>(st.st_size);
}

FileSource::~FileSource() {
    if (owned_ && fd_ >= 0) ::close(fd_);
}

void FileSource::willRead(uint64_t offset, uint64_t n) const {
    if (fd_ >= 0) ::posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(n), POSIX_FADV_WILLNEED);
}

size_t FileSource::readAt(uint64_t offset, std::span<uint8_t> out) const {
    size_t done = 0;
    while (fd_ >= 0 && done < out.size()) {
        const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

namespace {
// Enough for the headers and text frames at the start of a tag in one read,
// small enough that copying it costs little.
constexpr size_t kCursorWindow = 8192;
}  // namespace

SourceCursor::SourceCursor(const ByteSource& source, uint64_t start)
    : source_(source), size_(source.size()), pos_(start) {}

void SourceCursor::skip(uint64_t n) {
    if (n > remaining()) {
        pos_ = std::max(pos_, size_);
        failed_ = true;
    } else {
        pos_ += n;
    }
}

ByteSpan SourceCursor::peek(size_t n) {
    n = static_cast<size_t>(std::min<uint64_t>(n, remaining()));
    if (n == 0) return {};
    if (pos_ < windowStart_ || pos_ + n > windowStart_ + windowSize_) {
        const size_t want = std::max<size_t>(n, static_cast<size_t>(std::min<uint64_t>(kCursorWindow, remaining())));
        if (want > windowCapacity_) {
            window_.reset(new uint8_t[want]);
            windowCapacity_ = want;
        }
        windowSize_ = source_.readAt(pos_, std::span<uint8_t>(window_.get(), want));
        windowStart_ = pos_;
        n = std::min(n, windowSize_);
    }
    return ByteSpan(window_.get() + (pos_ - windowStart_), n);
}

ByteSpan SourceCursor::bytes(size_t n) {
    const ByteSpan got = peek(n);
    pos_ += got.size();
    if (got.size() < n) failed_ = true;
    return got;
}

bool SourceCursor::read(std::span<uint8_t> out) {
    size_t got = 0;
    if (out.size() <= kCursorWindow) {
        const ByteSpan in = bytes(out.size());
        std::copy(in.begin(), in.end(), out.begin());
        return in.size() == out.size();
    }
    // Large reads go straight to their buffer, not through the window.
    got = out.size() <= remaining() ? source_.readAt(pos_, out) : 0;
    pos_ += got;
    if (got < out.size()) failed_ = true;
    return got == out.size();
}

uint8_t SourceCursor::u8() {
    const ByteSpan b = bytes(1);
    return b.size() == 1 ? b[0] : 0;
}

uint16_t SourceCursor::u16le() {
    ByteReader in(bytes(2));
    return in.u16le();
}

uint32_t SourceCursor::u32le() {
    ByteReader in(bytes(4));
    return in.u32le();
}

uint64_t SourceCursor::u64le() {
    ByteReader in(bytes(8));
    return in.u64le();
}

}  // namespace tags
