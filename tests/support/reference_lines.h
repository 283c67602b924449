// The quotes file's lines by the plain rule, byte by byte, to hold the real splitter to:
// the text ends at a NUL; CR LF, LF and a lone CR end a line; a break at the very end makes
// no extra line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zanto::test {

inline std::vector<std::string> ReferenceLines(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  std::vector<std::string> lines;
  std::size_t begin = 0;  // of the line the byte at i is in
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n') continue;
    lines.emplace_back(bytes.substr(begin, i - begin));
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    begin = i + 1;
  }
  if (begin < bytes.size()) lines.emplace_back(bytes.substr(begin));
  return lines;
}

// What a quotes file holds by the plain rules, byte by byte, to hold the real decoder to.
struct ReferenceText {
  bool unicode = false;  // the lines are UTF-8; else the file's own 8-bit bytes
  std::vector<std::string> lines;
};

namespace reference {

inline void Append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The sequence at `i`, by the table of well-formed UTF-8 sequences: how many bytes it takes
// (a malformed one as far as it goes, at least one byte), and whether it is well formed.
inline std::size_t Sequence(std::string_view b, std::size_t i, bool& wellFormed) {
  const auto c = static_cast<unsigned char>(b[i]);
  wellFormed = c < 0x80;
  if (wellFormed) return 1;
  int n = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) n = 1;
  if (c >= 0xE0 && c <= 0xEF) n = 2;
  if (c >= 0xF0 && c <= 0xF4) n = 3;
  if (c == 0xE0) lo = 0xA0;
  if (c == 0xED) hi = 0x9F;
  if (c == 0xF0) lo = 0x90;
  if (c == 0xF4) hi = 0x8F;
  std::size_t k = 1;
  for (; n > 0 && k <= static_cast<std::size_t>(n) && i + k < b.size(); ++k) {
    const auto next = static_cast<unsigned char>(b[i + k]);
    if (k == 1 ? (next < lo || next > hi) : (next < 0x80 || next > 0xBF)) break;
  }
  wellFormed = n > 0 && k == static_cast<std::size_t>(n) + 1;
  return k;
}

// UTF-8 by the table of well-formed sequences: each sequence that is not, as far as it
// goes, becomes one U+FFFD. `ok` says whether there was none.
inline std::string Utf8(std::string_view b, bool& ok) {
  std::string out;
  out.reserve(b.size());
  ok = true;
  for (std::size_t i = 0; i < b.size();) {
    bool wellFormed = false;
    const std::size_t k = Sequence(b, i, wellFormed);
    if (wellFormed) {
      out.append(b.substr(i, k));
    } else {
      out += "\xEF\xBF\xBD";
      ok = false;
    }
    i += k;
  }
  return out;
}

}  // namespace reference

// Whether every byte is part of a well-formed UTF-8 sequence, by the same table.
inline bool IsWellFormedUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    bool wellFormed = false;
    i += reference::Sequence(bytes, i, wellFormed);
    if (!wellFormed) return false;
  }
  return true;
}

inline ReferenceText ReferenceQuotes(std::string_view bytes) {
  ReferenceText text;
  bool ok = true;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    text.unicode = true;
    text.lines = ReferenceLines(reference::Utf8(bytes.substr(3), ok));
  } else if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
    text.unicode = true;
    const bool big = bytes[0] == '\xFE';
    std::string utf8;
    std::size_t i = 2;
    for (; i + 1 < bytes.size(); i += 2) {
      const auto a = static_cast<unsigned char>(bytes[i]),
                 b = static_cast<unsigned char>(bytes[i + 1]);
      char32_t u = big ? (a << 8 | b) : (b << 8 | a);
      if (u == 0) break;
      if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i + 2]),
                   d = static_cast<unsigned char>(bytes[i + 3]);
        const char32_t low = big ? (c << 8 | d) : (d << 8 | c);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
      }
      reference::Append(utf8, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
    }
    if (i + 1 == bytes.size()) reference::Append(utf8, 0xFFFD);
    text.lines = ReferenceLines(utf8);
  } else {
    reference::Utf8(bytes, ok);
    bool high = false;
    for (char c : bytes) high = high || static_cast<unsigned char>(c) >= 0x80;
    text.unicode = ok && high;
    text.lines = ReferenceLines(bytes);
  }
  return text;
}

}  // namespace zanto::test
