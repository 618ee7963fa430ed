#include "platform/filedialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include "platform/modalguard.h"
#include "platform/presenter.h"

namespace {

class RealFileDialogs final : public FileDialogs {
public:
    FileDialogResult run(const FileDialogRequest& r) override {
        QFileDialog dialog(r.parent, r.title);
        // Above a window of the program kept on top, as the message boxes.
        if (OnTopWindowShown()) dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
        QString folder = r.folder;
        if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
        dialog.setDirectory(folder);
        switch (r.mode) {
        case FileDialogMode::Open: dialog.setFileMode(QFileDialog::ExistingFile); break;
        case FileDialogMode::OpenMany: dialog.setFileMode(QFileDialog::ExistingFiles); break;
        case FileDialogMode::Save:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
            break;
        case FileDialogMode::Folder:
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setOption(QFileDialog::ShowDirsOnly);
            break;
        }
        QStringList filters = QtNameFilters(r.filter);
        if (r.mode != FileDialogMode::Folder && !filters.isEmpty()) {
            dialog.setNameFilters(filters);
            int index = qBound(1, r.filterIndex, static_cast<int>(filters.size()));
            dialog.selectNameFilter(filters.at(index - 1));
        }
        if (!r.fileName.isEmpty()) dialog.selectFile(r.fileName);

        FileDialogResult result;
        result.filterIndex = r.filterIndex;
        if (dialog.exec() != QDialog::Accepted) return result;
        result.accepted = true;
        result.files = dialog.selectedFiles();
        if (!filters.isEmpty()) {
            qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
            if (chosen >= 0) result.filterIndex = static_cast<int>(chosen) + 1;
        }
        return result;
    }
};

RealFileDialogs g_real;
FileDialogs* g_installed = nullptr;

}  // namespace

void InstallFileDialogs(FileDialogs* dialogs) { g_installed = dialogs; }

FileDialogs& CurrentFileDialogs() { return g_installed ? *g_installed : g_real; }

FileDialogResult RunFileDialog(const FileDialogRequest& request) {
    // A window that a modal box blocks opens no dialog: its loop would run
    // inside the box's.
    if (request.parent && ModalBlocking(request.parent)) {
        LogRefusedInput(request.parent, "file dialog");
        FileDialogResult refused;
        refused.filterIndex = request.filterIndex;
        return refused;
    }
    return CurrentFileDialogs().run(request);
}

QStringList QtNameFilters(const QString& filter) {
    QStringList out;
    if (filter.isEmpty()) return out;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts.at(i).trimmed();
        QString patterns = i + 1 < parts.size() ? parts.at(i + 1) : QStringLiteral("*");
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // "*.*" means every file where the filters come from; here it would
        // hide the files without an extension.
        QStringList each = patterns.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        each.replaceInStrings(QRegularExpression(QStringLiteral("^\\*\\.\\*$")), QStringLiteral("*"));
        patterns = each.join(QLatin1Char(' '));
        if (patterns.isEmpty()) patterns = QStringLiteral("*");
        if (description.isEmpty()) description = patterns;
        out << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out;
}
