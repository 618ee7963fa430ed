#pragma once
// The seven fields every tag format has (title, artist, album, year,
// comment, track, genre), as texts, and where each format keeps them: the
// formats name them differently (WMA's Author and Description, Vorbis
// comments' DATE and TRACKNUMBER, RIFF INFO's four-letter ids). Whoever
// reads or writes those seven goes through here and keeps only its own
// rules (trimming, numbers, the genre list).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct ID3StructV2;
struct ID3v1Block;
struct OGGTag;
struct WmaTagInfo;

struct CommonTags {
    std::string title, artist, album, year, comment, track, genre;
    bool operator==(const CommonTags&) const = default;
};

CommonTags CommonTagsOf(const ID3StructV2& tag);
void PutCommonTags(ID3StructV2& tag, const CommonTags& t);

// The block's texts as stored (not trimmed); the genre is the list's name
// of the block's genre byte, empty for none.
CommonTags CommonTagsOf(const ID3v1Block& block);
// Every field but the genre, which the block keeps as a list index that
// the caller chooses.
void PutCommonTags(ID3v1Block& block, const CommonTags& t);

CommonTags CommonTagsOf(const OGGTag& tag);
void PutCommonTags(OGGTag& tag, const CommonTags& t);

// The track is the attribute's number ("0" for none).
CommonTags CommonTagsOf(const WmaTagInfo& info);
// A track that is not a plain number from 0 to 65535 (spaces around it
// aside) is written as 0.
void PutCommonTags(WmaTagInfo& info, const CommonTags& t);
uint16_t WmaTrackNumber(std::string_view text);

// The RIFF INFO ids of a WAV file's seven fields, in CommonTags' order.
inline constexpr std::array<const char*, 7> kWavCommonTagIds = {"INAM", "IART", "IPRD", "ICRD",
                                                                "ICMT", "ITRK", "IGNR"};
// The Vorbis comment keys, in CommonTags' order.
inline constexpr std::array<const char*, 7> kOggCommonTagKeys = {"TITLE",   "ARTIST",      "ALBUM", "DATE",
                                                                 "COMMENT", "TRACKNUMBER", "GENRE"};

// The fields in CommonTags' order, for the formats kept as keyed texts.
std::array<std::string*, 7> CommonTagFields(CommonTags& t);
