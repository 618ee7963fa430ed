#pragma once
// The one place where tag texts change encoding. Inside the program every
// text is UTF-8; on disk the tags hold Windows-1252 (ID3v1, ID3v2 encoding
// 0), UTF-16 (ID3v2 encodings 1 and 2, ASF) or UTF-8 (Vorbis comments).

#include <string>
#include <string_view>

#include "tags/bytes.h"

namespace tags {

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined
// map to the C1 controls of the same value, so no byte is lost.
std::string Windows1252ToUtf8(std::string_view bytes);
// UTF-8 to Windows-1252; a character outside the code page becomes '?'.
// Invalid UTF-8 is taken byte by byte as Windows-1252 already.
std::string Utf8ToWindows1252(std::string_view utf8);
// True when every character of the UTF-8 text has a Windows-1252 byte.
bool FitsWindows1252(std::string_view utf8);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD. An odd last byte is
// ignored. The text is taken whole: a caller that wants it to end at the
// first zero character cuts it first.
std::string Utf16LeToUtf8(ByteSpan bytes);
std::string Utf16BeToUtf8(ByteSpan bytes);
std::u16string Utf8ToUtf16(std::string_view utf8);
// The UTF-16 bytes before the first zero character (the terminator), or all
// whole characters when there is none; an odd last byte is left out.
ByteSpan Utf16UntilTerminator(ByteSpan bytes);
// Little-endian bytes to code units, as they are (no check of pairs).
std::u16string Utf16LeUnits(ByteSpan bytes);
// Code units to little-endian bytes with a zero terminator, as the ASF
// attributes store their texts.
ByteVector Utf16LeWithTerminator(std::u16string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16LE bytes, without terminator.
ByteVector Utf8ToUtf16LeBytes(std::string_view utf8);

// Invalid UTF-8 sequences replaced by U+FFFD; valid text is returned as is.
std::string SanitizeUtf8(std::string_view bytes);

// Removes leading and trailing characters with codes 0 to 32.
std::string_view TrimTagText(std::string_view text);

// ASCII-only lower case, for keys and names compared without case.
std::string AsciiLower(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace tags
