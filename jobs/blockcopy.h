#pragma once
// The copy loop of every job that writes one source into one output: the
// blocks planned by PlanBlock, normalized to the source's peaks (measured in
// a first pass whose decoded audio a PCM cache may keep) and faded in and
// out. The source is any block source, a file or a CD track; the writer is
// configured and created by the caller, which keeps or drops the output.

#include <cstdint>
#include <functional>

class AudioFile;
class BlockSource;
class PcmCache;
struct PeakMeter;

struct BlockCopyOptions {
    bool normalize = false;
    int ratio = 98;  // percent of full scale
    bool fade = false;
    int fadeIn = 10, fadeOut = 20;  // seconds
    // Each of two channels normalized to its own peak (a WAV output).
    bool perChannel = false;
};

enum class BlockCopyResult { Done, Stopped, ReadFailed, WriteFailed };

// What the loop asks of its job between blocks.
struct BlockCopyHooks {
    std::function<bool()> checkpoint;        // false once the job was stopped
    std::function<void(int)> percent;        // of the source copied
    std::function<void()> afterBlock;        // lets the GUI thread's events run
    // When set, a failed read asks it: true goes on with what the read
    // gave (a CD's error action), false ends the copy as ReadFailed.
    std::function<bool()> readFailedGoOn = {};
};

// About 25 minutes of CD audio: longer sources are decoded twice rather
// than filling the temporary folder.
inline constexpr int64_t kMaxPcmCacheBytes = int64_t{256} << 20;

// Reads scan whole for its peaks; with cacheIt, keeps its decoded audio in
// cache (in the temporary folder) so that the copy need not decode it again.
BlockCopyResult MeasurePeaks(BlockSource& scan, bool cacheIt, PeakMeter& peaks, PcmCache& cache,
                             const BlockCopyHooks& hooks);

// Copies reader from where it stands to its end into writer. With normalize
// on, measure is called first to fill the peaks (and perhaps the cache).
BlockCopyResult CopyBlocks(BlockSource& reader, AudioFile& writer, const BlockCopyOptions& options,
                           const BlockCopyHooks& hooks,
                           const std::function<BlockCopyResult(PeakMeter&, PcmCache&)>& measure);
