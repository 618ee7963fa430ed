#include "jobs/ripoptions.h"

#include <QString>

#include "platform/inifile.h"
#include "platform/userfolders.h"

namespace {
// Keys compare without regard to case: this spelling and the lower-case one
// of older files are the same key.
constexpr const char* kOutputFolderKey = "Output directory";
// The dialog has always stored the ratio under the first; a file that holds
// the second, which rips read first, keeps it, and the dialog keeps both in
// step.
constexpr const char* kRatioKey = "normalzie ration";
constexpr const char* kOlderRatioKey = "normalzie Ratio";
}  // namespace

RipSettings ReadRipSettings(const IniFile& ini) {
    const RipSettings d;
    RipSettings s;
    auto i = [&](const char* key, int def) { return ini.readInteger(kRipSection, key, def); };
    s.grabMode = i("grab mode", d.grabMode);
    s.errorRetry = i("error retry", d.errorRetry);
    s.errorAction = i("error action", d.errorAction);
    s.driveSpeed = i("drive speed", d.driveSpeed);
    s.normalize = ini.readBool(kRipSection, "normalize", d.normalize);
    s.fade = ini.readBool(kRipSection, "fade", d.fade);
    s.fadeIn = i("fade in", d.fadeIn);
    s.fadeOut = i("fade out", d.fadeOut);
    s.normalizeRatio = i(kOlderRatioKey, i(kRatioKey, d.normalizeRatio));
    s.outputFolder = StoredFolderOr(QString::fromStdString(ini.readString(kRipSection, kOutputFolderKey, "")),
                                    RipOutputFolder())
                         .toStdString();
    s.fileNameFormat = i("filename format", d.fileNameFormat);
    return s;
}

RipLookupSettings ReadRipLookupSettings(const IniFile& ini) {
    const RipLookupSettings d;
    RipLookupSettings s;
    s.cdSource = ini.readInteger(kRipSection, "cd source", d.cdSource);
    s.server = ini.readString(kRipSection, "cddb server", d.server);
    s.port = ini.readString(kRipSection, "port", d.port);
    s.timeoutMs = ini.readInteger(kRipSection, "timeout", d.timeoutMs);
    return s;
}

bool WriteRipSettings(IniFile& ini, const RipSettings& s) {
    auto i = [&](const char* key, int value) { return ini.writeInteger(kRipSection, key, value); };
    const bool hasOlderRatio = ini.readString(kRipSection, kOlderRatioKey, "") != "";
    return i("grab mode", s.grabMode) && i("error retry", s.errorRetry) && i("drive speed", s.driveSpeed) &&
           i("error action", s.errorAction) && i("filename format", s.fileNameFormat) &&
           ini.writeString(kRipSection, kOutputFolderKey, s.outputFolder) &&
           ini.writeBool(kRipSection, "normalize", s.normalize) && i(kRatioKey, s.normalizeRatio) &&
           (!hasOlderRatio || i(kOlderRatioKey, s.normalizeRatio)) && ini.writeBool(kRipSection, "fade", s.fade) &&
           i("fade in", s.fadeIn) && i("fade out", s.fadeOut);
}

bool WriteRipLookupSettings(IniFile& ini, const RipLookupSettings& s) {
    return ini.writeInteger(kRipSection, "cd source", s.cdSource) &&
           ini.writeString(kRipSection, "cddb server", s.server) && ini.writeString(kRipSection, "port", s.port) &&
           ini.writeInteger(kRipSection, "timeout", s.timeoutMs);
}
