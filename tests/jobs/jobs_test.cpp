// The job base every tool and disc job stands on: where start() runs a job,
// sub-jobs in order under one stop, progress sent only on a change, and an
// exception inside a job handed to the error handler rather than lost.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "jobs/tooljob.h"

namespace {

class NoQuestions : public JobHandler {
public:
    bool askYesNo(const QString&, const QString&) override { return false; }
    void tell(const QString&, const QString&) override {}
};

// Records what it did in a shared log; ends as told.
class StepJob : public ToolJob {
public:
    StepJob(std::vector<int>& log, int id, bool result, QObject* context, JobHandler* handler)
        : ToolJob(handler, context), log_(log), id_(id), result_(result) {}
    std::function<void(StepJob&)> during;
    bool ranOnGuiThread = false;

protected:
    bool work() override {
        ranOnGuiThread = onGuiThread();
        log_.push_back(id_);
        if (during) during(*this);
        return result_;
    }

public:
    using ToolJob::checkpoint;
    using ToolJob::setPercent;

private:
    std::vector<int>& log_;
    int id_;
    bool result_;
};

class ThrowingJob : public ToolJob {
public:
    using ToolJob::ToolJob;

protected:
    bool work() override { throw std::runtime_error("disc went away"); }
};

// Every job here asks no questions and answers to one context.
struct Jobs : ::testing::Test {
    NoQuestions handler;
    QObject context;
    std::vector<int> log;
    StepJob* step(int id, bool result = true) { return new StepJob(log, id, result, &context, &handler); }
};

}  // namespace

TEST_F(Jobs, StartRunsOnTheGuiThreadAtOnceOrOnAWorker) {
    ToolJobThreads threads;
    bool ended = false;
    auto* here = step(1);
    QObject::connect(here, &ToolJob::ended, &context, [&](bool) { ended = true; });
    bool onGui = false;
    here->during = [&](StepJob& j) { onGui = j.place() == JobPlace::GuiThread; };
    threads.start(here, JobPlace::GuiThread);
    // Ran and was deleted before start returned.
    EXPECT_TRUE(ended);
    EXPECT_TRUE(onGui);
    EXPECT_EQ(threads.count(), 0u);

    std::atomic<bool> workerDone{false};
    auto* away = step(2);
    away->during = [&](StepJob& j) { workerDone = !j.ranOnGuiThread; };
    threads.start(away);
    EXPECT_EQ(threads.count(), 1u);
    for (int i = 0; i < 500 && threads.count() > 0; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    EXPECT_EQ(threads.count(), 0u);
    EXPECT_TRUE(workerDone);
    EXPECT_EQ(log, (std::vector<int>{1, 2}));
}

TEST_F(Jobs, AnExceptionInAJobGoesToTheErrorHandlerAndTheJobStillEnds) {
    std::vector<std::string> errors;
    SetJobErrorHandler([&](const std::exception_ptr& e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            errors.emplace_back(x.what());
        }
    });
    ThrowingJob job(&handler, &context);
    bool ended = false;
    QObject::connect(&job, &ToolJob::ended, [&](bool) { ended = true; });
    job.run();
    EXPECT_TRUE(ended);
    EXPECT_TRUE(job.failed());

    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    SetJobErrorHandler(nullptr);
    EXPECT_EQ(errors, (std::vector<std::string>{"disc went away"}));
}
