// The event contract of the recorder base, driven through a scripted
// recorder: what the windows rely on when they test their error flag right
// after a call, and when they read the operation and phase inside a
// progress event.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "fakerecorder.h"

namespace {

struct Event {
    char kind;  // 'p' progress, 'e' error, 'm' media change
    int operation, phase, value;
    bool operator==(const Event&) const = default;
};

class RecorderEvents {
public:
    explicit RecorderEvents(FakeRecorder& recorder) : recorder_(recorder) {
        QObject::connect(&recorder, &DiscRecorder::onOperationProgress, [this](int percent) {
            events.push_back({'p', recorder_.currentOperation(), recorder_.writePhase(), percent});
        });
        QObject::connect(&recorder, &DiscRecorder::onError, [this](int code) { events.push_back({'e', 0, 0, code}); });
        QObject::connect(&recorder, &DiscRecorder::onMediaChange, [this] { events.push_back({'m', 0, 0, 0}); });
    }
    // Lets queued events run until the recorder is idle and nothing more
    // arrives.
    void settle() {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (!recorder_.isBusy()) {
                QCoreApplication::processEvents();
                return;
            }
        }
        ADD_FAILURE() << "the operation did not end";
    }
    std::vector<Event> events;

private:
    FakeRecorder& recorder_;
};

}  // namespace

TEST(DiscRecorder, NoRecorderReportsSynchronouslyAndReadsNoDisc) {
    FakeRecorder recorder;
    RecorderEvents seen(recorder);
    recorder.initialize();
    EXPECT_EQ(recorder.deviceCount(), 0);
    recorder.refresh();
    // Inside the call, not later: the window reads its flag on return.
    ASSERT_EQ(seen.events, (std::vector<Event>{{'e', 0, 0, DiscRecorder::NoRecorder}}));
    EXPECT_EQ(recorder.discType(), DiscRecorder::NoDisc);
    EXPECT_EQ(recorder.discStatus(), DiscRecorder::StatusUnknown);
    recorder.write();
    recorder.erase(true);
    EXPECT_EQ(seen.events.size(), 3u);
    EXPECT_FALSE(recorder.isBusy());
}

TEST(DiscRecorder, RecordersAndSpeedsReadBackAsTheDeviceAllows) {
    FakeRecorder recorder;
    recorder.recorders = {"ACME|Burner 52|1.0", "Other|Writer|2.1"};
    recorder.disc.type = DiscRecorder::Erasable;
    recorder.disc.status = DiscRecorder::Blank;
    recorder.disc.speeds = {4, 16, 48};
    recorder.initialize();
    ASSERT_EQ(recorder.deviceCount(), 2);
    recorder.setDeviceIndex(2);
    EXPECT_EQ(recorder.deviceVendor() + recorder.deviceProduct() + recorder.deviceRevision(), "OtherWriter2.1");
    recorder.refresh();
    EXPECT_EQ(recorder.discType(), DiscRecorder::Erasable);
    const std::vector<std::pair<int, int>> speeds{{48, 48}, {64, 48}, {16, 16}, {20, 16}, {4, 4}, {2, 0}};
    for (const auto& [put, got] : speeds) {
        recorder.setWriteSpeed(put);
        EXPECT_EQ(recorder.writeSpeed(), got) << put;
    }
    recorder.setDeviceIndex(3);
    EXPECT_EQ(recorder.deviceVendor(), "");
}

// A good write reports only after returning and ends with one hundred; a
// failure ends the operation with one error and nothing after.
TEST(DiscRecorder, WritesReportAfterReturningAndEndAtOneHundredOrAtOneError) {
    struct Case {
        const char* name;
        std::vector<FakeRecorder::Step> script;
        DiscRecorder::Failure startFailure;
        std::vector<Event> expected;
    };
    using S = FakeRecorder::Step;
    const std::vector<Case> cases{
        {"a good write", FakeRecorder::goodWrite(2), {},
         {{'p', 2, 1, 0}, {'p', 2, 2, 22}, {'p', 2, 3, 45}, {'p', 2, 1, 45},
          {'p', 2, 2, 67}, {'p', 2, 3, 90}, {'p', 3, 0, 95}, {'p', 3, 0, 100}}},
        {"refused before starting", FakeRecorder::goodWrite(1), {DiscRecorder::NotWritable, "closed"},
         {{'e', 0, 0, DiscRecorder::NotWritable}}},
        {"error in the middle",
         {S{2, 1, 0}, S{2, 2, 30}, S{2, 2, 0, DiscRecorder::WriteFailed}, S{2, 2, 60}},
         {},
         {{'p', 2, 1, 0}, {'p', 2, 2, 30}, {'e', 0, 0, DiscRecorder::WriteFailed}}},
        {"warnings do not end it",
         {S{2, 1, 0}, S{2, 1, 0, -101}, S{2, 2, 50}, S{3, 0, 100, 0, true}},
         {},
         {{'p', 2, 1, 0}, {'e', 0, 0, -101}, {'p', 2, 2, 50}, {'p', 3, 0, 100}}},
    };
    for (const Case& c : cases) {
        FakeRecorder recorder;
        recorder.recorders = {"A|B|C"};
        recorder.writeScript = c.script;
        recorder.startFailure = c.startFailure;
        RecorderEvents seen(recorder);
        recorder.initialize();
        recorder.write();
        // A refusal is told inside the call, anything else after it.
        EXPECT_EQ(seen.events.size(), c.startFailure.code ? 1u : 0u) << c.name;
        EXPECT_EQ(recorder.isBusy(), !c.startFailure.code) << c.name;
        EXPECT_EQ(recorder.calls.last(), "write speed=0 test=0 finalize=1") << c.name;
        seen.settle();
        EXPECT_EQ(seen.events, c.expected) << c.name;
        EXPECT_FALSE(recorder.isBusy()) << c.name;
    }
}

TEST(DiscRecorder, AbortStopsTheWorkAndDropsItsEvents) {
    FakeRecorder recorder;
    recorder.recorders = {"A|B|C"};
    using S = FakeRecorder::Step;
    recorder.writeScript = {S{2, 1, 0}, S{2, 2, 10}, S{2, 2, 20, 0, false, true}, S{3, 0, 100, 0, true}};
    RecorderEvents seen(recorder);
    recorder.initialize();
    recorder.write();
    // The first two events are posted but not yet delivered when the user
    // aborts; the window has already put itself back, so none may arrive.
    QElapsedTimer wait;
    wait.start();
    recorder.abort();
    EXPECT_FALSE(recorder.isBusy());
    seen.settle();
    QCoreApplication::processEvents();
    EXPECT_TRUE(seen.events.empty());
    EXPECT_TRUE(recorder.calls.contains("abort"));

    // The recorder is usable again, and an erase reports operation 1.
    recorder.eraseScript = {S{1, 0, 40}, S{1, 0, 100, 0, true}};
    recorder.erase(false);
    seen.settle();
    EXPECT_EQ(seen.events, (std::vector<Event>{{'p', 1, 0, 40}, {'p', 1, 0, 100}}));
    EXPECT_FALSE(recorder.lastQuick);
}

TEST(DiscRecorder, MediaChangeWaitsForNoOperation) {
    FakeRecorder recorder;
    recorder.recorders = {"A|B|C"};
    using S = FakeRecorder::Step;
    recorder.writeScript = {S{2, 1, 0, 0, false, true}, S{3, 0, 100, 0, true}};
    RecorderEvents seen(recorder);
    recorder.initialize();
    recorder.write();
    recorder.postMediaChange();
    QCoreApplication::processEvents();
    recorder.openGate();
    seen.settle();
    recorder.postMediaChange();
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.events, (std::vector<Event>{{'p', 2, 1, 0}, {'p', 3, 0, 100}, {'m', 0, 0, 0}}));
}

TEST(DiscRecorder, ADriveThatBlocksIsWaitedForOffTheCallingThreadAndTheWaitIsShown) {
    FakeRecorder recorder;
    recorder.recorders = {"ACME|Burner|1.0"};
    recorder.disc.type = DiscRecorder::Erasable;
    recorder.disc.status = DiscRecorder::Open;
    recorder.initialize();
    std::vector<bool> waits;
    QObject::connect(&recorder, &DiscRecorder::onWaiting, [&](bool waiting) { waits.push_back(waiting); });

    // The drive answers only after the caller's events have run a while.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 20) recorder.driveHeld = false;
    });
    timer.start(10);
    recorder.driveHeld = true;
    recorder.refresh();
    EXPECT_GE(ticks, 20) << "the caller's events ran while the drive was read";
    EXPECT_EQ(waits, (std::vector<bool>{true, false}));
    EXPECT_EQ(recorder.discStatus(), DiscRecorder::Open) << "the call still returns the disc it read";

    // The tray likewise; a nested call while waiting does not reach the drive.
    waits.clear();
    ticks = 0;
    int nested = 0;
    QObject::connect(&recorder, &DiscRecorder::onWaiting, [&](bool waiting) {
        if (!waiting) return;
        recorder.refresh();
        recorder.eject();
        ++nested;
    });
    recorder.driveHeld = true;
    recorder.eject();
    EXPECT_EQ(waits, (std::vector<bool>{true, false}));
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(recorder.calls.count("eject"), 1);

    // A drive that answers at once shows no wait and lets nothing run.
    timer.stop();
    waits.clear();
    ticks = 0;
    recorder.refresh();
    EXPECT_TRUE(waits.empty());
}
