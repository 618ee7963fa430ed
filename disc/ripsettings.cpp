#include "disc/ripsettings.h"

#include "components/disc/cdgrabber.h"
#include "platform/inifile.h"
#include "platform/userfolders.h"

namespace {
constexpr const char* kSection = "cd ripper";
}

RipSettings ReadRipSettings(const IniFile& ini) {
    RipSettings s;
    auto i = [&](const char* key, int def) { return ini.readInteger(kSection, key, def); };
    s.grabMode = i("grab mode", 1);
    s.errorRetry = i("error retry", 5);
    s.errorAction = i("error action", 2);
    s.driveSpeed = i("drive speed", 32);
    s.normalize = ini.readBool(kSection, "normalize", false);
    s.fade = ini.readBool(kSection, "fade", false);
    s.fadeIn = i("fade in", 10);
    s.fadeOut = i("fade out", 20);
    // The settings dialog stores the ratio as "normalzie ration"; a file
    // that has the key the rip always read keeps it.
    s.normalizeRatio = i("normalzie Ratio", i("normalzie ration", 98));
    s.outputFolder = StoredFolderOr(QString::fromStdString(ini.readString(kSection, "output directory", "")),
                                    RipOutputFolder())
                         .toStdString();
    s.fileNameFormat = i("filename format", 0);
    return s;
}

OutputFormat ReadRipFormat(const IniFile& ini, OutputKind kind) {
    return EncoderDialogFormat(kind, EncoderDialogCodes::read(ini, kSection));
}

void ApplyGrabSettings(const RipSettings& settings, CdGrabber& grabber) {
    grabber.setRipFlag(false);
    grabber.setGrabMode(settings.grabMode - 1);
    grabber.setErrorRetry(settings.errorRetry - 1);
    grabber.setErrorAction(settings.errorAction - 1);
    grabber.setDriveSpeed(settings.driveSpeed - 1);
}
