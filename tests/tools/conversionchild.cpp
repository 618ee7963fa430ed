// conversion_child TARGET OUTPUT_FOLDER SOURCE...
// Runs one batch of the conversion job on a worker thread, as a converter
// window does, and prints what happened, one line each: "ask|text",
// "tell|title|text", "state|row|state", then "end". Every question is
// answered Yes except "File write error! Continue?", answered No. A test runs
// it under a file-size limit to see a full disk.

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

#include "tools/conversionjob.h"

namespace {

class PrintingHandler : public QObject, public JobHandler {
public:
    bool askYesNo(const QString&, const QString& text) override {
        std::printf("ask|%s\n", qPrintable(text));
        return text != QLatin1String("File write error! Continue?");
    }
    void tell(const QString& title, const QString& text) override {
        std::printf("tell|%s|%s\n", qPrintable(title), qPrintable(text));
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 4) return 2;
    ConversionSettings settings;
    const QString target = QString::fromLocal8Bit(argv[1]);
    settings.target = target == "mp3" ? TargetFormat::Mp3
                      : target == "ogg" ? TargetFormat::Ogg
                      : target == "wma" ? TargetFormat::Wma
                                        : TargetFormat::Wav;
    settings.outputFolder = QString::fromLocal8Bit(argv[2]);
    QStringList sources;
    for (int i = 3; i < argc; ++i) sources << QString::fromLocal8Bit(argv[i]);
    PrintingHandler handler;
    ConversionJob job(settings, sources, &handler, &handler);
    QObject::connect(&job, &ConversionJob::rowStateChanged, &handler,
                     [](int row, const QString& state) { std::printf("state|%d|%s\n", row, qPrintable(state)); });
    QObject::connect(&job, &ToolJob::ended, &app, [] {
        std::printf("end\n");
        QCoreApplication::quit();
    });
    QThread* thread = QThread::create([&job] { job.run(); });
    thread->start();
    const int rc = QCoreApplication::exec();
    thread->wait();
    delete thread;
    return rc;
}
