#pragma once
// Small text functions that windows of several subsystems share.

#include <cstdint>
#include <string>
#include <string_view>

// The text without any of * ? | : " / \ < > so that it can name a file or a
// folder. These are single ASCII bytes, so UTF-8 around them is kept intact.
std::string RemoveInvalidFileNameChars(std::string_view text);

// Two digits for the minutes and seconds of time texts: "07", "10", "123".
std::string PadTwoDigits(int n);

// "hh:mm:ss" of a time in ms: minutes and seconds within the hour and the
// minute, two digits each (more for hours beyond 99); negative times read 0.
std::string FormatPlayTime(int64_t ms);
