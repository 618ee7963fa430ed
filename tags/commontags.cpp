#include "tags/commontags.h"

#include <charconv>

#include "tags/asf/wmatag.h"
#include "tags/mpeg/id3genres.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "tags/ogg/oggtag.h"
#include "tags/textcodec.h"

CommonTags CommonTagsOf(const ID3StructV2& tag) {
    return {tag.Title, tag.Artist, tag.Album, tag.Year, tag.Comment, tag.Track, tag.Genre};
}

void PutCommonTags(ID3StructV2& tag, const CommonTags& t) {
    tag.Title = t.title;
    tag.Artist = t.artist;
    tag.Album = t.album;
    tag.Year = t.year;
    tag.Comment = t.comment;
    tag.Track = t.track;
    tag.Genre = t.genre;
}

CommonTags CommonTagsOf(const ID3v1Block& block) {
    return {block.title(),   block.artist(), block.album(), block.year(),
            block.comment(), block.track(),  std::string(Id3GenreName(block.genre()))};
}

void PutCommonTags(ID3v1Block& block, const CommonTags& t) {
    block.setTitle(t.title);
    block.setArtist(t.artist);
    block.setAlbum(t.album);
    block.setYear(t.year);
    block.setTrack(t.track);
    block.setComment(t.comment);
}

CommonTags CommonTagsOf(const OGGTag& tag) {
    return {tag.Title, tag.Artist, tag.Album, tag.Date, tag.Comment, tag.TrackNumber, tag.Genre};
}

void PutCommonTags(OGGTag& tag, const CommonTags& t) {
    tag.Title = t.title;
    tag.Artist = t.artist;
    tag.Album = t.album;
    tag.Date = t.year;
    tag.Comment = t.comment;
    tag.TrackNumber = t.track;
    tag.Genre = t.genre;
}

CommonTags CommonTagsOf(const WmaTagInfo& info) {
    return {info.Title,       info.Author, info.Album, info.Year,
            info.Description, std::to_string(info.TrackNumber), info.Genre};
}

uint16_t WmaTrackNumber(std::string_view text) {
    text = tags::TrimTagText(text);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF) return 0;
    return static_cast<uint16_t>(value);
}

void PutCommonTags(WmaTagInfo& info, const CommonTags& t) {
    info.Title = t.title;
    info.Author = t.artist;
    info.Album = t.album;
    info.Year = t.year;
    info.Description = t.comment;
    info.TrackNumber = WmaTrackNumber(t.track);
    info.Genre = t.genre;
}

std::array<std::string*, 7> CommonTagFields(CommonTags& t) {
    return {&t.title, &t.artist, &t.album, &t.year, &t.comment, &t.track, &t.genre};
}
