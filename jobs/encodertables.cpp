#include "jobs/encodertables.h"

#include <algorithm>

#include "components/audio/encoderlimits.h"

namespace encodertables {

namespace {

struct WmaFormat {
    const char* text;
    const char* help;
};

// The texts stand as written, full stops and the trailing blank of index 10
// included: several formats share a caption and differ only in their help,
// and the settings file keeps the list index, so no entry may be merged,
// dropped or moved.
constexpr std::array<WmaFormat, 18> kWmaFormats = {{
    {"WMA 8,000 Hz; 16 Bit; Mono; 6 kbps", "Audio for low bit rate voice-oriented content (6.5 Kbps)"},
    {"WMA 22,050 Hz; 16 Bit; Mono; 20 kbps", "Audio for FM radio quality for dial-up modems (28.8 Kbps mono)"},
    {"WMA 22,050 Hz; 16 Bit; Stereo; 20 kbps", "Audio for FM radio quality for dial-up modems (28.8 Kbps stereo)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps", "Audio for dial-up modems (56 Kbps stereo)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 48 kbps", "Audio for single-channel ISDN (64 Kbps stereo)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps", "Audio for near-CD quality (64 Kbps stereo)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 96 kbps", "Audio for CD-quality (96 Kbps stereo)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps", "Audio for CD-quality transparency (128 Kbps stereo)"},
    {"WMA 22,050 Hz; 16 Bit; Mono; 20 kbps", "WMA 8 for Dial-up Modem (Mono, 28.8 Kbps)"},
    {"WMA 22,050 Hz; 16 Bit; Stereo; 20 kbps", "WMA 8 for Dial-up Modem (FM Radio Stereo, 28.8 Kbps)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps", "WMA 8 for Dial-up Modem (32 Kbps) "},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 48 kbps.", "WMA 8 for Dial-up Modem (Near CD quality, 48 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps", "WMA 8 for Dial-up Modem (CD quality, 64 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 96 kbps", "WMA 8 for ISDN (Better than CD quality, 96 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps", "WMA Audio 8 for ISDN (Better than CD quality, 128 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps", "WMA 8 Fair Quality based VBR for Broadband"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps.", "WMA 8 High Quality based VBR for Broadband."},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps", "WMA 8 Best Quality based VBR for Broadband."},
}};

}  // namespace

int AllowedMp3Bitrates(int sampleRate) {
    const int highest = audio::maxMp3Bitrate(audio::nearestMp3SampleRate(sampleRate));
    const auto allowed = std::count_if(kMp3Bitrates.begin(), kMp3Bitrates.end(), [&](int kbps) { return kbps <= highest; });
    return std::max(1, static_cast<int>(allowed));
}

int ConverterOggBitrate(int listIndex) { return At(kOggBitrates, listIndex + 1); }

QStringList WmaFormatTexts() {
    QStringList texts;
    for (const WmaFormat& f : kWmaFormats) texts << QString::fromLatin1(f.text);
    return texts;
}

QString WmaHelpText(int index) {
    if (index < 0 || index >= static_cast<int>(kWmaFormats.size())) return {};
    return QString::fromLatin1(kWmaFormats[static_cast<size_t>(index)].help);
}

}  // namespace encodertables
