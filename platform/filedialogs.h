#pragma once
// The open, save and folder dialogs of every window, replaceable by tests.
// Filters are written as the windows give them, pairs of a description and
// its patterns joined by "|" ("m3u files(*.m3u)|*.m3u|pls files(*.pls)|*.pls"),
// and the filter index counts from 1, so a window reads the chosen format
// from the index as it was designed to.

#include <QString>
#include <QStringList>

class QWidget;

enum class FileDialogMode { Open, OpenMany, Save, Folder };

struct FileDialogRequest {
    FileDialogMode mode = FileDialogMode::Open;
    QString title;
    QString folder;    // start folder; empty or missing: the home folder
    QString fileName;  // proposed name (save)
    QString filter;    // "description|patterns|description|patterns"
    int filterIndex = 1;
    QWidget* parent = nullptr;
    // Save: the dialog itself asks before an existing file is chosen. Off,
    // since every window asks its own question about the file it will write,
    // which is not always the one chosen (a playlist takes the extension of
    // its format): a second question, or one about the wrong file, confuses.
    bool confirmOverwrite = false;
};

struct FileDialogResult {
    bool accepted = false;
    QStringList files;    // one entry except for OpenMany; the folder for Folder
    int filterIndex = 1;  // the filter chosen, from 1
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual FileDialogResult run(const FileDialogRequest& request) = 0;
};

// The dialogs in use; nullptr restores the real ones. The installer keeps
// ownership.
void InstallFileDialogs(FileDialogs* dialogs);
FileDialogs& CurrentFileDialogs();
FileDialogResult RunFileDialog(const FileDialogRequest& request);

// The "|"-separated filter as Qt's name filters ("desc (patterns)" each, the
// patterns separated by blanks); a trailing description without patterns
// keeps its text and matches every file.
QStringList QtNameFilters(const QString& filter);
