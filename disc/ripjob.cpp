#include "disc/ripjob.h"

TRipcdThread::TRipcdThread(JobHandler* handler, QObject* window, CdGrabber& grabber, const RipSettings& settings,
                           const OutputFormat& format, std::function<RipRowTexts(int)> rowTexts)
    : ToolJob(handler, window), grabber_(grabber), settings_(settings), format_(format),
      rowTexts_(std::move(rowTexts)) {}

bool TRipcdThread::work() {
    result_ = RipRun(grabber_, settings_, format_, *this).run();
    emit ripEnded(result_.checked > 0, QString::fromStdString(result_.lastFolder));
    return result_.checked > 0;
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
