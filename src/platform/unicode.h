// UTF-8 and UTF-16 for the desktops: the program's own texts (paths, messages, captions) are
// UTF-8, and a desktop whose calls take UTF-16 converts at its door.
//
// A path is a name the file system gave, not text that has to make sense: a Windows file
// name may hold a lone surrogate. Such names survive the round trip because a lone
// surrogate is written as its own three-byte sequence (the "generalised" UTF-8 that
// round-trips any UTF-16), and read back as itself. Anything else malformed reads as
// U+FFFD, one for each maximal bad sequence, so that no byte is ever silently dropped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zanto::platform {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Appends the UTF-8 form of a code point (a lone surrogate too).
void AppendUtf8(std::string& out, char32_t codePoint);

// The code point at `at` and how many bytes it takes. Malformed input gives
// U+FFFD over the longest prefix of a well-formed sequence (at least one byte); a three-byte
// surrogate gives the surrogate when `surrogates` is true, else U+FFFD.
struct Decoded {
  char32_t codePoint;
  std::size_t length;
  bool wellFormed;
};
Decoded DecodeUtf8(std::string_view text, std::size_t at, bool surrogates = false);

// Every byte forms part of a well-formed UTF-8 sequence (no surrogates, no overlong forms,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// UTF-16 from UTF-8; lone surrogates written in generalised UTF-8 come back as themselves.
std::u16string Utf16FromUtf8(std::string_view text);

// UTF-8 from UTF-16; a lone surrogate is kept (generalised UTF-8) when `keepLoneSurrogates`,
// else it becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view text, bool keepLoneSurrogates = true);

// How many UTF-16 code units the code point takes: 2 beyond U+FFFF.
inline std::size_t Utf16Units(char32_t codePoint) {
  return codePoint > 0xFFFF ? 2 : 1;
}

}  // namespace zanto::platform
