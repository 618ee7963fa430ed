// Any settings file, however damaged, reads without a crash or a hang, and
// a write into it stores what a later read finds while keeping the rest.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/inifile.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first line names the section and key to use, the rest is the file.
    size_t nl = input.find('\n');
    std::string_view head = nl == std::string_view::npos ? std::string_view() : input.substr(0, nl);
    std::string_view text = nl == std::string_view::npos ? input : input.substr(nl + 1);
    size_t tab = head.find('\t');
    std::string_view section = tab == std::string_view::npos ? std::string_view("File Manager") : head.substr(0, tab);
    std::string_view key = tab == std::string_view::npos ? head : head.substr(tab + 1);

    (void)FindIniValue(text, section, key);
    (void)FindIniValue(text, "basic", "skin");

    if (!IsStorableIniEntry(section, key, "value 1")) return 0;
    std::string once = SetIniValue(text, section, key, "value 1");
    Check(FindIniValue(once, section, key) == std::optional<std::string>("value 1"));
    // No line is lost: a write changes one line's value or adds lines.
    auto breaks = [](std::string_view t) {
        return std::count_if(t.begin(), t.end(), [](char c) { return c == '\n' || c == '\r'; });
    };
    Check(breaks(once) >= breaks(text));
    std::string twice = SetIniValue(once, section, key, "value 1");
    Check(twice == once);
    std::string other = SetIniValue(once, section, key, "2");
    Check(FindIniValue(other, section, key) == std::optional<std::string>("2"));
    // Another entry's write leaves this one alone (unless it names the same one).
    std::string beside = SetIniValue(once, "fuzz other", "k", "3");
    auto after = FindIniValue(beside, section, key);
    Check(after == std::optional<std::string>("value 1") || after == std::optional<std::string>("3"));
    Check(FindIniValue(beside, "fuzz other", "k") == std::optional<std::string>("3"));
    return 0;
}
