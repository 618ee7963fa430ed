#include "components/discwriter/burnlibrary.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include <libburn/libburn.h>

#include "components/discwriter/burnlibraries.h"
#include "components/disc/disclog.h"

using namespace burn;

namespace {

bool started = false;

void FinishBurnLibrary() {
    TakeBurnMessages();
    burn_finish();
}

bool IsSerious(const char* severity) {
    for (const char* name : {"SORRY", "FAILURE", "FATAL", "ABORT"})
        if (std::strcmp(severity, name) == 0) return true;
    return false;
}

}  // namespace

bool InitializeBurnLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (burn_initialize() != 1) {
            if (BurnLibrariesProblem().isEmpty()) qCWarning(lcDisc, "The disc writing library could not be started.");
            return;
        }
        // Queue everything worth knowing, print nothing.
        burn_msgs_set_severities(const_cast<char*>("NOTE"), const_cast<char*>("NEVER"), const_cast<char*>("libburn"));
        started = true;
        std::atexit(FinishBurnLibrary);
    });
    return started;
}

QString TakeBurnMessages() {
    // A library that could not be loaded is what went wrong.
    if (!started) return BurnLibrariesProblem();
    QString serious;
    int code = 0, osErrno = 0;
    char text[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    while (burn_msgs_obtain(const_cast<char*>("ALL"), &code, text, &osErrno, severity) == 1) {
        QString message = QString::fromLocal8Bit(text).trimmed();
        if (osErrno != 0) message += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(osErrno)));
        if (IsSerious(severity)) {
            qCWarning(lcDisc, "libburn %s: %s", severity, qPrintable(message));
            serious = message;
        } else {
            qCDebug(lcDisc, "libburn %s: %s", severity, qPrintable(message));
        }
    }
    return serious;
}
