#pragma once
// Our own files hold UTF-8 and count field limits in bytes; a text that is
// too long is cut at a character boundary, never inside a character.

#include <cstddef>
#include <string>
#include <string_view>

// The longest prefix of text of at most maxBytes bytes that does not end in
// the middle of a UTF-8 sequence.
std::string_view Utf8Cut(std::string_view text, std::size_t maxBytes);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);
