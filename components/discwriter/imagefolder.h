#pragma once
// The folder where the image recorders write their discs and the ripper
// finds them: $TUNEVALE_CD_IMAGES when set, else "cd images" under the
// data root.

#include <string>

std::string CdImageFolder();
