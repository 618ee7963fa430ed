#include "jobs/outputformat.h"

#include <cstring>

#include "components/audio/audiofile.h"
#include "jobs/encodertables.h"
#include "platform/inifile.h"

namespace et = encodertables;

QString OutputExtension(OutputKind kind) {
    switch (kind) {
    case OutputKind::Wav: return QStringLiteral(".wav");
    case OutputKind::Mp3: return QStringLiteral(".mp3");
    case OutputKind::Ogg: return QStringLiteral(".ogg");
    case OutputKind::Wma: return QStringLiteral(".wma");
    }
    return {};
}

QString OutputFormat::configure(AudioFile& writer) const {
    switch (kind) {
    case OutputKind::Wav: writer.setWavFormat(wavRate, wavChannels, wavBits); break;
    case OutputKind::Mp3:
        if (refuseUnsupportedMp3 && !writer.setMp3Format(mp3.sampleRate, mp3.bitrate, mp3.channelMode))
            return kUnsupportedMp3Text;
        writer.setMp3Encoder(mp3);
        break;
    case OutputKind::Ogg: writer.setOggFormat(oggRate, oggChannels, oggKbps, oggMinKbps, oggMaxKbps, oggQuality); break;
    case OutputKind::Wma: writer.setWmaFormat(wmaProfile); break;
    }
    return {};
}

EncoderDialogCodes EncoderDialogCodes::read(const IniFile& ini, const char* section) {
    EncoderDialogCodes c;
    // The ripper's dialog starts its VBR quality lower than the recorder's.
    if (std::strcmp(section, "recorder") != 0) c.mp3VbrQuality = 5;
    return read(ini, section, c);
}

EncoderDialogCodes EncoderDialogCodes::read(const IniFile& ini, const char* section,
                                            const EncoderDialogCodes& defaults) {
    EncoderDialogCodes c = defaults;
    auto get = [&](const char* key, int& value) { value = ini.readInteger(section, key, value); };
    get("wav frequency", c.wavFrequency);
    get("wav channel", c.wavChannel);
    get("wav bit", c.wavBit);
    get("mp3 vbr bitrate", c.mp3VbrBitrate);
    get("mp3 vbr quality", c.mp3VbrQuality);
    get("mp3 channel", c.mp3Channel);
    get("mp3 frequency", c.mp3Frequency);
    get("mp3 bitrate", c.mp3Bitrate);
    get("ogg bitrate", c.oggBitrate);
    get("ogg quality", c.oggQuality);
    get("ogg channel", c.oggChannel);
    get("ogg frequency", c.oggFrequency);
    get("wma format", c.wmaFormat);
    return c;
}

OutputFormat EncoderDialogFormat(OutputKind kind, const EncoderDialogCodes& c) {
    OutputFormat f;
    f.kind = kind;
    f.wavRate = et::At(et::kDialogWavRates, c.wavFrequency - 1);
    f.wavChannels = c.wavChannel;
    f.wavBits = et::At(et::kWavBits, c.wavBit - 1);
    f.mp3.vbrBitrate = et::At(et::kMp3Bitrates, c.mp3VbrBitrate);
    f.mp3.vbrQuality = c.mp3VbrQuality;
    f.mp3.channelMode = c.mp3Channel + 1;
    f.mp3.sampleRate = et::At(et::kDialogMp3Rates, c.mp3Frequency);
    f.mp3.bitrate = et::At(et::kMp3Bitrates, c.mp3Bitrate);
    f.refuseUnsupportedMp3 = true;
    f.oggRate = et::At(et::kDialogOggRates, c.oggFrequency);
    f.oggChannels = c.oggChannel + 1;
    f.oggKbps = et::At(et::kDialogOggBitrates, c.oggBitrate);
    f.oggMinKbps = 0;
    f.oggMaxKbps = 320;
    f.oggQuality = c.oggQuality;
    f.wmaProfile = et::At(et::WmaProfileIds, c.wmaFormat);
    return f;
}

OutputFormat ReadEncoderDialogFormat(const IniFile& ini, const char* section, OutputKind kind) {
    return EncoderDialogFormat(kind, EncoderDialogCodes::read(ini, section));
}
