// The main window's library work at size:
// - 10,000 generated MP3 files (ID3v1 tags) added through the add path with
//   "All Title" shown, against TagLib reading the same files' tags; and an
//   estimate of the plain loop (a whole-file scan per append, a repaint per
//   file) from a sample of it;
// - "All Title" filled from a 100,000-record library and sorted by title,
//   each against one bare read of "music.dat";
// - the start-up to the shown main window with that library.
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "components/player/audioplayer.h"
#include "components/player/nullpcmoutput.h"
#include "components/player/virtualclock.h"
#include "components/skin/skinengine.h"
#include "library/librarytree.h"
#include "library/main.h"
#include "library/records/trackfile.h"
#include "library/tracklistmodel.h"
#include "platform/fakes.h"
#include "platform/paths.h"
#include "tags/id3v1.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 10000;
constexpr int kLibrary = 100000;
constexpr int kPlainSample = 300;

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

volatile std::size_t sink = 0;

double taglibSeconds(const std::vector<std::string>& files) {
    const auto start = Clock::now();
    for (const std::string& f : files) {
        TagLib::FileRef ref(f.c_str(), false);
        if (!ref.isNull() && ref.tag())
            sink = sink + ref.tag()->title().size() + ref.tag()->artist().size() + ref.tag()->album().size() +
                   ref.tag()->comment().size() + ref.tag()->genre().size();
    }
    return secondsSince(start);
}

double bareReadSeconds(const std::string& file) {
    double best = 1e9;
    std::vector<char> buffer(fs::file_size(file));
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        std::size_t got = 0;
        while (got < buffer.size()) {
            const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        ::close(fd);
        best = std::min(best, secondsSince(start));
        sink = sink + got;
    }
    return best;
}

void pointDataAt(const std::string& home) {
    fs::create_directories(home);
    ::setenv("TUNEVALE_HOME", home.c_str(), 1);
}

// A shown main window whose start-up has run.
Tfm_main* startWindow() {
    auto* w = new Tfm_main;
    w->Parameters.clear();
    fm_main = w;
    w->show();
    while (w->Skin->appliedSection(w).isEmpty()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    return w;
}

void closeWindow(Tfm_main* w) {
    delete w;
    fm_main = nullptr;
}

std::string recordPath(int i) {
    return "/home/listener/Music/Artist " + std::to_string(i % 700) + "/Album " + std::to_string(i % 97) + "/" +
           std::to_string(i) + " - Some Track Title.mp3";
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char tmpl[] = "/tmp/bench_library_XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    ::setenv("TUNEVALE_CONFIG_DIR", (dir + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir + "/xdg").c_str(), 1);
    QApplication app(argc, argv);
    VirtualClock clock;
    AudioPlayer::setOutputFactory([&clock] { return std::make_unique<NullPcmOutput>(&clock); });
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;

    // --- 10,000 MP3 files through the add path ---
    const std::string base = dir + "/base.mp3";
    const std::string encode = "ffmpeg -v error -y -f lavfi -i sine=duration=0.5 -c:a libmp3lame -id3v2_version 0 " + base;
    if (std::system(encode.c_str()) != 0) {
        std::fprintf(stderr, "ffmpeg could not make the MP3 sample\n");
        return 1;
    }
    fs::create_directories(dir + "/mp3");
    std::vector<std::string> files;
    QStringList chosen;
    for (int i = 0; i < kFiles; ++i) {
        const std::string f = dir + "/mp3/track " + std::to_string(i) + ".mp3";
        fs::copy_file(base, f);
        ID3v1Block tag = ID3v1Block::Empty();
        tag.setTitle("Title " + std::to_string(i));
        tag.setArtist("Artist " + std::to_string(i % 300));
        tag.setAlbum("Album " + std::to_string(i % 900));
        tag.setComment("generated");
        tag.setGenre(i % 148);
        WriteID3v1Tag(f, tag);
        files.push_back(f);
        chosen << QString::fromStdString(f);
    }
    taglibSeconds(files);  // both read from a warm cache
    double taglib = 1e9;
    for (int round = 0; round < 5; ++round) taglib = std::min(taglib, taglibSeconds(files));

    // Best of five adds, each into an empty library of its own, against the
    // best of five TagLib passes: both sides see the same warm cache, and a
    // disk's hiccup in one round does not decide the ratio.
    double ours = 1e9;
    int rows = 0;
    Tfm_main* w = nullptr;
    for (int round = 0; round < 5; ++round) {
        if (w) closeWindow(w);
        pointDataAt(dir + "/add" + std::to_string(round));
        w = startWindow();
        w->TreeView1->setCurrentItem(w->TreeView1->allTitleNode());
        w->TreeView1Click();
        dialogs.chooseNext(chosen);
        const auto start = Clock::now();
        w->AddFilesToLibrary();
        ours = std::min(ours, secondsSince(start));
        rows = w->ListModel->rowCount();
    }
    auto start = Clock::now();

    // The plain loop on a sample: before each append a scan of the whole
    // file for the path, after it a row shown and repainted at once. The
    // scans grow with the file, so over an add into an empty library they
    // cost half of what they cost at its full size.
    double scanPerFile = 0, repaintPerFile = 0;
    {
        const std::string musicDat = w->MusicFile();
        start = Clock::now();
        for (int i = 0; i < kPlainSample; ++i) {
            bool found = false;
            ForEachTrackRecord(musicDat, [&](const TrackRecord& r, std::size_t) {
                found = r.Path == files[static_cast<std::size_t>(kFiles - 1 - i)];
                return !found;
            });
        }
        scanPerFile = secondsSince(start) / kPlainSample;
        start = Clock::now();
        for (int i = 0; i < kPlainSample; ++i) {
            w->ListModel->appendRows({ListRow{ReadTrackRecordAt(musicDat, static_cast<std::size_t>(i)), true}});
            w->lv_playlist->scrollToBottom();
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
        }
        repaintPerFile = secondsSince(start) / kPlainSample;
    }
    const double plainEstimate = kFiles * (scanPerFile / 2 + repaintPerFile);
    closeWindow(w);

    std::printf("Adding %d MP3 files with \"All Title\" shown\n", kFiles);
    std::printf("  add path          %8.3f s  (%d rows shown)\n", ours, rows);
    std::printf("  TagLib tag reads  %8.3f s\n", taglib);
    std::printf("  ratio add / TagLib  %.2f  (limit 1.50)\n", ours / taglib);
    std::printf("  plain loop, estimated from %d files: %.0f s (scan %.2f ms, repaint %.2f ms per file)\n", kPlainSample,
                plainEstimate, scanPerFile * 1e3, repaintPerFile * 1e3);

    // --- a 100,000-record library ---
    const std::string bigHome = dir + "/big";
    pointDataAt(bigHome);
    const std::string musicDat = bigHome + "/record/music.dat";
    fs::create_directories(bigHome + "/record");
    {
        TrackFileWriter writer(musicDat);
        for (int i = 0; i < kLibrary; ++i) {
            TrackRecord r;
            r.Path = recordPath(i);
            r.Title = "Some Track Title " + std::to_string((i * 7919) % kLibrary);
            r.Artist = "Artist " + std::to_string(i % 700);
            r.Album = "Album " + std::to_string(i % 97);
            r.Genre = "Rock";
            r.Year = "1999";
            r.DateAdded = 45000.5 + i % 1000;
            writer.append(r);
        }
        writer.close();
    }
    const double bare = bareReadSeconds(musicDat);

    start = Clock::now();
    w = startWindow();
    const double startup = secondsSince(start);

    w->TreeView1->setCurrentItem(w->TreeView1->allTitleNode());
    start = Clock::now();
    w->TreeView1Click();
    QCoreApplication::processEvents();
    const double fill = secondsSince(start);
    start = Clock::now();
    w->lv_playlistColumnClick(0);
    QCoreApplication::processEvents();
    const double sort = secondsSince(start);
    const int bigRows = w->ListModel->rowCount();
    closeWindow(w);

    std::printf("Library of %d records (%d rows listed)\n", kLibrary, bigRows);
    std::printf("  bare read of music.dat  %8.4f s\n", bare);
    std::printf("  fill \"All Title\"        %8.4f s  ratio %.1f  (limit 20)\n", fill, fill / bare);
    std::printf("  sort by title           %8.4f s  ratio %.1f  (limit 20)\n", sort, sort / bare);
    std::printf("  start-up to the shown main window  %.3f s\n", startup);

    AudioPlayer::setOutputFactory({});
    fs::remove_all(dir);
    return 0;
}
