#include "disc/ripjob.h"

#include "components/disc/cdgrabber.h"

TRipcdThread::TRipcdThread(JobHandler* handler, QObject* window, CdGrabber& grabber, const RipSettings& settings,
                           const OutputFormat& format, std::function<RipRowTexts(int)> rowTexts)
    : ToolJob(handler, window), grabber_(grabber), settings_(settings), format_(format),
      rowTexts_(std::move(rowTexts)) {}

bool TRipcdThread::work() {
    // The disc may have gone since its table was read; reading it again may
    // wait for the drive, which is why it happens here.
    if (!grabber_.readToc()) {
        emit ripEnded(false, {});
        return false;
    }
    const RipResult result = RipRun(grabber_, settings_, format_, *this).run();
    emit ripEnded(result.checked > 0, QString::fromStdString(result.lastFolder));
    return result.checked > 0;
}

bool TRipcdThread::checkpoint() {
    letEventsRun();
    return ToolJob::checkpoint();
}

RipRowTexts TRipcdThread::rowTexts(int row) {
    RipRowTexts texts;
    readFromWindow([&] {
        texts = rowTexts_(row);
        return 1;
    }, 0);
    return texts;
}
