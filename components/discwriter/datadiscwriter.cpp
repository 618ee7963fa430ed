#include "components/discwriter/datadiscwriter.h"

// libisofs.h needs the fixed-width types and libburn's declarations first.
#include <stdint.h>
#include <libburn/libburn.h>
#include <libisofs/libisofs.h>
#include <libisoburn/libisoburn.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "components/disc/cdimages.h"
#include "components/discwriter/burndrive.h"
#include "components/discwriter/burnlibraries.h"
#include "components/discwriter/burnlibrary.h"
#include "components/discwriter/imagefiles.h"
#include "components/discwriter/imageparts.h"
#include "components/discwriter/isosession.h"
#include "components/disc/disclog.h"
#include "platform/ownedfiles.h"
#include "platform/paths.h"
#include "platform/posixfile.h"

// In C++ libburn declares its names inside namespace burn, while libisoburn
// names the same structures at global scope; both are the one C structure,
// so a pointer is passed from one side to the other as it is.
using namespace burn;
using IsoDrive = ::burn_drive;
using IsoDisc = ::burn_disc;

namespace {

burn::burn_drive* Lib(IsoDrive* d) { return reinterpret_cast<burn::burn_drive*>(d); }
burn::burn_disc* Lib(IsoDisc* d) { return reinterpret_cast<burn::burn_disc*>(d); }

// The first blocks of an image: its volume descriptors, which a finished
// session on an image file rewrites to point at itself.
constexpr int64_t kImageHeadBytes = 64 * 1024;
constexpr int kPollMs = 10;
// Where the first session of an image file starts, so that the blocks
// before it can point at the newest session.
constexpr int kFirstSessionBlock = 32;

// Free bytes, as 0 when the folder cannot be reached.
int64_t FreeBytesOf(const std::string& folder) { return std::max<int64_t>(FreeBytesIn(folder), 0); }

// A folder where a file can be made: a probe file is created and removed.
bool FolderWritable(const std::string& folder)
{
    std::string probe = JoinPath(folder, ".tunevale-probe-" + std::to_string(::getpid()));
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

bool ReadHead(const std::string& path, std::string* head)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    head->assign(kImageHeadBytes, '\0');
    ssize_t got = ::pread(fd, head->data(), head->size(), 0);
    ::close(fd);
    if (got < 0)
        return false;
    head->resize(static_cast<size_t>(got));
    return true;
}

// Puts an image back as it was before a session was added: its old length
// and its old first blocks.
bool RestoreImage(const std::string& path, int64_t size, const std::string& head)
{
    const PosixFile image(path, O_WRONLY | O_NOFOLLOW);
    return image.isOpen() && imagefiles::PutBack(image, size, head);
}

int ThreadCount()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    return 0;
}

// libburn reports a drive idle while the threads of a write still wind
// down, and refuses the next write on that drive until they are gone: the
// write ends when the process is back to its threads before the write. A
// thread that another part of the program starts meanwhile could keep the
// count up, so the wait is bounded.
void WaitForLibraryThreads(int before)
{
    for (int round = 0; round < 400 && ThreadCount() > before; ++round)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// A grabbed drive, released when it goes out of scope.
class Grab {
public:
    Grab() = default;
    Grab(const Grab&) = delete;
    Grab& operator=(const Grab&) = delete;
    ~Grab() { release(false); }

    // Flags: load the tray; leave ACLs and extended attributes of the
    // staged files out of the image.
    // A new image needs nothing of libisoburn: libburn alone grabs it.
    bool acquirePlain(const std::string& address)
    {
        std::string adr = address;
        if (burn_drive_scan_and_grab(&info_, adr.data(), 0) != 1 || !info_) {
            info_ = nullptr;
            return false;
        }
        plain_ = true;
        return true;
    }

    bool acquire(const std::string& address)
    {
        std::string adr = address;
        int flags = 1 | 32 | 64;
        ::burn_drive_info* infos = nullptr;
        if (isoburn_drive_aquire(&infos, adr.data(), flags) <= 0 || !infos) {
            info_ = nullptr;
            return false;
        }
        info_ = reinterpret_cast<burn::burn_drive_info*>(infos);
        return true;
    }
    IsoDrive* drive() const { return info_ ? reinterpret_cast<IsoDrive*>(info_[0].drive) : nullptr; }
    burn::burn_drive* lib() const { return info_ ? info_[0].drive : nullptr; }
    void release(bool eject)
    {
        if (!info_)
            return;
        if (plain_)
            burn_drive_release(info_[0].drive, eject ? 1 : 0);
        else
            isoburn_drive_release(drive(), eject ? 1 : 0);
        burn::burn_drive_info_free(info_);
        info_ = nullptr;
        plain_ = false;
    }
    bool plain() const { return plain_; }

private:
    burn::burn_drive_info* info_ = nullptr;
    bool plain_ = false;
};

int DiscTypeOfProfile(int profile)
{
    switch (profile) {
    case 0x00: return 0;
    case 0x0a: case 0x13: case 0x14: case 0x1a: case 0x43: case 0xffff: return 2;
    case 0x12: return 3;
    default: return 1;
    }
}

int DiscStatusOf(burn::burn_disc_status status)
{
    switch (status) {
    case BURN_DISC_BLANK: return 0;
    case BURN_DISC_APPENDABLE: return 1;
    case BURN_DISC_FULL: return 2;
    default: return 3;
    }
}


bool StartIsoLibraries()
{
    static const bool ok = [] {
        if (!InitializeBurnLibrary())
            return false;
        char message[1024] = {};
        if (isoburn_initialize(message, 0) <= 0) {
            qCWarning(lcDisc, "The ISO image library could not be started: %s", message);
            return false;
        }
        // libisoburn sets its own message levels; the program's stay.
        burn_msgs_set_severities(const_cast<char*>("NOTE"), const_cast<char*>("NEVER"), const_cast<char*>("libburn"));
        iso_set_msgs_severities(const_cast<char*>("NEVER"), const_cast<char*>("NEVER"), const_cast<char*>("libisofs"));
        return true;
    }();
    return ok;
}

DiscRecorder::Failure LibrariesFailure()
{
    const QString problem = BurnLibrariesProblem();
    return {DiscRecorder::NoRecorder, problem.isEmpty() ? QStringLiteral("The disc library could not be started.")
                                                        : QStringLiteral("The disc library could not be started: %1.").arg(problem)};
}

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string Local(const QString& s) { return QFile::encodeName(s).toStdString(); }

const QString kImagePrefix = QStringLiteral("stdio:");

void UsedAndFree(IsoDrive* d, int status, int64_t* used, int64_t* free)
{
    *used = 0;
    if (status == DiscRecorder::Open || status == DiscRecorder::Closed) {
        if (isoburn_toc_disc* toc = isoburn_toc_drive_get_disc(d)) {
            *used = static_cast<int64_t>(isoburn_toc_disc_get_sectors(toc)) * 2048;
            isoburn_toc_disc_free(toc);
        }
    }
    *free = static_cast<int64_t>(isoburn_disc_available_space(d, nullptr));
}

// The tree of the sessions already on a grabbed disc or image.
int ReadSessionTree(IsoDrive* d, IsoImage** image)
{
    isoburn_read_opts* readOpts = nullptr;
    isoburn_ropt_new(&readOpts, 0);
    isoburn_ropt_set_extensions(readOpts, isoburn_ropt_noiso1999 | isoburn_ropt_noaaip | isoburn_ropt_noacl |
                                              isoburn_ropt_noea | isoburn_ropt_noino | isoburn_ropt_nomd5);
    const int ret = isoburn_read_image(d, readOpts, image);
    isoburn_ropt_destroy(&readOpts, 0);
    return ret;
}

// Each path (a file, or a folder with its subtree) as an entry of the root.
QString AddPathsTo(IsoImage* image, const QStringList& paths)
{
    iso_tree_set_follow_symlinks(image, 0);
    iso_tree_set_ignore_hidden(image, 0);
    // FIFOs, sockets and devices are never read.
    iso_tree_set_ignore_special(image, 1 | 2 | 4 | 8);
    IsoDir* root = iso_image_get_root(image);
    for (const QString& path : paths) {
        const QByteArray local = QFile::encodeName(path);
        const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
        // A name already on the disc: the newer entry replaces it (added
        // beside it, the new one would get a mangled name).
        IsoNode* old = nullptr;
        if (iso_dir_get_node(root, name.constData(), &old) == 1 && old)
            iso_node_remove(old);
        IsoNode* node = nullptr;
        int ret = iso_tree_add_new_node(image, root, name.constData(), local.constData(), &node);
        if (ret >= 0 && node && iso_node_get_type(node) == LIBISO_DIR)
            ret = iso_tree_add_dir_rec(image, reinterpret_cast<IsoDir*>(node), local.constData());
        if (ret < 0)
            return QStringLiteral("%1 cannot be added: %2").arg(path, QString::fromUtf8(iso_error_to_msg(ret)));
    }
    return {};
}

// The volume id as the primary descriptor of a new image holds it:
// d-characters (capitals, digits, "_"), one "_" for any other character.
std::string DCharacters(const QString& label)
{
    std::string out;
    for (const char32_t c : label.toUcs4()) {
        if (out.size() == 32)
            break;
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')
            out += char(c);
        else if (c >= 'a' && c <= 'z')
            out += char(c - 'a' + 'A');
        else
            out += '_';
    }
    return out;
}

// The disc library writes the volume id of an added session as it stands,
// where a new image has it in d-characters; an image keeps one form in
// every session. The added session's primary descriptor and its copy at
// the image's start get the d-character form (the Joliet one keeps the
// id as typed).
bool WriteSessionVolumeId(const std::string& path, int64_t oldSize, const std::string& volumeId)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    constexpr off_t kBlock = 2048;
    std::string block(kBlock, '\0');
    // The added session starts past the old end, on a 32-block boundary;
    // its primary descriptor is the first one after that.
    off_t session = -1;
    const off_t first = (oldSize + kBlock - 1) / kBlock + 16;
    for (off_t b = first; session < 0 && b < first + 64; ++b) {
        if (::pread(fd, block.data(), kBlock, b * kBlock) != kBlock)
            break;
        if (block.compare(0, 7, "\x01" "CD001\x01") == 0)
            session = b;
    }
    bool ok = session >= 0;
    if (ok) {
        std::string field = volumeId;
        field.resize(32, ' ');
        for (const off_t at : {session * kBlock + 40, 16 * kBlock + 40})
            ok = ::pwrite(fd, field.data(), 32, at) == 32 && ok;
        ok = ::fsync(fd) == 0 && ok;
    }
    ::close(fd);
    return ok;
}

// Writes a new image's first blocks once its session is complete.
bool WriteHead(const std::string& path, const std::string& head)
{
    const PosixFile image(path, O_WRONLY | O_NOFOLLOW);
    return image.isOpen() && image.writeAt(0, {reinterpret_cast<const uint8_t*>(head.data()), head.size()}) &&
           image.sync();
}

}  // namespace

// One write under way: prepared on the recorder's thread, run and ended on
// the worker.
struct DataDiscWriter::Job {
    Grab grab;
    IsoDisc* disc = nullptr;        // made by libisoburn
    burn::burn_disc* plainDisc = nullptr;  // made here from the libisofs source
    burn::burn_write_opts* opts = nullptr;
    bool image = false;
    bool simulate = false;
    // What is written, as it stood when the write was asked for.
    QStringList paths;
    QString label;
    bool joliet = true;
    bool finalize = false;
    int speed = 0;
    std::string address;
    // Image targets: where libburn writes, and the name it gets when done.
    std::string writePath;
    std::string finalPath;
    // The new image's part, or the image appended to, stays open while it
    // is written: the mark of its writer, so that no other start takes it
    // for a killed one's.
    PosixFile partMark;
    // A new image: what its first blocks get once the session is written.
    std::string head;
    // An append to an existing image: how to put it back.
    bool append = false;
    int64_t oldSize = 0;
    std::string oldHead;
    bool recorded = false;  // the record of it is beside the image
    bool prepared = false;  // libisoburn holds a prepared session
    bool started = false;   // the write was handed to libburn
    int threadsBefore = 0;

    ~Job()
    {
        if (opts)
            burn_write_opts_free(opts);
        if (disc)
            burn_disc_free(Lib(disc));
        if (plainDisc)
            burn_disc_free(plainDisc);
    }
    burn::burn_disc* libDisc() const { return plainDisc ? plainDisc : Lib(disc); }

    // Takes back what a failed or stopped write put on an image target.
    void undo()
    {
        if (prepared && !started && grab.drive())
            isoburn_cancel_prepared_write(grab.drive(), nullptr, 0);
        prepared = false;
        grab.release(false);
        if (!image)
            return;
        if (append) {
            RestoreImage(writePath, oldSize, oldHead);
            if (recorded)
                imagefiles::ForgetAppend(writePath);
            recorded = false;
        } else if (!writePath.empty()) {
            ::unlink(writePath.c_str());
        }
    }
};

DataDiscWriter::DataDiscWriter(QObject* parent)
    : DiscRecorder(parent)
{
    imageFolder_ = QString::fromStdString(CdImageFolder());
    imageName_ = QString::fromUtf8(kDataImageName);
}

DataDiscWriter::~DataDiscWriter() { abort(); }

QString DataDiscWriter::imagePath() const { return imageFolder_ + QLatin1Char('/') + imageName_ + QStringLiteral(".iso"); }

void DataDiscWriter::addPath(const QString& path) { paths_ << path; }

void DataDiscWriter::clearImage() { paths_.clear(); }

QList<DiscRecorder::Device> DataDiscWriter::scanDevices()
{
    QList<Device> devices;
    if (drivesListed_)
        devices = BurnDrive::list();
    devices.push_back({QStringLiteral("ISO image "), QStringLiteral("(%1)").arg(imagePath()), QString(),
                       kImagePrefix + imagePath()});
    return devices;
}

QString DataDiscWriter::mediaSignature() const
{
    const int slot = deviceSlot();
    if (slot < 0 || slot >= devices().size())
        return {};
    if (isImage(slot))
        return FileSignature(imagePath());
    return DriveMediumSignature(devices()[slot].address);
}

bool DataDiscWriter::isImage(int index) const
{
    return index >= 0 && index < devices().size() && devices()[index].address.startsWith(kImagePrefix);
}

DiscRecorder::Failure DataDiscWriter::readDisc(int index, DiscState* state)
{
    usedBytes_ = freeBytes_ = 0;
    if (!StartIsoLibraries())
        return LibrariesFailure();
    if (isImage(index))
        return readImage(state);
    return readDrive(devices()[index].address, state);
}

DiscRecorder::Failure DataDiscWriter::readImage(DiscState* state)
{
    // An image is always rewritable: erasing frees it.
    state->type = Erasable;
    state->status = StatusUnknown;
    const std::string path = Local(imagePath());
    const std::string folder = Local(imageFolder_);
    CreateFolderPath(folder);
    const int64_t size = RegularFileSize(path);
    const bool exists = FileExists(path);
    if (!FolderWritable(folder) || (exists && (size < 0 || ::access(path.c_str(), W_OK) != 0))) {
        qCWarning(lcDisc, "%s cannot be written", path.c_str());
        return {};
    }
    // The host disk's room says nothing of the disc the image stands for.
    usedBytes_ = std::max<int64_t>(size, 0);
    freeBytes_ = std::max<int64_t>(ImageCapacityBytes - usedBytes_, 0);
    if (size <= 0) {
        state->status = Blank;
        return {};
    }
    TakeBurnMessages();
    Grab grab;
    if (!grab.acquire("stdio:" + path)) {
        qCWarning(lcDisc, "%s cannot be read: %s", path.c_str(), qPrintable(TakeBurnMessages()));
        return {};
    }
    state->status = DiscStatusOf(isoburn_disc_get_status(grab.drive()));
    return {};
}

DiscRecorder::Failure DataDiscWriter::readDrive(const QString& address, DiscState* state)
{
    TakeBurnMessages();
    Grab grab;
    if (!grab.acquire(Local(address))) {
        const QString mounted = MountPointOf(address);
        if (!mounted.isEmpty())
            return {NotWritable, QStringLiteral("The disc in %1 is mounted at %2; unmount it, then try again.")
                                     .arg(address, mounted)};
        const QString text = TakeBurnMessages();
        return {NoRecorder, text.isEmpty() ? QStringLiteral("%1 cannot be opened.").arg(address) : text};
    }
    IsoDrive* d = grab.drive();
    const burn::burn_disc_status status = isoburn_disc_get_status(d);
    if (status == BURN_DISC_EMPTY) {
        state->type = NoDisc;
        return {};
    }
    int profile = 0;
    char profileName[80] = {};
    burn_disc_get_profile(Lib(d), &profile, profileName);
    state->type = DiscTypeOfProfile(profile);
    state->status = DiscStatusOf(status);
    UsedAndFree(d, state->status, &usedBytes_, &freeBytes_);
    const double unit = profile >= 0x40 ? 4495.0 : (profile >= 0x10 ? 1385.0 : 176.4);
    burn_speed_descriptor* list = nullptr;
    if (burn_drive_get_speedlist(Lib(d), &list) > 0) {
        for (burn_speed_descriptor* s = list; s; s = s->next)
            if (s->write_speed > 0 && !state->speeds.contains(int(std::lround(s->write_speed / unit))))
                state->speeds.push_back(int(std::lround(s->write_speed / unit)));
        burn_drive_free_speedlist(&list);
    }
    return {};
}

DiscRecorder::Failure DataDiscWriter::startWrite(int index)
{
    noteOwnOperation();
    if (!StartIsoLibraries())
        return LibrariesFailure();
    if (paths_.isEmpty())
        return {NothingToWrite, QStringLiteral("Nothing to write.")};
    if (writeMode_ == 2)
        qCInfo(lcDisc, "Mode 2/XA was asked for; the disc is written in Mode 1.");
    TakeBurnMessages();
    auto job = std::make_unique<Job>();
    job->threadsBefore = ThreadCount();
    job->image = isImage(index);
    job->simulate = testMode();
    job->paths = paths_;
    job->label = volumeLabel_;
    job->joliet = fileSystem_ == 3;
    job->finalize = finalize();
    job->speed = writeSpeed();
    job->address = Local(devices()[index].address);
    // What can be told without the disc library is told at once; the rest
    // (grabbing the drive, reading the sessions already there) can take
    // long or never end and runs on the worker.
    if (job->image) {
        const std::string folder = Local(imageFolder_);
        const std::string target = Local(imagePath());
        CreateFolderPath(folder);
        job->finalPath = target;
        if (imagefiles::IsLink(target))
            return {NotWritable, imagefiles::LinkRefusal(target)};
        // Held from here while the session is added, so that neither this
        // start nor another takes a running append for a killed one and
        // puts the image back under its writer.
        PosixFile mark = MarkExistingFile(target);
        if (!mark.isOpen() && mark.openError() == 0)
            return {NotWritable, QStringLiteral("%1 is being written by another program.").arg(Q(target))};
        std::string restoreError;
        if (!imagefiles::RestoreInterruptedAppend(target, &restoreError))
            return {NotWritable, QString::fromStdString(restoreError)};
        const int64_t size = RegularFileSize(target);
        if (!FolderWritable(folder) || (FileExists(target) && (size < 0 || ::access(target.c_str(), W_OK) != 0)))
            return {NotWritable, QStringLiteral("%1 cannot be written.").arg(Q(target))};
        if (size > 0) {
            job->partMark = std::move(mark);
            if (!job->partMark.isOpen())
                return {NotWritable, QStringLiteral("%1 cannot be read.").arg(Q(target))};
            job->append = true;
            job->oldSize = size;
            if (!ReadHead(target, &job->oldHead))
                return {NotWritable, QStringLiteral("%1 cannot be read.").arg(Q(target))};
            job->writePath = target;
        } else {
            job->writePath = target + ".part";
            // A link at the name is our own leftover; a part another
            // process still writes stays, a killed one's goes.
            ClearAbandonedPart(job->writePath);
            job->partMark = CreateOwnedFile(job->writePath, O_WRONLY, 0644);
            if (!job->partMark.isOpen())
                return {NotWritable, QStringLiteral("%1 cannot be replaced.").arg(Q(job->writePath))};
        }
        job->address = "stdio:" + job->writePath;
    }
    Job* prepared = job.release();
    const int deadline = sessionReadDeadlineMs_;
    runWorker([this, prepared, deadline] {
        std::unique_ptr<Job> job(prepared);
        const Failure failure = job->image && !job->append ? prepareNewImage(job.get()) : prepareSession(job.get(), deadline);
        // A write libburn has begun is stopped by runJob, which cancels it.
        if (failure || (stopRequested() && !job->started)) {
            job->undo();
            endWork(failure);
            return;
        }
        runJob(job.release());
    });
    return {};
}

// Reads the file system of an image in a child process that is stopped at
// the deadline: the disc library walks a damaged tree without end, or
// until it crashes, and neither may happen to the program.
DiscRecorder::Failure DataDiscWriter::readSessionInChild(const std::string& path, int deadlineMs) const
{
    const pid_t child = ::fork();
    if (child < 0)
        return {NotWritable, QStringLiteral("%1 cannot be read: %2").arg(Q(path), QString::fromUtf8(std::strerror(errno)))};
    if (child == 0) {
        Grab grab;
        if (!grab.acquire("stdio:" + path))
            ::_exit(2);
        IsoImage* image = nullptr;
        const int ret = ReadSessionTree(grab.drive(), &image);
        ::_exit(ret > 0 && image ? 0 : 3);
    }
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    for (;;) {
        // The time is taken before the child's state, so a read that ends
        // past its deadline counts as late however the threads are scheduled.
        const bool late = std::chrono::steady_clock::now() - start > std::chrono::milliseconds(deadlineMs);
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child && !late)
            break;
        if (done < 0 && errno == EINTR)
            continue;
        if (done == child || done < 0 || late || stopRequested()) {
            if (done != child) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
            }
            if (stopRequested())
                return {};
            return {NotWritable, QStringLiteral("%1 cannot be appended to: reading its file system did not end within %2 "
                                                "seconds. Erase the image to write a new one.")
                                     .arg(Q(path))
                                     .arg(std::max(1, (deadlineMs + 999) / 1000))};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {NotWritable, QStringLiteral("%1 cannot be appended to: its file system cannot be read. Erase the image "
                                            "to write a new one.")
                                 .arg(Q(path))};
    return {};
}

// Grabs the recorder, reads the sessions already on the disc or image and
// makes the new one, which carries their tree; then starts the write.
DiscRecorder::Failure DataDiscWriter::prepareSession(Job* job, int deadlineMs)
{
    if (job->image) {
        const isosession::Check check = isosession::CheckImageFile(job->writePath);
        if (!check.ok)
            return {NotWritable, QStringLiteral("%1 cannot be appended to: its file system is damaged (%2). Erase the "
                                                "image to write a new one.")
                                     .arg(Q(job->writePath), QString::fromStdString(check.problem))};
        if (const Failure failure = readSessionInChild(job->writePath, deadlineMs))
            return failure;
        if (stopRequested())
            return {};
    }
    if (!job->grab.acquire(job->address)) {
        const QString text = TakeBurnMessages();
        return {NotWritable, text.isEmpty() ? QStringLiteral("The recorder cannot be opened.") : text};
    }
    IsoDrive* d = job->grab.drive();
    const burn::burn_disc_status status = isoburn_disc_get_status(d);
    if (status != BURN_DISC_BLANK && status != BURN_DISC_APPENDABLE)
        return {NotWritable, QStringLiteral("The disc is closed or cannot be written.")};

    // The tree of the sessions already there, to which this one adds.
    IsoImage* image = nullptr;
    int ret = ReadSessionTree(d, &image);
    if (ret <= 0 || !image) {
        const QString text = TakeBurnMessages();
        return {NotWritable, text.isEmpty() ? QStringLiteral("The disc's file system cannot be read.") : text};
    }
    iso_image_set_volume_id(image, job->label.toUtf8().left(32).constData());
    const QString addError = AddPathsTo(image, job->paths);
    iso_image_unref(image);  // the drive keeps its own reference
    if (!addError.isEmpty())
        return {SourceFailed, addError};

    isoburn_imgen_opts* genOpts = nullptr;
    isoburn_igopt_new(&genOpts, 0);
    // Level 3 lets a file over 4 GiB onto a DVD; names stay as at level 2.
    isoburn_igopt_set_level(genOpts, 3);
    isoburn_igopt_set_extensions(genOpts, isoburn_igopt_rockridge | (job->joliet ? isoburn_igopt_joliet : 0));
    isoburn_igopt_set_relaxed(genOpts, isoburn_igopt_allow_deep_paths);
    isoburn_igopt_set_sort_files(genOpts, 1);
    isoburn_igopt_set_fifo_size(genOpts, 4 * 1024 * 1024);
    ret = isoburn_prepare_disc(d, &job->disc, genOpts);
    isoburn_igopt_destroy(&genOpts, 0);
    if (ret <= 0 || !job->disc) {
        const QString text = TakeBurnMessages();
        return {WriteFailed, text.isEmpty() ? QStringLiteral("The image cannot be made.") : text};
    }
    job->prepared = true;

    job->opts = burn_write_opts_new(Lib(d));
    burn_write_opts_set_perform_opc(job->opts, 0);
    burn_write_opts_set_underrun_proof(job->opts, 1);
    burn_write_opts_set_simulate(job->opts, job->simulate ? 1 : 0);
    // Image files and overwritable media stay appendable through the
    // emulation; asking libburn for an open session there makes it refuse.
    const bool emulated = job->image || isoburn_needs_emulation(d) == 1;
    burn_write_opts_set_multi(job->opts, emulated ? 0 : (job->finalize ? 0 : 1));
    char reasons[BURN_REASONS_LEN] = {};
    if (burn_write_opts_auto_write_type(job->opts, Lib(job->disc), reasons, 0) == BURN_WRITE_NONE)
        return {NotWritable, QString::fromUtf8(reasons)};
    const int64_t needed = static_cast<int64_t>(burn_disc_get_sectors(Lib(job->disc))) * 2048;
    const int64_t available =
        static_cast<int64_t>(isoburn_disc_available_space(d, reinterpret_cast<::burn_write_opts*>(job->opts)));
    if (!job->simulate && needed > available)
        return {job->image ? NoSpace : CapacityExceeded,
                QStringLiteral("The session needs %1 bytes; %2 are free.").arg(needed).arg(available)};
    if (!job->image && job->speed > 0)
        burn_drive_set_speed(Lib(d), 0, int(job->speed * 176.4));
    if (job->append) {
        std::string error;
        if (!imagefiles::RecordAppend(job->writePath, job->oldSize, job->oldHead, &error))
            return {NotWritable, QStringLiteral("%1 cannot be appended to: %2").arg(Q(job->writePath), Q(error))};
        job->recorded = true;
    }
    isoburn_disc_write(reinterpret_cast<::burn_write_opts*>(job->opts), job->disc);
    job->started = true;
    return {};
}

// A new image is one plain session: libisofs makes it and its source goes
// straight to libburn, with no further buffer between them (libisoburn
// would add one, which only slows a file down). It starts at block 32, as
// the disc library lays out a first session on a file, and the image's
// first 32 blocks get a copy of its descriptors: an appended session
// rewrites that copy and leaves this session's own ones in place, so every
// session stays loadable.
DiscRecorder::Failure DataDiscWriter::prepareNewImage(Job* job)
{
    if (!job->grab.acquirePlain(job->address)) {
        const QString text = TakeBurnMessages();
        return {NotWritable, text.isEmpty() ? QStringLiteral("The image cannot be made.") : text};
    }
    burn::burn_drive* d = job->grab.lib();
    IsoImage* image = nullptr;
    if (iso_image_new(job->label.toUtf8().left(32).constData(), &image) < 0)
        return {WriteFailed, QStringLiteral("The image cannot be made.")};
    const QString addError = AddPathsTo(image, job->paths);
    if (!addError.isEmpty()) {
        iso_image_unref(image);
        return {SourceFailed, addError};
    }
    job->head.assign(kFirstSessionBlock * 2048, '\0');
    IsoWriteOpts* opts = nullptr;
    iso_write_opts_new(&opts, 0);
    // Level 3 lets a file over 4 GiB onto a DVD; names stay as at level 2.
    iso_write_opts_set_iso_level(opts, 3);
    iso_write_opts_set_rockridge(opts, 1);
    iso_write_opts_set_joliet(opts, job->joliet ? 1 : 0);
    iso_write_opts_set_allow_deep_paths(opts, 1);
    iso_write_opts_set_sort_files(opts, 1);
    iso_write_opts_set_fifo_size(opts, 4 * 1024 * 1024 / 2048);
    iso_write_opts_set_ms_block(opts, kFirstSessionBlock);
    iso_write_opts_set_overwrite_buf(opts, reinterpret_cast<uint8_t*>(job->head.data()));
    ::burn_source* isoSource = nullptr;
    const int made = iso_image_create_burn_source(image, opts, &isoSource);
    iso_write_opts_free(opts);
    iso_image_unref(image);
    if (made < 0 || !isoSource)
        return {WriteFailed, QString::fromUtf8(iso_error_to_msg(made))};
    auto* source = reinterpret_cast<burn::burn_source*>(isoSource);
    job->plainDisc = burn_disc_create();
    burn_session* session = burn_session_create();
    burn_track* track = burn_track_create();
    burn_track_define_data(track, 0, 0, 0, BURN_MODE1);
    burn_track_set_source(track, source);
    burn_session_add_track(session, track, BURN_POS_END);
    burn_disc_add_session(job->plainDisc, session, BURN_POS_END);
    burn_source_free(source);
    burn_track_free(track);
    burn_session_free(session);

    job->opts = burn_write_opts_new(d);
    burn_write_opts_set_perform_opc(job->opts, 0);
    burn_write_opts_set_multi(job->opts, 0);
    burn_write_opts_set_start_byte(job->opts, off_t(kFirstSessionBlock) * 2048);
    // One flush at the end, before the image takes its name, instead of one
    // every 16 MB that stalls the write on a disk that is not slow.
    burn_write_opts_set_stdio_fsync(job->opts, 1);
    burn_write_opts_set_simulate(job->opts, job->simulate ? 1 : 0);
    char reasons[BURN_REASONS_LEN] = {};
    if (burn_write_opts_auto_write_type(job->opts, job->plainDisc, reasons, 0) == BURN_WRITE_NONE)
        return {NotWritable, QString::fromUtf8(reasons)};
    const int64_t needed = (static_cast<int64_t>(burn_disc_get_sectors(job->plainDisc)) + kFirstSessionBlock) * 2048;
    const int64_t available = FreeBytesOf(ParentFolder(job->writePath));
    if (!job->simulate && needed > available)
        return {NoSpace, QStringLiteral("The image needs %1 bytes; %2 are free.").arg(needed).arg(available)};
    burn_disc_write(job->opts, job->plainDisc);
    job->started = true;
    return {};
}

void DataDiscWriter::runJob(Job* raw)
{
    std::unique_ptr<Job> job(raw);
    const int threadsBefore = job->threadsBefore;
    IsoDrive* d = job->grab.drive();
    const bool plain = job->grab.plain();
    postProgress(WriteOperation, FillingBuffer, 0);
    int lastPercent = 0;
    bool finalising = false;
    burn_progress p {};
    burn::burn_drive_status state;
    while ((state = burn_drive_get_status(Lib(d), &p)) != BURN_DRIVE_IDLE) {
        if (stopRequested())
            burn_drive_cancel(Lib(d));
        if (state == BURN_DRIVE_WRITING || state == BURN_DRIVE_WRITING_SYNC) {
            const int percent = p.sectors > 0 ? std::min(99, int(int64_t(p.sector) * 100 / p.sectors)) : 0;
            if (percent > lastPercent) {
                lastPercent = percent;
                postProgress(WriteOperation, WritingTrack, percent);
            }
        } else if ((state == BURN_DRIVE_CLOSING_SESSION || state == BURN_DRIVE_WRITING_LEADOUT) && !finalising) {
            finalising = true;
            postProgress(WriteOperation, ClosingTrack, 99);
            postProgress(FinalizeOperation, NoPhase, 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    const bool wroteWell = (plain ? burn_drive_wrote_well(Lib(d)) : isoburn_drive_wrote_well(d)) != 0;
    // A write libburn refused or broke off may say so only in its messages.
    const QString complaint = TakeBurnMessages();
    auto giveUp = [&](int code, const QString& text) {
        if (!plain) {
            isoburn_cancel_prepared_write(d, nullptr, 0);
            isoburn_sync_after_write(d, nullptr, 0);
        }
        job->undo();
        job.reset();
        WaitForLibraryThreads(threadsBefore + 1);
        if (code != NoError)
            postError(code, text);
    };
    if (stopRequested()) {
        giveUp(NoError, QString());
        return;
    }
    if (!wroteWell || !complaint.isEmpty()) {
        giveUp(WriteFailed, complaint.isEmpty() ? QStringLiteral("The write failed.") : complaint);
        return;
    }
    if (job->simulate) {
        if (!plain)
            isoburn_sync_after_write(d, nullptr, 0);
        job->undo();
        job.reset();
        WaitForLibraryThreads(threadsBefore + 1);
        finishOperation();
        return;
    }
    if (!finalising) {
        postProgress(WriteOperation, ClosingTrack, 99);
        postProgress(FinalizeOperation, NoPhase, 50);
    }
    // A new image gets its first blocks, which point at its session; an
    // added session still has to be made the one the disc's first blocks
    // point at.
    const int activated = plain ? 1 : isoburn_activate_session(d);
    if (!plain)
        isoburn_sync_after_write(d, nullptr, 0);
    QString text = TakeBurnMessages();
    job->grab.release(false);
    bool ok = activated > 0;
    if (ok && job->append && !WriteSessionVolumeId(job->writePath, job->oldSize, DCharacters(job->label)))
        qCWarning(lcDisc, "The volume id of the session added to %s stays as written.", job->writePath.c_str());
    if (ok && job->image && !job->append) {
        ok = WriteHead(job->writePath, job->head) && ::rename(job->writePath.c_str(), job->finalPath.c_str()) == 0;
        if (!ok)
            text = QStringLiteral("%1 cannot be completed: %2").arg(Q(job->writePath), QString::fromUtf8(std::strerror(errno)));
    }
    if (!ok) {
        job->undo();
        job.reset();
        WaitForLibraryThreads(threadsBefore + 1);
        postError(WriteFailed, text.isEmpty() ? QStringLiteral("The session cannot be closed.") : text);
        return;
    }
    if (job->recorded)
        imagefiles::ForgetAppend(job->writePath);
    job.reset();
    WaitForLibraryThreads(threadsBefore + 1);
    finishOperation();
}

void DataDiscWriter::cancelDevice(int index)
{
    // The worker sees the stop at its next look at the drive and cancels it
    // itself, so a drive it has not started yet is never touched from here.
}

DiscRecorder::Failure DataDiscWriter::startErase(int index, bool quick)
{
    noteOwnOperation();
    if (!StartIsoLibraries())
        return LibrariesFailure();
    if (isImage(index)) {
        // libisoburn's erase of a file spoils its first blocks and keeps
        // its size; cutting the file to nothing frees the space as well.
        const std::string path = Local(imagePath());
        if (imagefiles::IsLink(path))
            return {EraseFailed, imagefiles::LinkRefusal(path)};
        const PosixFile mark = MarkExistingFile(path);
        if (!mark.isOpen() && mark.openError() == 0)
            return {EraseFailed, QStringLiteral("%1 is being written by another program.").arg(Q(path))};
        // An append cut short is of no use once the image is emptied.
        imagefiles::ForgetAppend(path);
        const PosixFile image = OpenRegularFile(path, O_WRONLY | O_NOFOLLOW);
        const int why = image.isOpen() ? (image.truncate(0) ? 0 : errno) : image.openError();
        if (why != 0 && why != ENOENT)
            return {EraseFailed, QStringLiteral("%1 cannot be erased: %2").arg(Q(path), Q(FileReadErrorText(why)))};
        postProgress(EraseOperation, NoPhase, 0);
        finishOperation();
        return {};
    }
    const QString address = devices()[index].address;
    runWorker([this, address, quick] {
        TakeBurnMessages();
        Grab grab;
        if (!grab.acquire(Local(address))) {
            postError(NotErasable, TakeBurnMessages());
            return;
        }
        IsoDrive* d = grab.drive();
        if (!isoburn_disc_erasable(d)) {
            postError(NotErasable, QStringLiteral("The disc cannot be erased."));
            return;
        }
        isoburn_disc_erase(d, quick ? 1 : 0);
        postProgress(EraseOperation, NoPhase, 0);
        int lastPercent = 0;
        burn_progress p {};
        while (burn_drive_get_status(Lib(d), &p) != BURN_DRIVE_IDLE) {
            if (stopRequested())
                burn_drive_cancel(Lib(d));
            const int percent = p.sectors > 0 ? std::min(99, int(int64_t(p.sector) * 100 / p.sectors)) : 0;
            if (percent > lastPercent) {
                lastPercent = percent;
                postProgress(EraseOperation, NoPhase, percent);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const bool ok = burn_drive_wrote_well(Lib(d)) != 0;
        const QString text = TakeBurnMessages();
        grab.release(false);
        if (stopRequested())
            return;
        if (!ok)
            postError(EraseFailed, text.isEmpty() ? QStringLiteral("The erase failed.") : text);
        else
            finishOperation();
    });
    return {};
}

void DataDiscWriter::ejectDevice(int index)
{
    if (isImage(index) || !StartIsoLibraries())
        return;
    Grab grab;
    if (grab.acquire(Local(devices()[index].address)))
        grab.release(true);
}

void DataDiscWriter::closeTrayDevice(int index)
{
    if (isImage(index) || !StartIsoLibraries())
        return;
    Grab grab;  // acquiring loads the tray
    grab.acquire(Local(devices()[index].address));
}
