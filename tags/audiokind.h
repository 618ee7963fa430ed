#pragma once
// The four kinds of audio file the program plays, converts and tags, known by
// the extension of their name. The library, the tag code and the audio
// components all ask here, so a file is one kind everywhere.

#include <string_view>

enum class AudioKind { None, Wav, Mp3, Ogg, Wma };

// The kind the extension after the last dot of the file name names, compared
// without ASCII case; None for any other extension, for a name without one
// and for a dot that belongs to a folder.
AudioKind AudioKindOfPath(std::string_view path);
