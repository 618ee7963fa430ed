// startupdata HOME [ARTISTS]: the library the start-up benchmark starts the
// program with, under the data root HOME: a "music.dat" of 100,000 records
// and a "treetext.txt" of ARTISTS artists (5,000 unless told) with two
// albums each. A program of its
// own, so that the benchmark itself maps no Qt library: a cold start must
// find those out of the page cache.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "library/records/trackfile.h"
#include "library/treetext.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: startupdata HOME [ARTISTS]\n");
        return 1;
    }
    constexpr int kRecords = 100000, kAlbumsPerArtist = 2;
    const int kArtists = argc == 3 ? std::atoi(argv[2]) : 5000;
    if (kArtists <= 0) return 1;
    const std::string record = std::string(argv[1]) + "/record";
    std::filesystem::create_directories(record);
    LibraryTreeContent tree;
    for (int a = 0; a < kArtists; ++a) {
        tree.artists.push_back("Artist " + std::to_string(a));
        for (int b = 0; b < kAlbumsPerArtist; ++b)
            tree.albums.push_back("Album " + std::to_string(b) + " of Artist " + std::to_string(a));
    }
    TrackFileWriter writer(record + "/music.dat");
    for (int i = 0; i < kRecords; ++i) {
        const int artist = i % kArtists, album = i / kArtists % kAlbumsPerArtist;
        TrackRecord r;
        r.Title = "Track " + std::to_string(i);
        r.Artist = tree.artists[static_cast<std::size_t>(artist)];
        r.Album = tree.albums[static_cast<std::size_t>(artist * kAlbumsPerArtist + album)];
        r.Genre = "Rock";
        r.Year = "1999";
        r.Path = "/home/listener/Music/" + r.Artist + "/" + r.Album + "/" + r.Title + ".mp3";
        r.DateAdded = 45000.5 + i % 1000;
        writer.append(r);
    }
    writer.close();
    std::ofstream(record + "/treetext.txt", std::ios::binary) << FormatTreeText(tree);
    return 0;
}
