#pragma once
// The audio CD writer's section of the settings file and its keys' defaults,
// shared by the writer window and its dialogs.

inline constexpr const char* AudioCdSection = "Audio CD Burner";
