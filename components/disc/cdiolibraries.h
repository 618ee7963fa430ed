#pragma once
// libcdio and its two reading libraries are loaded the first time the
// grabber calls them, not with the program (cdiolibraries.cpp).

#include <string>

// Why one of them could not be loaded, naming it, once something asked for
// it; empty while every library asked for so far was loaded.
std::string CdioLibrariesProblem();
