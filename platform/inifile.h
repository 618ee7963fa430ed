#pragma once
// The settings file. Every read opens the file, reads and closes it; every
// write reads the file, changes one line and replaces the file atomically,
// so two running instances and every window see the same values and nothing
// is cached. Section and key names compare without regard to ASCII case (the
// windows spell some names differently and must meet in the file). A
// section written twice holds the keys of both copies, and the first
// occurrence of a key wins, on read and on write. Lines that are not
// sections, keys or comments are skipped on read and kept on write.
//
// A settings file larger than kMaxSettingsFileBytes, or one that is not a
// regular file, reads as missing, and a write to it fails.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr uint64_t kMaxSettingsFileBytes = 16u << 20;

// The text-level operations, for the class below and for tests and fuzzers.
// Values are trimmed of blanks and tabs on both sides.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key);
// The text with section/key set to value: an existing key line keeps its
// key spelling and line end, a new key goes after the last key of the
// section's first copy, a new section goes at the end. Lines end in CR LF
// where a line is added.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);
// False for names and values the line format cannot hold (a line break, a
// "]" in a section name, an "=" in a key, an empty key or one that starts
// like a comment or section); such a write is refused, not half done.
bool IsStorableIniEntry(std::string_view section, std::string_view key, std::string_view value);

class IniFile {
public:
    // "Tunevale.ini" in the config folder.
    IniFile();
    explicit IniFile(std::string path);

    const std::string& path() const { return path_; }

    std::string readString(std::string_view section, std::string_view key, std::string_view def) const;
    // Decimal with an optional sign, or hexadecimal after "$" or "0x"; a
    // value that is missing, not a number or out of range gives def.
    int readInteger(std::string_view section, std::string_view key, int def) const;
    // Stored as 1 and 0; any other number is true, a non-number gives def.
    bool readBool(std::string_view section, std::string_view key, bool def) const;

    // Each returns false, with lastError() saying why, when the value was
    // not stored; the file is then unchanged.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInteger(std::string_view section, std::string_view key, int value);
    bool writeBool(std::string_view section, std::string_view key, bool value);

    const std::string& lastError() const { return lastError_; }

private:
    std::optional<std::string> find(std::string_view section, std::string_view key) const;

    std::string path_;
    std::string lastError_;
};
