#pragma once
// What the tag editor does to its rows, with no window: the tags of the
// tracks read when it opens, a value the user typed put into every selected
// row, the copy and clear buttons, and OK's writing of a row's tags and of
// its library record. The window only shows the rows and reads the controls,
// so tests drive the editing and the files through this class.
//
// Each row keeps two tag records: page V1 (an MP3's ID3v1 block, and the one
// tag of an Ogg or WMA file) and page V2 (an MP3's ID3v2 tag). A row is
// written only when something changed it, and of an MP3 only the tag whose
// page changed, so that OK never rewrites a tag nobody touched. When both
// changed, the ID3v2 tag (which may move the audio) is written first and the
// ID3v1 block only after it succeeded: a failure leaves the file as it was.
//
// Errors: nothing here throws. A tag that cannot be read opens with empty
// fields; a write that fails leaves the file as it was and comes back as the
// message to show.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/records/trackrecord.h"
#include "tags/audiokind.h"
#include "tags/tagfile.h"

class LibraryTree;
class TrackLibrary;
struct ID3v1Block;
struct ID3StructV2;
struct OGGTag;
struct WmaTagInfo;

// One page's fields of one row, UTF-8. A value the user sets is cut to its
// field's width in bytes (at a character boundary); a value read from the
// file stays as it was.
struct id3tag {
    static constexpr std::size_t kGenreTextWidth = 20;
    static constexpr std::size_t kTitleWidth = 80;
    static constexpr std::size_t kArtistWidth = 80;
    static constexpr std::size_t kAlbumWidth = 100;
    static constexpr std::size_t kTrackWidth = 2;
    static constexpr std::size_t kYearWidth = 8;
    static constexpr std::size_t kCommentWidth = 100;

    // Page V1 of an MP3: the ID3v1 genre byte as read (0..255), a number
    // chosen from the list (0..147), or -1 after Clear Tag.
    int GenreIndex = -1;
    std::string GenreText;
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Track;
    std::string Year;
    std::string Comment;

    bool operator==(const id3tag&) const = default;
};

enum class TagPage { V1, V2 };
enum class TagField { Title, Artist, Album, Year, Comment, Track };

// The field's width in bytes.
std::size_t TagFieldWidth(TagField field);
// The text as the field keeps it: cut to the width at a character boundary;
// a track that is a whole number 1 to 255 stays whole.
std::string CutToField(TagField field, std::string_view text);

// A track of the main list handed to the editor.
struct TagEditTrack {
    std::string path;
    std::string caption;  // the list row's title
    int listRow = -1;     // its row in the main list when the editor opened
};

struct TagEditRow {
    TagEditTrack track;
    AudioKind kind = AudioKind::None;
    id3tag v1, v2;
    // An MP3 that has an ID3v1 block (read, or written by OK).
    bool hasV1Block = false;
    // The block's two track bytes as read: a track nobody typed or copied
    // is written back as it was, whatever form it has.
    std::array<uint8_t, 2> v1TrackBytes{};
    bool v1TrackSet = false;
    // Something changed the row (a typed value, a copy, a clear); OK writes
    // only such rows, and of an MP3 only the tags whose page changed.
    bool changed = false;
    bool v1Changed = false;
    bool v2Changed = false;
};

// Where the editor reads and writes tags; tests put writers here that fail.
class TagFiles {
public:
    virtual ~TagFiles() = default;
    virtual bool readId3v1(const std::string& path, ID3v1Block& block, std::string* error) const;
    virtual bool readId3v2(const std::string& path, ID3StructV2& tag, std::string* error) const;
    virtual bool readOgg(const std::string& path, OGGTag& tag, std::string* error) const;
    virtual bool readWma(const std::string& path, WmaTagInfo& info, std::string* error) const;
    virtual TagWriteResult writeId3v1(const std::string& path, const ID3v1Block& block) const;
    virtual TagWriteResult writeId3v2(const std::string& path, const ID3StructV2& tag) const;
    virtual TagWriteResult writeOgg(const std::string& path, const OGGTag& tag) const;
    virtual TagWriteResult writeWma(const std::string& path, const WmaTagInfo& info) const;
};
const TagFiles& FileTagFiles();

// The genre list's item whose text equals text without regard to case, -1
// when none does.
int GenreItemOf(std::string_view text);
// The ID3v1 genre byte that OK writes for a page V1 GenreIndex: a number
// chosen from the list as itself, -1 (cleared) as 255 (none), and a byte
// out of the list's range, which only an untouched row holds, as it was.
uint8_t Id3v1GenreByte(int genreIndex);

class TagEditor {
public:
    explicit TagEditor(const TagFiles& files = FileTagFiles());

    // A new showing: one row per track, its tags read, nothing changed.
    void load(const std::vector<TagEditTrack>& tracks);
    void clear() { rows_.clear(); }
    std::size_t size() const { return rows_.size(); }
    const TagEditRow& row(std::size_t i) const { return rows_[i]; }

    // The item the page's genre list selects for a row: page V1 of an MP3
    // by its number (none for a byte beyond the list), else by the text.
    int shownGenre(std::size_t i, TagPage page) const;

    // A value the user typed, put into the page's record of every listed row
    // and marking it changed.
    void setField(TagPage page, TagField field, std::string_view text, const std::vector<int>& rows);
    // A genre chosen from the list: page V1 takes its number and text, page
    // V2 its text.
    void setGenre(TagPage page, int item, const std::vector<int>& rows);
    // "Copy From v2" / "Copy From v1": the fields the other page shows become
    // this page's in every listed row (genre: the item chosen, -1 for none).
    void copyToPage(TagPage page, const id3tag& shown, int genreItem, const std::vector<int>& rows);
    // "Clear Tag": the page's fields emptied (genre none) in every listed
    // row, which counts as a change.
    void clearPage(TagPage page, const std::vector<int>& rows);

    // The rows OK writes, in row order.
    std::vector<std::size_t> changedRows() const;
    // Writes the changed tags of row i into its file; the writer's reason
    // when it failed (the file is then as that writer found it).
    std::optional<std::string> writeTags(std::size_t i);
    // writeTags for many rows at once, on worker threads so that the files'
    // flushes to disk overlap; the rows of one file are written in their
    // order by one thread. Stale temporaries of killed writers are swept
    // from each folder written to. waiting runs on the calling thread every few
    // milliseconds until all are written. One entry per row, as writeTags returns.
    std::vector<std::optional<std::string>> writeTagsOf(const std::vector<std::size_t>& rows,
                                                        const std::function<void()>& waiting);
    // The row has been written: nothing is left for the next OK.
    void markWritten(std::size_t i);
    // The message for a file whose tag could not be written.
    static std::string WriteFailureText(const std::string& path);

    // The library record's texts after row i was written: each field of an
    // MP3 from its ID3v2 tag when that has it, else from its ID3v1 block, as
    // a record built from the file would have them; of other files from page
    // V1. Count, date and path stay.
    void updateRecord(std::size_t i, TrackRecord& record) const;

private:
    TagEditRow& at(int i) { return rows_[static_cast<std::size_t>(i)]; }
    bool valid(int i) const { return i >= 0 && static_cast<std::size_t>(i) < rows_.size(); }
    static id3tag& page(TagEditRow& row, TagPage p) { return p == TagPage::V1 ? row.v1 : row.v2; }
    static void markChanged(TagEditRow& row, TagPage p);

    const TagFiles& files_;
    std::vector<TagEditRow> rows_;
};

// The tag editor's Close: deletes the artist and album nodes that no record
// of "music.dat" names, from one scan of the file; false, with nothing
// deleted, when the file cannot be read.
bool PruneUnnamedNodes(const TrackLibrary& library, LibraryTree& tree);
