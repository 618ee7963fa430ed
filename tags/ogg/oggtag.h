#pragma once
// Vorbis comments of Ogg Vorbis files, read and rewritten through the comment
// editor beside it (vorbiscommenteditor.h).

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "tags/tagfile.h"

struct vorbis_comment;

// Album, Title, Artist, Comment, Genre, Date, TrackNumber as UTF-8 text.
struct OGGTag {
    std::string Album;
    std::string Title;
    std::string Artist;
    std::string Comment;
    std::string Genre;
    std::string Date;
    std::string TrackNumber;
    bool operator==(const OGGTag&) const = default;
};

// The keys that fill the fields of OGGTag, in the fields' order.
extern const std::array<const char*, 7> kOggTagKeys;

// One parsed comment; Text is Key + "=" + Value, or Value when Key is empty.
struct TStrComment {
    std::string Key;
    std::string Value;
    std::string Text;
};
using TStrComments = std::vector<TStrComment>;

// Mode 0: every byte of 128 or more becomes '?' and *highByteSeen is set.
// Any other mode: the value as UTF-8, invalid sequences replaced by U+FFFD.
TStrComments ParseOggComments(const vorbis_comment& comments, int mode, bool* highByteSeen = nullptr);
// Appends one UTF-8 "key=value" comment.
void AddOggComment(const std::string& text, vorbis_comment& comments);

// Re-entrant: fills Tag from the first Vorbis stream of the file and returns
// true (Comment falls back to "description"); an unreadable file, an Ogg
// file that holds no Vorbis, or a damaged header leaves Tag unchanged and
// returns false with *error set to "Cannot open <file>: <reason>".
bool ReadOggTag(const std::string& fileName, OGGTag& tag, std::string* error = nullptr);

// Replaces the comments of the seven keys by the non-empty fields of Tag;
// every other comment is kept. A "description" read as the comment (there
// was no "comment") is replaced only when Tag's Comment differs from it;
// unchanged, it stays as it is and no "comment" is added. The audio pages
// are copied unchanged. On failure the file is unchanged and error is
// "Cannot open <file>: <reason>", "Cannot write comments: <reason>" or
// "Cannot write comments".
TagWriteResult WriteOggTag(const std::string& fileName, const OGGTag& tag);

namespace tags {

// All comments of the first Vorbis stream, in file order.
bool ReadOggComments(const std::string& fileName, TStrComments& comments, std::string* error = nullptr);
// Removes every comment whose key equals (without case) a key of the list,
// then adds "key=value" for each non-empty value, in the list's order.
TagWriteResult WriteOggComments(const std::string& fileName,
                                const std::vector<std::pair<std::string, std::string>>& fields);

}  // namespace tags
