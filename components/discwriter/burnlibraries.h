#pragma once
// libburn, libisofs and libisoburn are loaded the first time a writer calls
// them, not with the program (burnlibraries.cpp).

#include <QString>

// Why one of them could not be loaded, naming it, once something asked for
// it; empty while every library asked for so far was loaded.
QString BurnLibrariesProblem();
