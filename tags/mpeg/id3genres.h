#pragma once
#include <array>
#include <string_view>

// The ID3v1 genre names, index 0 to 147; a list filled from it in index order
// has item index = genre number.
extern const std::array<std::string_view, 148> Id3GenreNames;

// The name of a genre number; a number outside 0..147 gives "Other" (12), the
// same replacement the library builders make for a genre byte above 147,
// except 255, the byte that says "no genre", which gives no name.
std::string_view Id3GenreName(int index);
