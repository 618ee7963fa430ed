#include "components/disc/cddbtext.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <map>

#include "platform/utf8.h"

namespace {

constexpr std::array<std::string_view, 11> kCategories = {
    "blues", "classical", "country", "data", "folk", "jazz", "misc", "newage", "reggae", "rock", "soundtrack"};
constexpr std::array<std::string_view, 11> kCategoryGenres = {
    "Blues", "Classical", "Country", "Other", "Folk", "Jazz", "Other", "New Age", "Reggae", "Rock", "Soundtrack"};

// A value longer than this is cut while it is gathered: a server that sends
// a megabyte of title still costs only this much per field.
constexpr std::size_t kRawFieldLimit = 16 * 1024;
constexpr int kMaxTracks = 99;

int digitSum(int n) {
    int s = 0;
    for (; n > 0; n /= 10) s += n % 10;
    return s;
}

// The answer's lines, CR LF or LF, up to the end or the lone "." that ends
// a list; *terminated tells whether that "." came.
std::vector<std::string_view> answerLines(std::string_view body, bool* terminated) {
    std::vector<std::string_view> lines;
    if (terminated) *terminated = false;
    std::size_t pos = 0;
    while (pos < body.size()) {
        std::size_t end = body.find('\n', pos);
        std::string_view line = body.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line == "." && !lines.empty()) {
            if (terminated) *terminated = true;
            break;
        }
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        pos = end + 1;
    }
    return lines;
}

std::vector<std::string_view> words(std::string_view line, int maxWords) {
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos < line.size() && static_cast<int>(out.size()) < maxWords - 1) {
        while (pos < line.size() && line[pos] == ' ') ++pos;
        if (pos >= line.size()) break;
        std::size_t end = line.find(' ', pos);
        if (end == std::string_view::npos) end = line.size();
        out.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos < line.size()) out.push_back(line.substr(pos));
    return out;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

void appendLimited(std::string& to, std::string_view part) {
    if (to.size() >= kRawFieldLimit) return;
    to.append(part.substr(0, kRawFieldLimit - to.size()));
}

std::optional<CddbMatch> matchOf(std::string_view line) {
    auto w = words(line, 3);
    if (w.size() < 2) return std::nullopt;
    std::string category = lower(w[0]);
    std::string id = lower(w[1]);
    if (!IsCddbCategory(category) || !IsCddbDiscId(id)) return std::nullopt;
    return CddbMatch{category, id, CleanCddbText(w.size() > 2 ? w[2] : std::string_view())};
}

}  // namespace

uint32_t CddbDiscId(const CdTableOfContents& toc) {
    int n = 0;
    for (int32_t lsn : toc.trackLsn) n += digitSum((lsn + 150) / 75);
    const int first = toc.trackLsn.empty() ? 0 : (toc.trackLsn.front() + 150) / 75;
    const int total = (toc.leadoutLsn + 150) / 75;
    const uint32_t t = static_cast<uint32_t>(std::max(0, total - first)) & 0xffffu;
    return (static_cast<uint32_t>(n % 255) << 24) | (t << 8) | (static_cast<uint32_t>(toc.trackLsn.size()) & 0xffu);
}

std::string CddbDiscIdText(uint32_t id) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", id);
    return text;
}

std::string CddbQueryCommand(const CdTableOfContents& toc) {
    std::string cmd = "cddb query " + CddbDiscIdText(CddbDiscId(toc)) + " " + std::to_string(toc.trackLsn.size());
    for (int32_t lsn : toc.trackLsn) cmd += " " + std::to_string(lsn + 150);
    cmd += " " + std::to_string((toc.leadoutLsn + 150) / 75);
    return cmd;
}

int CddbAnswerCode(std::string_view body) {
    int code = 0;
    std::size_t i = 0;
    while (i < body.size() && i < 3 && body[i] >= '0' && body[i] <= '9') code = code * 10 + (body[i++] - '0');
    if (i != 3 || (i < body.size() && body[i] != ' ' && body[i] != '\r' && body[i] != '\n')) return 0;
    return code;
}

CddbQueryAnswer ParseCddbQueryAnswer(std::string_view body) {
    CddbQueryAnswer answer;
    answer.code = CddbAnswerCode(body);
    bool terminated = false;
    const auto lines = answerLines(body, &terminated);
    if (answer.code == 200 && !lines.empty()) {
        auto w = words(lines[0], 2);
        if (w.size() == 2)
            if (auto m = matchOf(w[1])) answer.matches.push_back(*m);
    } else if ((answer.code == 210 || answer.code == 211) && terminated) {
        // A list cut short may have lost the entry the server put first.
        for (std::size_t i = 1; i < lines.size() && answer.matches.size() < 64; ++i)
            if (auto m = matchOf(lines[i])) answer.matches.push_back(*m);
    }
    return answer;
}

std::string DecodeCddbEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[i + 1];
            if (next == 'n' || next == 't') {
                out += ' ';
                ++i;
                continue;
            }
            if (next == '\\') {
                out += '\\';
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string CleanCddbText(std::string_view text) {
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size() && chars < CddbTextLimit;) {
        char32_t cp = 0;
        std::size_t len = DecodeUtf8Char(text, i, &cp);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++chars;
            ++i;
            continue;
        }
        if (cp >= 0x20 && cp != 0x7f && !(cp >= 0x80 && cp < 0xa0)) {
            out.append(text.substr(i, len));
            ++chars;
        }
        i += len;
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = out.find_last_not_of(' ');
    return out.substr(first, last - first + 1);
}

bool IsCddbCategory(std::string_view category) {
    return std::find(kCategories.begin(), kCategories.end(), category) != kCategories.end();
}

bool IsCddbDiscId(std::string_view id) {
    return id.size() == 8 && std::all_of(id.begin(), id.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::string CddbCategoryGenre(std::string_view category) {
    const std::string c = lower(category);
    for (std::size_t i = 0; i < kCategories.size(); ++i)
        if (kCategories[i] == c) return std::string(kCategoryGenres[i]);
    return "Other";
}

CddbRecord ParseXmcd(std::string_view xmcd, const std::string& category, int trackCount) {
    trackCount = std::clamp(trackCount, 0, kMaxTracks);
    std::string dtitle, dgenre;
    std::vector<std::string> titles(static_cast<std::size_t>(trackCount));
    for (std::string_view line : answerLines(xmcd, nullptr)) {
        if (line.empty() || line.front() == '#') continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, eq);
        const std::string_view value = line.substr(eq + 1);
        if (key == "DTITLE") {
            appendLimited(dtitle, value);
        } else if (key == "DGENRE") {
            appendLimited(dgenre, value);
        } else if (key.size() > 6 && key.size() <= 9 && key.substr(0, 6) == "TTITLE") {
            int n = -1;
            const auto digits = key.substr(6);
            auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
            if (ec == std::errc() && p == digits.data() + digits.size() && n >= 0 && n < trackCount)
                appendLimited(titles[static_cast<std::size_t>(n)], value);
        }
    }
    CddbRecord record;
    const std::string title = DecodeCddbEscapes(dtitle);
    const auto slash = title.find(" / ");
    if (slash == std::string::npos) {
        record.artist = record.album = CleanCddbText(title);
    } else {
        record.artist = CleanCddbText(std::string_view(title).substr(0, slash));
        record.album = CleanCddbText(std::string_view(title).substr(slash + 3));
    }
    record.genre = CleanCddbText(DecodeCddbEscapes(dgenre));
    if (record.genre.empty()) record.genre = CddbCategoryGenre(category);
    for (auto& t : titles) record.titles.push_back(CleanCddbText(DecodeCddbEscapes(t)));
    return record;
}

std::optional<CddbRecord> ParseCddbReadAnswer(std::string_view body, const std::string& category, int trackCount,
                                              std::string* xmcd) {
    if (CddbAnswerCode(body) != 210) return std::nullopt;
    bool terminated = false;
    const auto lines = answerLines(body, &terminated);
    // Without its closing "." the record may have lost titles on the way.
    if (!terminated || lines.empty()) return std::nullopt;
    std::string kept;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        kept.append(lines[i]);
        kept += "\r\n";
    }
    if (xmcd) *xmcd = kept;
    return ParseXmcd(kept, category, trackCount);
}
