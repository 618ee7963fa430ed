// The library rescan and the playlist import at size, each beside TagLib
// reading the same files' tags in the same run:
// - a generated folder tree of 10,000 tagged MP3 and OGG files (and of
//   100,000, for the growth) rescanned into a library of 100,000 records
//   with "All Title" shown, against TagLib after a plain walk of the folders,
//   with the pauses of the window's event handling during the rescan;
// - a 10,000-entry M3U imported as a library playlist, against TagLib after
//   a plain read of the list's lines.
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/benchsupport.h"
#include "components/player/audioplayer.h"
#include "components/player/nullpcmoutput.h"
#include "components/player/virtualclock.h"
#include "components/skin/skinengine.h"
#include "library/librarytree.h"
#include "library/main.h"
#include "library/mainfilter.h"
#include "library/records/trackfile.h"
#include "library/tracklistmodel.h"
#include "library/treetext.h"
#include "platform/fakes.h"
#include "platform/paths.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "tags/ogg/oggtag.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLibrary = 100000;
constexpr int kBenchArtistEvery = 500;  // 200 of the 100,000 records

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

TrackRecord libraryRecord(int i) {
    TrackRecord r;
    r.Path = recordPath(i);
    r.Title = "Some Track Title " + std::to_string((i * 7919) % kLibrary);
    r.Artist = i % kBenchArtistEvery == 0 ? "Bench Artist" : "Artist " + std::to_string(i % 700);
    r.Album = i % kBenchArtistEvery == 0 ? "Bench Album" : "Album " + std::to_string(i % 97);
    r.Genre = "Rock";
    r.Year = "1999";
    r.DateAdded = 45000.5 + i % 1000;
    return r;
}


constexpr int kScanFiles = 10000;
constexpr int kScanFilesLarge = 100000;
constexpr int kTemplates = 200;

bool isAudioName(const fs::path& p) {
    const std::string ext = p.extension().string();
    return ext == ".mp3" || ext == ".ogg";
}

// Copies of tagged templates: 7 of 10 MP3 files with an ID3v2 tag and an
// ID3v1 block, 3 of 10 Ogg Vorbis files with their comments; 20 tracks to
// an album folder, 5 albums to an artist folder.
std::vector<std::string> makeScanTree(const std::string& root, int count, const std::vector<std::string>& mp3s,
                                      const std::vector<std::string>& oggs) {
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        const int album = i / 20, artist = album / 5;
        const std::string folder =
            root + "/Artist " + std::to_string(artist) + "/Album " + std::to_string(album);
        if (i % 20 == 0) fs::create_directories(folder);
        const bool ogg = i % 10 >= 7;
        const std::vector<std::string>& from = ogg ? oggs : mp3s;
        const std::string f = folder + "/" + std::to_string(i) + " Track" + (ogg ? ".ogg" : ".mp3");
        fs::copy_file(from[static_cast<std::size_t>(i) % from.size()], f);
        files.push_back(f);
    }
    return files;
}

double taglibWalkSeconds(const std::string& root) {
    const auto start = Clock::now();
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && isAudioName(entry.path())) files.push_back(entry.path().string());
    taglibSeconds(files);
    return secondsSince(start);
}

double taglibListSeconds(const std::string& m3u) {
    const auto start = Clock::now();
    std::ifstream in(m3u);
    std::vector<std::string> files;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') files.push_back(line);
    }
    taglibSeconds(files);
    return secondsSince(start);
}

struct ScanRun {
    double seconds = 0;
    int found = 0;
    int rows = 0;
    double firstPauseMs = 0;  // from the start to the window's first event pass
    std::vector<double> laterPausesMs;  // every pause after the first pump
    int pumps = 0;
};

// One rescan of folder into a copy of the pristine library, "All Title"
// shown with every record.
ScanRun rescanOnce(const std::string& home, const std::string& pristine, const LibraryTreeContent& content,
                   const std::string& folder) {
    fs::remove_all(home);
    fs::create_directories(home + "/record");
    fs::copy_file(pristine, home + "/record/music.dat");
    pointDataAt(home);
    Tfm_main* w = startWindow();
    w->TreeView1->setContent(content);
    w->TreeView1->setCurrentItem(w->TreeView1->allTitleNode());
    w->TreeView1Click();
    QCoreApplication::processEvents();

    Tfm_dir dir;
    dir.ScanFolder = folder;
    ScanRun run;
    QElapsedTimer sinceEvents;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double pause = sinceEvents.nsecsElapsed() / 1e6;
        if (run.pumps == 0) run.firstPauseMs = pause;
        else run.laterPausesMs.push_back(pause);
        ++run.pumps;
        sinceEvents.restart();
    });
    tick.start();
    sinceEvents.start();
    const auto start = Clock::now();
    dir.Button1Click();
    run.seconds = secondsSince(start);
    tick.stop();
    run.found = dir.ScanCount();
    run.rows = w->ListModel->rowCount();
    closeWindow(w);
    return run;
}

void benchRescanAndImport(const std::string& dir, const std::string& pristine, const LibraryTreeContent& content) {
    const std::string mp3Base = dir + "/scan-base.mp3", oggBase = dir + "/scan-base.ogg";
    const std::string encode = "ffmpeg -v error -y -f lavfi -i sine=duration=0.2 -c:a libmp3lame -id3v2_version 0 " +
                               mp3Base + " && ffmpeg -v error -y -f lavfi -i sine=duration=0.2 -c:a libvorbis " +
                               oggBase;
    if (std::system(encode.c_str()) != 0) {
        std::fprintf(stderr, "ffmpeg could not make the rescan samples\n");
        return;
    }
    std::vector<std::string> mp3s, oggs;
    fs::create_directories(dir + "/templates");
    for (int t = 0; t < kTemplates; ++t) {
        const std::string n = std::to_string(t);
        const std::string mp3 = dir + "/templates/" + n + ".mp3", ogg = dir + "/templates/" + n + ".ogg";
        fs::copy_file(mp3Base, mp3);
        ID3v1Block tag = ID3v1Block::Empty();
        tag.setTitle("Title " + n);
        tag.setArtist("Bench Artist " + std::to_string(t % 40));
        tag.setAlbum("Bench Album " + n);
        tag.setGenre(t % 148);
        WriteID3v1Tag(mp3, tag);
        WriteID3v2Tag(mp3, {"Title " + n, "Bench Artist " + std::to_string(t % 40), "Bench Album " + n, "2004", "",
                            "generated", "Rock"});
        fs::copy_file(oggBase, ogg);
        OGGTag comments;
        comments.Title = "Ogg Title " + n;
        comments.Artist = "Ogg Artist " + std::to_string(t % 40);
        comments.Album = "Ogg Album " + n;
        comments.Genre = "Jazz";
        comments.Date = "2011";
        WriteOggTag(ogg, comments);
        mp3s.push_back(mp3);
        oggs.push_back(ogg);
    }

    const std::string small = dir + "/scan10k", large = dir + "/scan100k";
    const std::vector<std::string> smallFiles = makeScanTree(small, kScanFiles, mp3s, oggs);
    makeScanTree(large, kScanFilesLarge, mp3s, oggs);

    // Both sides read from a warm cache; the best of three of each.
    taglibWalkSeconds(small);
    double taglibSmall = 1e9;
    for (int round = 0; round < 3; ++round) taglibSmall = std::min(taglibSmall, taglibWalkSeconds(small));
    ScanRun best;
    best.seconds = 1e9;
    double firstPause = 0;
    std::vector<double> laterPauses;
    for (int round = 0; round < 3; ++round) {
        const ScanRun run = rescanOnce(dir + "/rescan", pristine, content, small);
        firstPause = std::max(firstPause, run.firstPauseMs);
        laterPauses.insert(laterPauses.end(), run.laterPausesMs.begin(), run.laterPausesMs.end());
        if (run.seconds < best.seconds) best = run;
    }
    taglibWalkSeconds(large);
    const double taglibLarge = taglibWalkSeconds(large);
    const ScanRun largeRun = rescanOnce(dir + "/rescan", pristine, content, large);
    firstPause = std::max(firstPause, largeRun.firstPauseMs);
    laterPauses.insert(laterPauses.end(), largeRun.laterPausesMs.begin(), largeRun.laterPausesMs.end());
    std::sort(laterPauses.begin(), laterPauses.end());

    std::printf("Rescanning a folder tree of tagged MP3 and OGG files into a library of %d records, \"All Title\" shown\n",
                kLibrary);
    auto line = [](int files, const ScanRun& run, double taglib) {
        std::printf("  %6d files: rescan %7.3f s (%d found, %d rows, %d pumps)  TagLib after a walk %7.3f s  ratio %.2f  "
                    "(limit 1.50)\n",
                    files, run.seconds, run.found, run.rows, run.pumps, taglib, run.seconds / taglib);
    };
    line(kScanFiles, best, taglibSmall);
    line(kScanFilesLarge, largeRun, taglibLarge);
    std::printf("  per file: %.1f us at %d, %.1f us at %d (growth %.2f, linear 1.00)\n", best.seconds / kScanFiles * 1e6,
                kScanFiles, largeRun.seconds / kScanFilesLarge * 1e6, kScanFilesLarge,
                (largeRun.seconds / kScanFilesLarge) / (best.seconds / kScanFiles));
    // Before the first pump the first file's record waits for the library's
    // path index, which is read from the whole of music.dat.
    if (!laterPauses.empty())
        std::printf("  time between the window's event passes after the first: median %.1f ms, 95th percentile %.1f ms, "
                    "longest %.1f ms (goal 30, %zu passes); before the first %.1f ms\n",
                    laterPauses[laterPauses.size() / 2], laterPauses[laterPauses.size() * 95 / 100], laterPauses.back(),
                    laterPauses.size(), firstPause);

    // --- a 10,000-entry M3U into a library playlist ---
    const std::string m3u = dir + "/bench import.m3u";
    {
        std::ofstream out(m3u, std::ios::binary);
        out << "#EXTM3U\r\n";
        for (const std::string& f : smallFiles) out << "#EXTINF:1," << fs::path(f).filename().string() << "\r\n" << f << "\r\n";
    }
    pointDataAt(dir + "/import");
    fs::create_directories(dir + "/import/record");
    Tfm_main* w = startWindow();
    taglibListSeconds(m3u);
    double taglibImport = 1e9, import = 1e9;
    for (int round = 0; round < 3; ++round) {
        taglibImport = std::min(taglibImport, taglibListSeconds(m3u));
        const auto start = Clock::now();
        w->ImportPlaylistFile(QString::fromStdString(m3u));
        import = std::min(import, secondsSince(start));
    }
    const std::size_t imported = TrackRecordCount(JoinPath(dir + "/import/playlist", "bench import_m3u.dat"));
    closeWindow(w);
    std::printf("Importing an M3U of %d entries as a library playlist (%zu records)\n", kScanFiles, imported);
    std::printf("  import %8.3f s  TagLib after reading the lines %8.3f s  ratio %.2f  (limit 1.50)\n", import,
                taglibImport, import / taglibImport);
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    bench::TempFolder dir("bench_rescan");
    ::setenv("TUNEVALE_CONFIG_DIR", (dir / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir / "xdg").c_str(), 1);
    QApplication app(argc, argv);
    VirtualClock clock;
    AudioPlayer::setOutputFactory([&clock] { return std::make_unique<NullPcmOutput>(&clock); });
    FakeMessageBoxes boxes;

    const std::string pristine = dir / "music.dat.pristine";
    LibraryTreeContent content;
    {
        TrackFileWriter writer(pristine);
        for (int i = 0; i < kLibrary; ++i) writer.append(libraryRecord(i));
        writer.close();
        for (int a = 0; a < 700; ++a) content.artists.push_back("Artist " + std::to_string(a));
        content.artists.push_back("Bench Artist");
        for (int a = 0; a < 97; ++a) content.albums.push_back("Album " + std::to_string(a));
        content.albums.push_back("Bench Album");
    }
    benchRescanAndImport(dir.path(), pristine, content);
    AudioPlayer::setOutputFactory({});
    return 0;
}
