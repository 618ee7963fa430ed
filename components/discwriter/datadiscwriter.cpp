#include "components/discwriter/datadiscwriter.h"

// libisofs.h needs the fixed-width types and libburn's declarations first.
#include <stdint.h>
#include <libburn/libburn.h>
#include <libisofs/libisofs.h>
#include <libisoburn/libisoburn.h>

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

#include "components/discwriter/imagefolder.h"
#include "platform/paths.h"

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

bool InitDiscLibraries()
{
    static const bool ok = [] {
        char message[1024] = {};
        if (isoburn_initialize(message, 0) <= 0) {
            qWarning("disc libraries: %s", message);
            return false;
        }
        // Messages are collected for the error text and the log; none goes
        // to the terminal.
        burn_msgs_set_severities(const_cast<char*>("SORRY"), const_cast<char*>("NEVER"),
                                 const_cast<char*>("tunevale : "));
        iso_set_msgs_severities(const_cast<char*>("NEVER"), const_cast<char*>("NEVER"),
                                const_cast<char*>("tunevale : "));
        return true;
    }();
    return ok;
}

// Everything the disc library queued since the last call, as one text.
QString TakeLibraryMessages()
{
    QStringList lines;
    int code = 0, osErrno = 0;
    char text[BURN_MSGS_MESSAGE_LEN] = {};
    char severity[80] = {};
    while (burn_msgs_obtain(const_cast<char*>("SORRY"), &code, text, &osErrno, severity) > 0) {
        QString line = QString::fromUtf8(text).trimmed();
        if (osErrno != 0)
            line += QStringLiteral(" (%1)").arg(QString::fromUtf8(std::strerror(osErrno)));
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

int64_t FileSize(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

int64_t FreeBytesOf(const std::string& folder)
{
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) != 0)
        return 0;
    return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
}

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
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
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
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, size) == 0;
    if (ok && !head.empty())
        ok = ::pwrite(fd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size());
    ok = ::fsync(fd) == 0 && ok;
    ::close(fd);
    return ok;
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
// write ends when the process is back to its threads before the write.
void WaitForLibraryThreads(int before)
{
    for (int round = 0; round < 2000 && ThreadCount() > before; ++round)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// Sysfs gives vendor, model and revision of a drive without opening it, so
// listing never holds a drive another program wants.
QString SysfsText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.read(256)).trimmed();
}

std::vector<DataDiscWriter::Device> OpticalDrives()
{
    std::vector<DataDiscWriter::Device> drives;
    QDir block(QStringLiteral("/sys/class/block"));
    const QStringList names = block.entryList({QStringLiteral("sr*")}, QDir::AllEntries | QDir::System, QDir::Name);
    for (const QString& name : names) {
        DataDiscWriter::Device d;
        d.address = "/dev/" + name.toStdString();
        QString base = block.filePath(name) + QStringLiteral("/device/");
        d.vendor = SysfsText(base + QStringLiteral("vendor")) + QLatin1Char(' ');
        d.product = SysfsText(base + QStringLiteral("model")) + QLatin1Char(' ');
        d.revision = SysfsText(base + QStringLiteral("rev"));
        drives.push_back(d);
    }
    return drives;
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
        isoburn_drive_release(drive(), eject ? 1 : 0);
        burn::burn_drive_info_free(info_);
        info_ = nullptr;
    }

private:
    burn::burn_drive_info* info_ = nullptr;
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

}  // namespace

std::string StdioAddress(const std::string& path) { return "stdio:" + path; }

// One write or erase under way.
struct DataDiscWriter::Job {
    int operation = kOperationWrite;
    Grab grab;
    IsoDisc* disc = nullptr;
    burn::burn_write_opts* opts = nullptr;
    bool aborting = false;
    bool image = false;
    bool simulate = false;
    // Image targets: where libburn writes, and the name it gets when done.
    std::string writePath;
    std::string finalPath;
    // An append to an existing image: how to put it back.
    bool append = false;
    int64_t oldSize = 0;
    std::string oldHead;
    int lastPercent = -1;
    int lastPhase = -1;
    int threadsBefore = 0;

    ~Job()
    {
        if (opts)
            burn_write_opts_free(opts);
        if (disc)
            burn_disc_free(Lib(disc));
    }
};

DataDiscWriter::DataDiscWriter(QObject* parent) : QObject(parent)
{
    pollTimer_.setInterval(kPollMs);
    connect(&pollTimer_, &QTimer::timeout, this, &DataDiscWriter::poll);
}

DataDiscWriter::~DataDiscWriter()
{
    if (job_)
        abort();
}

void DataDiscWriter::initialize()
{
    std::vector<Device> devices = OpticalDrives();
    Device image;
    image.image = true;
    image.address = JoinPath(CdImageFolder(), kImageFileName);
    image.vendor = QStringLiteral("ISO image ");
    image.product = QString::fromStdString(image.address);
    devices.push_back(image);
    setDevices(std::move(devices));
}

void DataDiscWriter::setDevices(std::vector<Device> devices)
{
    devices_ = std::move(devices);
    deviceIndex_ = 1;
    discType_ = 0;
    discStatus_ = 3;
    usedBytes_ = freeBytes_ = 0;
    speedsKBps_.clear();
}

void DataDiscWriter::setDeviceIndex(int index)
{
    if (job_)
        return;
    deviceIndex_ = index;
}

const DataDiscWriter::Device* DataDiscWriter::currentDevice() const
{
    if (deviceIndex_ < 1 || deviceIndex_ > deviceCount())
        return nullptr;
    return &devices_[static_cast<size_t>(deviceIndex_ - 1)];
}

QString DataDiscWriter::deviceVendor() const { return currentDevice() ? currentDevice()->vendor : QString(); }
QString DataDiscWriter::deviceProduct() const { return currentDevice() ? currentDevice()->product : QString(); }
QString DataDiscWriter::deviceRevision() const { return currentDevice() ? currentDevice()->revision : QString(); }

void DataDiscWriter::fail(int code, const QString& text)
{
    lastErrorText_ = text;
    if (!text.isEmpty())
        qWarning().noquote() << "data disc writer:" << text;
    emit error(code);
}

void DataDiscWriter::refresh()
{
    if (job_)
        return;
    discType_ = 0;
    discStatus_ = 3;
    usedBytes_ = freeBytes_ = 0;
    speedsKBps_.clear();
    const Device* device = currentDevice();
    if (!device || !InitDiscLibraries()) {
        fail(kErrorNoRecorder, QStringLiteral("no recorder"));
        return;
    }
    if (device->image)
        refreshImage(*device);
    else
        refreshDrive(*device);
}

void DataDiscWriter::refreshImage(const Device& device)
{
    // An image file is always rewritable: erasing frees it.
    discType_ = 2;
    const std::string folder = ParentFolder(device.address);
    CreateFolderPath(folder);
    const int64_t size = FileSize(device.address);
    const bool exists = FileExists(device.address);
    if (!FolderWritable(folder) || (exists && size < 0) || (exists && ::access(device.address.c_str(), W_OK) != 0)) {
        lastErrorText_ = QStringLiteral("%1 cannot be written").arg(QString::fromStdString(device.address));
        qWarning().noquote() << "data disc writer:" << lastErrorText_;
        return;
    }
    if (size <= 0) {
        discStatus_ = 0;
        freeBytes_ = FreeBytesOf(folder);
        return;
    }
    TakeLibraryMessages();
    Grab grab;
    if (!grab.acquire(StdioAddress(device.address))) {
        lastErrorText_ = TakeLibraryMessages();
        return;
    }
    discStatus_ = DiscStatusOf(isoburn_disc_get_status(grab.drive()));
    if (discStatus_ == 1 || discStatus_ == 2) {
        isoburn_toc_disc* toc = isoburn_toc_drive_get_disc(grab.drive());
        if (toc) {
            usedBytes_ = static_cast<int64_t>(isoburn_toc_disc_get_sectors(toc)) * 2048;
            isoburn_toc_disc_free(toc);
        }
    }
    freeBytes_ = static_cast<int64_t>(isoburn_disc_available_space(grab.drive(), nullptr));
}

void DataDiscWriter::refreshDrive(const Device& device)
{
    TakeLibraryMessages();
    Grab grab;
    if (!grab.acquire(device.address)) {
        lastErrorText_ = TakeLibraryMessages();
        qWarning().noquote() << "data disc writer:" << device.address.c_str() << lastErrorText_;
        return;
    }
    IsoDrive* d = grab.drive();
    int profile = 0;
    char profileName[80] = {};
    burn::burn_disc_status status = isoburn_disc_get_status(d);
    if (status == BURN_DISC_EMPTY) {
        discType_ = 0;
        return;
    }
    burn_disc_get_profile(Lib(d), &profile, profileName);
    discType_ = DiscTypeOfProfile(profile);
    discStatus_ = DiscStatusOf(status);
    if (discStatus_ == 1 || discStatus_ == 2) {
        isoburn_toc_disc* toc = isoburn_toc_drive_get_disc(d);
        if (toc) {
            usedBytes_ = static_cast<int64_t>(isoburn_toc_disc_get_sectors(toc)) * 2048;
            isoburn_toc_disc_free(toc);
        }
    }
    freeBytes_ = static_cast<int64_t>(isoburn_disc_available_space(d, nullptr));
    speedUnitKBps_ = profile >= 0x40 ? 4495 : (profile >= 0x10 ? 1385 : 176);
    burn_speed_descriptor* list = nullptr;
    if (burn_drive_get_speedlist(Lib(d), &list) > 0) {
        for (burn_speed_descriptor* s = list; s; s = s->next)
            if (s->write_speed > 0)
                speedsKBps_.push_back(s->write_speed);
        burn_drive_free_speedlist(&list);
    }
}

int DataDiscWriter::writeSpeed() const
{
    const double unit = speedUnitKBps_ == 176 ? 176.4 : speedUnitKBps_;
    int best = 0;
    for (int kbps : speedsKBps_) {
        const int factor = static_cast<int>(std::lround(kbps / unit));
        if (factor == writeSpeed_)
            return writeSpeed_;
        if (factor < writeSpeed_ && factor > best)
            best = factor;
    }
    return best;
}

void DataDiscWriter::addPath(const QString& path) { paths_ << path; }

void DataDiscWriter::clearImage() { paths_.clear(); }

void DataDiscWriter::progress(int operation, int phase, int percent)
{
    currentOperation_ = operation;
    writePhase_ = phase;
    emit operationProgress(percent);
}

void DataDiscWriter::write()
{
    if (job_) {
        fail(kErrorBusy, QStringLiteral("the recorder is busy"));
        return;
    }
    const Device* device = currentDevice();
    if (!device || !InitDiscLibraries()) {
        fail(kErrorNoRecorder, QStringLiteral("no recorder"));
        return;
    }
    if (writeMode_ == 2)
        qInfo("data disc writer: Mode 2/XA asked, the disc is written in Mode 1");
    TakeLibraryMessages();
    auto job = std::make_unique<Job>();
    job->threadsBefore = ThreadCount();
    job->image = device->image;
    job->simulate = testMode_;
    std::string address = device->address;
    if (device->image) {
        const std::string folder = ParentFolder(device->address);
        CreateFolderPath(folder);
        job->finalPath = device->address;
        const int64_t size = FileSize(device->address);
        if (!FolderWritable(folder) || (FileExists(device->address) && (size < 0 || ::access(device->address.c_str(), W_OK) != 0))) {
            fail(kErrorImage, QStringLiteral("%1 cannot be written").arg(QString::fromStdString(device->address)));
            return;
        }
        if (size > 0) {
            job->append = true;
            job->oldSize = size;
            if (!ReadHead(device->address, &job->oldHead)) {
                fail(kErrorImage, QStringLiteral("%1 cannot be read").arg(QString::fromStdString(device->address)));
                return;
            }
            job->writePath = device->address;
        } else {
            job->writePath = device->address + ".part";
            ::unlink(job->writePath.c_str());
        }
        address = StdioAddress(job->writePath);
    }
    if (!job->grab.acquire(address)) {
        if (job->image && !job->append)
            ::unlink(job->writePath.c_str());
        fail(kErrorMedium, TakeLibraryMessages());
        return;
    }
    IsoDrive* d = job->grab.drive();
    burn::burn_disc_status status = isoburn_disc_get_status(d);
    if (status != BURN_DISC_BLANK && status != BURN_DISC_APPENDABLE) {
        job_ = std::move(job);
        undoImage();
        job_.reset();
        fail(kErrorMedium, QStringLiteral("the disc cannot be written (closed or not usable)"));
        return;
    }

    // The tree of the sessions already there, to which this one adds.
    isoburn_read_opts* readOpts = nullptr;
    isoburn_ropt_new(&readOpts, 0);
    isoburn_ropt_set_extensions(readOpts, isoburn_ropt_noiso1999 | isoburn_ropt_noaaip | isoburn_ropt_noacl |
                                              isoburn_ropt_noea | isoburn_ropt_noino | isoburn_ropt_nomd5);
    IsoImage* image = nullptr;
    int ret = isoburn_read_image(d, readOpts, &image);
    isoburn_ropt_destroy(&readOpts, 0);
    if (ret <= 0 || !image) {
        QString text = TakeLibraryMessages();
        job_ = std::move(job);
        undoImage();
        job_.reset();
        fail(kErrorMedium, text.isEmpty() ? QStringLiteral("the disc's file system cannot be read") : text);
        return;
    }
    iso_image_set_volume_id(image, volumeLabel_.toUtf8().left(32).constData());
    iso_tree_set_follow_symlinks(image, 0);
    iso_tree_set_ignore_hidden(image, 0);
    // FIFOs, sockets and devices: never read.
    iso_tree_set_ignore_special(image, 1 | 2 | 4 | 8);
    IsoDir* root = iso_image_get_root(image);
    QString addError;
    for (const QString& path : std::as_const(paths_)) {
        const QByteArray local = QFile::encodeName(path);
        const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
        // A name already on the disc: the newer one replaces it (adding
        // beside it would give the new one a mangled name).
        IsoNode* old = nullptr;
        if (iso_dir_get_node(root, name.constData(), &old) == 1 && old)
            iso_node_remove(old);
        IsoNode* node = nullptr;
        ret = iso_tree_add_new_node(image, root, name.constData(), local.constData(), &node);
        if (ret >= 0 && node && iso_node_get_type(node) == LIBISO_DIR)
            ret = iso_tree_add_dir_rec(image, reinterpret_cast<IsoDir*>(node), local.constData());
        if (ret < 0) {
            addError = QStringLiteral("%1 cannot be added: %2").arg(path, QString::fromUtf8(iso_error_to_msg(ret)));
            break;
        }
    }
    iso_image_unref(image);  // the drive keeps its own reference
    if (!addError.isEmpty()) {
        job_ = std::move(job);
        undoImage();
        job_.reset();
        fail(kErrorWrite, addError);
        return;
    }

    isoburn_imgen_opts* genOpts = nullptr;
    isoburn_igopt_new(&genOpts, 0);
    // Level 3 lets a file over 4 GiB onto a DVD; names stay as at level 2.
    isoburn_igopt_set_level(genOpts, 3);
    isoburn_igopt_set_extensions(genOpts,
                                 isoburn_igopt_rockridge | (fileSystem_ == 3 ? isoburn_igopt_joliet : 0));
    isoburn_igopt_set_relaxed(genOpts, isoburn_igopt_allow_deep_paths);
    isoburn_igopt_set_sort_files(genOpts, 1);
    isoburn_igopt_set_fifo_size(genOpts, 4 * 1024 * 1024);
    ret = isoburn_prepare_disc(d, &job->disc, genOpts);
    isoburn_igopt_destroy(&genOpts, 0);
    if (ret <= 0 || !job->disc) {
        QString text = TakeLibraryMessages();
        job_ = std::move(job);
        undoImage();
        job_.reset();
        fail(kErrorWrite, text.isEmpty() ? QStringLiteral("the image cannot be made") : text);
        return;
    }

    job->opts = burn_write_opts_new(Lib(d));
    burn_write_opts_set_perform_opc(job->opts, 0);
    burn_write_opts_set_underrun_proof(job->opts, 1);
    burn_write_opts_set_simulate(job->opts, testMode_ ? 1 : 0);
    // Image files stay appendable through the emulation; asking libburn for
    // an open session there makes it refuse the write.
    burn_write_opts_set_multi(job->opts, (job->image || isoburn_needs_emulation(d) == 1) ? 0 : (finalize_ ? 0 : 1));
    char reasons[BURN_REASONS_LEN] = {};
    if (burn_write_opts_auto_write_type(job->opts, Lib(job->disc), reasons, 0) == BURN_WRITE_NONE) {
        isoburn_cancel_prepared_write(d, nullptr, 0);
        job_ = std::move(job);
        undoImage();
        job_.reset();
        fail(kErrorWrite, QString::fromUtf8(reasons));
        return;
    }
    const int64_t needed = static_cast<int64_t>(burn_disc_get_sectors(Lib(job->disc))) * 2048;
    const int64_t available = static_cast<int64_t>(isoburn_disc_available_space(d, reinterpret_cast<::burn_write_opts*>(job->opts)));
    if (!testMode_ && needed > available) {
        isoburn_cancel_prepared_write(d, nullptr, 0);
        job_ = std::move(job);
        undoImage();
        job_.reset();
        fail(kErrorNoSpace, QStringLiteral("the session needs %1 bytes, %2 are free").arg(needed).arg(available));
        return;
    }
    if (!job->image && writeSpeed_ > 0)
        burn_drive_set_speed(Lib(d), 0, static_cast<int>(writeSpeed_ * (speedUnitKBps_ == 176 ? 176.4 : speedUnitKBps_)));

    isoburn_disc_write(reinterpret_cast<::burn_write_opts*>(job->opts), job->disc);
    job_ = std::move(job);
    currentOperation_ = kOperationWrite;
    writePhase_ = 1;
    pollTimer_.start();
}

void DataDiscWriter::poll()
{
    if (!job_)
        return;
    burn_progress p {};
    burn::burn_drive_status state = burn_drive_get_status(job_->grab.lib(), &p);
    if (job_->operation == kOperationErase) {
        if (state == BURN_DRIVE_IDLE) {
            finishErase(burn_drive_wrote_well(job_->grab.lib()) != 0);
            return;
        }
        int percent = p.sectors > 0 ? static_cast<int>(int64_t(p.sector) * 100 / p.sectors) : 0;
        percent = std::min(percent, 99);
        if (percent != job_->lastPercent) {
            job_->lastPercent = percent;
            progress(kOperationErase, 0, percent);
        }
        return;
    }
    if (job_->lastPhase < 0) {
        // Every write shows its start, however fast the medium is.
        job_->lastPhase = 1;
        job_->lastPercent = 0;
        progress(kOperationWrite, 1, 0);
        return;
    }
    if (state == BURN_DRIVE_IDLE) {
        finishWrite(isoburn_drive_wrote_well(job_->grab.drive()) != 0);
        return;
    }
    int phase = 1, percent = 0;
    if (state == BURN_DRIVE_WRITING || state == BURN_DRIVE_WRITING_SYNC) {
        phase = 2;
        if (p.sectors > 0)
            percent = static_cast<int>(int64_t(p.sector) * 100 / p.sectors);
    } else if (state == BURN_DRIVE_CLOSING_TRACK) {
        phase = 3;
        percent = 100;
    } else if (state == BURN_DRIVE_CLOSING_SESSION || state == BURN_DRIVE_WRITING_LEADOUT) {
        if (job_->lastPhase != 4) {
            job_->lastPhase = 4;
            progress(kOperationFinalise, 0, 0);
        }
        return;
    }
    percent = std::clamp(percent, 0, 99);
    if (phase != job_->lastPhase || percent != job_->lastPercent) {
        job_->lastPhase = phase;
        job_->lastPercent = percent;
        progress(kOperationWrite, phase, percent);
    }
}

void DataDiscWriter::finishWrite(bool wroteWell)
{
    pollTimer_.stop();
    IsoDrive* d = job_->grab.drive();
    if (!wroteWell) {
        QString text = TakeLibraryMessages();
        isoburn_sync_after_write(d, nullptr, 0);
        undoImage();
        endJob();
        fail(kErrorWrite, text.isEmpty() ? QStringLiteral("the write failed") : text);
        return;
    }
    if (job_->simulate) {
        isoburn_sync_after_write(d, nullptr, 0);
        undoImage();
        endJob();
        progress(kOperationFinalise, 0, 100);
        return;
    }
    // A write libburn refused or broke off says so only in its messages.
    QString refused = TakeLibraryMessages();
    if (!refused.isEmpty()) {
        isoburn_sync_after_write(d, nullptr, 0);
        undoImage();
        endJob();
        fail(kErrorWrite, refused);
        return;
    }
    progress(kOperationFinalise, 0, 50);
    if (!job_)  // the listener aborted
        return;
    int activated = isoburn_activate_session(d);
    isoburn_sync_after_write(d, nullptr, 0);
    QString text = TakeLibraryMessages();
    job_->grab.release(false);
    bool ok = activated > 0;
    if (ok && job_->image && !job_->append) {
        ok = ::rename(job_->writePath.c_str(), job_->finalPath.c_str()) == 0;
        if (!ok)
            text = QStringLiteral("%1 cannot be renamed: %2")
                       .arg(QString::fromStdString(job_->writePath), QString::fromUtf8(std::strerror(errno)));
    }
    if (!ok) {
        undoImage();
        endJob();
        fail(kErrorWrite, text.isEmpty() ? QStringLiteral("the session cannot be closed") : text);
        return;
    }
    endJob();
    progress(kOperationFinalise, 0, 100);
}

void DataDiscWriter::undoImage()
{
    if (!job_ || !job_->image)
        return;
    job_->grab.release(false);
    if (job_->append)
        RestoreImage(job_->writePath, job_->oldSize, job_->oldHead);
    else if (!job_->writePath.empty())
        ::unlink(job_->writePath.c_str());
}

void DataDiscWriter::endJob()
{
    pollTimer_.stop();
    const int before = job_ ? job_->threadsBefore : 0;
    const bool wrote = job_ && job_->disc;
    job_.reset();
    if (wrote)
        WaitForLibraryThreads(before);
}

void DataDiscWriter::abort()
{
    if (!job_)
        return;
    pollTimer_.stop();
    job_->aborting = true;
    IsoDrive* d = job_->grab.drive();
    if (d) {
        burn_drive_cancel(Lib(d));
        burn_progress p {};
        // The write thread notices the cancel at its next block.
        for (int i = 0; i < 3000 && burn_drive_get_status(Lib(d), &p) != BURN_DRIVE_IDLE; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (job_->operation == kOperationWrite) {
            isoburn_cancel_prepared_write(d, nullptr, 0);
            isoburn_sync_after_write(d, nullptr, 0);
        }
    }
    TakeLibraryMessages();
    undoImage();
    endJob();
}

void DataDiscWriter::erase(bool quick)
{
    if (job_) {
        fail(kErrorBusy, QStringLiteral("the recorder is busy"));
        return;
    }
    const Device* device = currentDevice();
    if (!device || !InitDiscLibraries()) {
        fail(kErrorNoRecorder, QStringLiteral("no recorder"));
        return;
    }
    currentOperation_ = kOperationErase;
    writePhase_ = 0;
    if (device->image) {
        // Emulated erase on a file only spoils its first blocks and keeps
        // its size; cutting the file to nothing frees the space too.
        if (FileExists(device->address) && ::truncate(device->address.c_str(), 0) != 0) {
            fail(kErrorImage, QStringLiteral("%1 cannot be erased: %2")
                                  .arg(QString::fromStdString(device->address), QString::fromUtf8(std::strerror(errno))));
            return;
        }
        QTimer::singleShot(0, this, [this] {
            progress(kOperationErase, 0, 0);
            progress(kOperationErase, 0, 100);
        });
        return;
    }
    TakeLibraryMessages();
    auto job = std::make_unique<Job>();
    job->operation = kOperationErase;
    if (!job->grab.acquire(device->address)) {
        fail(kErrorMedium, TakeLibraryMessages());
        return;
    }
    if (!isoburn_disc_erasable(job->grab.drive())) {
        fail(kErrorMedium, QStringLiteral("the disc cannot be erased"));
        return;
    }
    isoburn_disc_erase(job->grab.drive(), quick ? 1 : 0);
    job_ = std::move(job);
    pollTimer_.start();
}

void DataDiscWriter::finishErase(bool ok)
{
    pollTimer_.stop();
    QString text = TakeLibraryMessages();
    endJob();
    if (!ok) {
        fail(kErrorWrite, text.isEmpty() ? QStringLiteral("the erase failed") : text);
        return;
    }
    progress(kOperationErase, 0, 100);
}

void DataDiscWriter::eject()
{
    const Device* device = currentDevice();
    if (job_ || !device || device->image || !InitDiscLibraries())
        return;
    Grab grab;
    if (grab.acquire(device->address))
        grab.release(true);
}

void DataDiscWriter::closeTray()
{
    const Device* device = currentDevice();
    if (job_ || !device || device->image || !InitDiscLibraries())
        return;
    Grab grab;  // acquiring loads the tray
    grab.acquire(device->address);
}

void DataDiscWriter::release()
{
    if (job_)
        abort();
    clearImage();
}
