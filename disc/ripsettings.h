#pragma once
// What a rip reads from the [cd ripper] section of the settings, with the
// ripper's own defaults for missing keys (which differ from the settings
// dialog's), and the grabber settings it puts before the rip.

#include <string>

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
    int wavFrequency = 1, wavBit = 1, wavChannel = 1;
    int mp3Frequency = 1, mp3Bitrate = 7, mp3Channel = 1, mp3VbrBitrate = 7, mp3VbrQuality = 8;
    int oggFrequency = 1, oggChannel = 1, oggBitrate = 1, oggQuality = 300;
};

RipSettings ReadRipSettings(const IniFile& ini);

// The four grabber settings, each the stored value minus one.
void ApplyGrabSettings(const RipSettings& settings, CdGrabber& grabber);
