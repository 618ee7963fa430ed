#pragma once
// An Ogg Vorbis comment-header editor: it reads the three header packets of
// the first logical stream, hands out the comment structure, and writes the
// stream again with a new comment header. Only the header pages are rebuilt;
// every later page is copied byte for byte, with its sequence number shifted
// and its checksum renewed, so audio, granule positions and packet bounds
// stay exactly as they were. Later links of a chained file are copied as
// they are.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

struct vorbis_comment;

class VorbisCommentEditor {
public:
    // Bytes read into the buffer, 0 at the end, -1 on a read error.
    using ReadFn = std::function<long(std::span<uint8_t>)>;
    // False on a write error.
    using WriteFn = std::function<bool(std::span<const uint8_t>)>;

    VorbisCommentEditor();
    ~VorbisCommentEditor();
    VorbisCommentEditor(const VorbisCommentEditor&) = delete;
    VorbisCommentEditor& operator=(const VorbisCommentEditor&) = delete;

    // Reads the headers; 0 on success, else -1 and lastError() says why.
    // The editor keeps the read function for write().
    int open(ReadFn read);
    // The comments read by open(); callers may clear it and add to it.
    vorbis_comment* comments();
    // Writes the whole stream with the current comments; 0 on success.
    int write(WriteFn write);
    const std::string& lastError() const;

private:
    struct State;
    std::unique_ptr<State> d_;
};
