#pragma once
// Running tool jobs in tests: a handler that answers from a script and
// records what it was asked and told, a runner for any job, and one for a
// conversion batch that collects its reports in the order they arrive.

#include <QObject>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

#include "tools/conversionjob.h"

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

class ScriptedHandler : public QObject, public JobHandler {
public:
    // Answers every question; Yes unless set otherwise.
    std::function<bool(const QString& text)> answer = [](const QString&) { return true; };
    QStringList told;   // as "title|text"
    QStringList texts;  // what was asked and told, in order, without titles
    ConversionJob* job = nullptr;  // the job RunJob runs, while it runs

    bool askYesNo(const QString&, const QString& text) override;
    void tell(const QString& title, const QString& text) override;
};

// Runs a job to its end, on a worker thread while this thread answers its
// questions, or on this thread; returns whether it ran its end step.
bool RunToolJob(ToolJob& job, bool onThread = true);

struct JobReport {
    QStringList states;         // "row state", in order
    std::vector<int> progress;  // every change
    bool endStep = false;
};

// Runs the batch on a worker thread. onReport runs on the test's thread
// after each report (the job's pause and stop may be used there).
JobReport RunJob(const ConversionSettings& settings, const QStringList& sources, ScriptedHandler& handler,
                 const std::function<void(ConversionJob&, const JobReport&)>& onReport = {});

// A tagged file of the given seconds, in the format its extension names:
// left 1 kHz, right 2 kHz, half scale.
void MakeTone(const std::string& path, double seconds);
// "rate,channels" of a file's first audio stream as the ffprobe command line reads it.
std::string ProbeStream(const std::string& path);

// The keys of a section of the settings file, as written; empty when the
// section is missing.
QStringList IniKeys(const QString& section);
