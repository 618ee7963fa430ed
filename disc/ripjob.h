#pragma once
// The rip as a job: the window makes it with the settings and the format
// read at the start, and starts it on a worker (WAV, MP3, OGG) or on the
// GUI thread (WMA). It reads each row's texts from the window when that
// track starts, asks through the window's handler, and reports the track's
// percent (subPercent) and the tracks begun (nextItem).

#include <functional>

#include "disc/riprun.h"
#include "jobs/tooljob.h"

class TRipcdThread : public ToolJob, private RipReporter {
    Q_OBJECT
public:
    // rowTexts runs on the window's thread.
    TRipcdThread(JobHandler* handler, QObject* window, CdGrabber& grabber, const RipSettings& settings,
                 const OutputFormat& format, std::function<RipRowTexts(int)> rowTexts);

signals:
    // The rip has ended: whether any row was checked, and the folder of the
    // last track begun (empty when none was).
    void ripEnded(bool anyChecked, const QString& lastFolder);

protected:
    bool work() override;

private:
    bool checkpoint() override;
    RipRowTexts rowTexts(int row) override;
    bool askYesNo(const QString& caption, const QString& text) override { return ask(caption, text); }
    void tell(const QString& caption, const QString& text) override { ToolJob::tell(caption, text); }
    void trackPercent(int percent) override { setSubPercent(percent); }
    void counter(int begun, int checked) override { beginItem(begun, checked); }

    CdGrabber& grabber_;
    RipSettings settings_;
    OutputFormat format_;
    std::function<RipRowTexts(int)> rowTexts_;
};
