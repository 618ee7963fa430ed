#include "mainwindowsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tags/mpeg/id3v1.h"
#include "tags/ogg/oggtag.h"
#include "tags/asf/wmatag.h"
#include "testenv.h"

namespace mwtest {

namespace {

// One encode per format and test binary; later files are copies.
std::string sample(const std::string& ext, const std::string& codec) {
    static std::map<std::string, std::string> made;
    if (auto it = made.find(ext); it != made.end()) return it->second;
    const std::string file = testenv::makeTempDir("sample") + "/sample." + ext;
    EXPECT_TRUE(testenv::encodeTone(file, 0.3, codec + " -map_metadata -1")) << "ffmpeg could not make " << file;
    made[ext] = file;
    return file;
}

void copy(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

}  // namespace

std::string makeMp3(const std::string& path, const Tags& tags, bool withTag) {
    copy(sample("mp3", "-c:a libmp3lame -id3v2_version 0 -write_xing 0"), path);
    if (!withTag) return path;
    ID3v1Block block = ID3v1Block::Empty();
    block.setTitle(tags.title);
    block.setArtist(tags.artist);
    block.setAlbum(tags.album);
    block.setYear(tags.year);
    block.setComment(tags.comment);
    block.bytes[127] = static_cast<uint8_t>(tags.genreByte);
    EXPECT_TRUE(WriteID3v1Tag(path, block).ok);
    return path;
}

std::string makeOgg(const std::string& path, const Tags& tags) {
    copy(sample("ogg", "-c:a libvorbis"), path);
    OGGTag tag;
    tag.Title = tags.title;
    tag.Artist = tags.artist;
    tag.Album = tags.album;
    tag.Genre = tags.genre;
    tag.Date = tags.year;
    tag.Comment = tags.comment;
    EXPECT_TRUE(WriteOggTag(path, tag).ok);
    return path;
}

std::string makeWma(const std::string& path, const Tags& tags) {
    copy(sample("wma", "-c:a wmav2 -b:a 64k"), path);
    WmaTagInfo info;
    info.Title = tags.title;
    info.Author = tags.artist;
    info.Album = tags.album;
    info.Genre = tags.genre;
    info.Year = tags.year;
    info.Description = tags.comment;
    EXPECT_TRUE(WriteWmaTag(path, info).ok);
    return path;
}

std::string makeWav(const std::string& path) {
    copy(sample("wav", "-c:a pcm_s16le"), path);
    return path;
}

}  // namespace mwtest
