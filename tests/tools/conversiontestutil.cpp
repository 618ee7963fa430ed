#include "conversiontestutil.h"

#include <QEventLoop>
#include <QThread>

#include "audiotestutil.h"
#include "components/audio/audioinformation.h"
#include "platform/paths.h"
#include "testenv.h"

bool ScriptedHandler::askYesNo(const QString&, const QString& text) {
    texts << text;
    return answer(text);
}

void ScriptedHandler::tell(const QString& title, const QString& text) {
    told << title + "|" + text;
    texts << text;
}

bool RunToolJob(ToolJob& job, bool onThread) {
    bool endStep = false;
    QEventLoop loop;
    QObject::connect(&job, &ToolJob::ended, &loop, [&](bool e) {
        endStep = e;
        loop.quit();
    });
    if (!onThread) {
        job.run();
        return endStep;
    }
    QThread* thread = QThread::create([&job] { job.run(); });
    thread->start();
    loop.exec();
    thread->wait();
    delete thread;
    return endStep;
}

JobReport RunJob(const ConversionSettings& settings, const QStringList& sources, ScriptedHandler& handler,
                 const std::function<void(ConversionJob&, const JobReport&)>& onReport) {
    ConversionJob job(settings, sources, &handler, &handler);
    handler.job = &job;
    JobReport report;
    auto after = [&] {
        if (onReport) onReport(job, report);
    };
    QObject::connect(&job, &ToolJob::itemState, &handler, [&](int row, const QString& state) {
        report.states << QString::number(row) + " " + state;
        after();
    });
    QObject::connect(&job, &ToolJob::percent, &handler, [&](int percent) {
        report.progress.push_back(percent);
        after();
    });
    report.endStep = RunToolJob(job);
    handler.job = nullptr;
    return report;
}

void MakeTone(const std::string& path, double seconds) {
    audiotest::encode(path, audiotest::sine(44100, 2, seconds, {1000, 2000}));
    AudioInformation tags;
    tags.load(path);
    tags.infoTitle = "Tone";
    tags.infoArtist = "Maker";
    tags.save(path);
}

std::string ProbeStream(const std::string& path) {
    const std::string out = testenv::capture(
        "ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels -of csv=p=0 " +
        testenv::shellQuote(path));
    return QString::fromStdString(out).trimmed().toStdString();
}

QStringList IniKeys(const QString& section) {
    QStringList keys;
    bool inSection = false;
    const QString text = QString::fromStdString(testenv::readFile(SettingsFilePath()));
    for (QString line : text.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inSection = line.mid(1, line.size() - 2).compare(section, Qt::CaseInsensitive) == 0;
        } else if (inSection && line.contains('=')) {
            keys << line.left(line.indexOf('='));
        }
    }
    return keys;
}
