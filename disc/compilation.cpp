#include "disc/compilation.h"

#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "platform/ownedfiles.h"
#include "platform/posixfile.h"

namespace {

QString GroupedNumber(double value, int decimals)
{
    return QLocale::system().toString(value, 'f', decimals);
}

std::string RealPathOf(const std::string& path)
{
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer))
        return {};
    return buffer;
}

bool CopyBytes(int in, int out)
{
    // copy_file_range lets the kernel (or the file system, by sharing
    // blocks) do the copy; where it is refused a plain loop does it.
    for (;;) {
        ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n == 0)
            return true;
        if (n > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL)
            return false;
        break;
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
        ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            done += put;
        }
    }
}

}  // namespace

QString FileSizeText(int64_t size)
{
    const int64_t n = size / 1024;
    if (n == 0)
        return QString::number(size) + QStringLiteral(" bytes");
    if (n >= 1 && n <= 1024)
        return GroupedNumber(static_cast<double>(size) / 1024.0, 0) + QStringLiteral(" KB");
    return GroupedNumber(static_cast<double>(size) / 1024.0 / 1024.0, 0) + QStringLiteral(" MB");
}

QString TotalSizeNumber(int64_t total)
{
    return GroupedNumber(static_cast<double>(total) / 1024.0 / 1024.0, 2) + QStringLiteral(" MB");
}

QString TotalSizeText(int64_t total) { return QStringLiteral("Total Size: ") + TotalSizeNumber(total); }

QDateTime GetFileDateTime(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return QDateTime(QDate(), QTime::currentTime());
    QDateTime local = QDateTime::fromSecsSinceEpoch(st.st_mtime).toLocalTime();
    QTime t = local.time();
    return QDateTime(local.date(), QTime(t.hour(), t.minute(), t.second() - t.second() % 2));
}

bool IsIllegalFolderName(const QString& name)
{
    static const QString kIllegal = QStringLiteral("*?|:\"/\\<>");
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        return true;
    for (QChar c : name)
        if (kIllegal.contains(c) || c.unicode() < 0x20)
            return true;
    return false;
}

void DeleteFolderContents(const std::string& path)
{
    RemoveFileOrTree(path);
}

Compilation::Compilation(std::string stagingFolder) : staging_(std::move(stagingFolder)) {}

bool Compilation::stagingExists() const
{
    struct stat st {};
    return ::lstat(staging_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Compilation::reset()
{
    DeleteFolderContents(staging_);
    CreateFolderPath(ParentFolder(staging_));
    stagingMark_ = OwnFolder(staging_);
    records_.clear();
    TotalSize = 0;
    root_.children.clear();
    return stagingExists();
}

void Compilation::collect(const CompilationFolder* folder, std::vector<const CompilationFolder*>* out) const
{
    out->push_back(folder);
    for (const auto& child : folder->children)
        collect(child.get(), out);
}

int Compilation::absoluteIndex(const CompilationFolder* folder) const
{
    std::vector<const CompilationFolder*> all;
    collect(&root_, &all);
    auto it = std::find(all.begin(), all.end(), folder);
    return it == all.end() ? -1 : static_cast<int>(it - all.begin());
}

CompilationFolder* Compilation::folderAt(int index)
{
    std::vector<const CompilationFolder*> all;
    collect(&root_, &all);
    if (index < 0 || index >= static_cast<int>(all.size()))
        return nullptr;
    return const_cast<CompilationFolder*>(all[static_cast<size_t>(index)]);
}

CompilationFolder* Compilation::childNamed(CompilationFolder* parent, const std::string& name) const
{
    for (const auto& child : parent->children)
        if (child->name == name)
            return child.get();
    return nullptr;
}

std::string Compilation::TempPathOfNode(const CompilationFolder* folder) const
{
    std::string relative;
    for (const CompilationFolder* f = folder; f && f->parent; f = f->parent)
        relative = f->name + "/" + relative;
    return WithTrailingSeparator(staging_) + relative;
}

CompilationFolder* Compilation::createFolder(CompilationFolder* parent, const std::string& name)
{
    if (IsIllegalFolderName(QString::fromStdString(name)) || childNamed(parent, name))
        return nullptr;
    const std::string path = TempPathOfNode(parent) + name;
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        return nullptr;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return nullptr;
    // The disc's folders take their modes from these, and everyone who
    // reads the disc must be able to open them; the staging root above
    // stays private, so nobody reaches them here. The umask could take
    // bits off what mkdir was asked for.
    ::chmod(path.c_str(), 0755);
    auto node = std::make_unique<CompilationFolder>();
    node->name = name;
    node->parent = parent;
    CompilationFolder* added = node.get();
    parent->children.push_back(std::move(node));
    const int index = absoluteIndex(added);
    for (auto& record : records_)
        if (record.FolderIndex >= index)
            ++record.FolderIndex;
    return added;
}

bool Compilation::renameFolder(CompilationFolder* folder, const std::string& name)
{
    if (!folder->parent || IsIllegalFolderName(QString::fromStdString(name)))
        return false;
    if (CompilationFolder* other = childNamed(folder->parent, name); other && other != folder)
        return false;
    std::string from = TempPathOfNode(folder);
    from.pop_back();
    const std::string to = TempPathOfNode(folder->parent) + name;
    // A staged file of that name: renamed anyway, the tree would show a
    // folder the staging folder does not have.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0)
        return false;
    ::rename(from.c_str(), to.c_str());
    folder->name = name;
    return true;
}

void Compilation::removeFolder(CompilationFolder* folder, const std::function<void(const std::string&)>& deleting,
                               const std::function<void(const std::string&)>& failed)
{
    if (!folder || !folder->parent)
        return;
    while (!folder->children.empty())
        removeFolder(folder->children.back().get(), deleting, failed);
    const int index = absoluteIndex(folder);
    for (size_t i = 0; i < records_.size();) {
        if (records_[i].FolderIndex != index) {
            ++i;
            continue;
        }
        const std::string path = stagedPath(records_[i]);
        if (deleting)
            deleting(records_[i].StagedName);
        if (::unlink(path.c_str()) != 0 && errno != ENOENT && failed)
            failed(path);
        TotalSize -= records_[i].Size;
        records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    std::string path = TempPathOfNode(folder);
    path.pop_back();
    DeleteFolderContents(path);
    for (auto& record : records_)
        if (record.FolderIndex > index)
            --record.FolderIndex;
    auto& siblings = folder->parent->children;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(), [&](const auto& c) { return c.get() == folder; }));
}

int Compilation::findRecord(int folderIndex, const std::string& stagedName) const
{
    for (size_t i = 0; i < records_.size(); ++i)
        if (records_[i].FolderIndex == folderIndex && records_[i].StagedName == stagedName)
            return static_cast<int>(i);
    return -1;
}

std::vector<int> Compilation::recordsOf(int folderIndex) const
{
    std::vector<int> out;
    for (size_t i = 0; i < records_.size(); ++i)
        if (records_[i].FolderIndex == folderIndex)
            out.push_back(static_cast<int>(i));
    return out;
}

std::string Compilation::stagedPath(const CompilationFileRecord& record)
{
    return TempPathOfNode(folderAt(record.FolderIndex)) + record.StagedName;
}

bool Compilation::removeRecord(int index)
{
    if (index < 0 || index >= FileCount())
        return false;
    const std::string path = stagedPath(records_[static_cast<size_t>(index)]);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return false;
    TotalSize -= records_[static_cast<size_t>(index)].Size;
    records_.erase(records_.begin() + index);
    return true;
}

bool Compilation::renameRecord(int index, const std::string& newName)
{
    if (index < 0 || index >= FileCount() || newName.empty() || newName == "." || newName == ".." ||
        newName.find('/') != std::string::npos)
        return false;
    CompilationFileRecord& record = records_[static_cast<size_t>(index)];
    const std::string folder = TempPathOfNode(folderAt(record.FolderIndex));
    const std::string to = folder + newName;
    // rename() would silently replace another staged file of that name.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0)
        return false;
    if (::rename((folder + record.StagedName).c_str(), to.c_str()) != 0)
        return false;
    record.StagedName = newName;
    return true;
}

bool Compilation::isInsideStaging(const std::string& path) const
{
    const std::string real = RealPathOf(path);
    const std::string staging = RealPathOf(staging_);
    if (real.empty() || staging.empty())
        return false;
    return real == staging || real.rfind(WithTrailingSeparator(staging), 0) == 0;
}

CopyResult Compilation::copyIn(const std::string& source, const std::string& target, std::string* error) const
{
    if (isInsideStaging(source))
        return CopyResult::InsideStaging;
    // Only a regular file is read: a FIFO would block and a device would
    // never end.
    PosixFile in = OpenRegularFile(source, O_RDONLY | O_CLOEXEC);
    if (!in.isOpen()) {
        if (error)
            *error = FileReadErrorText(in.openError());
        return in.openError() == EISDIR || in.openError() == ENODEV ? CopyResult::NotRegular : CopyResult::Failed;
    }
    // A new copy is written in its place and removed again if it fails; a
    // replacement is written beside the old copy and renamed over it, so a
    // failure leaves the old copy as it was. Never a half file behind.
    struct stat existing {};
    const bool replace = ::lstat(target.c_str(), &existing) == 0;
    const std::string written = replace ? target + ".tunevale-part" : target;
    int out = ::open(written.c_str(), O_WRONLY | O_CREAT | (replace ? O_TRUNC : O_EXCL) | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        const int openErrno = errno;
        if (error)
            *error = std::strerror(openErrno);
        return openErrno == ENOSPC || openErrno == EDQUOT ? CopyResult::NoSpace : CopyResult::Failed;
    }
    bool ok = CopyBytes(in.fd(), out);
    int copyErrno = ok ? 0 : errno;
    struct stat st {};
    if (ok && ::fstat(in.fd(), &st) == 0) {
        // The disc shows the source's date, not the day it was staged.
        ::fchmod(out, (st.st_mode & 0777) | 0600);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        copyErrno = errno;
    }
    if (ok && replace && ::rename(written.c_str(), target.c_str()) != 0) {
        ok = false;
        copyErrno = errno;
    }
    if (!ok) {
        if (error)
            *error = std::strerror(copyErrno);
        ::unlink(written.c_str());
        return copyErrno == ENOSPC || copyErrno == EDQUOT ? CopyResult::NoSpace : CopyResult::Failed;
    }
    return CopyResult::Copied;
}
