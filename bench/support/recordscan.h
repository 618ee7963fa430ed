#pragma once
// The whole-file scan of a record file as a careful implementation of the
// plain algorithms would write it: the file read in chunks of 1,024 records
// with one call each, and only the compared texts looked at, in place. The
// literal baselines use it, so that they lose by their algorithm, not by
// slow reading.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/records/trackrecord.h"

namespace bench {

using RecordBytes = std::span<const uint8_t, kTrackRecordSize>;

// The stored texts the baselines compare, read in place. The offsets are
// the stored layout's; CheckRecordTexts proves them against the decoder.
inline std::string_view StoredText(RecordBytes r, std::size_t offset, std::size_t maxBytes) {
    return {reinterpret_cast<const char*>(r.data() + offset + 1), std::min<std::size_t>(r[offset], maxBytes)};
}
inline std::string_view StoredArtist(RecordBytes r) { return StoredText(r, 85, kMaxArtistBytes); }
inline std::string_view StoredAlbum(RecordBytes r) { return StoredText(r, 166, kMaxAlbumBytes); }

inline void CheckRecordTexts() {
    TrackRecord sample;
    sample.Artist = "an artist";
    sample.Album = "an album";
    sample.Path = "/a/path.mp3";
    const TrackRecordBytes bytes = EncodeTrackRecord(sample);
    if (StoredArtist(bytes) != sample.Artist || StoredAlbum(bytes) != sample.Album) {
        std::fprintf(stderr, "the baselines' record layout is not the stored one\n");
        std::exit(1);
    }
}

class RecordScanner {
public:
    static constexpr std::size_t kChunkRecords = 1024;

    RecordScanner() : buffer_(kChunkRecords * kTrackRecordSize) {}

    // Records of the open file from the first, to fn(bytes, index) until it
    // returns false. Returns the number of records handed over.
    template <class Fn>
    std::size_t scan(int fd, Fn&& fn) {
        std::size_t index = 0;
        off_t offset = 0;
        for (;;) {
            const ssize_t got = ::pread(fd, buffer_.data(), buffer_.size(), offset);
            if (got < 0) {
                std::perror("pread");
                std::exit(1);
            }
            const std::size_t records = static_cast<std::size_t>(got) / kTrackRecordSize;
            for (std::size_t i = 0; i < records; ++i, ++index)
                if (!fn(RecordBytes(buffer_.data() + i * kTrackRecordSize, kTrackRecordSize), index))
                    return index + 1;
            if (records < kChunkRecords) return index;
            offset += static_cast<off_t>(got);
        }
    }

    // The index of the first record whose path is path, if any.
    bool findPath(int fd, std::string_view path, std::size_t* at) {
        bool found = false;
        scan(fd, [&](RecordBytes r, std::size_t i) {
            if (TrackRecordPath(r) != path) return true;
            *at = i;
            found = true;
            return false;
        });
        return found;
    }

private:
    std::vector<uint8_t> buffer_;
};

}  // namespace bench
