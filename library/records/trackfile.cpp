#include "trackfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

#include "platform/atomicfile.h"
#include "platform/folderlock.h"
#include "platform/errors.h"

namespace {

constexpr std::size_t kChunkRecords = 1024;

std::string errnoText(const std::string& what, const std::string& file, int error = errno) {
    return what + " " + file + ": " + std::strerror(error);
}

[[noreturn]] void throwInOut(const std::string& what, const std::string& file, int error = errno) {
    throw InOutError(errnoText(what, file, error));
}

// A record file that is a FIFO or a device (or a link to one) would block
// the open or feed the scan without end: only a regular file is opened.
PosixFile openOrThrow(const std::string& file, int flags) {
    PosixFile f = OpenRegularFile(file, flags);
    if (!f.isOpen()) throw FileOpenError(file);
    return f;
}

struct FileState {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec ctime {};
    timespec mtime {};

    static FileState of(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_size, st.st_ctim, st.st_mtim}; }
    bool sameAs(const FileState& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

FileState stateOf(const PosixFile& f, const std::string& file) {
    struct stat st {};
    if (::fstat(f.fd(), &st) != 0) throwInOut("Cannot read the size of", file);
    return FileState::of(st);
}

// Reads whole records from offset: up to kChunkRecords of them into buf.
// Returns the number of whole records read (0 at the end).
std::size_t readChunk(const PosixFile& f, const std::string& file, uint64_t offset, std::vector<uint8_t>& buf) {
    buf.resize(kChunkRecords * kTrackRecordSize);
    std::size_t got = 0;
    if (!f.readAt(offset, buf, &got)) throwInOut("Cannot read", file);
    return got / kTrackRecordSize;
}

std::span<const uint8_t, kTrackRecordSize> recordIn(const std::vector<uint8_t>& buf, std::size_t i) {
    return std::span<const uint8_t, kTrackRecordSize>(buf.data() + i * kTrackRecordSize, kTrackRecordSize);
}

// Path -> index of the first record with that path, for one file as it was
// when this process last read or wrote it. Only a hash of each path is
// kept, in one flat table: a library of 100,000 records is indexed without
// 100,000 allocations, so that a rescan of a few files does not wait long
// for it. A hit is always checked against the record it names.
struct PathIndex {
    FileState state;
    std::size_t records = 0;

    void add(std::string_view path, std::size_t index) {
        records = std::max(records, index + 1);
        if (2 * (count_ + 1) > keys_.size()) grow();
        const uint64_t key = keyOf(path);
        for (std::size_t slot = key & mask_;; slot = (slot + 1) & mask_) {
            if (keys_[slot] == key) return;  // the first record keeps the path
            if (keys_[slot] == 0) {
                keys_[slot] = key;
                values_[slot] = index;
                ++count_;
                return;
            }
        }
    }
    std::optional<std::size_t> find(std::string_view path) const {
        if (keys_.empty()) return std::nullopt;
        const uint64_t key = keyOf(path);
        for (std::size_t slot = key & mask_;; slot = (slot + 1) & mask_) {
            if (keys_[slot] == key) return values_[slot];
            if (keys_[slot] == 0) return std::nullopt;
        }
    }

private:
    // 0 marks a free slot.
    static uint64_t keyOf(std::string_view path) {
        const uint64_t h = std::hash<std::string_view>{}(path);
        return h == 0 ? 1 : h;
    }
    void grow() {
        std::vector<uint64_t> keys(keys_.empty() ? 1024 : 2 * keys_.size());
        std::vector<std::size_t> values(keys.size());
        mask_ = keys.size() - 1;
        for (std::size_t i = 0; i < keys_.size(); ++i) {
            if (keys_[i] == 0) continue;
            std::size_t slot = keys_[i] & mask_;
            while (keys[slot] != 0) slot = (slot + 1) & mask_;
            keys[slot] = keys_[i];
            values[slot] = values_[i];
        }
        keys_.swap(keys);
        values_.swap(values);
    }

    std::vector<uint64_t> keys_;
    std::vector<std::size_t> values_;
    std::size_t mask_ = 0;
    std::size_t count_ = 0;
};

// The indexes of the files this process works on, by device and inode. One
// mutex serialises the operations of this process; the folder lock those of
// other processes.
class IndexCache {
public:
    static IndexCache& instance() {
        static IndexCache cache;
        return cache;
    }
    std::mutex& mutex() { return mutex_; }

    // The index for the open file, rebuilt when the file is not as last seen.
    PathIndex& indexFor(const PosixFile& f, const std::string& file) {
        const FileState now = stateOf(f, file);
        auto it = indexes_.find({now.dev, now.ino});
        if (it != indexes_.end() && it->second->state.sameAs(now)) return *it->second;
        return rebuild(f, file, now);
    }

    // The index for the open file when one is kept and still right; none
    // is built.
    PathIndex* validFor(const PosixFile& f, const std::string& file) {
        const FileState now = stateOf(f, file);
        auto it = indexes_.find({now.dev, now.ino});
        return it != indexes_.end() && it->second->state.sameAs(now) ? it->second.get() : nullptr;
    }

    PathIndex& rebuild(const PosixFile& f, const std::string& file, const FileState& now) {
        // A handful of files are in use at a time (the library and a
        // playlist); dropping all on overflow keeps memory bounded.
        if (indexes_.size() >= 8) indexes_.clear();
        auto index = std::make_unique<PathIndex>();
        index->state = now;
        std::vector<uint8_t> buf;
        uint64_t offset = 0;
        const uint64_t whole = static_cast<uint64_t>(now.size) / kTrackRecordSize;
        std::size_t n = 0;
        while (n < whole) {
            const std::size_t got = std::min<uint64_t>(readChunk(f, file, offset, buf), whole - n);
            if (got == 0) break;
            for (std::size_t i = 0; i < got; ++i) index->add(TrackRecordPath(recordIn(buf, i)), n + i);
            n += got;
            offset += got * kTrackRecordSize;
        }
        index->records = n;
        auto& slot = indexes_[{now.dev, now.ino}];
        slot = std::move(index);
        return *slot;
    }

    void store(const FileState& state, std::unique_ptr<PathIndex> index) {
        if (indexes_.size() >= 8) indexes_.clear();
        index->state = state;
        indexes_[{state.dev, state.ino}] = std::move(index);
    }

    void forget(const PosixFile& f) {
        struct stat st {};
        if (::fstat(f.fd(), &st) == 0) indexes_.erase({st.st_dev, st.st_ino});
    }

private:
    std::map<std::pair<dev_t, ino_t>, std::unique_ptr<PathIndex>> indexes_;
    std::mutex mutex_;
};

// The index of the first record with path. A hit is checked against the
// file: a record rewritten in place by another process within the same
// clock tick does not show in the change time. *used is the index the answer
// came from, for the caller to keep up to date.
std::optional<std::size_t> findFirst(IndexCache& cache, const PosixFile& f, const std::string& file,
                                     std::string_view path, PathIndex** used) {
    PathIndex* index = &cache.indexFor(f, file);
    for (int attempt = 0; attempt < 2; ++attempt) {
        *used = index;
        const auto at = index->find(path);
        if (!at) return std::nullopt;
        TrackRecordBytes bytes;
        if (!f.readAll(*at * kTrackRecordSize, bytes)) throwInOut("Cannot read", file);
        if (TrackRecordPath(bytes) == path) return at;
        index = &cache.rebuild(f, file, stateOf(f, file));
    }
    // Two paths of the same hash: the file itself is searched.
    std::vector<uint8_t> buf;
    uint64_t offset = 0;
    for (std::size_t n = 0;;) {
        const std::size_t got = readChunk(f, file, offset, buf);
        for (std::size_t i = 0; i < got; ++i)
            if (TrackRecordPath(recordIn(buf, i)) == path) return n + i;
        if (got < kChunkRecords) return std::nullopt;
        n += got;
        offset += got * kTrackRecordSize;
    }
}

uint64_t wholeRecordsOf(const PosixFile& f, const std::string& file) {
    uint64_t size = 0;
    if (!f.size(&size)) throwInOut("Cannot read the size of", file);
    return size / kTrackRecordSize;
}

void closeOrThrow(PosixFile& f, const std::string& file) {
    if (!f.close()) throwInOut("Cannot close", file);
}

}  // namespace

void ForEachTrackRecord(const std::string& file,
                        const std::function<bool(const TrackRecord&, std::size_t)>& fn) {
    PosixFile f = openOrThrow(file, O_RDONLY);
    // The lock is held while a chunk is read, not while fn runs: fn may call
    // the operations that change the file.
    FolderLock lock(file, 0);
    // A scan of the whole file indexes its paths on the way, when no index
    // of it is kept: the lookups that follow (a rescan after the list was
    // filled) then find it ready. It is kept only if the file did not change
    // while it was read.
    IndexCache& cache = IndexCache::instance();
    std::unique_ptr<PathIndex> index;
    FileState before;
    {
        // The process's lock before the folder's, as every change takes them.
        std::lock_guard guard(cache.mutex());
        lock.lock(LOCK_SH);
        before = stateOf(f, file);
        if (!cache.validFor(f, file)) index = std::make_unique<PathIndex>();
        lock.unlock();
    }
    std::vector<uint8_t> buf;
    uint64_t offset = 0;
    std::size_t n = 0;
    for (;;) {
        lock.lock(LOCK_SH);
        const std::size_t got = readChunk(f, file, offset, buf);
        lock.unlock();
        if (got == 0) break;
        if (index)
            for (std::size_t i = 0; i < got; ++i) index->add(TrackRecordPath(recordIn(buf, i)), n + i);
        for (std::size_t i = 0; i < got; ++i)
            if (!fn(DecodeTrackRecord(recordIn(buf, i)), n + i)) return;
        n += got;
        offset += got * kTrackRecordSize;
        if (got < kChunkRecords) break;
    }
    if (index && static_cast<uint64_t>(before.size) / kTrackRecordSize == n) {
        std::lock_guard guard(cache.mutex());
        lock.lock(LOCK_SH);
        if (stateOf(f, file).sameAs(before) && !cache.validFor(f, file)) {
            index->records = n;
            cache.store(before, std::move(index));
        }
        lock.unlock();
    }
    closeOrThrow(f, file);
}

std::vector<TrackRecord> LoadTrackRecords(const std::string& file) {
    std::vector<TrackRecord> records;
    ForEachTrackRecord(file, [&](const TrackRecord& r, std::size_t) {
        records.push_back(r);
        return true;
    });
    return records;
}

std::size_t TrackRecordCount(const std::string& file) {
    PosixFile f = openOrThrow(file, O_RDONLY);
    return wholeRecordsOf(f, file);
}

TrackRecord ReadTrackRecordAt(const std::string& file, std::size_t index) {
    PosixFile f = openOrThrow(file, O_RDONLY);
    FolderLock lock(file, LOCK_SH);
    if (index >= wholeRecordsOf(f, file)) throw InOutError("Read beyond end of file " + file);
    TrackRecordBytes bytes;
    if (!f.readAll(index * kTrackRecordSize, bytes)) throwInOut("Cannot read", file);
    closeOrThrow(f, file);
    return DecodeTrackRecord(bytes);
}

void WriteTrackRecordAt(const std::string& file, std::size_t index, const TrackRecord& record) {
    IndexCache& cache = IndexCache::instance();
    std::lock_guard guard(cache.mutex());
    // Locked before the open, so the file opened is the one no other
    // instance is replacing.
    FolderLock lock(file, LOCK_EX);
    PosixFile f = openOrThrow(file, O_RDWR);
    if (index >= wholeRecordsOf(f, file)) throw InOutError("Write beyond end of file " + file);
    // The index stays right when the path does not change; otherwise it is
    // dropped and rebuilt on the next lookup.
    TrackRecordBytes old;
    if (!f.readAll(index * kTrackRecordSize, old)) throwInOut("Cannot read", file);
    const TrackRecordBytes bytes = EncodeTrackRecord(record);
    const bool samePath = TrackRecordPath(old) == TrackRecordPath(bytes);
    PathIndex* known = samePath ? cache.validFor(f, file) : nullptr;
    if (!f.writeAt(index * kTrackRecordSize, bytes)) {
        cache.forget(f);
        throwInOut("Cannot write", file);
    }
    if (known) known->state = stateOf(f, file);
    else cache.forget(f);
    closeOrThrow(f, file);
}

AppendOutcome AppendTrackRecordIfNew(const std::string& musicDat, const TrackRecord& record) {
    // Compare the path as it will be stored, so that what was appended once
    // is found again.
    const TrackRecordBytes bytes = EncodeTrackRecord(record);
    const std::string_view path = TrackRecordPath(bytes);

    IndexCache& cache = IndexCache::instance();
    std::lock_guard guard(cache.mutex());
    FolderLock lock(musicDat, LOCK_EX);
    PosixFile f = OpenRegularFile(musicDat, O_RDWR | O_APPEND);
    if (!f.isOpen()) {
        if (f.openError() == ENOENT) return AppendOutcome::NoFile;
        throw FileOpenError(musicDat);
    }
    PathIndex* used = nullptr;
    if (findFirst(cache, f, musicDat, path, &used)) return AppendOutcome::AlreadyThere;

    PathIndex& index = *used;
    // A file cut short (a crash, a full disk) would shift every later record;
    // the partial record is dropped so the new one starts on a boundary.
    const uint64_t aligned = static_cast<uint64_t>(index.state.size) / kTrackRecordSize * kTrackRecordSize;
    if (static_cast<uint64_t>(index.state.size) != aligned && !f.truncate(aligned)) {
        cache.forget(f);
        throwInOut("Cannot truncate", musicDat);
    }
    if (!f.write(bytes)) {
        const int error = errno;
        // Leave no partial record behind.
        (void)f.truncate(aligned);
        cache.forget(f);
        throwInOut("Cannot write", musicDat, error);
    }
    index.add(path, aligned / kTrackRecordSize);
    index.state = stateOf(f, musicDat);
    closeOrThrow(f, musicDat);
    return AppendOutcome::Written;
}

bool UpdateTrackRecordInPlace(const std::string& file, std::string_view path,
                              const std::function<void(TrackRecord&)>& change) {
    IndexCache& cache = IndexCache::instance();
    std::lock_guard guard(cache.mutex());
    FolderLock lock(file, LOCK_EX);
    PosixFile f = openOrThrow(file, O_RDWR);
    PathIndex* index = nullptr;
    const auto at = findFirst(cache, f, file, path, &index);
    if (!at) {
        closeOrThrow(f, file);
        return false;
    }
    TrackRecordBytes bytes;
    if (!f.readAll(*at * kTrackRecordSize, bytes)) throwInOut("Cannot read", file);
    TrackRecord record = DecodeTrackRecord(bytes);
    change(record);
    const TrackRecordBytes changed = EncodeTrackRecord(record);
    if (!f.writeAt(*at * kTrackRecordSize, changed)) {
        cache.forget(f);
        throwInOut("Cannot write", file);
    }
    if (TrackRecordPath(changed) == path) index->state = stateOf(f, file);
    else cache.forget(f);
    closeOrThrow(f, file);
    return true;
}

std::size_t RemoveListedRecords(const std::string& /*target*/, const std::string& source,
                                const std::vector<std::string>& selectedPaths) {
    IndexCache& cache = IndexCache::instance();
    std::lock_guard guard(cache.mutex());
    FolderLock lock(source, LOCK_EX);
    PosixFile in = openOrThrow(source, O_RDONLY);

    // Each selected row stands for one record: a path selected twice removes
    // its first two records.
    std::unordered_map<std::string_view, std::size_t> toRemove;
    for (const std::string& p : selectedPaths) ++toRemove[p];

    auto kept = std::make_unique<PathIndex>();
    std::size_t removed = 0;
    std::string readError;
    const auto result = RewriteFileAtomically(source, [&](PosixFile& out, std::string* error) {
        std::vector<uint8_t> buf;
        std::vector<uint8_t> keep;
        uint64_t offset = 0;
        for (;;) {
            std::size_t got = 0;
            try {
                got = readChunk(in, source, offset, buf);
            } catch (const InOutError& e) {
                *error = e.what();
                return false;
            }
            if (got == 0) break;
            keep.clear();
            for (std::size_t i = 0; i < got; ++i) {
                const auto record = recordIn(buf, i);
                const std::string_view path = TrackRecordPath(record);
                auto it = toRemove.find(path);
                if (it != toRemove.end() && it->second > 0) {
                    --it->second;
                    ++removed;
                    continue;
                }
                kept->add(path, kept->records);
                keep.insert(keep.end(), record.begin(), record.end());
            }
            if (!out.write(keep)) {
                *error = errnoText("Cannot write a replacement for", source);
                return false;
            }
            offset += got * kTrackRecordSize;
            if (got < kChunkRecords) break;
        }
        return true;
    });
    if (!result) throw InOutError(result.error);
    cache.forget(in);
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0) cache.store(FileState::of(st), std::move(kept));
    return removed;
}

void PrepareTrackRecordLookups(const std::string& file) {
    IndexCache& cache = IndexCache::instance();
    std::lock_guard guard(cache.mutex());
    FolderLock lock(file, LOCK_SH);
    PosixFile f = openOrThrow(file, O_RDONLY);
    cache.indexFor(f, file);
    closeOrThrow(f, file);
}

void CreateEmptyTrackFile(const std::string& file) {
    IndexCache& cache = IndexCache::instance();
    std::lock_guard guard(cache.mutex());
    FolderLock lock(file, LOCK_EX);
    PosixFile f = openOrThrow(file, O_WRONLY | O_CREAT | O_TRUNC);
    cache.forget(f);
    closeOrThrow(f, file);
}

void ReplaceTrackRecords(const std::string& file, const std::vector<TrackRecord>& records) {
    IndexCache& cache = IndexCache::instance();
    std::lock_guard guard(cache.mutex());
    FolderLock lock(file, LOCK_EX);
    if (PosixFile old = OpenRegularFile(file, O_RDONLY); old.isOpen()) cache.forget(old);
    const auto result = RewriteFileAtomically(file, [&](PosixFile& out, std::string* error) {
        std::vector<uint8_t> chunk;
        auto flush = [&] {
            if (out.write(chunk)) {
                chunk.clear();
                return true;
            }
            *error = errnoText("Cannot write", file);
            return false;
        };
        for (const TrackRecord& record : records) {
            const TrackRecordBytes bytes = EncodeTrackRecord(record);
            chunk.insert(chunk.end(), bytes.begin(), bytes.end());
            if (chunk.size() >= kChunkRecords * kTrackRecordSize && !flush()) return false;
        }
        return flush();
    });
    if (!result) throw InOutError(result.error);
}

TrackFileWriter::TrackFileWriter(const std::string& file) : file_(file) {
    IndexCache& cache = IndexCache::instance();
    std::lock_guard guard(cache.mutex());
    FolderLock lock(file_, LOCK_EX);
    out_ = openOrThrow(file_, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND);
    cache.forget(out_);
}

TrackFileWriter::~TrackFileWriter() = default;

void TrackFileWriter::append(const TrackRecord& record) {
    if (!out_.isOpen()) throw InOutError("File not open: " + file_);
    const TrackRecordBytes bytes = EncodeTrackRecord(record);
    IndexCache& cache = IndexCache::instance();
    std::lock_guard guard(cache.mutex());
    FolderLock lock(file_, LOCK_EX);
    uint64_t size = 0;
    if (!out_.size(&size)) throwInOut("Cannot read the size of", file_);
    if (!out_.write(bytes)) {
        const int error = errno;
        (void)out_.truncate(size);
        throwInOut("Cannot write", file_, error);
    }
    cache.forget(out_);
}

void TrackFileWriter::close() {
    if (out_.isOpen()) closeOrThrow(out_, file_);
}
