#include "disc/ripperjobs.h"

CdDriveJob::CdDriveJob(JobHandler* handler, QObject* window, std::function<void()> call)
    : ToolJob(handler, window), call_(std::move(call)) {}

bool CdDriveJob::work() {
    call_();
    return true;
}

CddbLookupJob::CddbLookupJob(JobHandler* handler, QObject* window, const CddbServer& server,
                             const CdTableOfContents& toc, const std::string& cacheFolder)
    : ToolJob(handler, window), server_(server), toc_(toc), cacheFolder_(cacheFolder) {}

bool CddbLookupJob::work() {
    lookup_ = CddbLookupOnline(server_, toc_, cacheFolder_, [this] { return stopRequested(); });
    return lookup_.record.has_value();
}
