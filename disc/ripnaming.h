#pragma once
// Where a ripped track goes: the seven naming rules of the ripper over the
// output folder, the disc's artist and album and the track's title.
//
// Titles, artists and albums may come from the CD database, so each part
// of a path is cleaned before it names anything: no path characters, no
// control characters, no leading dots (no hidden files, never "." or ".."),
// no blanks around it, and at most 255 bytes. A part that is empty after
// that takes its fallback ("Track 07", "Unknown Artist", "Unknown Album").
// Texts the user edited were cleaned already and come out unchanged.

#include <string>
#include <string_view>
#include <vector>

struct RipTarget {
    std::vector<std::string> folders;  // created in this order
    std::string folder;                // the final folder, with its trailing "/"
    std::string path;                  // folder + name + extension
};

// A cleaned part of a path; maxBytes counts UTF-8 bytes.
std::string CleanPathPart(std::string_view text, std::string_view fallback, std::size_t maxBytes = 255);

// rule: "filename format" 0..6 (anything else counts as 0); track: 1-based;
// extension with its dot.
RipTarget RipOutputPath(int rule, const std::string& outputFolder, const std::string& title, const std::string& artist,
                        const std::string& album, int track, const std::string& extension);
