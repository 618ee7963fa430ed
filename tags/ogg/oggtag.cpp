#include "tags/ogg/oggtag.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vorbis/codec.h>

#include "platform/posixfile.h"
#include "tags/bytes.h"
#include "tags/ogg/vorbiscommenteditor.h"
#include "tags/ogg/vorbiscommentreader.h"
#include "tags/textcodec.h"

const std::array<const char*, 7> kOggTagKeys = {"album", "title", "artist", "comment", "genre", "date", "tracknumber"};

namespace {

bool isKeyChar(uint8_t c) {
    return (c >= 32 && c <= 60) || (c >= 62 && c <= 125);
}

std::string convertValue(std::string_view value, int mode, bool* highByteSeen) {
    if (mode != 0) return tags::SanitizeUtf8(value);
    std::string out(value);
    for (char& c : out) {
        if (static_cast<uint8_t>(c) >= 128) {
            c = '?';
            if (highByteSeen) *highByteSeen = true;
        }
    }
    return out;
}

// Sequential reads from a file for the editor.
VorbisCommentEditor::ReadFn readerOf(const tags::FileSource& file) {
    auto position = std::make_shared<uint64_t>(0);
    return [&file, position](std::span<uint8_t> buffer) -> long {
        const size_t n = file.readAt(*position, buffer);
        *position += n;
        return static_cast<long>(n);
    };
}

// Appends a comment of any bytes, embedded zeros included, the way
// vorbis_comment_add does for zero-terminated text.
void addCommentBytes(vorbis_comment& vc, std::string_view bytes) {
    vc.user_comments = static_cast<char**>(std::realloc(vc.user_comments, sizeof(char*) * (vc.comments + 2)));
    vc.comment_lengths = static_cast<int*>(std::realloc(vc.comment_lengths, sizeof(int) * (vc.comments + 2)));
    char* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
    std::memcpy(copy, bytes.data(), bytes.size());
    copy[bytes.size()] = 0;
    vc.user_comments[vc.comments] = copy;
    vc.comment_lengths[vc.comments] = static_cast<int>(bytes.size());
    ++vc.comments;
    vc.user_comments[vc.comments] = nullptr;
}

std::string_view commentAt(const vorbis_comment& vc, int i) {
    if (!vc.user_comments || !vc.comment_lengths || !vc.user_comments[i] || vc.comment_lengths[i] < 0) return {};
    return {vc.user_comments[i], static_cast<size_t>(vc.comment_lengths[i])};
}

TStrComment parseComment(std::string_view s, int mode, bool* highByteSeen) {
    TStrComment c;
    const size_t eq = s.find('=');
    std::string_view value = s;
    if (eq != std::string_view::npos && eq > 0) {
        const std::string_view key = s.substr(0, eq);
        if (std::all_of(key.begin(), key.end(), [](char ch) { return isKeyChar(static_cast<uint8_t>(ch)); })) {
            c.Key = std::string(key);
            value = s.substr(eq + 1);
        }
    } else if (eq == 0) {
        value = s.substr(1);
    }
    c.Value = convertValue(value, mode, highByteSeen);
    c.Text = c.Key.empty() ? c.Value : c.Key + "=" + c.Value;
    return c;
}

// The comments of the first Vorbis stream that wanted picks, parsed.
bool readComments(const std::string& fileName, const std::function<bool(std::string_view)>& wanted,
                  TStrComments& comments, std::string* error) {
    const tags::FileSource file(fileName);
    std::string reason;
    std::vector<std::string> raw;
    if (!file.ok()) {
        reason = file.error();
    } else if (tags::ReadVorbisComments(file, wanted, &raw, &reason)) {
        comments.clear();
        for (const std::string& s : raw) comments.push_back(parseComment(s, 1, nullptr));
        return true;
    }
    if (error) *error = "Cannot open " + fileName + ": " + reason;
    return false;
}

// A comment under one of the keys the fields are read from.
bool isFieldComment(std::string_view head) {
    static constexpr std::string_view kKeys[] = {"album", "title", "artist",      "comment",
                                                 "genre", "date",  "tracknumber", "description"};
    const size_t eq = head.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
    const std::string_view key = head.substr(0, eq);
    return std::any_of(std::begin(kKeys), std::end(kKeys),
                       [&](std::string_view k) { return tags::EqualsIgnoringAsciiCase(key, k); });
}

}  // namespace

TStrComments ParseOggComments(const vorbis_comment& comments, int mode, bool* highByteSeen) {
    TStrComments list;
    for (int i = 0; i < comments.comments; ++i) list.push_back(parseComment(commentAt(comments, i), mode, highByteSeen));
    return list;
}

void AddOggComment(const std::string& text, vorbis_comment& comments) {
    vorbis_comment_add(&comments, text.c_str());
}

namespace tags {

bool ReadOggComments(const std::string& fileName, TStrComments& comments, std::string* error) {
    return readComments(fileName, [](std::string_view) { return true; }, comments, error);
}

TagWriteResult WriteOggComments(const std::string& fileName,
                                const std::vector<std::pair<std::string, std::string>>& fields) {
    TagWriteResult result;
    FileSource file(fileName);
    if (!file.ok()) {
        result.error = "Cannot open " + fileName + ": " + file.error();
        return result;
    }
    VorbisCommentEditor editor;
    if (editor.open(readerOf(file)) != 0) {
        result.error = "Cannot open " + fileName + ": " + editor.lastError();
        return result;
    }

    // Comments of keys the caller does not set stay, byte for byte and in
    // their order; the fields follow them.
    vorbis_comment& vc = *editor.comments();
    std::vector<std::string> kept;
    for (int i = 0; i < vc.comments; ++i) {
        const std::string_view s = commentAt(vc, i);
        const size_t eq = s.find('=');
        const std::string_view key = eq == std::string_view::npos ? std::string_view() : s.substr(0, eq);
        bool replaced = false;
        for (const auto& field : fields) replaced = replaced || (!key.empty() && EqualsIgnoringAsciiCase(key, field.first));
        if (!replaced) kept.emplace_back(s);
    }
    vorbis_comment_clear(&vc);
    for (const std::string& c : kept) addCommentBytes(vc, c);
    for (const auto& [key, value] : fields)
        if (!value.empty()) AddOggComment(key + "=" + value, vc);

    std::string writeError;
    result = RewriteFileAtomically(fileName, [&](PosixFile& out, std::string*) {
        const int rc = editor.write([&](std::span<const uint8_t> bytes) { return out.write(bytes); });
        if (rc != 0) writeError = editor.lastError();
        return rc == 0;
    });
    if (!result.ok) {
        const std::string reason = writeError.empty() ? result.error : writeError;
        result.error = reason.empty() ? "Cannot write comments" : "Cannot write comments: " + reason;
    }
    return result;
}

}  // namespace tags

namespace {

// The seven fields as the program shows them; *descriptionShown tells that
// Comment came from "description" (the format's own name for a comment,
// shown when no "comment" is there).
OGGTag shownTag(const TStrComments& comments, bool* descriptionShown) {
    std::array<std::string, 7> values;
    std::string description;
    for (const TStrComment& c : comments) {
        const std::string key = tags::AsciiLower(c.Key);
        if (key == "description") description = c.Value;
        for (size_t k = 0; k < kOggTagKeys.size(); ++k) {
            if (key == kOggTagKeys[k]) {
                values[k] = c.Value;
                break;
            }
        }
    }
    *descriptionShown = values[3].empty() && !description.empty();
    if (values[3].empty()) values[3] = description;
    OGGTag tag;
    std::array<std::string*, 7> fields = {&tag.Album, &tag.Title, &tag.Artist, &tag.Comment,
                                          &tag.Genre, &tag.Date,  &tag.TrackNumber};
    for (size_t k = 0; k < fields.size(); ++k) *fields[k] = std::string(tags::TrimTagText(values[k]));
    return tag;
}

}  // namespace

bool ReadOggTag(const std::string& fileName, OGGTag& tag, std::string* error) {
    TStrComments comments;
    if (!readComments(fileName, isFieldComment, comments, error)) return false;
    bool descriptionShown = false;
    tag = shownTag(comments, &descriptionShown);
    return true;
}

TagWriteResult WriteOggTag(const std::string& fileName, const OGGTag& tag) {
    TStrComments comments;
    std::string error;
    if (!readComments(fileName, isFieldComment, comments, &error)) return {false, error};
    bool descriptionShown = false;
    const OGGTag shown = shownTag(comments, &descriptionShown);

    std::vector<std::pair<std::string, std::string>> fields = {{"Title", tag.Title},   {"Artist", tag.Artist},
                                                               {"Album", tag.Album},   {"TrackNumber", tag.TrackNumber},
                                                               {"Date", tag.Date},     {"Genre", tag.Genre}};
    // A "description" stays unless it is the comment the user saw and
    // changed: liner notes kept there must not go with an edit of the title,
    // nor when a "comment" was the one shown.
    if (!descriptionShown) {
        fields.emplace_back("Comment", tag.Comment);
    } else if (tag.Comment != shown.Comment) {
        fields.emplace_back("Comment", tag.Comment);
        fields.emplace_back("Description", "");
    }
    return tags::WriteOggComments(fileName, fields);
}
