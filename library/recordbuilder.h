#pragma once
// Builds the library record of one audio file from its tags: the one road by
// which a file becomes a record, whether the user adds it, names it on the
// command line or a folder is scanned. A file that cannot become a record is
// answered with the reason, never with an exception: one bad file must not
// end a batch.

#include <cstdint>
#include <string>
#include <string_view>

#include "library/records/trackrecord.h"
#include "tags/audiokind.h"

struct ID3StructV2;
struct ID3v1Block;
struct OGGTag;
struct WmaTagInfo;

// Where the tags come from; tests put readers here that fail on purpose.
class TagReaders {
public:
    virtual ~TagReaders() = default;
    // Both tags of the MP3 open as fd, of size bytes (path for messages):
    // the ID3v2 fields, all empty when it has none, and the ID3v1 block.
    virtual bool readMp3(int fd, int64_t size, const std::string& path, ID3StructV2& v2, ID3v1Block& v1,
                         std::string* error) const;
    virtual bool readOgg(const std::string& path, OGGTag& tag, std::string* error) const;
    virtual bool readWma(const std::string& path, WmaTagInfo& info, std::string* error) const;
};
const TagReaders& FileTagReaders();

enum class BuildOutcome {
    Built,
    NotAFile,     // a folder: not chosen as a track at all
    NotAudio,     // an extension the library does not take
    Unreadable,   // missing, not readable, or not the kind its name says
    PathTooLong,  // the path does not fit the record
};

struct RecordBuild {
    BuildOutcome outcome = BuildOutcome::Unreadable;
    TrackRecord record;
    std::string reason;  // why a file was not built, for logs and tests

    bool built() const { return outcome == BuildOutcome::Built; }
    // Skipped in a way the user should hear about.
    bool counted() const { return outcome == BuildOutcome::Unreadable || outcome == BuildOutcome::PathTooLong; }
};

RecordBuild BuildTrackRecord(const std::string& path, double dateAdded,
                             const TagReaders& readers = FileTagReaders());
