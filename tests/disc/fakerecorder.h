#pragma once
// A recorder that plays a script instead of writing: window and contract
// tests choose the recorders, the disc, the speeds and what a write or an
// erase reports, step by step, including errors in the middle, the warning
// codes the real writers never send, and failures found before the work
// starts. A step can wait on a gate, so a test can act (abort, close the
// window) while the operation is under way.

#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "components/discwriter/discrecorder.h"

class FakeRecorder : public DiscRecorder {
    Q_OBJECT
public:
    struct Step {
        int operation = WriteOperation;
        int phase = NoPhase;
        int percent = 0;
        int error = NoError;   // nonzero: post this error instead of progress
        bool finish = false;   // the final 100 % of the operation
        bool waitGate = false; // wait until openGate() (or abort) before this step
    };

    explicit FakeRecorder(QObject* parent = nullptr);
    ~FakeRecorder() override;

    // What scanDevices finds: "vendor|product|revision" per recorder.
    QStringList recorders;
    DiscState disc;
    Failure readFailure;          // what refresh reports
    Failure startFailure;         // what write/erase report before starting
    std::vector<Step> writeScript;
    std::vector<Step> eraseScript;

    // A script of a good write of n tracks: per track phases 1, 2, 3, then
    // operation 3 and the final 100 %.
    static std::vector<Step> goodWrite(int tracks);

    void openGate();
    // What the program asked for, in order ("refresh", "write", "eject"...).
    QStringList calls;
    bool lastQuick = false;

protected:
    QList<Device> scanDevices() override;
    Failure readDisc(int index, DiscState* state) override;
    Failure startWrite(int index) override;
    Failure startErase(int index, bool quick) override;
    void cancelDevice(int index) override;
    void ejectDevice(int index) override { calls << "eject"; }
    void closeTrayDevice(int index) override { calls << "closeTray"; }
    void unlockTrayDevice(int index) override { calls << "unlockTray"; }
    void releaseDevices() override { calls << "release"; }

private:
    void play(std::vector<Step> script);

    std::mutex mutex_;
    std::condition_variable gateChanged_;
    bool gateOpen_ = false;
};
