#pragma once
// Our own files hold UTF-8 and count field limits in bytes; a text that is
// too long is cut at a character boundary, never inside a character.

#include <cstddef>
#include <string>
#include <string_view>

// The longest prefix of text of at most maxBytes bytes that does not end in
// the middle of a UTF-8 sequence.
std::string_view Utf8Cut(std::string_view text, std::size_t maxBytes);

// Decodes the character that starts at text[i]: returns its length in bytes
// and sets *cp, or returns 0 when the bytes there are not a well-formed
// sequence (overlong, surrogate, beyond U+10FFFF or cut short).
std::size_t DecodeUtf8Char(std::string_view text, std::size_t i, char32_t* cp);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);
