#pragma once
// What a rip reads from the [cd ripper] section of the settings (the keys the
// settings dialog shares are read in jobs/ripoptions.h), and the grabber
// settings it puts before the rip.

#include <string>

#include "jobs/outputformat.h"
#include "jobs/ripoptions.h"

class IniFile;
class CdGrabber;

// The output format of the rip: the encoder dialog's codes in [cd ripper],
// read as the dialog reads them, so the rip writes what the dialog shows.
OutputFormat ReadRipFormat(const IniFile& ini, OutputKind kind);

// The four grabber settings, each the stored value minus one.
void ApplyGrabSettings(const RipSettings& settings, CdGrabber& grabber);
