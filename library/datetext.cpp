#include "library/datetext.h"

#include <QLocale>

#include "library/records/trackrecord.h"

namespace {

// The system's long time format without its time zone field ("t"), and the
// blank before it.
QString longTimeFormat() {
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (!quoted && c == u't') {
            while (out.endsWith(u' ')) out.chop(1);
            continue;
        }
        out += c;
    }
    return out.trimmed();
}

const QString& cachedLongTimeFormat() {
    static const QString format = longTimeFormat();
    return format;
}

const QString& cachedShortDateFormat() {
    static const QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    return format;
}

}  // namespace

QString LongTimeText(const QTime& time) { return QLocale::system().toString(time, cachedLongTimeFormat()); }

QString DateTimeText(const QDateTime& moment) {
    return QLocale::system().toString(moment.date(), cachedShortDateFormat()) + u' ' + LongTimeText(moment.time());
}

QString DateAddedText(double dateAdded) {
    const std::optional<std::time_t> t = TimeFromDateAdded(dateAdded);
    if (!t) return {};
    const QDateTime moment = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(*t));
    if (!moment.isValid()) return {};
    const QString date = QLocale::system().toString(moment.date(), cachedShortDateFormat());
    if (moment.time() == QTime(0, 0)) return date;
    return date + u' ' + LongTimeText(moment.time());
}
