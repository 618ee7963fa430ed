#pragma once
// The [cd ripper] keys that the encoder settings dialog shows and writes and
// that the ripper and its rip read: one reading with one set of defaults, so
// that what the dialog shows for a missing key is what a rip does with it,
// and one writing, so that what the dialog stores is what the rip reads.

#include <string>

class IniFile;

inline constexpr const char* kRipSection = "cd ripper";
// The CD database server offered when none is stored.
inline constexpr const char* kDefaultCddbServer = "gnudb.gnudb.org";

struct RipSettings {
    int grabMode = 1;      // 1..4, stored values
    int errorRetry = 5;
    int errorAction = 2;   // 1..4
    int driveSpeed = 32;
    bool normalize = false;
    bool fade = false;
    int fadeIn = 10;       // s
    int fadeOut = 20;      // s
    int normalizeRatio = 98;
    std::string outputFolder;  // read: never empty (the ripper's folder by default)
    int fileNameFormat = 0;
};

// The CD database lookup of the ripper window.
struct RipLookupSettings {
    int cdSource = 1;
    std::string server = kDefaultCddbServer;
    std::string port = "80";
    int timeoutMs = 15000;
};

RipSettings ReadRipSettings(const IniFile& ini);
RipLookupSettings ReadRipLookupSettings(const IniFile& ini);

// Each stops at the first key that could not be written and returns false
// (lastError() of ini says why).
bool WriteRipSettings(IniFile& ini, const RipSettings& settings);
bool WriteRipLookupSettings(IniFile& ini, const RipLookupSettings& settings);
