#include "quotes/quote_encoding.h"

#include <cstdint>
#include <cstring>

#include "platform/unicode.h"

namespace zanto {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool StartsWith(std::string_view bytes, std::string_view mark) {
  return bytes.substr(0, mark.size()) == mark;
}

std::uint64_t Word(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

}  // namespace

TFileEncoding MarkedKind(std::string_view bytes) {
  if (StartsWith(bytes, "\xEF\xBB\xBF")) return TFileEncoding::feUtf8WithMark;
  if (StartsWith(bytes, "\xFF\xFE")) return TFileEncoding::feUtf16Le;
  if (StartsWith(bytes, "\xFE\xFF")) return TFileEncoding::feUtf16Be;
  return TFileEncoding::feAnsi;
}

TFileEncoding ClassifyQuotesFile(std::string_view bytes) {
  if (const TFileEncoding marked = MarkedKind(bytes); marked != TFileEncoding::feAnsi)
    return marked;
  const std::size_t high = FirstHighByte(bytes);
  // Plain ASCII stays 8-bit text: the same bytes either way, and the same record as always.
  if (high == bytes.size()) return TFileEncoding::feAnsi;
  return IsValidUtf8From(bytes, high) ? TFileEncoding::feUtf8 : TFileEncoding::feAnsi;
}

std::size_t MarkLength(TFileEncoding kind) {
  switch (kind) {
    case TFileEncoding::feUtf8WithMark:
      return 3;
    case TFileEncoding::feUtf16Le:
    case TFileEncoding::feUtf16Be:
      return 2;
    case TFileEncoding::feAnsi:
    case TFileEncoding::feUtf8:
      break;
  }
  return 0;
}

std::size_t FirstHighByte(std::string_view bytes) {
  std::size_t i = 0;
  // Thirty-two bytes at a time: most quotes files are nearly all ASCII.
  const char* data = bytes.data();
  for (; i + 32 <= bytes.size(); i += 32)
    if ((Word(data + i) | Word(data + i + 8) | Word(data + i + 16) | Word(data + i + 24)) &
        kHighBits)
      break;
  for (; i < bytes.size(); ++i)
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return i;
  return bytes.size();
}

bool IsValidUtf8From(std::string_view bytes, std::size_t from) {
  std::size_t i = from;
  while (i < bytes.size()) {
    if (i + 8 <= bytes.size() && !(Word(bytes.data() + i) & kHighBits)) {
      i += 8;
      continue;
    }
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const platform::Decoded d = platform::DecodeUtf8(bytes, i);
    if (!d.wellFormed) return false;
    i += d.length;
  }
  return true;
}

std::string Utf8FromUtf16Text(std::string_view bytes, bool bigEndian) {
  const auto unitAt = [&](std::size_t i) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char32_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  };
  std::string text;
  text.reserve(bytes.size() / 2 + bytes.size() / 8);
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    char32_t c = unitAt(i);
    if (c == 0) return text;  // U+0000 ends the text, as a NUL byte ends 8-bit text
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = platform::kReplacementCharacter;  // alone
    platform::AppendUtf8(text, c);
  }
  // A last byte without its partner is half a character.
  if (i < bytes.size()) platform::AppendUtf8(text, platform::kReplacementCharacter);
  return text;
}

std::string RepairedUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const platform::Decoded d = platform::DecodeUtf8(bytes, i);
    if (d.wellFormed)
      text.append(bytes.substr(i, d.length));
    else
      platform::AppendUtf8(text, platform::kReplacementCharacter);
    i += d.length;
  }
  return text;
}

}  // namespace zanto
