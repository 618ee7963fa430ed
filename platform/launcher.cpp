#include "platform/launcher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace {

class RealLauncher final : public Launcher {
public:
    bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
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
