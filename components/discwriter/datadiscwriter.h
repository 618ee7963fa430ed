#pragma once
// Writes data discs: an ISO 9660 file system (Rock Ridge always, Joliet when
// asked) made from the paths handed to addPath, written to a real drive or
// to an ISO image file, appending a session to what the medium holds.
//
// Events keep the recorder contract: an error may be reported inside
// refresh(), write() and erase() themselves; progress always comes later
// from the event loop; a write ends with exactly one operation 3 at 100 %,
// an erase with operation 1 at 100 %, a failure with one error. Nothing is
// reported after abort(), which returns once the medium is back as it was.
//
// Image targets (decision of the disc tools): a new image is written as
// "<name>.part" and renamed when complete; an append that fails or is
// cancelled truncates the image back to its old size (and its first blocks,
// which a finished session rewrites, are put back); the target folder's
// writability and the free space are checked before a byte is written;
// erasing an image truncates it, so the space is freed.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DataDiscWriter : public QObject {
    Q_OBJECT
public:
    // One recorder of the list: a drive ("/dev/sr0") or an image file.
    struct Device {
        std::string address;  // device path, or the image file's path
        bool image = false;
        QString vendor, product, revision;
    };

    // currentOperation values
    static constexpr int kOperationErase = 1;
    static constexpr int kOperationWrite = 2;
    static constexpr int kOperationFinalise = 3;
    // error codes
    static constexpr int kErrorNoRecorder = -1;
    static constexpr int kErrorMedium = -2;
    static constexpr int kErrorImage = -3;
    static constexpr int kErrorWrite = -4;
    static constexpr int kErrorNoSpace = -5;
    static constexpr int kErrorBusy = -6;

    // The image file the ISO image recorder writes, in the image folder.
    static constexpr const char* kImageFileName = "data.iso";

    explicit DataDiscWriter(QObject* parent = nullptr);
    ~DataDiscWriter() override;

    // Lists the drives, then the ISO image recorder.
    void initialize();
    // Tests (and a session that knows its recorders) set the list itself.
    void setDevices(std::vector<Device> devices);
    int deviceCount() const { return static_cast<int>(devices_.size()); }
    int deviceIndex() const { return deviceIndex_; }
    void setDeviceIndex(int index);  // 1-based
    QString deviceVendor() const;
    QString deviceProduct() const;
    QString deviceRevision() const;
    const Device* currentDevice() const;

    // Reads the medium's type, status, sizes and speeds again.
    void refresh();
    int discType() const { return discType_; }      // 0 none, 1 write once, 2 erasable, 3 DVD-RAM
    int discStatus() const { return discStatus_; }  // 0 blank, 1 open, 2 closed, 3 not usable
    int64_t usedBytes() const { return usedBytes_; }
    int64_t getFreeBytes() const { return freeBytes_; }

    void setWriteSpeed(int factor) { writeSpeed_ = factor; }
    // The factor put, when the medium supports it; else the highest
    // supported one below it, or 0.
    int writeSpeed() const;
    void setTestMode(bool on) { testMode_ = on; }
    bool testMode() const { return testMode_; }
    void setFinalize(bool on) { finalize_ = on; }
    bool finalize() const { return finalize_; }

    void addPath(const QString& path);
    QStringList paths() const { return paths_; }
    void clearImage();
    void setVolumeLabel(const QString& label) { volumeLabel_ = label; }
    QString volumeLabel() const { return volumeLabel_; }
    void setFileSystem(int fileSystem) { fileSystem_ = fileSystem; }  // 3 with Joliet, 2 without
    int fileSystem() const { return fileSystem_; }
    // 2 (Mode 2/XA) is kept as asked but written as Mode 1: the disc
    // library writes data tracks in Mode 1 only.
    void setWriteMode(int mode) { writeMode_ = mode; }
    int writeMode() const { return writeMode_; }

    void write();
    void erase(bool quick);
    void abort();
    bool busy() const { return job_ != nullptr; }

    void eject();
    void closeTray();
    void unlockTray() {}
    void release();
    // No tray locks are held on Linux.
    int lockCount() const { return 0; }
    void setLockIndex(int) {}

    // Readable inside operationProgress.
    int currentOperation() const { return currentOperation_; }
    int writePhase() const { return writePhase_; }
    // What the disc library said about the last failure (for the log).
    QString lastErrorText() const { return lastErrorText_; }

signals:
    void operationProgress(int percent);
    void error(int code);
    void mediaChange();

private:
    struct Job;
    void fail(int code, const QString& text);
    void poll();
    void finishWrite(bool wroteWell);
    void finishErase(bool ok);
    void undoImage();
    void endJob();
    void progress(int operation, int phase, int percent);
    void refreshImage(const Device& device);
    void refreshDrive(const Device& device);

    std::vector<Device> devices_;
    int deviceIndex_ = 1;
    int discType_ = 0;
    int discStatus_ = 3;
    int64_t usedBytes_ = 0;
    int64_t freeBytes_ = 0;
    std::vector<int> speedsKBps_;
    int speedUnitKBps_ = 176;
    int writeSpeed_ = 0;
    bool testMode_ = false;
    bool finalize_ = false;
    QStringList paths_;
    QString volumeLabel_ = QStringLiteral("New Disc");
    int fileSystem_ = 3;
    int writeMode_ = 1;
    int currentOperation_ = 0;
    int writePhase_ = 0;
    QString lastErrorText_;
    std::unique_ptr<Job> job_;
    QTimer pollTimer_;
};

// The libburn address of an image file.
std::string StdioAddress(const std::string& path);
