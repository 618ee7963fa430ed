#pragma once
// Reads the comments of the first Vorbis stream of an Ogg file from its page
// and packet structure alone: the identification header is checked, the
// comment packet is walked comment by comment, and the setup header is only
// followed to its end. A comment the caller does not want (a cover picture
// of hundreds of kilobytes in base64) is skipped unread; where the pages it
// spans are all full, as every libogg writer makes them, the skip lands on
// the page where it ends in one read and proves the pages between by their
// count. The checks and messages are those of the comment editor, so a file
// the editor refuses is refused here too.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tags/bytes.h"

namespace tags {

// wanted sees the first bytes of each comment (up to kCommentPeek, enough
// for every key the program maps and its "=") and says whether the whole
// comment is wanted; the wanted ones are appended to *comments in file
// order. False with *error set when the source holds no Vorbis stream whose
// three headers can be read.
inline constexpr size_t kCommentPeek = 16;
bool ReadVorbisComments(const ByteSource& source, const std::function<bool(std::string_view head)>& wanted,
                        std::vector<std::string>* comments, std::string* error);

}  // namespace tags
