#pragma once
// The default folders that the tools offer the user, and the check that a
// folder read from the settings names something here.

#include <QString>

// The user's music folder (the desktop's music folder, else ~/Music): the
// default output folder of the recorder, cut, combine and converters.
QString MusicFolder();
// The ripper's default output folder: the music folder + "/mp3".
QString RipOutputFolder();
// Where a file or folder dialog starts when nothing was remembered.
QString DialogStartFolder();
// A folder value from the settings, or fallback when it is empty or was
// stored by a Windows build of the settings.
QString StoredFolderOr(const QString& stored, const QString& fallback);
