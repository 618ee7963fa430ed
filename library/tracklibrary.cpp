#include "library/tracklibrary.h"

#include <QtGlobal>

#include <filesystem>
#include <future>
#include <system_error>

#include "library/libraryfill.h"
#include "library/playqueue.h"
#include "library/recordbuilder.h"
#include "library/records/trackfile.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/posixfile.h"

namespace {

void LogDropped(const char* what, const TunevaleError& e) { qWarning("%s: %s", what, e.what()); }

struct TreePrefetch {
    std::string file;
    std::future<std::optional<TreeTextLoad>> load;
};

TreePrefetch& PrefetchedTree() {
    static TreePrefetch prefetch;
    return prefetch;
}

std::optional<TreeTextLoad> ReadTree(const std::string& file) {
    TreeTextLoad load;
    if (!ReadTreeTextFile(file, &load, true)) return std::nullopt;
    return load;
}

}  // namespace

void AddTally::count(const AddResult& result) {
    if (result.outcome != AddOutcome::Skipped && result.outcome != AddOutcome::WriteFailed) return;
    ++skipped;
    skippedFiles.push_back(result.path);
    if (result.outcome == AddOutcome::WriteFailed && writeError.empty()) writeError = result.error;
}

TrackLibrary::TrackLibrary(std::string dataFolder, std::string playlistFolder)
    : dataFolder_(std::move(dataFolder)), playlistFolder_(std::move(playlistFolder)) {}

void TrackLibrary::ensureMusicFile() const {
    std::error_code ignored;
    if (std::filesystem::exists(musicFile(), ignored)) return;
    try {
        CreateEmptyTrackFile(musicFile());
    } catch (const TunevaleError& e) {
        LogDropped("The library file could not be made", e);
    }
}

std::optional<std::string> TrackLibrary::clear() const {
    try {
        CreateEmptyTrackFile(musicFile());
    } catch (const TunevaleError& e) {
        return e.what();
    }
    return std::nullopt;
}

AddResult TrackLibrary::add(const std::string& path, double dateAdded) const {
    AddResult result;
    result.path = path;
    RecordBuild build = BuildTrackRecord(path, dateAdded);
    if (!build.built()) {
        result.outcome = build.counted() ? AddOutcome::Skipped : AddOutcome::Ignored;
        return result;
    }
    result.record = std::move(build.record);
    try {
        switch (AppendTrackRecordIfNew(musicFile(), result.record)) {
        case AppendOutcome::Written: result.outcome = AddOutcome::Added; break;
        case AppendOutcome::AlreadyThere: result.outcome = AddOutcome::AlreadyThere; break;
        case AppendOutcome::NoFile: throw FileOpenError(musicFile());
        }
    } catch (const TunevaleError& e) {
        result.outcome = AddOutcome::WriteFailed;
        result.error = e.what();
    }
    return result;
}

RecordFiles TrackLibrary::libraryFiles() const { return {musicFile(), dataFolder_ + "temp.dat"}; }

std::optional<RecordFiles> TrackLibrary::playlistFiles(const std::string& nodeText) const {
    const std::optional<std::string> file = PlaylistDataFileFor(playlistFolder_, nodeText);
    if (!file) return std::nullopt;
    return RecordFiles{*file, JoinPath(playlistFolder_, "temp.dat")};
}

std::optional<std::string> TrackLibrary::remove(const RecordFiles& files, const std::vector<TrackRecord>& records) const {
    std::vector<std::string> paths;
    paths.reserve(records.size());
    for (const TrackRecord& record : records) paths.push_back(record.Path);
    try {
        RemoveListedRecords(files.scratch, files.source, paths);
    } catch (const TunevaleError& e) {
        return e.what();
    }
    return std::nullopt;
}

std::optional<TrackRecord> TrackLibrary::recordOf(const std::string& path) const {
    std::optional<TrackRecord> found;
    try {
        ForEachTrackRecord(musicFile(), [&](const TrackRecord& record, std::size_t) {
            if (record.Path == path) found = record;
            return !found;
        });
    } catch (const TunevaleError& e) {
        LogDropped("The library file could not be searched", e);
    }
    return found;
}

std::optional<std::string> TrackLibrary::updateRecord(const std::string& file, const std::string& path,
                                                      const std::function<void(TrackRecord&)>& change) const {
    try {
        UpdateTrackRecordInPlace(file, path, change);
    } catch (const TunevaleError& e) {
        return e.what();
    }
    return std::nullopt;
}

void TrackLibrary::prepareUpdates(const std::string& file) const {
    try {
        PrepareTrackRecordLookups(file);
    } catch (const TunevaleError&) {
    }
}

std::optional<NamedTexts> TrackLibrary::namedTexts() const {
    NamedTexts named;
    try {
        ForEachTrackRecord(musicFile(), [&](const TrackRecord& record, std::size_t) {
            named.artists.insert(record.Artist);
            named.albums.insert(record.Album);
            return true;
        });
    } catch (const TunevaleError& e) {
        LogDropped("The library file could not be read for unused nodes", e);
        return std::nullopt;
    }
    return named;
}

std::optional<OrphanNames> TrackLibrary::orphansOf(const std::vector<TrackRecord>& removed) const {
    const std::optional<NamedTexts> named = namedTexts();
    if (!named) return std::nullopt;
    OrphanNames orphans;
    for (const TrackRecord& record : removed) {
        if (!named->artists.contains(record.Artist)) orphans.artists.push_back(record.Artist);
        if (!named->albums.contains(record.Album)) orphans.albums.push_back(record.Album);
    }
    return orphans;
}

void TrackLibrary::countPlay(const std::string& path) const {
    // A count that cannot be written never stops the music.
    try {
        UpdateTrackRecordInPlace(musicFile(), path, IncrementPlayCount);
    } catch (const TunevaleError& e) {
        LogDropped("The play was not counted", e);
    }
}

void TrackLibrary::prefetchTree() const {
    TreePrefetch& prefetch = PrefetchedTree();
    prefetch.file = treeFile();
    prefetch.load = std::async(std::launch::async, ReadTree, prefetch.file);
}

std::optional<TreeTextLoad> TrackLibrary::loadTree() const {
    const std::string file = treeFile();
    TreePrefetch& prefetch = PrefetchedTree();
    std::optional<TreeTextLoad> prefetched;
    if (prefetch.load.valid() && prefetch.file == file) prefetched = prefetch.load.get();
    std::error_code ignored;
    if (!std::filesystem::exists(file, ignored)) {
        WriteFileAtomically(file, "");
        return std::nullopt;
    }
    std::optional<TreeTextLoad> read = prefetched ? std::move(prefetched) : ReadTree(file);
    if (!read) return std::nullopt;
    TreeTextLoad& load = *read;
    if (load.repaired) {
        const std::string bad = file + ".bad";
        std::filesystem::copy_file(file, bad, std::filesystem::copy_options::overwrite_existing, ignored);
    }
    return read;
}

bool TrackLibrary::saveTree(const LibraryTreeContent& content) const {
    const std::string text = FormatTreeText(content);
    // A save that changes nothing leaves the file alone: every start saves
    // the tree it has just read, and a large one costs a write and a flush
    // to the disk where a read suffices.
    std::string held;
    if (ReadRegularFile(treeFile(), kMaxTreeFileBytes, &held) && held == text) return true;
    return static_cast<bool>(WriteFileAtomically(treeFile(), text));
}

bool TrackLibrary::writePlayQueue(const std::vector<std::string>& paths) const {
    return static_cast<bool>(WritePlayQueue(playQueueFile(), paths));
}
