#include "disc/compilationadder.h"

#include <QFileInfo>

#include <algorithm>
#include <sys/stat.h>

#include "disc/discwindows.h"
#include "platform/folderwalk.h"
#include "platform/messageboxes.h"
#include "platform/paths.h"
#include "platform/posixfile.h"

namespace {

QString Q(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }

std::string BaseName(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

int64_t SizeOf(const std::string& path)
{
    return std::max<int64_t>(RegularFileSize(path), 0);
}

}  // namespace

CompilationAdder::CompilationAdder(Compilation& compilation, CompilationView& view)
    : compilation_(compilation), view_(view)
{
}

void CompilationAdder::measureFreeSpace()
{
    FreeDiskSpace = std::max<int64_t>(FreeBytesIn(compilation_.stagingFolder()), 0);
}

void CompilationAdder::beginEntry(bool several)
{
    StopAdding = false;
    spaceTold_ = false;
    Problems.begin(several);
}

bool CompilationAdder::problem(Problem kind, const QString& text, const QString& caption, MessageKind boxKind)
{
    MessageRequest request;
    request.kind = boxKind;
    request.title = caption;
    request.text = text;
    if (Problems.pass(static_cast<int>(kind), request))
        return true;
    StopAdding = true;
    return false;
}

bool CompilationAdder::noSpace(Entry entry)
{
    OutOfDiskSpace = true;
    // A walk goes on in the folders above the one that did not fit, and
    // each may meet the limit again: the user hears of it once.
    const bool tell = !spaceTold_;
    spaceTold_ = true;
    auto say = [&](const QString& text) {
        if (tell)
            TellDisc(text, QStringLiteral("Information"));
    };
    switch (entry) {
    case Entry::AddFile:
        say(QStringLiteral("No enough space on your computer for writing CD!"));
        view_.setStatus(QStringLiteral("No enough space."));
        break;
    case Entry::LoadLayout:
        say(QStringLiteral("No enough space!"));
        break;
    case Entry::Drop:
        say(QStringLiteral("No enough space on your computer!"));
        view_.setStatus(QStringLiteral("Finish draging files."));
        break;
    case Entry::AddPath:
    case Entry::DroppedFolder:
        say(QStringLiteral("No enough space on your computer!"));
        view_.setStatus(QStringLiteral("No enough space."));
        break;
    }
    return false;
}

CompilationAdder::Staged CompilationAdder::stageFile(const std::string& source, CompilationFolder* folder, Entry entry,
                                                     bool overwriteConfirmed)
{
    const QString S = Q(source);
    const std::string name = BaseName(source);
    const bool walk = entry == Entry::AddPath || entry == Entry::DroppedFolder;
    const QString addError = QStringLiteral("Add file ") + S + QStringLiteral(" error!");
    auto skip = [&](const QString& text) {
        return problem(Problem::CannotAdd, text, QStringLiteral("Error"), MessageKind::Error) ? Staged::Skipped
                                                                                               : Staged::StopAll;
    };
    struct stat st {};
    if (::stat(source.c_str(), &st) != 0) {
        if (entry == Entry::AddFile || entry == Entry::LoadLayout)
            return problem(Problem::Missing, S + QStringLiteral(" has been removed!"),
                           entry == Entry::AddFile ? QStringLiteral("Information") : QStringLiteral("Confirmation"),
                           MessageKind::Information)
                       ? Staged::Skipped
                       : Staged::StopAll;
        return skip(addError);
    }
    if (!S_ISREG(st.st_mode)) {
        // Folders are no files of Add File; FIFOs and devices are never
        // read, whichever way they come.
        if (entry != Entry::AddFile && !S_ISDIR(st.st_mode))
            return skip(addError);
        return Staged::Skipped;
    }
    // A copy of the staging folder's own file would truncate itself.
    if (compilation_.isInsideStaging(source))
        return skip(addError);
    const std::string D = compilation_.TempPathOfNode(folder) + name;
    const int folderIndex = compilation_.absoluteIndex(folder);
    const int existing = compilation_.findRecord(folderIndex, name);
    const bool withTime = entry == Entry::AddPath;
    struct stat target {};
    if (::lstat(D.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
        // A file cannot take the place of a folder of the disc.
        return skip(addError + QStringLiteral("\nA folder named ") + Q(name) +
                    QStringLiteral(" is already in this folder of the disc."));
    }
    if (::lstat(D.c_str(), &target) == 0) {
        if (!(entry == Entry::DroppedFolder && overwriteConfirmed)) {
            const QString question = Q(D) + (entry == Entry::AddFile ? QStringLiteral(" already exists. Overwrite?")
                                                                    : QStringLiteral(" already exists! Overwrite?"));
            if (!AskConfirmation(question))
                return Staged::Skipped;
        }
        compilation_.TotalSize -= SizeOf(D);
        view_.setStatus(walk || entry == Entry::Drop ? QStringLiteral("Adding file ") + Q(name)
                                                     : (entry == Entry::AddFile ? QStringLiteral("Adding ")
                                                                                : QStringLiteral("Adding file ")) + S);
        std::string error;
        const CopyResult copied = compilation_.copyIn(source, D, &error);
        bool goOn = true;
        if (copied != CopyResult::Copied && copied != CopyResult::NoSpace)
            goOn = problem(Problem::CannotAdd, QStringLiteral("Overwrite file ") + Q(D) + QStringLiteral(" error!"),
                           QStringLiteral("Error"), MessageKind::Error);
        const int64_t size = SizeOf(D);
        compilation_.TotalSize += size;
        view_.totalChanged();
        if (existing >= 0) {
            CompilationFileRecord& record = compilation_.records()[static_cast<size_t>(existing)];
            record.SourcePath = source;
            record.Size = size;
            record.FileDate = GetFileDateTime(source);
            if (entry != Entry::DroppedFolder)
                view_.rowChanged(existing, withTime);
        } else if (size > 0 || ::lstat(D.c_str(), &target) == 0) {
            // A copy lying there without a record (put there by hand) is
            // taken into the table, so the total and the disc agree.
            compilation_.records().push_back({folderIndex, source, name, size, GetFileDateTime(source)});
            if (entry != Entry::DroppedFolder)
                view_.rowAdded(compilation_.FileCount() - 1, withTime);
        }
        if (copied == CopyResult::NoSpace) {
            // The old copy stays; the disk is full for the files after it too.
            noSpace(entry);
            StopAdding = true;
            return Staged::StopAll;
        }
        return goOn ? Staged::Added : Staged::StopAll;
    }

    view_.setStatus(walk || entry == Entry::Drop ? QStringLiteral("Adding file ") + Q(name)
                                                 : (entry == Entry::AddFile ? QStringLiteral("Adding ")
                                                                            : QStringLiteral("Adding file ")) + S);
    view_.pump();
    // Closing the window while it pumped removes the staging folder.
    if (StopAdding)
        return Staged::StopAll;
    const int64_t size = st.st_size;
    compilation_.TotalSize += size;
    if (FreeDiskSpace < compilation_.TotalSize) {
        compilation_.TotalSize -= size;
        noSpace(entry);
        return Staged::StopAll;
    }
    std::string error;
    const CopyResult copied = compilation_.copyIn(source, D, &error);
    if (copied == CopyResult::NoSpace) {
        // The disk filled up after the window measured it: no later file
        // fits either.
        compilation_.TotalSize -= size;
        noSpace(entry);
        StopAdding = true;
        return Staged::StopAll;
    }
    if (copied != CopyResult::Copied) {
        compilation_.TotalSize -= size;
        if (walk)
            view_.setStatus(QStringLiteral("Add file error."));
        return skip(QStringLiteral("Add file ") + (walk ? Q(D) : S) + QStringLiteral(" error!"));
    }
    // The copy's own size: the source may have changed since it was measured.
    const int64_t copiedSize = SizeOf(D);
    compilation_.TotalSize += copiedSize - size;
    compilation_.records().push_back({folderIndex, source, name, copiedSize, GetFileDateTime(source)});
    view_.totalChanged();
    if (entry != Entry::DroppedFolder)
        view_.rowAdded(compilation_.FileCount() - 1, withTime);
    return Staged::Added;
}

bool CompilationAdder::addFiles(const QStringList& files, CompilationFolder* folder)
{
    bool added = false;
    beginEntry(files.size() > 1);
    for (const QString& file : files) {
        if (StopAdding || OutOfDiskSpace)
            break;
        Problems.setLast(&file == &files.last());
        Staged s = stageFile(QFile::encodeName(file).toStdString(), folder, Entry::AddFile);
        added |= s == Staged::Added;
        if (s == Staged::StopAll)
            break;
    }
    return added;
}

bool CompilationAdder::loadLayout(const std::vector<std::string>& lines, CompilationFolder* folder)
{
    bool added = false;
    beginEntry(lines.size() > 1);
    for (const std::string& line : lines) {
        if (StopAdding || OutOfDiskSpace)
            break;
        Problems.setLast(&line == &lines.back());
        Staged s = stageFile(line, folder, Entry::LoadLayout);
        added |= s == Staged::Added;
        if (s == Staged::StopAll)
            break;
    }
    return added;
}

void CompilationAdder::drop(const QStringList& names, CompilationFolder* folder)
{
    beginEntry(names.size() > 1);
    for (const QString& name : names) {
        if (StopAdding || OutOfDiskSpace)
            break;
        Problems.setLast(&name == &names.last());
        const std::string path = QFile::encodeName(name).toStdString();
        const std::string base = BaseName(path);
        if (base.empty() || base[0] == '.')
            continue;
        struct stat link {};
        struct stat st {};
        const bool isFolder = ::lstat(path.c_str(), &link) == 0 && S_ISDIR(link.st_mode) && ::stat(path.c_str(), &st) == 0;
        if (isFolder) {
            Problems.setSeveral(true);
            Problems.setLast(false);
            // The staging folder, or a folder in it, would be copied into
            // itself.
            if (compilation_.isInsideStaging(path)) {
                if (problem(Problem::CannotAdd,
                            QStringLiteral("Add file ") + Q(path) + QStringLiteral(" error!\nIt lies in the disc's own staging folder."),
                            QStringLiteral("Error"), MessageKind::Error))
                    continue;
                break;
            }
            struct stat target {};
            const std::string D = compilation_.TempPathOfNode(folder) + base;
            if (::lstat(D.c_str(), &target) == 0) {
                if (AskConfirmation(QStringLiteral("The same-named-folder already exists! Overwrite?")))
                    addDroppedFolder(path, folder, true);
            } else {
                addDroppedFolder(path, folder, false);
            }
            continue;
        }
        if (stageFile(path, folder, Entry::Drop) == Staged::StopAll)
            break;
    }
    view_.foldersChanged();
}

void CompilationAdder::addDroppedFolder(const std::string& source, CompilationFolder* parent, bool overwriteConfirmed)
{
    view_.pump();
    if (OutOfDiskSpace)
        return;
    const std::string base = BaseName(source);
    CompilationFolder* top = compilation_.childNamed(parent, base);
    if (!top)
        top = compilation_.createFolder(parent, base);
    if (!top) {
        problem(Problem::CannotAdd,
                QStringLiteral("Add file ") + Q(source) + QStringLiteral(" error!\nA file named ") + Q(base) +
                    QStringLiteral(" is already in this folder of the disc."),
                QStringLiteral("Error"), MessageKind::Error);
        return;
    }
    const std::string prefix = WithTrailingSeparator(source);
    // The tree folder of a path below the dropped folder, made as needed.
    auto folderOf = [&](const std::string& dir) -> CompilationFolder* {
        CompilationFolder* node = top;
        std::string rest = dir.size() > prefix.size() ? dir.substr(prefix.size()) : std::string();
        size_t start = 0;
        while (node && start < rest.size()) {
            size_t slash = rest.find('/', start);
            if (slash == std::string::npos)
                slash = rest.size();
            const std::string name = rest.substr(start, slash - start);
            CompilationFolder* child = compilation_.childNamed(node, name);
            node = child ? child : compilation_.createFolder(node, name);
            start = slash + 1;
        }
        return node;
    };
    bool full = false;
    FolderWalk walk;
    walk.entry = [&](const std::string& path) {
        view_.pump();
        if (StopAdding || full)
            return false;
        struct stat link {};
        // Every folder gets its tree folder, an empty one too.
        if (::lstat(path.c_str(), &link) == 0 && S_ISDIR(link.st_mode) && BaseName(path)[0] != '.' &&
            !compilation_.isInsideStaging(path))
            folderOf(path);
        return true;
    };
    walk.enter = [](std::string_view name) { return !name.empty() && name[0] != '.'; };
    walk.never = {compilation_.stagingFolder()};
    walk.file = [&](const std::string& path, std::string_view name, bool regular) {
        if (!regular || name.empty() || name[0] == '.')
            return;
        CompilationFolder* node = folderOf(ParentFolder(path));
        if (!node) {
            // Its folder's name is a staged file's in the folder above.
            if (!problem(Problem::CannotAdd, QStringLiteral("Add file ") + Q(path) + QStringLiteral(" error!"),
                         QStringLiteral("Error"), MessageKind::Error))
                full = true;
            return;
        }
        if (stageFile(path, node, Entry::DroppedFolder, overwriteConfirmed) == Staged::StopAll)
            full = true;
    };
    WalkFolder(source, walk);
}

void CompilationAdder::addPath(const std::string& path, bool includeSubfolders, CompilationFolder* folder)
{
    beginEntry(true);
    if (OutOfDiskSpace)
        return;
    // Out of space ends the walk of the folder where it happened; the
    // folders above go on and check their own next files.
    std::string blocked;
    FolderWalk walk;
    walk.entry = [&](const std::string&) {
        view_.pump();
        return !StopAdding;
    };
    walk.enter = [&](std::string_view name) { return includeSubfolders && !name.empty() && name[0] != '.'; };
    walk.never = {compilation_.stagingFolder()};
    walk.file = [&](const std::string& file, std::string_view name, bool regular) {
        if (!regular || name.empty() || name[0] == '.')
            return;
        if (!blocked.empty() && file.rfind(blocked, 0) == 0)
            return;
        if (stageFile(file, folder, Entry::AddPath) == Staged::StopAll && OutOfDiskSpace)
            blocked = WithTrailingSeparator(ParentFolder(file));
    };
    WalkFolder(path, walk);
}
