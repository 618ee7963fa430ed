#pragma once
// The ripper's two short jobs beside the rip: a call on the grabber that
// may block (a drive spinning up, a disc library that waits), and the
// online CD database lookup. Both run on a worker while the window shows
// that it waits; the lookup ends at once when it is stopped.

#include <functional>
#include <string>

#include "components/disc/cddbclient.h"
#include "jobs/tooljob.h"

class CdDriveJob : public ToolJob {
    Q_OBJECT
public:
    // call runs on the worker; the window leaves the grabber alone until
    // the job has ended.
    CdDriveJob(JobHandler* handler, QObject* window, std::function<void()> call);

protected:
    bool work() override;

private:
    std::function<void()> call_;
};

class CddbLookupJob : public ToolJob {
    Q_OBJECT
public:
    // The table is the shown disc's; the server's time-out is the deadline
    // of the whole lookup.
    CddbLookupJob(JobHandler* handler, QObject* window, const CddbServer& server, const CdTableOfContents& toc,
                  const std::string& cacheFolder);
    // After ended().
    const CddbLookup& lookup() const { return lookup_; }

protected:
    bool work() override;

private:
    CddbServer server_;
    CdTableOfContents toc_;
    std::string cacheFolder_;
    CddbLookup lookup_;
};
