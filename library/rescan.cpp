#include "library/rescan.h"

#include <array>

#include "library/recordbuilder.h"
#include "library/records/trackrecord.h"
#include "platform/atomicfile.h"
#include "platform/folderwalk.h"
#include "platform/paths.h"

namespace {

bool isAudio(std::string_view name) { return AudioKindOfPath(name) != AudioKind::None; }

}  // namespace

bool IsSkippedScanFolder(std::string_view name) {
    static constexpr std::array<std::string_view, 6> kSkipped = {"system32", "winnt",         "system",
                                                                  "windows",  "Program Files", "Local Settings"};
    for (std::string_view skipped : kSkipped)
        if (name == skipped) return true;
    return false;
}

void LibraryRescan::reset() {
    count_ = 0;
    cancelled_ = false;
    tally_ = {};
}

void LibraryRescan::run(const TrackLibrary& library, const std::string& folder) {
    FolderWalk walk;
    // Temporaries that a killed tag writer left in a folder go before it is
    // listed.
    walk.entered = [](const std::string& dir) { RemoveStaleTemporaries(dir); };
    walk.entry = [this](const std::string& path) {
        if (cancelled_) return false;
        if (onEntry) onEntry(path);
        return !cancelled_;  // cancelled while the window's events ran
    };
    walk.enter = [](std::string_view name) { return !IsSkippedScanFolder(name); };
    walk.file = [this, &library](const std::string& path, std::string_view name, bool regular) {
        if (isAudio(name)) audioFile(library, path, regular);
    };
    WalkFolder(folder, walk);
}

void LibraryRescan::audioFile(const TrackLibrary& library, const std::string& path, bool regular) {
    ++count_;
    AddResult result;
    if (regular) {
        result = library.add(path, DateAddedNow());
    } else {
        result.outcome = AddOutcome::Skipped;
        result.path = path;
    }
    tally_.count(result);
    if (onFile) onFile(result);
}
