#include "disc/ripsettings.h"

#include "components/disc/cdgrabber.h"
#include "platform/inifile.h"

OutputFormat ReadRipFormat(const IniFile& ini, OutputKind kind) {
    return EncoderDialogFormat(kind, EncoderDialogCodes::read(ini, kRipSection));
}

void ApplyGrabSettings(const RipSettings& settings, CdGrabber& grabber) {
    grabber.setRipFlag(false);
    grabber.setGrabMode(settings.grabMode - 1);
    grabber.setErrorRetry(settings.errorRetry - 1);
    grabber.setErrorAction(settings.errorAction - 1);
    grabber.setDriveSpeed(settings.driveSpeed - 1);
}
