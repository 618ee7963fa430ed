// Arbitrary bytes as one record and as a whole record file: decoding never
// reads outside a field, a decoded record encodes to a stable form, and the
// file operations keep the file made of whole records.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "library/records/trackfile.h"
#include "platform/errors.h"

namespace {

// Never destroyed: the exit handler that removes it runs after the
// destructors of function statics.
const std::string& scratchFolder() {
    static const std::string* folder = [] {
        const char* base = std::getenv("TMPDIR");
        auto* path = new std::string(std::string(base && *base ? base : "/tmp") + "/fuzz_trackrecord.XXXXXX");
        if (!::mkdtemp(path->data())) std::abort();
        std::atexit([] { std::filesystem::remove_all(scratchFolder()); });
        return path;
    }();
    return *folder;
}

void writeBytes(const std::string& file, const uint8_t* data, size_t size) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || (size && ::write(fd, data, size) != static_cast<ssize_t>(size))) std::abort();
    ::close(fd);
}

uint64_t fileSize(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY);
    const off_t size = ::lseek(fd, 0, SEEK_END);
    ::close(fd);
    return static_cast<uint64_t>(size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t inputSize) {
    // Short inputs are zero-padded to one record, so that every input
    // reaches the decoder and the file code.
    std::vector<uint8_t> bytes(input, input + inputSize);
    if (bytes.size() < kTrackRecordSize) bytes.resize(kTrackRecordSize, 0);
    const uint8_t* data = bytes.data();
    const size_t size = bytes.size();

    const auto first = std::span<const uint8_t, kTrackRecordSize>(data, kTrackRecordSize);
    const TrackRecord r = DecodeTrackRecord(first);
    const TrackRecordBytes once = EncodeTrackRecord(r);
    const TrackRecordBytes twice = EncodeTrackRecord(DecodeTrackRecord(once));
    if (once != twice) std::abort();
    if (r.Path != TrackRecordPath(first)) std::abort();
    (void)TimeFromDateAdded(r.DateAdded);

    const std::string file = scratchFolder() + "/music.dat";
    writeBytes(file, data, size);
    const auto records = LoadTrackRecords(file);
    if (records.size() != size / kTrackRecordSize) std::abort();

    std::set<std::string> paths;
    for (const auto& r : records) paths.insert(r.Path);
    TrackRecord extra;
    extra.Path = "/new";
    while (paths.count(extra.Path)) extra.Path += "+";
    if (AppendTrackRecordIfNew(file, extra) != AppendOutcome::Written) std::abort();
    if (!records.empty() && AppendTrackRecordIfNew(file, records.front()) != AppendOutcome::AlreadyThere) std::abort();
    if (fileSize(file) != (records.size() + 1) * kTrackRecordSize) std::abort();

    if (!records.empty()) {
        if (!UpdateTrackRecordInPlace(file, records.front().Path, [](TrackRecord& r) { IncrementPlayCount(r); }))
            std::abort();
        const std::size_t removed = RemoveListedRecords(scratchFolder() + "/temp.dat", file,
                                                        {records.front().Path, records.front().Path});
        if (removed < 1 || removed > 2) std::abort();
        if (fileSize(file) != (records.size() + 1 - removed) * kTrackRecordSize) std::abort();
    }
    return 0;
}
