#include "platform/launcher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

// How long the desktop's opener may take to say that it found nothing to
// open a document with. One that is still running by then has started a
// viewer in the foreground and counts as a success.
constexpr int kOpenerVerdictMs = 1000;

class RealLauncher final : public Launcher {
public:
    bool openUrl(const QUrl& url) override {
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        // Without the desktop's opener Qt looks for a browser itself, and
        // says when there is none.
        if (opener.isEmpty()) return QDesktopServices::openUrl(url);
        // The opener is installed but may find no program for the document:
        // it then ends at once with a failure, which must reach the user
        // instead of nothing happening.
        auto* process = new QProcess;
        process->setProgram(opener);
        process->setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start();
        if (!process->waitForStarted()) {
            delete process;
            return false;
        }
        if (process->waitForFinished(kOpenerVerdictMs)) {
            const bool ok = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
            delete process;
            return ok;
        }
        // Left without a parent, so that quitting the program does not end
        // the viewer the opener runs.
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return true;
    }
    bool startDetached(const QString& program, const QStringList& arguments) override {
        return QProcess::startDetached(program, arguments);
    }
};

RealLauncher g_real;
Launcher* g_installed = nullptr;

}  // namespace

void InstallLauncher(Launcher* launcher) { g_installed = launcher; }

Launcher& CurrentLauncher() { return g_installed ? *g_installed : g_real; }

bool OpenUrl(const QUrl& url) { return CurrentLauncher().openUrl(url); }

bool OpenLocalPath(const QString& path) { return CurrentLauncher().openUrl(QUrl::fromLocalFile(path)); }

bool StartDetached(const QString& program, const QStringList& arguments) {
    return CurrentLauncher().startDetached(program, arguments);
}
