#pragma once
// Reads audio CDs: the system's optical drives through libcdio and
// libcdio-paranoia, and the cue/bin images of the image folder as drives of
// their own. One instance is used by one thread at a time; the media change
// signal comes on the thread that owns the object.
//
// Images are read exactly, straight from the .bin, in every grab mode:
// they are exact by construction, and paranoia's overlap checks only ever
// lose samples there. Drives are read by paranoia on a reader thread under
// a no-progress deadline, so a disc that stops answering fails the read
// instead of freezing the caller.

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "components/audio/audioblock.h"
#include "components/audio/blocksource.h"
#include "components/disc/cddbclient.h"
#include "components/disc/cddbtext.h"
#include "platform/posixfile.h"

class QFileSystemWatcher;
class QTimer;
struct CdTrackReader;

class CdGrabber : public QObject, public BlockSource {
    Q_OBJECT
public:
    static constexpr int SampleRate = 44100;
    static constexpr int Channels = 2;
    static constexpr int FramesPerSector = 588;
    static constexpr int BytesPerSector = 2352;

    enum GrabMode { GrabBurst = 0, GrabSynch = 1, GrabSecure = 2, GrabParanoid = 3 };
    enum ErrorAction { ActionStop = 0, ActionSilence = 1, ActionCut = 2, ActionCorrect = 3 };

    explicit CdGrabber(QObject* parent = nullptr);
    ~CdGrabber() override;

    // Drives: the system's optical drives, then the good images of the image
    // folder (CdImageFolder() unless set), in name order, as they are at
    // this call (and at setImageFolder). Nothing is listed before: the
    // program makes its grabber at start-up without touching a drive.
    void refreshDrives();
    void setImageFolder(const std::string& folder);
    int driveCount() const;
    void setDriveIndex(int index);  // 1-based
    int driveIndex() const { return driveIndex_; }
    QString driveShortName() const;
    QString driveName() const;
    bool driveIsImage() const;
    // The device node or the .cue of the selected drive.
    std::string drivePath() const;

    // Reads the selected drive's table; trackCount() is 0 when there is no
    // disc, no audio track, or the table is impossible (a damaged image).
    bool readToc();
    int trackCount() const;
    // Why the last readToc found no tracks, for the log.
    const std::string& tocProblem() const { return tocProblem_; }
    const CdTableOfContents& tableOfContents() const { return toc_; }

    void setTrack(int track);  // 1-based
    int track() const { return track_; }
    int64_t trackDuration() const;  // ms
    int64_t trackLength() const;    // sample frames
    QString cddbTrackTitle() const;

    bool openTrack(int track);
    bool trackOpen() const { return reader_ != nullptr; }
    // 0 after a good call; AudioErrorDrive after a read that met a sector
    // it could not read (the error action says what the block holds).
    int lastError() const { return lastError_; }
    void closeTrack();
    int64_t position() const { return position_; }

    // The open track as a block source. open() takes the track number as
    // text. readBlock counts samples over both channels (half as many
    // frames): interleaved stereo at 44100 Hz, empty at the end of the
    // track. A read error leaves readFailed() and lastError() set, moves
    // the position past the block, and returns what the error action makes
    // of it: Stop nothing, Silence zeros for the bad sectors, Cut the block
    // without them, Correct the best data there is.
    bool open(const std::string& name) override;
    bool isOpen() const override { return trackOpen(); }
    void close() override { closeTrack(); }
    bool seek(int64_t frame) override;
    AudioBlock readBlock(int64_t count) override;
    bool readFailed() const override { return lastError_ != 0; }
    int64_t length() const override { return reader_ ? openLength_ : trackLength(); }
    int pcmRate() const override { return SampleRate; }
    int pcmChannels() const override { return Channels; }
    int64_t durationMs() const override { return length() * 1000 / SampleRate; }

    // Put before a rip, each the stored setting minus one.
    void setRipFlag(bool flag) { ripFlag_ = flag; }
    bool ripFlag() const { return ripFlag_; }
    void setGrabMode(int mode);
    int grabMode() const { return grabMode_; }
    void setErrorRetry(int retries);
    int errorRetry() const { return errorRetry_; }
    void setErrorAction(int action);
    int errorAction() const { return errorAction_; }
    void setDriveSpeed(int speed) { driveSpeed_ = speed; }
    int driveSpeed() const { return driveSpeed_; }
    // A drive that delivers no sector for this long fails the read.
    void setNoProgressDeadlineMs(int ms) { deadlineMs_ = ms; }
    // Reads images through paranoia as a drive is read: for the benchmark
    // and the tests of the drive path, never for a user's rip.
    void setParanoiaForImages(bool on) { paranoiaForImages_ = on; }
    // Tests of the deadline: the paranoia road waits this long per sector.
    void setSectorDelayForTests(int ms) { sectorDelayMs_ = ms; }

    // CD database. Source 2: the local cache, then the image's CD-TEXT; no
    // network. Source 1: the online database (blocking, one deadline; call
    // it off the GUI thread), whose find is cached, so the next source-2
    // query yields it.
    void setCddbServerAddress(const QString& host);
    void setCddbServerPort(const QString& port);
    void setCddbCGIScript(const QString& script);
    void setCddbTimeout(int ms);
    void setCddbCacheFolder(const std::string& folder) { cacheFolder_ = folder; }
    const std::string& cddbCacheFolder() const { return cacheFolder_; }
    bool cddbQuery(int source);
    // An online answer for the disc whose table was read last, found without
    // the grabber (a window's lookup on a worker): its texts become the
    // current ones, and each later source-2 query of this disc yields them,
    // whether or not the cache could keep them.
    void setCddbAnswer(const CddbRecord& record);
    QString cddbArtist() const { return QString::fromStdString(artist_); }
    QString cddbAlbum() const { return QString::fromStdString(album_); }
    QString cddbGenre() const { return QString::fromStdString(genre_); }
    const std::string& cddbError() const { return cddbError_; }

    // Watch for disc changes while a window shows the drives: drives are
    // polled every two seconds (not while a track is open), images are
    // watched as files. An image is changed only when its own .cue or .bin
    // is, and only the selected one's change is told: anything else in the
    // image folder leaves the disc the window shows alone.
    void setMediaPolling(bool on);

signals:
    void mediaChange();

private:
    struct Drive {
        bool image = false;
        std::string path;  // device node or .cue
        std::string binPath;
        std::string files;  // what the .cue and .bin were when last seen
        QString shortName;
        QString name;
    };
    struct Track {
        int32_t first = 0;
        int32_t last = -1;
        bool audio = true;
    };

    const Drive* drive() const;
    const Track* selected() const;
    void watchImages();
    void imageFolderChanged();
    bool readImageToc();
    void pollDrives();

    std::vector<Drive> drives_;
    std::string imageFolder_;
    int driveIndex_ = 1;
    std::vector<Track> tracks_;
    CdTableOfContents toc_;
    std::string tocProblem_;
    std::vector<std::string> cdTextTitles_;
    std::string cdTextArtist_, cdTextAlbum_;
    int track_ = 1;
    int firstTrackNumber_ = 1;

    std::shared_ptr<const PosixFile> imageBin_;  // the checked .bin of the table read last
    std::unique_ptr<CdTrackReader> reader_;
    int64_t position_ = 0;
    int64_t openLength_ = 0;
    int lastError_ = 0;
    std::vector<uint8_t> scratch_;
    std::vector<char> bad_;

    bool ripFlag_ = false;
    int grabMode_ = GrabBurst;
    int errorRetry_ = 4;
    int errorAction_ = ActionSilence;
    int driveSpeed_ = -1;
    int deadlineMs_ = 60000;
    bool paranoiaForImages_ = false;
    int sectorDelayMs_ = 0;

    CddbServer server_;
    std::string cacheFolder_;
    std::string artist_, album_, genre_;
    std::vector<std::string> titles_;
    std::string cddbError_;
    std::string lastOnlineId_;
    std::optional<CddbRecord> lastOnline_;

    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* debounce_ = nullptr;
    std::thread poller_;
    std::mutex pollMutex_;
    std::condition_variable pollWake_;
    bool pollOn_ = false;
    bool pollQuit_ = false;
    std::atomic<bool> trackIsOpen_{false};
    std::vector<std::string> pollDevices_;
};
