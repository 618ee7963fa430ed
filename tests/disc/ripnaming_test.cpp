// The naming rules and the cleaning of database texts into path parts, and
// the [cd ripper] keys with the ripper's own defaults.

#include <gtest/gtest.h>

#include "components/disc/cdgrabber.h"
#include "disc/ripnaming.h"
#include "disc/ripsettings.h"
#include "platform/inifile.h"
#include "testenv.h"

namespace {

TEST(RipNaming, TheSevenRules) {
    struct Row {
        int rule;
        std::vector<std::string> folders;
        std::string path;
    } rows[] = {
        {0, {"/m/"}, "/m/Intro.mp3"},
        {1, {"/m/"}, "/m/Intro-X.mp3"},
        {2, {"/m/"}, "/m/Intro-X-Y.mp3"},
        {3, {"/m/", "/m/X/"}, "/m/X/Intro.mp3"},
        {4, {"/m/", "/m/X/"}, "/m/X/3-Intro.mp3"},
        {5, {"/m/", "/m/X/", "/m/X/Y/"}, "/m/X/Y/Intro.mp3"},
        {6, {"/m/", "/m/X/", "/m/X/Y/"}, "/m/X/Y/3-Intro.mp3"},
        {9, {"/m/"}, "/m/Intro.mp3"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.rule);
        const RipTarget t = RipOutputPath(r.rule, "/m", "Intro", "X", "Y", 3, ".mp3");
        EXPECT_EQ(t.folders, r.folders);
        EXPECT_EQ(t.path, r.path);
        EXPECT_EQ(t.folder, r.folders.back());
    }
}

// Whatever the database says, every output stays inside the output folder,
// no part is hidden or a dot name, and each part fits a file system.
TEST(RipNaming, HostileDatabaseTexts) {
    struct Row {
        std::string title, artist, album, path;
    } rows[] = {
        {"../../x", "..", ".", "/m/Unknown Artist/Unknown Album/7-x.wav"},
        {"AC/DC", "AC/DC", "...And Justice", "/m/ACDC/And Justice/7-ACDC.wav"},
        {"a\x01\x1b" "b\x7f", " \t ", "x:y", "/m/Unknown Artist/xy/7-ab.wav"},
        {"", "", "", "/m/Unknown Artist/Unknown Album/7-Track 07.wav"},
        {"  . .hidden", "C:\\Win", "<>|?*\"", "/m/CWin/Unknown Album/7-hidden.wav"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.title);
        EXPECT_EQ(RipOutputPath(6, "/m", r.title, r.artist, r.album, 7, ".wav").path, r.path);
    }
    const std::string huge(70 * 1024, 'T');
    const RipTarget t = RipOutputPath(2, "/m/", huge, huge, "\xC3\xA9" + huge, 1, ".ogg");
    const std::string name = t.path.substr(3);
    EXPECT_EQ(name.size(), 255u);
    EXPECT_EQ(name.substr(name.size() - 4), ".ogg");
    EXPECT_EQ(CleanPathPart("\xC3\xA9\xC3\xA9", "", 3), "\xC3\xA9");  // whole characters only
}

// The format of a rip with no format keys is the one the settings dialog
// shows for them: WAV at 44100 Hz, 16 bits, stereo.
TEST(RipSettingsTest, RipperDefaultsAndTheRatioKey) {
    const std::string folder = testenv::makeTempDir("ini");
    IniFile ini(folder + "/Tunevale.ini");
    RipSettings s = ReadRipSettings(ini);
    const OutputFormat wav = ReadRipFormat(ini, OutputKind::Wav);
    EXPECT_EQ(wav.wavRate, 44100);
    EXPECT_EQ(wav.wavBits, 16);
    EXPECT_EQ(wav.wavChannels, 2);
    const EncoderDialogCodes shown = EncoderDialogCodes::read(ini, "cd ripper");
    EXPECT_EQ(shown.mp3VbrQuality, 5);
    for (OutputKind kind : {OutputKind::Wav, OutputKind::Mp3, OutputKind::Ogg, OutputKind::Wma}) {
        const OutputFormat ripped = ReadRipFormat(ini, kind), dialog = EncoderDialogFormat(kind, shown);
        EXPECT_EQ(ripped.mp3.vbrQuality, dialog.mp3.vbrQuality);
        EXPECT_EQ(ripped.oggQuality, dialog.oggQuality);
        EXPECT_EQ(ripped.wmaProfile, dialog.wmaProfile);
    }
    EXPECT_EQ(ReadRipFormat(ini, OutputKind::Mp3).mp3.bitrate, 128);
    EXPECT_EQ(s.normalizeRatio, 98);
    EXPECT_EQ(s.fileNameFormat, 0);
    EXPECT_EQ(s.outputFolder.substr(s.outputFolder.size() - 4), "/mp3");
    CdGrabber grabber;
    ApplyGrabSettings(s, grabber);
    EXPECT_EQ(grabber.grabMode(), 0);
    EXPECT_EQ(grabber.errorRetry(), 4);
    EXPECT_EQ(grabber.errorAction(), 1);
    EXPECT_EQ(grabber.driveSpeed(), 31);

    ini.writeInteger("cd ripper", "normalzie ration", 80);
    ini.writeString("cd ripper", "output directory", "c:\\mp3");
    s = ReadRipSettings(ini);
    EXPECT_EQ(s.normalizeRatio, 80);
    EXPECT_EQ(s.outputFolder.substr(s.outputFolder.size() - 4), "/mp3");
    ini.writeInteger("cd ripper", "normalzie Ratio", 60);
    ini.writeString("cd ripper", "output directory", "/srv/rips");
    s = ReadRipSettings(ini);
    EXPECT_EQ(s.normalizeRatio, 60);
    EXPECT_EQ(s.outputFolder, "/srv/rips");
}

}  // namespace
