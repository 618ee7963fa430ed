#pragma once
// The option lists of the encoder settings dialog and the converter windows,
// and the values their indexes and codes stand for. The lists store an index
// (or, in the dialog's radio groups, a code from 1); whoever configures a
// writer turns it into a value here.

#include <array>

#include <QString>
#include <QStringList>

namespace encodertables {

// MP3, shared: the 13 constant and variable bitrates in kbit/s.
inline constexpr std::array<int, 13> kMp3Bitrates = {40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

// How many of kMp3Bitrates, from the first, MPEG audio allows at a sample
// rate (the lowest entry is allowed at every rate).
int AllowedMp3Bitrates(int sampleRate);

// Converter windows.
inline constexpr std::array<int, 9> kConverterMp3Rates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
inline constexpr std::array<int, 10> kConverterWavRates = {6000,  8000,  11025, 12000, 16000,
                                                           22050, 24000, 32000, 44100, 48000};
inline constexpr std::array<int, 2> kWavBits = {8, 16};
inline constexpr std::array<int, 3> kConverterOggRates = {32000, 44100, 48000};
// The OGG bitrate list shows 12 items from "48kb" while this table starts
// at 40; item i sends entry i + 1, so that every item sends what it shows.
inline constexpr std::array<int, 13> kOggBitrates = {40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
int ConverterOggBitrate(int listIndex);

// The WMA formats of both windows: list index -> writer profile.
inline constexpr std::array<int, 18> WmaProfileIds = {17, 18, 19, 20, 21, 22, 23, 24, 42,
                                                      43, 44, 45, 46, 47, 48, 49, 50, 51};
QStringList WmaFormatTexts();
// The help text of a format index; empty outside 0..17.
QString WmaHelpText(int index);

// Encoder settings dialog (ripper and recorder).
inline constexpr std::array<int, 5> kDialogMp3Rates = {48000, 44100, 32000, 24000, 22050};
// WAV frequency code 1..10, bits code 1..2.
inline constexpr std::array<int, 10> kDialogWavRates = {48000, 44100, 32000, 24000, 22050,
                                                        16000, 12000, 11025, 8000,  6000};
inline constexpr std::array<int, 3> kDialogOggRates = {48000, 44100, 32000};
inline constexpr std::array<int, 3> kDialogOggBitrates = {112, 128, 160};

// The entry at index, or the last one for an index beyond the table and the
// first for a negative one, so that a hand-edited setting still names a
// value the list offers.
template <size_t N>
int At(const std::array<int, N>& table, int index) {
    if (index < 0) return table.front();
    if (static_cast<size_t>(index) >= N) return table.back();
    return table[static_cast<size_t>(index)];
}

// Item texts: every entry of table (from `from`) with its suffix.
template <size_t N>
QStringList Items(const std::array<int, N>& table, const QString& suffix, size_t from = 0) {
    QStringList items;
    for (size_t i = from; i < N; ++i) items << QString::number(table[i]) + suffix;
    return items;
}

}  // namespace encodertables
