// The main window's library work at size, each figure beside its peer or
// baseline measured in the same run, in turns; warm and cold (the files read
// dropped from the page cache first) where files are read:
// - MP3 files added through the add path with "All Title" shown: 10,000
//   with small tags (ID3v2.3 text frames, then ID3v1) and 1,000 like those
//   of a real collection (ID3v2.3 text frames, two TXXX frames and a 500 KB
//   front cover, then ID3v1), against TagLib reading the fields our record
//   builder fills
//   (title, artist, album, year, comment, genre; from ID3v2 when the file
//   has it, else from ID3v1); the record builder alone against the same;
//   and the plain loop (a whole-file scan per append, a repaint per file)
//   estimated from a sample;
// - "All Title" filled from a 100,000-record library and sorted by title,
//   each against one bare read of "music.dat", each the first of a process
//   of its own;
// - removing tracks from a 100,000-record library: a 200-track artist node
//   deleted, and 1,000 scattered rows of "All Title", each against the
//   literal algorithm (one scan of the file per row to find its record, one
//   per row to see whether its artist and album are still named), estimated
//   from a sample of rows;
// - the start of a selected track: from the double click to the first block
//   handed to the device.
// The plain and literal baselines read the file as carefully as our code
// does (chunks of 1,024 records, texts compared in place): they lose by
// their algorithm alone.
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <QApplication>
#include <QTableView>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/library/benchwindow.h"
#include "bench/support/benchsupport.h"
#include "bench/support/recordscan.h"
#include "components/player/audioplayer.h"
#include "components/player/nullpcmoutput.h"
#include "components/player/virtualclock.h"
#include "components/skin/skinengine.h"
#include "library/librarytree.h"
#include "library/main.h"
#include "library/recordbuilder.h"
#include "library/records/trackfile.h"
#include "library/tracklistmodel.h"
#include "library/treetext.h"
#include "platform/fakes.h"
#include "platform/utf8.h"

namespace fs = std::filesystem;
using bench::Clock;
using bench::SecondsSince;
using bench::Spread;
using bench::SpreadOf;

namespace {

constexpr int kSmallFiles = 10000;
constexpr int kCollectionFiles = 1000;
constexpr int kLibrary = 100000;
constexpr int kRounds = 5;
constexpr int kPlainSample = 300;
constexpr std::size_t kCoverBytes = 500 * 1024;

volatile std::size_t sink = 0;

// ---------------------------------------------------------------- test files

std::string bigEndian32(uint32_t n) {
    return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)};
}

std::string frame(const char* id, const std::string& body) {
    return std::string(id, 4) + bigEndian32(static_cast<uint32_t>(body.size())) + std::string(2, '\0') + body;
}

// Latin-1, or UTF-16 with its byte order mark as many taggers write it.
std::string encoded(const std::string& ascii, bool utf16) {
    if (!utf16) return std::string(1, '\0') + ascii;
    std::string out = "\x01\xff\xfe";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

std::string id3v2Tag(const std::vector<std::string>& frames) {
    std::string body;
    for (const auto& f : frames) body += f;
    body += std::string(1024, '\0');  // padding, as taggers leave room
    const auto size = static_cast<uint32_t>(body.size());
    std::string header = "ID3\x03";
    header += std::string(2, '\0');
    for (int shift : {21, 14, 7, 0}) header += static_cast<char>((size >> shift) & 0x7f);
    return header + body;
}

std::string id3v1Tag(const std::string& title, const std::string& artist, const std::string& album,
                     const std::string& year, const std::string& comment, int genre) {
    auto field = [](const std::string& text, std::size_t width) {
        std::string f = text.substr(0, width);
        return f + std::string(width - f.size(), '\0');
    };
    return "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + field(year, 4) + field(comment, 30) +
           static_cast<char>(genre);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string jpegLikeCover() {
    std::mt19937 gen(7);
    std::string cover = "\xff\xd8\xff\xe0";
    cover += std::string("\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 16);
    while (cover.size() < kCoverBytes - 2) cover += static_cast<char>(gen() & 0xff);
    return cover + "\xff\xd9";
}

// Genres within the first 80, whose names every reader spells alike.
const char* const kGenres[] = {"Blues", "Classic Rock", "Country", "Jazz", "Pop", "Rock", "Soundtrack", "Ambient"};
const int kGenreCodes[] = {0, 1, 2, 8, 13, 17, 24, 26};

// Small tags: a few ID3v2.3 text frames and the ID3v1 block, as most files
// carry both.
std::vector<std::string> makeSmallFiles(const std::string& dir, const std::string& audio) {
    fs::create_directories(dir);
    std::vector<std::string> files;
    for (int i = 0; i < kSmallFiles; ++i) {
        const std::string f = dir + "/track " + std::to_string(i) + ".mp3";
        const std::string title = "Title " + std::to_string(i), artist = "Artist " + std::to_string(i % 300),
                          album = "Album " + std::to_string(i % 900);
        const int genre = i % 8;
        const std::string tag = id3v2Tag({frame("TIT2", encoded(title, false)), frame("TPE1", encoded(artist, false)),
                                          frame("TALB", encoded(album, false)), frame("TYER", encoded("2004", false)),
                                          frame("TCON", encoded(kGenres[genre], false)),
                                          frame("COMM", std::string(1, '\0') + "eng" + std::string(1, '\0') + "generated")});
        writeFile(f, tag + audio + id3v1Tag(title, artist, album, "2004", "generated", kGenreCodes[genre]));
        files.push_back(f);
    }
    return files;
}

// Texts longer than ID3v1 holds, so that the two tags of a file differ.
std::vector<std::string> makeCollectionFiles(const std::string& dir, const std::string& audio) {
    fs::create_directories(dir);
    const std::string cover = jpegLikeCover();
    std::string apic = std::string(1, '\0') + "image/jpeg" + std::string(1, '\0') + "\x03" + std::string(1, '\0');
    apic = frame("APIC", apic + cover);
    std::vector<std::string> files;
    for (int i = 0; i < kCollectionFiles; ++i) {
        const bool utf16 = i % 2 == 1;
        const std::string title = "Title " + std::to_string(i) + " of the collection, longer than thirty";
        const std::string artist = "Collection Artist " + std::to_string(i % 120);
        const std::string album = "Album " + std::to_string(i % 90) + " with a name longer than thirty";
        const std::string year = std::to_string(1960 + i % 60);
        const std::string comment = "Ripped from the disc and checked against the sleeve";
        const int genre = i % 8;
        const std::string tag =
            id3v2Tag({frame("TIT2", encoded(title, utf16)), frame("TPE1", encoded(artist, utf16)),
                      frame("TALB", encoded(album, utf16)), frame("TYER", encoded(year, false)),
                      frame("TRCK", encoded(std::to_string(i % 12 + 1) + "/12", false)),
                      frame("TCON", encoded(kGenres[genre], utf16)),
                      frame("COMM", std::string(1, '\0') + "eng" + std::string(1, '\0') + comment),
                      frame("TXXX", encoded("REPLAYGAIN_TRACK_GAIN", false) + std::string(1, '\0') + "-6.20 dB"),
                      frame("TXXX", encoded("MusicBrainz Album Id", false) + std::string(1, '\0') +
                                        "2f3a51c4-8e2b-4d6a-9f7e-0c1d2e3f4a5b"),
                      apic});
        const std::string f = dir + "/" + std::to_string(i) + " - " + artist + ".mp3";
        writeFile(f, tag + audio + id3v1Tag(title, artist, album, year, comment, kGenreCodes[genre]));
        files.push_back(f);
    }
    return files;
}

// ---------------------------------------------------------------- the sides

struct TagFields {
    std::string title, artist, album, year, comment, genre;
};

// TagLib's reading of the fields the record builder fills: from ID3v2 when
// the file has it, else from ID3v1; no audio properties.
TagFields taglibFields(const std::string& path) {
    TagLib::MPEG::File file(path.c_str(), false);
    TagFields f;
    TagLib::Tag* tag = nullptr;
    if (file.hasID3v2Tag())
        tag = file.ID3v2Tag();
    else if (file.hasID3v1Tag())
        tag = file.ID3v1Tag();
    if (!tag) return f;
    f.title = tag->title().to8Bit(true);
    f.artist = tag->artist().to8Bit(true);
    f.album = tag->album().to8Bit(true);
    f.year = tag->year() ? std::to_string(tag->year()) : std::string();
    f.comment = tag->comment().to8Bit(true);
    f.genre = tag->genre().to8Bit(true);
    return f;
}

double taglibSeconds(const std::vector<std::string>& files) {
    const auto start = Clock::now();
    for (const std::string& f : files) {
        const TagFields t = taglibFields(f);
        sink = sink + t.title.size() + t.artist.size() + t.album.size() + t.year.size() + t.comment.size() +
               t.genre.size();
    }
    return SecondsSince(start);
}

double builderSeconds(const std::vector<std::string>& files) {
    const auto start = Clock::now();
    const double now = DateAddedNow();
    for (const std::string& f : files) {
        const RecordBuild b = BuildTrackRecord(f, now);
        sink = sink + b.record.Title.size() + b.record.Artist.size();
    }
    return SecondsSince(start);
}

std::string printed(const Spread& s) {
    return bench::Figure(s) + " s";
}

// ---------------------------------------------------------------- adding files

struct AddFigures {
    std::vector<double> add, builder, taglib;
    int rows = 0;
};

// One add of every file into an empty library of its own, with "All Title"
// shown; the window is left open for the caller.
double addThroughWindow(const std::string& home, const QStringList& chosen, FakeFileDialogs& dialogs, Tfm_main** out,
                        int* rows) {
    pointDataAt(home);
    Tfm_main* w = startWindow();
    w->TreeView1->setCurrentItem(w->TreeView1->allTitleNode());
    w->TreeView1Click();
    dialogs.chooseNext(chosen);
    const auto start = Clock::now();
    w->AddFilesToLibrary();
    const double seconds = SecondsSince(start);
    *rows = w->ListModel->rowCount();
    *out = w;
    return seconds;
}

// How many of the records the builder makes agree with TagLib's fields, per
// field, after the cut to the record's field sizes.
void reportAgreement(const std::vector<std::string>& files) {
    std::array<int, 6> agree{};
    const double now = DateAddedNow();
    for (const auto& f : files) {
        const TrackRecord r = BuildTrackRecord(f, now).record;
        const TagFields t = taglibFields(f);
        const std::array<std::pair<std::string, std::string>, 6> pairs = {{
            {r.Title, std::string(Utf8Cut(t.title, kMaxTitleBytes))},
            {r.Artist, std::string(Utf8Cut(t.artist, kMaxArtistBytes))},
            {r.Album, std::string(Utf8Cut(t.album, kMaxAlbumBytes))},
            {r.Year, std::string(Utf8Cut(t.year, kMaxYearBytes))},
            {r.Comment, std::string(Utf8Cut(t.comment, kMaxCommentBytes))},
            {r.Genre, std::string(Utf8Cut(t.genre, kMaxGenreBytes))},
        }};
        for (std::size_t i = 0; i < pairs.size(); ++i) agree[i] += pairs[i].first == pairs[i].second;
    }
    std::printf("  records that hold the text TagLib reads: title %d, artist %d, album %d, year %d, comment %d, "
                "genre %d of %zu\n",
                agree[0], agree[1], agree[2], agree[3], agree[4], agree[5], files.size());
}

void benchAdds(const char* title, const std::vector<std::string>& files, const std::string& dir,
               FakeFileDialogs& dialogs, bool plainLoop) {
    QStringList chosen;
    for (const auto& f : files) chosen << QString::fromStdString(f);
    std::printf("%s: %zu files added with \"All Title\" shown; median [range] of %d rounds in turns\n", title,
                files.size(), kRounds);
    reportAgreement(files);
    static int homes = 0;  // every add into a library of its own
    Tfm_main* last = nullptr;
    for (bool cold : {false, true}) {
        if (cold && !bench::ColdCacheWorks()) {
            std::printf("  cold: not measurable here (the page cache keeps dropped files)\n");
            continue;
        }
        if (!cold) {  // one unmeasured pass of each side fills the cache
            taglibSeconds(files);
            builderSeconds(files);
        }
        AddFigures fig;
        bench::InTurns(
            kRounds,
            [&] {
                if (cold) bench::DropFromCache(files);
                Tfm_main* w = nullptr;
                fig.add.push_back(
                    addThroughWindow(dir + "/add" + std::to_string(homes++), chosen, dialogs, &w, &fig.rows));
                if (last) closeWindow(last);
                last = w;
                if (cold) bench::DropFromCache(files);
                fig.builder.push_back(builderSeconds(files));
            },
            [&] {
                if (cold) bench::DropFromCache(files);
                fig.taglib.push_back(taglibSeconds(files));
            });
        const Spread add = SpreadOf(fig.add), builder = SpreadOf(fig.builder), taglib = SpreadOf(fig.taglib);
        std::printf("  %s: add path %s, %d rows shown; record builder %s; TagLib %s\n", cold ? "cold" : "warm",
                    printed(add).c_str(), fig.rows, printed(builder).c_str(), printed(taglib).c_str());
        std::printf("        add path / TagLib %s (limit 1.50); record builder / TagLib %s\n",
                    bench::RatioFigure(fig.add, fig.taglib).c_str(), bench::RatioFigure(fig.builder, fig.taglib).c_str());
    }

    if (plainLoop && last) {
        // The plain loop on a sample: before each append a scan of the whole
        // file for the path, after it a row shown and repainted at once. The
        // scans grow with the file, so over an add into an empty library they
        // cost half of what they cost at its full size.
        const std::string musicDat = last->Library.musicFile();
        bench::RecordScanner scanner;
        const int fd = ::open(musicDat.c_str(), O_RDONLY | O_CLOEXEC);
        auto start = Clock::now();
        for (int i = 0; i < kPlainSample; ++i) {
            std::size_t at = 0;
            const int fileIndex = static_cast<int>(files.size()) - 1 - i;
            scanner.findPath(fd, files[static_cast<std::size_t>(fileIndex)], &at);
        }
        ::close(fd);
        const double scanPerFile = SecondsSince(start) / kPlainSample;
        start = Clock::now();
        for (int i = 0; i < kPlainSample; ++i) {
            last->ListModel->appendRows({ListRow{ReadTrackRecordAt(musicDat, static_cast<std::size_t>(i)), true}});
            last->lv_playlist->scrollToBottom();
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
        }
        const double repaintPerFile = SecondsSince(start) / kPlainSample;
        const double plainEstimate = static_cast<double>(files.size()) * (scanPerFile / 2 + repaintPerFile);
        std::printf("  plain loop, warm, estimated from %d files: %.1f s (scan %.2f ms, repaint %.2f ms per file)\n",
                    kPlainSample, plainEstimate, scanPerFile * 1e3, repaintPerFile * 1e3);
    }
    if (last) closeWindow(last);
}

// ---------------------------------------------------------------- a large library

std::string recordPath(int i) {
    return "/home/listener/Music/Artist " + std::to_string(i % 700) + "/Album " + std::to_string(i % 97) + "/" +
           std::to_string(i) + " - Some Track Title.mp3";
}

constexpr int kBenchArtistEvery = 500;  // 200 of the 100,000 records
constexpr int kLiteralSample = 20;

TrackRecord libraryRecord(int i, bool benchArtist) {
    TrackRecord r;
    r.Path = recordPath(i);
    r.Title = "Some Track Title " + std::to_string((i * 7919) % kLibrary);
    const bool bench = benchArtist && i % kBenchArtistEvery == 0;
    r.Artist = bench ? "Bench Artist" : "Artist " + std::to_string(i % 700);
    r.Album = bench ? "Bench Album" : "Album " + std::to_string(i % 97);
    r.Genre = "Rock";
    r.Year = "1999";
    r.DateAdded = 45000.5 + i % 1000;
    return r;
}

// The yardstick of the fill: the file read into memory in one call, either
// fresh from the allocator, as a process's first fill gets its memory, or
// into memory already touched.
double bareReadSeconds(const std::string& file, bool fresh) {
    const std::size_t size = fs::file_size(file);
    std::unique_ptr<char[]> buffer;
    if (!fresh) buffer.reset(new char[size]());  // zeroed: every page touched
    const auto start = Clock::now();
    if (fresh) buffer.reset(new char[size]);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer.get() + got, size - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    sink = sink + got + static_cast<unsigned char>(buffer[size / 2]);
    return SecondsSince(start);
}

// One careful scan of the whole file, for what a cold start of the literal
// scans costs: they read the whole file, so they pay one cold read.
double fullScanSeconds(const std::string& file) {
    bench::RecordScanner scanner;
    const auto start = Clock::now();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    std::size_t at = 0;
    scanner.findPath(fd, "not in the file", &at);
    ::close(fd);
    return SecondsSince(start);
}

double coldPenaltySeconds(const std::string& file) {
    std::vector<double> cold, warm;
    for (int round = 0; round < kRounds; ++round) {
        bench::DropFromCache(file);
        cold.push_back(fullScanSeconds(file));
        warm.push_back(fullScanSeconds(file));
    }
    return std::max(0.0, SpreadOf(cold).median - SpreadOf(warm).median);
}

// The literal removal's scans for some of the rows, in seconds per row: one
// scan of the file before the removal from its first record to the row's
// record, and one of the file after it for a record that still names the
// row's artist and one for its album (to the end when they are gone).
double literalSecondsPerRow(const std::string& before, const std::string& after, const std::vector<TrackRecord>& rows) {
    bench::RecordScanner scanner;
    const int in = ::open(before.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(after.c_str(), O_RDONLY | O_CLOEXEC);
    const std::size_t sample = std::min<std::size_t>(rows.size(), kLiteralSample);
    const auto start = Clock::now();
    for (std::size_t k = 0; k < sample; ++k) {
        const TrackRecord& row = rows[k * rows.size() / sample];
        std::size_t at = 0;
        scanner.findPath(in, row.Path, &at);
        bool artist = false, album = false;
        scanner.scan(out, [&](bench::RecordBytes r, std::size_t) {
            artist = artist || bench::StoredArtist(r) == row.Artist;
            album = album || bench::StoredAlbum(r) == row.Album;
            return !(artist && album);
        });
    }
    const double seconds = SecondsSince(start) / static_cast<double>(sample);
    ::close(in);
    ::close(out);
    return seconds;
}

// The one rewrite of the file that both algorithms make; scratch holds the
// file as it is after the removal.
double rewriteSeconds(const std::string& source, const std::string& scratch, const std::vector<TrackRecord>& rows) {
    fs::copy_file(source, scratch, fs::copy_options::overwrite_existing);
    std::vector<std::string> paths;
    for (const TrackRecord& r : rows) paths.push_back(r.Path);
    const auto start = Clock::now();
    RemoveListedRecords(scratch + ".tmp", scratch, paths);
    return SecondsSince(start);
}

std::vector<TrackRecord> listedRecords(const Tfm_main* w, const std::vector<int>& rows) {
    std::vector<TrackRecord> out;
    for (int r : rows) out.push_back(w->ListModel->record(r));
    return out;
}

// A child's side of the fill: a main window started on the library, then
// "All Title" filled and sorted by title, as the first fill after a start;
// prints the seconds of both and the rows listed.
int fillOnce(const std::string& home) {
    pointDataAt(home);
    Tfm_main* w = startWindow();
    w->TreeView1->setCurrentItem(w->TreeView1->allTitleNode());
    auto start = Clock::now();
    w->TreeView1Click();
    QCoreApplication::processEvents();
    const double fill = SecondsSince(start);
    start = Clock::now();
    w->lv_playlistColumnClick(0);
    QCoreApplication::processEvents();
    const double sort = SecondsSince(start);
    std::printf("%.6f %.6f %d\n", fill, sort, w->ListModel->rowCount());
    closeWindow(w);
    return 0;
}

// Each fill and each bare read in a process of its own, so that every one
// is a first: no heap or cache of an earlier round left in the process.
void benchFillAndSort(const std::string& dir) {
    const std::string home = dir + "/big";
    const std::string musicDat = home + "/record/music.dat";
    fs::create_directories(home + "/record");
    {
        TrackFileWriter writer(musicDat);
        for (int i = 0; i < kLibrary; ++i) writer.append(libraryRecord(i, false));
        writer.close();
    }
    const std::string self = bench::ProgramFolder() + "/bench_library";
    std::printf("Library of %d records; each fill and bare read the first of a process of its own; median [range] of %d "
                "rounds in turns\n",
                kLibrary, kRounds);
    bench::ProcessOptions options;
    options.awaitLine = true;
    for (bool cold : {false, true}) {
        if (cold && !bench::ColdCacheWorks()) continue;
        std::vector<double> fill, sort, fresh, touched;
        int rows = 0;
        bool ok = true;
        auto run = [&](const std::vector<std::string>& argv) {
            if (cold) bench::DropFromCache(musicDat);
            const bench::ProcessRun r = bench::RunProcess(argv, options);
            ok = ok && r.ok;
            return r.firstLine;
        };
        if (!cold) run({self, "--fill", home}), run({self, "--bare-read", "fresh", musicDat});
        bench::InTurns(
            kRounds,
            [&] {
                double f = 0, s = 0;
                if (std::sscanf(run({self, "--fill", home}).c_str(), "%lf %lf %d", &f, &s, &rows) != 3) ok = false;
                fill.push_back(f);
                sort.push_back(s);
            },
            [&] {
                fresh.push_back(std::atof(run({self, "--bare-read", "fresh", musicDat}).c_str()));
                touched.push_back(std::atof(run({self, "--bare-read", "touched", musicDat}).c_str()));
            });
        if (!ok) {
            std::printf("  %s: FAILED\n", cold ? "cold" : "warm");
            continue;
        }
        const Spread f = SpreadOf(fill), s = SpreadOf(sort), b = SpreadOf(fresh), t = SpreadOf(touched);
        std::printf("  %s: bare read of music.dat into fresh memory %s s, into touched memory %s s; %d rows listed\n",
                    cold ? "cold" : "warm", bench::Figure(b, 1, 4).c_str(), bench::Figure(t, 1, 4).c_str(), rows);
        std::printf("        fill \"All Title\" %s s  ratio %s to the fresh read, %s to the touched one  (limit 20)\n",
                    bench::Figure(f, 1, 4).c_str(), bench::RatioFigure(fill, fresh, 1).c_str(),
                    bench::RatioFigure(fill, touched, 1).c_str());
        if (!cold)
            std::printf("        sort by title %s s  ratio %s to the fresh read, %s to the touched one  (limit 20)\n",
                        bench::Figure(s, 1, 4).c_str(), bench::RatioFigure(sort, fresh, 1).c_str(),
                        bench::RatioFigure(sort, touched, 1).c_str());
    }
}

void benchRemoval(const std::string& dir) {
    const std::string home = dir + "/remove";
    pointDataAt(home);
    const std::string removeDat = home + "/record/music.dat";
    const std::string pristine = dir + "/music.dat.pristine";
    fs::create_directories(home + "/record");
    LibraryTreeContent content;
    {
        TrackFileWriter writer(pristine);
        for (int i = 0; i < kLibrary; ++i) writer.append(libraryRecord(i, true));
        writer.close();
        for (int a = 0; a < 700; ++a) content.artists.push_back("Artist " + std::to_string(a));
        content.artists.push_back("Bench Artist");
        for (int a = 0; a < 97; ++a) content.albums.push_back("Album " + std::to_string(a));
        content.albums.push_back("Bench Album");
    }
    const std::string scratch = dir + "/scratch/music.dat";
    const std::string afterNode = dir + "/scratch/after-node.dat";
    fs::create_directories(dir + "/scratch");
    const bool coldWorks = bench::ColdCacheWorks();
    const double coldPenalty = coldWorks ? coldPenaltySeconds(pristine) : 0;

    std::vector<double> nodeWarm, rowsWarm, nodeCold, rowsCold, nodeRewrite, rowsRewrite;
    double nodeLiteral = 0, rowsLiteral = 0;
    int nodeRows = 0, leftAfterRows = 0;
    for (int round = 0; round < 2 * kRounds; ++round) {
        const bool cold = round % 2 == 1;
        if (cold && !coldWorks) continue;
        fs::copy_file(pristine, removeDat, fs::copy_options::overwrite_existing);
        Tfm_main* w = startWindow();
        w->TreeView1->setContent(content);
        w->TreeView1->setCurrentItem(w->TreeView1->findArtist("Bench Artist"));
        w->TreeView1Click();
        nodeRows = w->ListModel->rowCount();
        std::vector<int> all(static_cast<std::size_t>(nodeRows));
        for (int r = 0; r < nodeRows; ++r) all[static_cast<std::size_t>(r)] = r;
        const std::vector<TrackRecord> nodeRecords = listedRecords(w, all);
        if (!cold) nodeRewrite.push_back(rewriteSeconds(removeDat, scratch, nodeRecords));
        if (round == 0) {
            nodeLiteral = nodeRows * literalSecondsPerRow(removeDat, scratch, nodeRecords);
            fs::copy_file(scratch, afterNode, fs::copy_options::overwrite_existing);
        }
        w->TreeFocused = true;
        if (cold) bench::DropFromCache(removeDat);
        auto start = Clock::now();
        w->DeleteFileRecords();
        (cold ? nodeCold : nodeWarm).push_back(SecondsSince(start));

        w->TreeView1->setCurrentItem(w->TreeView1->allTitleNode());
        w->TreeView1Click();
        std::vector<int> scattered;
        for (int r = 0; r < 1000; ++r) scattered.push_back(r * (w->ListModel->rowCount() / 1000));
        const std::vector<TrackRecord> rowRecords = listedRecords(w, scattered);
        if (!cold) rowsRewrite.push_back(rewriteSeconds(removeDat, scratch, rowRecords));
        if (round == 0) rowsLiteral = 1000 * literalSecondsPerRow(afterNode, scratch, rowRecords);
        w->SelectRows(scattered);
        w->TreeFocused = false;
        if (cold) bench::DropFromCache(removeDat);
        start = Clock::now();
        w->DeleteFileRecords();
        (cold ? rowsCold : rowsWarm).push_back(SecondsSince(start));
        leftAfterRows = static_cast<int>(TrackRecordCount(removeDat));
        closeWindow(w);
    }
    // Both algorithms end in the same rewrite of the file (written, flushed
    // to the disk, renamed over the library): the literal one's time is its
    // scans plus that rewrite; cold, plus one cold read of the file.
    auto report = [&](const std::string& what, const std::vector<double>& warm, const std::vector<double>& cold,
                      double rewrite, double literalScans) {
        const double literal = literalScans + rewrite;
        const Spread w = SpreadOf(warm);
        std::printf("  %s\n", what.c_str());
        std::printf("    warm: ours %s s  literal %.2f s (scans %.2f s, estimated once)  ratio %.1f  (goal 50)\n",
                    bench::Figure(w, 1, 4).c_str(), literal, literalScans, literal / w.median);
        if (!cold.empty()) {
            const Spread c = SpreadOf(cold);
            std::printf("    cold: ours %s s  literal %.2f s  ratio %.1f\n", bench::Figure(c, 1, 4).c_str(),
                        literal + coldPenalty, (literal + coldPenalty) / c.median);
        }
    };
    std::printf("Removing tracks from a library of %d records (literal: one scan per row, timed on %d rows); "
                "median [range] of %d rounds\n",
                kLibrary, kLiteralSample, kRounds);
    std::printf("  the rewrite of music.dat that both make: %.4f s (node), %.4f s (rows); a cold read of the file "
                "costs %.4f s more than a warm one\n",
                SpreadOf(nodeRewrite).median, SpreadOf(rowsRewrite).median, coldPenalty);
    report("delete an artist node of " + std::to_string(nodeRows) + " tracks", nodeWarm, nodeCold,
           SpreadOf(nodeRewrite).median, nodeLiteral);
    report("delete 1000 selected rows", rowsWarm, rowsCold, SpreadOf(rowsRewrite).median, rowsLiteral);
    std::printf("  records left: %d\n", leftAfterRows);
}

bool benchPlayStart(const std::string& dir, VirtualClock& clock) {
    const std::string home = dir + "/play";
    pointDataAt(home);
    fs::create_directories(home + "/record");
    const std::string song = dir + "/song.mp3";
    const std::string encodeSong = "ffmpeg -v error -y -f lavfi -i sine=duration=30 -ac 2 -c:a libmp3lame " + song;
    if (std::system(encodeSong.c_str()) != 0) {
        std::fprintf(stderr, "ffmpeg could not make the MP3 song\n");
        return false;
    }
    {
        TrackFileWriter writer(home + "/record/music.dat");
        TrackRecord r;
        r.Title = "Song";
        r.Path = song;
        writer.append(r);
        writer.close();
    }
    NullPcmOutput* device = nullptr;
    AudioPlayer::setOutputFactory([&clock, &device] {
        auto output = std::make_unique<NullPcmOutput>(&clock);
        device = output.get();
        return output;
    });
    std::vector<double> starts;
    for (int round = 0; round < 7; ++round) {
        Tfm_main* w = startWindow();
        NullPcmOutput* mainDevice = device;  // the main window's player is made first
        w->TreeView1->setCurrentItem(w->TreeView1->allTitleNode());
        w->TreeView1Click();
        w->SelectRows({0});
        const auto start = Clock::now();
        w->lv_playlistDblClick();
        while (mainDevice->written().empty()) QCoreApplication::processEvents();
        starts.push_back(SecondsSince(start));
        w->StopPlayback();
        closeWindow(w);
    }
    const Spread s = SpreadOf(starts);
    std::printf("Starting a selected 30 s MP3 track: double click to the first block handed to the device\n");
    std::printf("  %s ms, median [range] of %zu starts\n", bench::Figure(s, 1e3, 2).c_str(), starts.size());
    AudioPlayer::setOutputFactory({});
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc == 4 && std::string(argv[1]) == "--bare-read") {
        std::printf("%.6f\n", bareReadSeconds(argv[3], std::string(argv[2]) == "fresh"));
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--fill") {
        int one = 1;
        QApplication app(one, argv);
        VirtualClock clock;
        AudioPlayer::setOutputFactory([&clock] { return std::make_unique<NullPcmOutput>(&clock); });
        FakeMessageBoxes boxes;
        const int rc = fillOnce(argv[2]);
        AudioPlayer::setOutputFactory({});
        return rc;
    }
    bench::CheckRecordTexts();
    LibraryBenchProgram program("bench_library", argc, argv);
    const bench::TempFolder& dir = program.dir;
    VirtualClock& clock = program.clock;
    FakeFileDialogs dialogs;

    const std::string base = dir / "base.mp3";
    const std::string encode = "ffmpeg -v error -y -f lavfi -i sine=duration=0.5 -c:a libmp3lame -id3v2_version 0 " + base;
    if (std::system(encode.c_str()) != 0) {
        std::fprintf(stderr, "ffmpeg could not make the MP3 sample\n");
        return 1;
    }
    const std::string audio = readFile(base);
    {
        const std::vector<std::string> small = makeSmallFiles(dir / "small", audio);
        benchAdds("Small tags (ID3v2.3 text frames, then ID3v1)", small, dir.path(), dialogs, true);
    }
    {
        const std::vector<std::string> collection = makeCollectionFiles(dir / "collection", audio);
        benchAdds("Tags of a real collection (ID3v2.3 with a 500 KB cover, then ID3v1)", collection, dir.path(), dialogs,
                  false);
        fs::remove_all(dir / "collection");
    }
    benchFillAndSort(dir.path());
    benchRemoval(dir.path());
    return benchPlayStart(dir.path(), clock) ? 0 : 1;
}
