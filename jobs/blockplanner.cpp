#include "jobs/blockplanner.h"

#include <algorithm>

int64_t FramesPerSecond(int64_t length, int64_t durationMs, int pcmRate) {
    if (length > 0 && durationMs > 0) {
        const int64_t r = (length * 1000 + durationMs / 2) / durationMs;
        if (r > 0) return r;
    }
    return std::max(pcmRate, 1);
}

BlockPlan PlanBlock(const BlockPlanInput& in) {
    const int64_t r = std::max<int64_t>(in.framesPerSecond, 1);
    const int64_t c = std::max(in.channels, 1);
    const int64_t normal = 4 * r;
    const int64_t left = in.length - in.position;
    BlockPlan plan;
    if (in.position == 0) {
        // A fade-in of 0 s would ask for nothing and end the file at once.
        plan.fadeIn = in.fade && in.fadeIn > 0;
        plan.request = plan.fadeIn ? in.fadeIn * r * c : normal;
        return plan;
    }
    plan.request = normal;
    const int64_t tail = in.fade ? in.fadeOut + 1 : (in.normalize ? 16 : 0);
    if (tail > 0 && tail * normal / 4 > left && left > 0) {
        plan.request = left * c;
        plan.restOfFile = true;
        // Every fade-out of a second or more is heard, mono and stereo alike.
        plan.fadeOut = in.fade && in.fadeOut > 0;
    }
    return plan;
}
