// The tag editor at size:
// - OK on 1,000 selected MP3 rows of a 100,000-record library, the artist
//   changed on both pages so that both tags are written and a new artist
//   node is made, against a peer doing the same work: TagLib writing the
//   same field into both tags of every file (each save followed by an
//   fsync, as ours are on the disk), then the same record updates and one
//   save of the tree file; in alternating rounds, each on fresh copies of
//   the files and the library, median [range]. Beside it the literal
//   algorithm (per row: the tags written, one chunked scan of "music.dat" to
//   the row's record, which is rewritten in place, a linear look for the
//   artist and album nodes, one save of the tree file), estimated once from
//   a sample of rows; and the longest time the window went without its
//   events while OK worked;
// - Close pruning 10,000 artist and 10,000 album nodes of which half are
//   named by no record, against one scan of "music.dat" per node (from the
//   start to the first record that names it) and the nodes deleted one by
//   one.
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <QApplication>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "bench/library/benchwindow.h"
#include "bench/support/benchsupport.h"
#include "bench/support/recordscan.h"
#include "components/player/audioplayer.h"
#include "components/player/nullpcmoutput.h"
#include "components/player/virtualclock.h"
#include "library/id3.h"
#include "library/librarytree.h"
#include "library/records/trackfile.h"
#include "library/tageditor.h"
#include "library/tracklibrary.h"
#include "library/treetext.h"
#include "platform/atomicfile.h"
#include "platform/fakes.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"

namespace fs = std::filesystem;

namespace {

using bench::Clock;
double secondsSince(Clock::time_point start) { return bench::SecondsSince(start); }

constexpr int kRounds = 5;
constexpr int kRows = 1000;
constexpr int kRecords = 100000;
constexpr int kEvery = kRecords / kRows;  // every 100th record is an edited file
constexpr int kLiteralSample = 100;
constexpr int kNodes = 10000;
constexpr int kPruneSample = 40;
const char kNewArtist[] = "Edited Artist";

std::vector<std::string> copyFiles(const std::vector<std::string>& from, const std::string& folder) {
    fs::create_directories(folder);
    std::vector<std::string> copies;
    for (int i = 0; i < kRows; ++i) {
        copies.push_back(folder + "/" + std::to_string(i) + ".mp3");
        fs::copy_file(from[static_cast<std::size_t>(i)], copies.back(), fs::copy_options::overwrite_existing);
    }
    return copies;
}

void writeLibrary(const std::string& musicDat, const std::vector<std::string>& edited) {
    fs::create_directories(fs::path(musicDat).parent_path());
    TrackFileWriter writer(musicDat);
    for (int i = 0; i < kRecords; ++i) {
        TrackRecord r;
        r.Path = i % kEvery == 0 ? edited[static_cast<std::size_t>(i / kEvery)]
                                 : "/home/listener/Music/Artist " + std::to_string(i % 700) + "/" + std::to_string(i) +
                                       " - Some Track Title.mp3";
        r.Title = "Some Track Title " + std::to_string(i);
        r.Artist = "Artist " + std::to_string(i % 700);
        r.Album = "Album " + std::to_string(i % 97);
        r.Genre = "Rock";
        r.Year = "2004";
        r.DateAdded = 45000.5;
        writer.append(r);
    }
    writer.close();
}

LibraryTreeContent libraryTree() {
    LibraryTreeContent content;
    for (int a = 0; a < 700; ++a) content.artists.push_back("Artist " + std::to_string(a));
    for (int a = 0; a < 97; ++a) content.albums.push_back("Album " + std::to_string(a));
    return content;
}

void editArtist(TagEditor& editor) {
    std::vector<int> all(editor.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
    editor.setField(TagPage::V1, TagField::Artist, kNewArtist, all);
    editor.setField(TagPage::V2, TagField::Artist, kNewArtist, all);
}

// The longest time between two runs of a 5 ms timer of the GUI thread: how
// long the windows went without their events.
class EventGaps {
public:
    EventGaps() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            longest_ = std::max(longest_, std::chrono::duration<double>(now - last_).count());
            last_ = now;
        });
    }
    void start() {
        last_ = Clock::now();
        timer_.start();
    }
    double stop() {
        const auto now = Clock::now();
        timer_.stop();
        return std::max(longest_, std::chrono::duration<double>(now - last_).count());
    }

private:
    QTimer timer_;
    Clock::time_point last_;
    double longest_ = 0;
};

struct OkRun {
    double seconds = 0, longestGap = 0;
    int written = 0;
};

// Ours: the window on the main window, as the user runs it.
OkRun oursOnce(const std::string& dir, const std::vector<std::string>& mp3Files) {
    const std::vector<std::string> ours = copyFiles(mp3Files, dir + "/edit-ours");
    const std::string home = dir + "/edit";
    fs::remove_all(home);
    pointDataAt(home);
    writeLibrary(home + "/record/music.dat", ours);
    TrackLibrary(home + "/record/", home + "/playlist").saveTree(libraryTree());
    Tfm_main* w = startWindow();
    w->TreeView1->setCurrentItem(w->TreeView1->allTitleNode());
    w->TreeView1Click();
    std::vector<int> rows;
    for (int r = 0; r < kRecords; r += kEvery) rows.push_back(r);
    w->SelectRows(rows);
    Tfm_Id3 window;
    window.setHost(w);
    window.FormShow();
    window.lv->selectAll();
    editArtist(window.editor());
    // The windows as the user sees them when pressing OK: drawn, nothing
    // left over from filling the list and selecting its rows.
    w->repaint();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 500);
    ::sync();
    EventGaps gaps;
    gaps.start();
    const auto start = Clock::now();
    window.btn_okClick();
    OkRun run;
    run.seconds = secondsSince(start);
    run.longestGap = gaps.stop();
    ForEachTrackRecord(w->Library.musicFile(), [&](const TrackRecord& r, std::size_t) {
        run.written += r.Artist == kNewArtist ? 1 : 0;
        return true;
    });
    closeWindow(w);
    return run;
}

// The peer: TagLib writes the artist into both tags of each file, then the
// same record updates as ours, and the tree file saved once.
double peerOnce(const std::string& dir, const std::vector<std::string>& mp3Files) {
    const std::vector<std::string> files = copyFiles(mp3Files, dir + "/edit-peer");
    const std::string home = dir + "/peer";
    fs::remove_all(home);
    writeLibrary(home + "/record/music.dat", files);
    const TrackLibrary library(home + "/record/", home + "/playlist");
    LibraryTreeContent content = libraryTree();
    library.saveTree(content);
    ::sync();
    const auto start = Clock::now();
    for (const std::string& f : files) {
        TagLib::MPEG::File file(f.c_str(), false);
        file.ID3v2Tag(true)->setArtist(TagLib::String(kNewArtist, TagLib::String::UTF8));
        file.ID3v1Tag(true)->setArtist(TagLib::String(kNewArtist, TagLib::String::UTF8));
        file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3);
        const int fd = ::open(f.c_str(), O_RDONLY | O_CLOEXEC);
        ::fsync(fd);
        ::close(fd);
    }
    library.prepareUpdates(library.musicFile());
    for (const std::string& f : files)
        library.updateRecord(library.musicFile(), f, [](TrackRecord& record) { record.Artist = kNewArtist; });
    content.artists.push_back(kNewArtist);
    library.saveTree(content);
    return secondsSince(start);
}

void benchOk(const std::string& dir, const std::vector<std::string>& mp3Files) {
    std::vector<double> ours, peer, gaps;
    int written = 0;
    bench::InTurns(kRounds, [&] {
        const OkRun run = oursOnce(dir, mp3Files);
        ours.push_back(run.seconds);
        gaps.push_back(run.longestGap);
        written = run.written;
    }, [&] { peer.push_back(peerOnce(dir, mp3Files)); });
    auto start = Clock::now();

    // The literal algorithm, row by row, on its own copies.
    const std::vector<std::string> literal = copyFiles(mp3Files, dir + "/edit-literal");
    const std::string musicDat = dir + "/literal/record/music.dat";
    writeLibrary(musicDat, literal);
    const std::string treeFile = dir + "/literal/record/treetext.txt";
    LibraryTreeContent content = libraryTree();
    std::vector<TagEditTrack> tracks;
    for (int i = 0; i < kRows; ++i) tracks.push_back({literal[static_cast<std::size_t>(i)], "", i * kEvery});
    TagEditor editor;
    editor.load(tracks);
    editArtist(editor);
    double tagSeconds = 0, scanSeconds = 0, treeSeconds = 0;
    bench::RecordScanner scanner;
    for (int k = 0; k < kLiteralSample; ++k) {
        const std::size_t i = static_cast<std::size_t>(k * kRows / kLiteralSample);
        start = Clock::now();
        editor.writeTags(i);
        tagSeconds += secondsSince(start);
        start = Clock::now();
        // One scan to the row's record, which is then rewritten in place.
        const int fd = ::open(musicDat.c_str(), O_RDWR | O_CLOEXEC);
        std::size_t at = 0;
        scanner.findPath(fd, tracks[i].path, &at);
        TrackRecordBytes bytes;
        if (::pread(fd, bytes.data(), bytes.size(), static_cast<off_t>(at * kTrackRecordSize)) !=
            static_cast<ssize_t>(bytes.size()))
            std::perror("pread");
        TrackRecord record = DecodeTrackRecord(bytes);
        editor.updateRecord(i, record);
        bytes = EncodeTrackRecord(record);
        if (::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at * kTrackRecordSize)) !=
            static_cast<ssize_t>(bytes.size()))
            std::perror("pwrite");
        ::close(fd);
        scanSeconds += secondsSince(start);
        start = Clock::now();
        if (std::find(content.artists.begin(), content.artists.end(), record.Artist) == content.artists.end())
            content.artists.push_back(record.Artist);
        if (std::find(content.albums.begin(), content.albums.end(), record.Album) == content.albums.end())
            content.albums.push_back(record.Album);
        WriteFileAtomically(treeFile, FormatTreeText(content));
        treeSeconds += secondsSince(start);
    }
    const double scale = static_cast<double>(kRows) / kLiteralSample;
    const double literalSeconds = (tagSeconds + scanSeconds + treeSeconds) * scale;
    const double okSeconds = bench::SpreadOf(ours).median;
    std::printf("Tag editor OK on %d selected MP3 rows of a %d-record library (artist changed on both pages); "
                "%d alternating rounds, median [range]\n",
                kRows, kRecords, kRounds);
    std::printf("  OK %s s  (%d records written; longest time without events %s ms, goal 30)\n",
                bench::Figure(ours).c_str(), written, bench::Figure(gaps, 1e3, 0).c_str());
    std::printf("  TagLib writing both tags, then the same record updates and tree save: %s s  ratio ours/peer %s\n",
                bench::Figure(peer).c_str(), bench::RatioFigure(ours, peer).c_str());
    std::printf("  literal, estimated once from %d rows: %.2f s (tag writes %.2f s, scans %.2f s, tree saves %.2f s)  "
                "ratio to our median %.1f  (goal 20)\n",
                kLiteralSample, literalSeconds, tagSeconds * scale, scanSeconds * scale, treeSeconds * scale,
                literalSeconds / okSeconds);
}

void benchPrune(const std::string& dir) {
    const std::string home = dir + "/prune";
    TrackLibrary library(home + "/record/", home + "/playlist");
    fs::create_directories(home + "/record");
    {
        TrackFileWriter writer(library.musicFile());
        for (int i = 0; i < kRecords; ++i) {
            TrackRecord r;
            r.Path = "/music/" + std::to_string(i) + ".mp3";
            r.Artist = "Artist " + std::to_string(i % (kNodes / 2));
            r.Album = "Album " + std::to_string((i * 7) % (kNodes / 2));
            writer.append(r);
        }
        writer.close();
    }
    LibraryTreeContent content;
    for (int n = 0; n < kNodes; ++n) {
        content.artists.push_back("Artist " + std::to_string(n));
        content.albums.push_back("Album " + std::to_string(n));
    }

    std::vector<double> oursRuns;
    int left = 0;
    for (int round = 0; round < kRounds; ++round) {
        LibraryTree tree;
        tree.setContent(content);
        const auto start = Clock::now();
        PruneUnnamedNodes(library, tree);
        oursRuns.push_back(secondsSince(start));
        left = tree.myArtistNode()->childCount() + tree.myAlbumNode()->childCount();
    }
    const double ours = bench::SpreadOf(oursRuns).median;
    auto start = Clock::now();

    // The literal scans, on a sample of the nodes; its deletions, in full.
    bench::RecordScanner scanner;
    start = Clock::now();
    for (int k = 0; k < kPruneSample; ++k) {
        const int n = k * kNodes / kPruneSample;
        const std::string artist = "Artist " + std::to_string(n), album = "Album " + std::to_string(n);
        const int fd = ::open(library.musicFile().c_str(), O_RDONLY | O_CLOEXEC);
        scanner.scan(fd, [&](bench::RecordBytes r, std::size_t) { return bench::StoredArtist(r) != artist; });
        scanner.scan(fd, [&](bench::RecordBytes r, std::size_t) { return bench::StoredAlbum(r) != album; });
        ::close(fd);
    }
    const double scans = secondsSince(start) / (2 * kPruneSample) * (2 * kNodes);
    LibraryTree literalTree;
    literalTree.setContent(content);
    start = Clock::now();
    for (QTreeWidgetItem* root : {literalTree.myArtistNode(), literalTree.myAlbumNode()}) {
        const int keep = kNodes / 2;
        for (int i = 0; i < root->childCount();) {
            if (i < keep) ++i;
            else literalTree.removeLeaf(root->child(i));
        }
    }
    const double deletions = secondsSince(start);
    std::printf("Tag editor Close pruning %d artist and %d album nodes, half named by no record of %d\n", kNodes, kNodes,
                kRecords);
    std::printf("  ours      %s s, median [range] of %d  (%d nodes left)\n", bench::Figure(oursRuns, 1, 4).c_str(),
                kRounds, left);
    std::printf("  literal   %8.2f s, estimated once  (scans estimated from %d nodes: %.2f s, deletions one by one: "
                "%.2f s)  ratio to our median %.0f  (goal 50)\n",
                scans + deletions, 2 * kPruneSample, scans, deletions, (scans + deletions) / ours);
}

// Short MP3 files with both tags, as most files carry them.
std::vector<std::string> makeFiles(const std::string& dir) {
    const std::string base = dir + "/base.mp3";
    const std::string encode = "ffmpeg -v error -y -f lavfi -i sine=duration=0.5 -c:a libmp3lame -id3v2_version 0 " + base;
    if (std::system(encode.c_str()) != 0) return {};
    fs::create_directories(dir + "/mp3");
    std::vector<std::string> files;
    for (int i = 0; i < kRows; ++i) {
        const std::string f = dir + "/mp3/track " + std::to_string(i) + ".mp3";
        fs::copy_file(base, f);
        ID3v1Block tag = ID3v1Block::Empty();
        tag.setTitle("Title " + std::to_string(i));
        tag.setArtist("Artist " + std::to_string(i % 300));
        tag.setAlbum("Album " + std::to_string(i % 900));
        tag.setGenre(i % 148);
        WriteID3v1Tag(f, tag);
        WriteID3v2Tag(f, {"Title " + std::to_string(i), "Artist " + std::to_string(i % 300),
                          "Album " + std::to_string(i % 900), "2004", "", "generated", "Rock"});
        files.push_back(f);
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    bench::CheckRecordTexts();
    LibraryBenchProgram program("bench_tageditor", argc, argv);
    const bench::TempFolder& dir = program.dir;
    const std::vector<std::string> files = makeFiles(dir.path());
    if (files.empty()) {
        std::fprintf(stderr, "ffmpeg could not make the MP3 sample\n");
        return 1;
    }
    benchOk(dir.path(), files);
    benchPrune(dir.path());
    return 0;
}
