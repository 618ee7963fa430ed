#pragma once
// The folder of the program's audio disc images: the image recorder writes
// there and the ripper offers the images it finds there.
// $TUNEVALE_CD_IMAGES when set, else "cdimages" under the data root.

#include <string>

std::string CdImageFolder();
