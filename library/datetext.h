#pragma once
// Dates and times as the user reads them: the system's short date, a blank
// and its long time, as the track list's "Time " column and the error log
// show them.

#include <QDateTime>
#include <QString>

// The system's long time without the time zone that its format may add: a
// zone would make every row of the list and every log entry longer and
// tell the user nothing.
QString LongTimeText(const QTime& time);
// Short date, blank, long time.
QString DateTimeText(const QDateTime& moment);
// A record's DateAdded: the time is left out at exactly midnight; a value
// that names no moment (NaN, out of the calendar) gives an empty text.
QString DateAddedText(double dateAdded);
