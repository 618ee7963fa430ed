#include "jobs/blockcopy.h"

#include <QDir>

#include <algorithm>

#include "components/audio/audiofile.h"
#include "components/audio/audiotransform.h"
#include "jobs/blockplanner.h"
#include "jobs/pcmcache.h"

namespace {

// A failed read that the job goes on from may give nothing for its block
// (a CD's error action "stop"): the source has moved past the block, and
// the copy goes on with the next one rather than end the track there.
// False once the source's end is reached.
bool PassFailedBlock(bool failed, int64_t blockFrames, int64_t length, int64_t& passed) {
    if (!failed || passed >= length) return false;
    passed += blockFrames;
    return passed < length;
}

}  // namespace

BlockCopyResult MeasurePeaks(BlockSource& scan, bool cacheIt, PeakMeter& peaks, PcmCache& cache,
                             const BlockCopyHooks& hooks) {
    const int channels = std::max(scan.pcmChannels(), 1);
    if (cacheIt) cache.open(QDir::tempPath().toStdString(), channels, kMaxPcmCacheBytes);
    const int64_t blockSamples = static_cast<int64_t>(scan.pcmRate()) * channels * 4;
    int64_t passed = 0;  // frames the source has moved over
    for (;;) {
        if (!hooks.checkpoint()) return BlockCopyResult::Stopped;
        AudioBlock block = scan.readBlock(blockSamples);
        const bool failed = scan.readFailed();
        if (failed && !(hooks.readFailedGoOn && hooks.readFailedGoOn())) return BlockCopyResult::ReadFailed;
        if (block.empty()) {
            if (!PassFailedBlock(failed, blockSamples / channels, scan.length(), passed)) return BlockCopyResult::Done;
            continue;
        }
        passed += static_cast<int64_t>(block.size()) / channels;
        peaks.add(block, channels);
        cache.append(block);
    }
}

BlockCopyResult CopyBlocks(BlockSource& reader, AudioFile& writer, const BlockCopyOptions& options,
                           const BlockCopyHooks& hooks,
                           const std::function<BlockCopyResult(PeakMeter&, PcmCache&)>& measure) {
    const int channels = std::max(reader.pcmChannels(), 1);
    const int rate = reader.pcmRate();
    AudioTransform transform;
    transform.sampleRate = rate;
    transform.channels = channels;
    // One gain for the whole source (per channel when asked), from its peaks.
    PeakMeter peaks;
    PcmCache cache;
    const bool perChannel = options.perChannel && channels == 2;
    if (options.normalize) {
        const BlockCopyResult measured = measure(peaks, cache);
        if (measured != BlockCopyResult::Done) return measured;
        transform.setReferencePeak(peaks.peak);
    }
    const bool cached = cache.usable();

    BlockPlanInput in;
    in.length = cached ? cache.frames() : reader.length();
    in.framesPerSecond = cached ? rate : FramesPerSecond(in.length, reader.durationMs(), rate);
    in.channels = channels;
    in.fade = options.fade;
    in.fadeIn = options.fadeIn;
    in.fadeOut = options.fadeOut;
    in.normalize = options.normalize;
    const float ratio = static_cast<float>(options.ratio);
    int64_t skipped = 0;  // frames of failed blocks that gave nothing

    for (;;) {
        if (!hooks.checkpoint()) return BlockCopyResult::Stopped;
        const BlockPlan plan = PlanBlock(in);
        AudioBlock block = cached ? cache.read(plan.request) : reader.readBlock(plan.request);
        const bool failed = cached ? cache.readFailed() : reader.readFailed();
        if (failed && (cached || !hooks.readFailedGoOn || !hooks.readFailedGoOn())) return BlockCopyResult::ReadFailed;
        if (in.length > 0) hooks.percent(static_cast<int>(std::min(in.position, in.length) * 100 / in.length));
        if (block.empty()) {
            int64_t passed = in.position + skipped;
            if (PassFailedBlock(failed, plan.request / channels, in.length, passed)) {
                skipped = passed - in.position;
                continue;
            }
            hooks.percent(100);
            return BlockCopyResult::Done;
        }
        if (options.normalize) {
            if (perChannel) {
                AudioBlock left = transform.getLeftChannel(block);
                AudioBlock right = transform.getRightChannel(block);
                transform.setReferencePeak(peaks.channelPeaks[0]);
                transform.normalize(left, true, ratio);
                transform.setReferencePeak(peaks.channelPeaks[1]);
                transform.normalize(right, true, ratio);
                block = transform.joinChannels(left, right);
            } else {
                transform.normalize(block, true, ratio);
            }
        }
        if (plan.fadeIn) transform.fade(block, 0.0f, 100.0f);
        if (plan.fadeOut) transform.fade(block, 100.0f, 0.0f);
        writer.writeBlock(block);
        if (writer.getError() != 0) return BlockCopyResult::WriteFailed;
        in.position += block.size() / channels;
        if (hooks.afterBlock) hooks.afterBlock();
    }
}
