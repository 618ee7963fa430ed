#include "library/playlistimport.h"

#include "library/playlists/playlistrow.h"
#include "library/recordbuilder.h"
#include "library/records/trackfile.h"
#include "library/treetext.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace {

std::string_view extensionOf(std::string_view namePart) {
    const auto dot = namePart.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : namePart.substr(dot);
}

// The name part up to its first "."; a name without one is all base, so
// that two such files do not meet in one playlist.
std::string playlistName(std::string_view fileName, const char* suffix) {
    const std::string_view namePart = FileNamePart(fileName);
    return CleanNodeText(std::string(namePart.substr(0, namePart.find('.'))) + suffix);
}

}  // namespace

std::string ImportedPlaylistName(std::string_view fileName) {
    return playlistName(fileName, extensionOf(FileNamePart(fileName)) == ".m3u" ? "_m3u" : "_pls");
}

std::string SavedPlaylistName(std::string_view fileName) {
    return playlistName(fileName, extensionOf(FileNamePart(fileName)) == ".pls" ? "_pls" : "_m3u");
}

PlaylistFormat ImportedPlaylistFormat(std::string_view fileName) {
    std::string extension(extensionOf(FileNamePart(fileName)));
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension == ".m3u" ? PlaylistFormat::M3u : PlaylistFormat::Pls;
}

namespace {

void countSkipped(AddTally& tally, const std::string& path) {
    AddResult skipped;
    skipped.outcome = AddOutcome::Skipped;
    skipped.path = path;
    tally.count(skipped);
}

}  // namespace

PlaylistFill FillLibraryPlaylist(const TrackLibrary& library, const std::string& name,
                                 const std::vector<std::string>& paths, const std::function<void()>& afterEach,
                                 const std::vector<std::string>& refused) {
    PlaylistFill fill;
    for (const std::string& shown : refused) countSkipped(fill.tally, shown);
    fill.file = JoinPath(library.playlistFolder(), name + ".dat");
    std::vector<TrackRecord> records;
    records.reserve(paths.size());
    for (const std::string& path : paths) {
        // Entries of other kinds are passed over unopened, as the playlist
        // may name what the library does not keep.
        if (AudioKindOfPath(path) != AudioKind::None) {
            RecordBuild build = BuildTrackRecord(path, 0);
            if (build.built()) {
                records.push_back(std::move(build.record));
            } else if (build.counted()) {
                countSkipped(fill.tally, path);
            }
        }
        if (afterEach) afterEach();
    }
    try {
        ReplaceTrackRecords(fill.file, records);
    } catch (const TunevaleError& e) {
        fill.error = e.what();
        return fill;
    }
    fill.records = records.size();
    return fill;
}
