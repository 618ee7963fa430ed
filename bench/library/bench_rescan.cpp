// The library rescan and the playlist import at size, each beside TagLib
// reading the same files' tags in the same run:
// - generated folder trees of 1,000, 10,000 and 100,000 tagged MP3 and OGG
//   files rescanned into a library of 100,000 records with "All Title"
//   shown, against TagLib after a plain walk of the folders, with the pauses
//   of the window's event handling during the rescan;
// - a 10,000-entry M3U imported as a library playlist, against TagLib after
//   a plain read of the list's lines.
// Both sides read from a warm cache, in alternating rounds; every figure is
// the median of the rounds with their range.
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

#include "bench/library/benchwindow.h"
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


constexpr int kRounds = 5;
constexpr int kScanFilesSmall = 1000;
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

    std::printf("Rescanning a folder tree of tagged MP3 and OGG files into a library of %d records, \"All Title\" "
                "shown; %d alternating rounds, seconds, median [range]\n",
                kLibrary, kRounds);
    std::vector<std::string> smallFiles;
    double firstPause = 0;
    std::vector<double> laterPauses;
    std::vector<double> perFile;
    for (int files : {kScanFilesSmall, kScanFiles, kScanFilesLarge}) {
        const std::string root = dir + "/scan" + std::to_string(files);
        const std::vector<std::string> made = makeScanTree(root, files, mp3s, oggs);
        if (files == kScanFiles) smallFiles = made;
        std::vector<double> ours, taglib;
        ScanRun last;
        taglibWalkSeconds(root);
        bench::InTurns(kRounds, [&] { taglib.push_back(taglibWalkSeconds(root)); }, [&] {
            last = rescanOnce(dir + "/rescan", pristine, content, root);
            ours.push_back(last.seconds);
            firstPause = std::max(firstPause, last.firstPauseMs);
            laterPauses.insert(laterPauses.end(), last.laterPausesMs.begin(), last.laterPausesMs.end());
        });
        std::printf("  %6d files: rescan %s (%d found, %d rows, %d pumps)  TagLib after a walk %s  ratio %s  "
                    "(limit 1.50)\n",
                    files, bench::Figure(ours).c_str(), last.found, last.rows, last.pumps, bench::Figure(taglib).c_str(),
                    bench::RatioFigure(ours, taglib).c_str());
        perFile.push_back(bench::SpreadOf(ours).median / files);
        // The import below lists the 10,000 files: they stay until it ran.
        if (files != kScanFiles) fs::remove_all(root);
    }
    std::sort(laterPauses.begin(), laterPauses.end());
    std::printf("  per file (medians): %.1f us at %d, %.1f us at %d, %.1f us at %d (growth from 10,000 to 100,000 "
                "%.2f, linear 1.00)\n",
                perFile[0] * 1e6, kScanFilesSmall, perFile[1] * 1e6, kScanFiles, perFile[2] * 1e6, kScanFilesLarge,
                perFile[2] / perFile[1]);
    if (!laterPauses.empty())
        std::printf("  time between the window's event passes after the first: median %.1f ms, 95th percentile %.1f ms, "
                    "longest %.1f ms (goal 30, %zu passes); before the first, longest %.1f ms\n",
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
    std::vector<double> taglibImport, import;
    bench::InTurns(kRounds, [&] { taglibImport.push_back(taglibListSeconds(m3u)); }, [&] {
        const auto start = Clock::now();
        w->ImportPlaylistFile(QString::fromStdString(m3u));
        import.push_back(secondsSince(start));
    });
    const std::size_t imported = TrackRecordCount(JoinPath(dir + "/import/playlist", "bench import_m3u.dat"));
    closeWindow(w);
    std::printf("Importing an M3U of %d entries as a library playlist (%zu records)\n", kScanFiles, imported);
    std::printf("  import %s s  TagLib after reading the lines %s s  ratio %s  (limit 1.50)\n",
                bench::Figure(import).c_str(), bench::Figure(taglibImport).c_str(),
                bench::RatioFigure(import, taglibImport).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    LibraryBenchProgram program("bench_rescan", argc, argv);
    const bench::TempFolder& dir = program.dir;

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
    return 0;
}
