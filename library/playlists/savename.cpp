#include "savename.h"

#include "library/playlists/playlistrow.h"

PlaylistFormat PlaylistFormatForFilterIndex(int filterIndex) {
    return filterIndex == 1 ? PlaylistFormat::M3u : PlaylistFormat::Pls;
}

std::string SavePlaylistFileName(std::string_view chosenFileName, PlaylistFormat format) {
    const std::string_view namePart = FileNamePart(chosenFileName);
    const auto dot = namePart.rfind('.');
    std::string_view stem = chosenFileName;
    if (dot != std::string_view::npos) stem = chosenFileName.substr(0, chosenFileName.size() - namePart.size() + dot);
    return std::string(stem) + (format == PlaylistFormat::M3u ? ".m3u" : ".pls");
}

std::string PlsPlaylistName(std::string_view chosenFileName) {
    return "Playlist " + std::string(FileNamePart(chosenFileName));
}
