#pragma once
// What a rip reads from the [cd ripper] section of the settings, with the
// ripper's own defaults for missing keys (which differ from the settings
// dialog's), and the grabber settings it puts before the rip.

#include <string>

#include "jobs/outputformat.h"

class IniFile;
class CdGrabber;

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
    std::string outputFolder;
    int fileNameFormat = 0;
};

RipSettings ReadRipSettings(const IniFile& ini);
// The output format of the rip: the encoder dialog's codes in [cd ripper],
// read as the dialog reads them, so the rip writes what the dialog shows.
OutputFormat ReadRipFormat(const IniFile& ini, OutputKind kind);

// The four grabber settings, each the stored value minus one.
void ApplyGrabSettings(const RipSettings& settings, CdGrabber& grabber);
