#include "components/discwriter/imagefiles.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "components/disc/disclog.h"
#include "platform/atomicfile.h"
#include "platform/paths.h"
#include "platform/posixfile.h"

namespace imagefiles {

namespace {

const std::string kMagic = "TUNEVALE-APPEND-1\n";
// The head is the image's first 64 KiB; the record never needs more.
constexpr uint64_t kMaxRecordBytes = 1 << 20;

void PutNumber(std::string* out, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

bool GetNumber(const std::string& in, size_t at, uint64_t* value)
{
    if (in.size() < at + 8)
        return false;
    *value = 0;
    for (int i = 0; i < 8; ++i)
        *value |= uint64_t(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return true;
}

std::string SystemText(int error) { return std::strerror(error); }

}  // namespace

bool IsLink(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

QString LinkRefusal(const std::string& path)
{
    return QStringLiteral("%1 is a symbolic link. The image recorder writes only files of the image folder itself; "
                          "remove the link or choose another image folder.")
        .arg(QFile::decodeName(path.c_str()));
}

bool PutBack(const PosixFile& image, int64_t size, const std::string& head)
{
    const bool ok = image.truncate(static_cast<uint64_t>(size)) &&
                    image.writeAt(0, {reinterpret_cast<const uint8_t*>(head.data()), head.size()});
    const int why = errno;
    if (!image.sync())
        return false;
    errno = why;
    return ok;
}

std::string AppendRecordPath(const std::string& image) { return image + ".undo"; }

bool RecordAppend(const std::string& image, int64_t oldSize, const std::string& oldHead, std::string* error)
{
    std::string record = kMagic;
    PutNumber(&record, static_cast<uint64_t>(oldSize));
    PutNumber(&record, oldHead.size());
    record += oldHead;
    const std::string path = AppendRecordPath(image);
    if (IsLink(path))
        ::unlink(path.c_str());
    const AtomicWriteResult written = WriteFileAtomically(path, record);
    if (!written)
        *error = written.error;
    return bool(written);
}

void ForgetAppend(const std::string& image)
{
    const std::string path = AppendRecordPath(image);
    if (::unlink(path.c_str()) == 0)
        SyncFolder(ParentFolder(path));
}

bool RestoreInterruptedAppend(const std::string& image, std::string* error)
{
    const std::string path = AppendRecordPath(image);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return true;
    std::string record;
    if (!S_ISREG(st.st_mode) || !ReadRegularFile(path, kMaxRecordBytes, &record)) {
        *error = "The record of an interrupted append, " + path + ", cannot be read.";
        ::unlink(path.c_str());
        return false;
    }
    uint64_t oldSize = 0, headBytes = 0;
    if (record.compare(0, kMagic.size(), kMagic) != 0 || !GetNumber(record, kMagic.size(), &oldSize) ||
        !GetNumber(record, kMagic.size() + 8, &headBytes) || record.size() != kMagic.size() + 16 + headBytes) {
        *error = "The record of an interrupted append, " + path + ", is damaged.";
        ::unlink(path.c_str());
        return false;
    }
    const std::string head = record.substr(kMagic.size() + 16);
    const PosixFile file = OpenRegularFile(image, O_WRONLY | O_NOFOLLOW);
    if (!file.isOpen()) {
        const int why = file.openError();
        if (why == ENOENT) {
            ForgetAppend(image);
            return true;
        }
        *error = why == ELOOP ? LinkRefusal(image).toStdString()
                              : image + " cannot be put back as it was before an interrupted append: " +
                                    FileReadErrorText(why);
        return false;
    }
    uint64_t size = 0;
    bool ok = file.size(&size);
    // A shorter file is not the image the record was made for (it was
    // erased or replaced since): there is nothing of ours to take back.
    if (ok && size >= oldSize)
        ok = PutBack(file, static_cast<int64_t>(oldSize), head);
    if (!ok) {
        *error = image + " cannot be put back as it was before an interrupted append: " + SystemText(errno);
        return false;
    }
    if (size > oldSize)
        qCInfo(lcDisc, "%s was put back as it was before an interrupted append.", image.c_str());
    ForgetAppend(image);
    return true;
}

}  // namespace imagefiles
