#pragma once
// The CD database's side that needs no network: the disc id of a table of
// contents, the command lines sent, the answers parsed, and the texts made
// safe to show. No Qt, so the fuzzer and the tests link it alone.
//
// Everything the server sends is outside input: answers are parsed with
// limits, escapes are decoded, and every text comes back as valid UTF-8
// without control characters and at most CddbTextLimit characters long.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the tracks start (logical sectors, track 1 first) and where the
// lead-out starts.
struct CdTableOfContents {
    std::vector<int32_t> trackLsn;
    int32_t leadoutLsn = 0;
};

inline constexpr std::size_t CddbTextLimit = 1024;

uint32_t CddbDiscId(const CdTableOfContents& toc);
// Eight lower-case hex digits.
std::string CddbDiscIdText(uint32_t id);
// "cddb query 0b000f03 3 150 525 840 17"
std::string CddbQueryCommand(const CdTableOfContents& toc);

struct CddbMatch {
    std::string category;
    std::string discId;
    std::string title;
};

struct CddbQueryAnswer {
    int code = 0;                    // 200, 210/211 (list), 202 (none), 4xx/5xx, 0 unreadable
    std::vector<CddbMatch> matches;  // only entries with a known category and an 8-hex id
};
CddbQueryAnswer ParseCddbQueryAnswer(std::string_view body);

struct CddbRecord {
    std::string artist;
    std::string album;
    std::string genre;                // DGENRE, else the category's ID3 name
    std::vector<std::string> titles;  // one per track, empty where unknown
};

// The body of a read answer ("210 rock 0b000f03 ..." then xmcd lines up to
// "."); nothing when it is not a 210 answer. The xmcd lines themselves are
// returned in *xmcd when given (what the cache keeps).
std::optional<CddbRecord> ParseCddbReadAnswer(std::string_view body, const std::string& category,
                                              int trackCount, std::string* xmcd = nullptr);
// Plain xmcd lines, as the cache holds them.
CddbRecord ParseXmcd(std::string_view xmcd, const std::string& category, int trackCount);

// \n, \t and \\ decoded (a \n or \t becomes a blank, as a one-line text
// shows it); any other backslash stays.
std::string DecodeCddbEscapes(std::string_view text);
// Valid UTF-8 (bad bytes become U+FFFD), no C0 controls or DEL, trimmed,
// at most CddbTextLimit characters.
std::string CleanCddbText(std::string_view text);

// The eleven categories of the protocol, and ids of eight hex digits: the
// only names that may become cache folders and files.
bool IsCddbCategory(std::string_view category);
bool IsCddbDiscId(std::string_view id);
// The ID3 genre name of a category ("rock" -> "Rock"; misc and data -> "Other").
std::string CddbCategoryGenre(std::string_view category);

// The first number of an answer's first line, 0 when there is none.
int CddbAnswerCode(std::string_view body);
