#pragma once
// The recorder's section [recorder] of the settings file as the recorder
// window reads it at each start, and what follows from it: the output
// format, the name of a new recording, the one-line format summary.

#include <QDateTime>
#include <QString>

#include <array>

#include "jobs/recordingsession.h"

class IniFile;

inline constexpr const char* kRecorderSection = "recorder";

RecorderSettings ReadRecorderSettings(const IniFile& ini);

// ".wav", ".mp3", ".ogg", ".wma" for formats 0..3; empty for any other.
QString RecorderExtension(int format);

// The six name patterns of the recorder's name list, by index.
inline constexpr std::array<const char*, 6> kRecordNameCaptions = {
    "Date-Month-Year", "Date-Month--Hour", "Date--Hour;Minute", "Hour;Minute;Second", "Date-Month--Hour;Minute",
    "Date-Month-Year--Hour;Minute;Second"};
// The name of a recording started at `at` with pattern index (0..5; any
// other index takes the last pattern), without folder and extension.
QString RecordFileName(int patternIndex, const QDateTime& at);

// A line name of more than 10 characters breaks after the tenth.
QString SplitLineName(const QString& name);

// The summary of the output format in [recorder], as the settings window
// shows it on the recorder ("MP3  44100KHz Stereo 128Kbit").
QString RecorderFormatSummary(const IniFile& ini, int format);
