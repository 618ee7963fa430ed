#include "jobs/tooljob.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <typeinfo>

#include "components/audio/audiofile.h"

namespace {

std::mutex g_errorMutex;
std::function<void(const std::exception_ptr&)> g_errorHandler;

void reportJobError(const std::exception_ptr& error) {
    std::function<void(const std::exception_ptr&)> handler;
    {
        std::lock_guard lock(g_errorMutex);
        handler = g_errorHandler;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (handler && app) {
        // After the job's own last reports, on the GUI thread.
        QMetaObject::invokeMethod(app, [handler, error] { handler(error); }, Qt::QueuedConnection);
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "job error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "job error\n");
    }
}

}  // namespace

void SetJobErrorHandler(std::function<void(const std::exception_ptr&)> handler) {
    std::lock_guard lock(g_errorMutex);
    g_errorHandler = std::move(handler);
}

namespace {

std::mutex g_errorLogMutex;
JobErrorLog g_errorLog;

}  // namespace

void SetJobErrorLog(JobErrorLog log) {
    const std::lock_guard lock(g_errorLogMutex);
    g_errorLog = std::move(log);
}

void ToolJob::logError(const QString& message, const QString& className) {
    const std::lock_guard lock(g_errorLogMutex);
    if (g_errorLog) g_errorLog(message, className);
}

QString ToolJob::logTagWriteFailure(const QString& output, const std::string& reason) {
    const QString message = QStringLiteral("Cannot write the tag of %1.").arg(output);
    logError(reason.empty() ? message : message + QLatin1Char(' ') + QString::fromStdString(reason),
             QStringLiteral("EInOutError"));
    return message;
}

ToolJob::ToolJob(JobHandler* handler, QObject* handlerContext) : handler_(handler), handlerContext_(handlerContext) {}

bool ToolJob::run() {
    running_ = true;
    const QCoreApplication* app = QCoreApplication::instance();
    onGuiThread_ = app && QThread::currentThread() == app->thread();
    bool endStep = true;
    failed_ = false;
    try {
        endStep = work();
    } catch (...) {
        failed_ = true;
        // The output was dropped on the way out and the window gets its
        // buttons back; the error itself is the application's to log.
        reportJobError(std::current_exception());
    }
    running_ = false;
    if (stopRequested()) emit cancelled();
    emit ended(endStep);
    return endStep;
}

void ToolJob::setPercent(int value) {
    if (value == percent_) return;
    percent_ = value;
    emit percent(value);
}

void ToolJob::setSubPercent(int value) {
    if (value == subPercent_) return;
    subPercent_ = value;
    emit subPercent(value);
}

bool ToolJob::ask(const QString& title, const QString& text) {
    return control_.ask(handlerContext_, [h = handler_, title, text] { return h->askYesNo(title, text) ? 1 : 0; },
                        0) == 1;
}

void ToolJob::tell(const QString& title, const QString& text) {
    control_.ask(handlerContext_, [h = handler_, title, text] { h->tell(title, text); return 0; }, 0);
}

void ToolJob::letEventsRun() {
    if (!onGuiThread_) return;
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

ToolJobThreads::~ToolJobThreads() {
    for (Run& r : runs_) {
        r.job->stop();
        r.thread->wait();
        delete r.thread;
        delete r.job;
    }
}

void ToolJobThreads::start(ToolJob* job, JobPlace where) {
    job->setPlace(where);
    if (where == JobPlace::GuiThread) {
        job->run();
        delete job;
        return;
    }
    QThread* thread = QThread::create([job] { job->run(); });
    runs_.push_back({job, thread});
    connect(thread, &QThread::finished, this, [this, thread] {
        auto it = std::find_if(runs_.begin(), runs_.end(), [thread](const Run& r) { return r.thread == thread; });
        if (it == runs_.end()) return;
        delete it->job;
        runs_.erase(it);
        thread->deleteLater();
    });
    thread->start();
}

PendingOutput::~PendingOutput() {
    if (!settled_) writer_.abandon();
}

bool PendingOutput::keep() {
    settled_ = true;
    writer_.close();
    return writer_.getError() == AudioErrorNone;
}

int64_t MulDiv64(int64_t a, int64_t b, int64_t c) {
    if (c == 0) return 0;
    const __int128 product = static_cast<__int128>(a) * b;
    const __int128 half = (c < 0 ? -c : c) / 2;
    const __int128 q = ((product < 0) != (c < 0) ? product - half : product + half) / c;
    return static_cast<int64_t>(q);
}
