#include "tools/recordersettings.h"

#include <QLocale>

#include "platform/inifile.h"
#include "platform/userfolders.h"
#include "jobs/encodertables.h"

namespace et = encodertables;

namespace {

int Int(const IniFile& ini, const char* key, int def) { return ini.readInteger(kRecorderSection, key, def); }
bool Bool(const IniFile& ini, const char* key, bool def) { return ini.readBool(kRecorderSection, key, def); }

QString ChannelName(int index) { return index == 0 ? QStringLiteral("Mono") : QStringLiteral("Stereo"); }

}  // namespace

RecorderSettings ReadRecorderSettings(const IniFile& ini) {
    RecorderSettings s;
    s.folder = StoredFolderOr(QString::fromStdString(ini.readString(kRecorderSection, "format path", "")), MusicFolder());
    s.fileInfo = QString::fromStdString(ini.readString(kRecorderSection, "file info", "mp3  44100hz; 128bit; Stereo"));
    s.timeLimit = Bool(ini, "time", false);
    s.hour = Int(ini, "hour", 0);
    s.minute = Int(ini, "minute", 10);
    s.second = Int(ini, "second", 0);
    s.notchOn = Bool(ini, "notch filter enabled", false);
    s.highOn = Bool(ini, "high filter enabled", false);
    s.lowOn = Bool(ini, "low filter enabled", false);
    s.notch = Int(ini, "notch filter", 50);
    s.high = Int(ini, "high filter", 400);
    s.low = Int(ini, "low filter", 4000);
    s.format = Int(ini, "format", 1);
    static_cast<EncoderDialogCodes&>(s) = EncoderDialogCodes::read(ini, kRecorderSection);
    s.silence = Bool(ini, "cb auto", true);
    s.attack = Int(ini, "at", 300);
    s.release = Int(ini, "rt", 100);
    s.level = Int(ini, "rl", -1);
    return s;
}

QString RecordFileName(int patternIndex, const QDateTime& at) {
    // "mm" after an hour is the minute, elsewhere the month.
    static const std::array<const char*, 6> kPatterns = {"dd-MM-yyyy", "dd-MM--hh", "dd--hh;mm",
                                                         "hh;mm;ss",   "MM-dd--hh;mm", "dd-MM-yyyy--hh;mm;ss"};
    const size_t i = patternIndex >= 0 && patternIndex < 6 ? static_cast<size_t>(patternIndex) : 5;
    return QLocale::c().toString(at, QString::fromLatin1(kPatterns[i]));
}

QString SplitLineName(const QString& name) {
    return name.size() > 10 ? name.left(10) + QLatin1Char('\r') + name.mid(10) : name;
}

QString RecorderFormatSummary(const IniFile& ini, int format) {
    const RecorderSettings s = ReadRecorderSettings(ini);
    switch (format) {
    case 0:
        return QStringLiteral("WAV  %1KHz %2Kbit %3")
            .arg(et::At(et::kDialogWavRates, s.wavFrequency - 1))
            .arg(et::At(et::kWavBits, s.wavBit - 1))
            .arg(ChannelName(s.wavChannel - 1));
    case 1:
        return QStringLiteral("MP3  %1KHz %2 %3Kbit")
            .arg(et::At(et::kDialogMp3Rates, s.mp3Frequency))
            .arg(ChannelName(s.mp3Channel))
            .arg(et::At(et::kMp3Bitrates, s.mp3Bitrate));
    case 2:
        return QStringLiteral("OGG  %1KHz %2 %3Kbit")
            .arg(et::At(et::kDialogOggRates, s.oggFrequency))
            .arg(ChannelName(s.oggChannel))
            .arg(et::At(et::kDialogOggBitrates, s.oggBitrate));
    case 3: {
        // What the recorder will record, which is what the encoder dialog
        // shows whenever it last loaded the recorder's settings.
        const QStringList texts = et::WmaFormatTexts();
        return s.wmaFormat >= 0 && s.wmaFormat < texts.size() ? texts[s.wmaFormat] : QString();
    }
    default: return {};
    }
}
