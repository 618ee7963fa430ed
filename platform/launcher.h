#pragma once
// What the program hands to the desktop: opening a folder in the file
// manager, opening a document or web address in its viewer, and starting a
// program of its own (the restart after an error). Never through a shell
// command line. Tests install a launcher that records the calls.

#include <QString>
#include <QStringList>

class QUrl;

class Launcher {
public:
    virtual ~Launcher() = default;
    // False when nothing on the desktop could open it: no opener or browser
    // installed, or an opener that found no program for it.
    virtual bool openUrl(const QUrl& url) = 0;
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
};

// The launcher in use; nullptr restores the real one. The installer keeps
// ownership.
void InstallLauncher(Launcher* launcher);
Launcher& CurrentLauncher();

bool OpenUrl(const QUrl& url);
// A local folder or file, opened by the desktop's handler for it.
bool OpenLocalPath(const QString& path);
bool StartDetached(const QString& program, const QStringList& arguments = {});
