#pragma once
// The output format of a job that writes audio: which kind, the parameters
// of each kind, and the one call that hands them to a writer. The converter
// windows, combine, the recorder and the ripper each offer their own lists
// (their dialogs differ on purpose), and each turns its choice into one of
// these.

#include <QString>

#include "components/audio/mp3encodersettings.h"

class AudioFile;
class IniFile;

// The codes are those the combine and encoder dialogs store.
enum class OutputKind { Wav = 0, Mp3 = 1, Ogg = 2, Wma = 3 };

// ".wav", ".mp3", ".ogg", ".wma".
QString OutputExtension(OutputKind kind);

// What the user is told when MPEG audio has no such rate and bitrate pair.
inline const QString kUnsupportedMp3Text =
    QStringLiteral("Do not support this MP3 format! Please high the Frequency or the Bitrate.");

struct OutputFormat {
    OutputKind kind = OutputKind::Mp3;
    int wavRate = 44100, wavChannels = 2, wavBits = 16;
    Mp3EncoderSettings mp3;
    // Refuse an MP3 rate and bitrate pair that MPEG audio lacks; otherwise
    // the writer brings the bitrate to the nearest allowed one.
    bool refuseUnsupportedMp3 = false;
    // kbit/s; 0 for a limit: none. oggKbps 0: quality mode (0..1000).
    int oggRate = 44100, oggChannels = 2, oggKbps = 128, oggMinKbps = 0, oggMaxKbps = 0, oggQuality = 300;
    int wmaProfile = 24;

    QString extension() const { return OutputExtension(kind); }
    // Hands the format to writer; empty when it took it, else the message
    // to show (the writer then has no format of this call).
    QString configure(AudioFile& writer) const;
};

// The codes the encoder settings dialog stores in its sections ([cd ripper]
// for the ripper, [recorder] for the recorder): list indexes, and codes from
// 1 for the WAV radio groups.
struct EncoderDialogCodes {
    int wavFrequency = 2, wavChannel = 2, wavBit = 2;
    int mp3VbrBitrate = 7, mp3VbrQuality = 8, mp3Channel = 1, mp3Frequency = 1, mp3Bitrate = 7;
    int oggBitrate = 1, oggQuality = 300, oggChannel = 1, oggFrequency = 1;
    int wmaFormat = 7;

    // With the dialog's defaults for the keys that are missing: what the
    // dialog shows is what the jobs that read the section use.
    static EncoderDialogCodes read(const IniFile& ini, const char* section);
    // The same over other defaults for the keys that are missing.
    static EncoderDialogCodes read(const IniFile& ini, const char* section, const EncoderDialogCodes& defaults);
};

// The format the codes stand for; MP3 pairs MPEG audio lacks are refused.
OutputFormat EncoderDialogFormat(OutputKind kind, const EncoderDialogCodes& codes);
// The same, read from the dialog's section.
OutputFormat ReadEncoderDialogFormat(const IniFile& ini, const char* section, OutputKind kind);
