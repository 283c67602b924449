// What both fuzz targets share: a broken invariant ends the run loudly, the simulated
// desktop's trace can be watched line by line as it is written, and record fields are
// measured apart from the program's own code.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "support/reference_lines.h"

namespace zanto::fuzz {

[[noreturn]] inline void Broken(const char* invariant, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, invariant);
  std::abort();
}

// Unlike assert, never compiled out.
#define ZANTO_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::zanto::fuzz::Broken(#condition, __FILE__, __LINE__))

// Hands every complete line written to it to a callback; keeps nothing else. The simulated
// desktop writes a line for every request, thousands a second under the fuzzer: a line is
// handed on as the pieces it was written in, not a character at a time.
class LineWatch : public std::streambuf {
 public:
  explicit LineWatch(std::function<void(std::string_view)> onLine) : onLine_(std::move(onLine)) {}

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    const char ch = static_cast<char>(c);
    xsputn(&ch, 1);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::string_view rest(s, static_cast<std::size_t>(n));
    for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos;) {
      if (line_.empty()) {
        onLine_(rest.substr(0, end));
      } else {
        line_.append(rest.substr(0, end));
        onLine_(line_);
        line_.clear();
      }
      rest.remove_prefix(end + 1);
    }
    line_.append(rest);
    return n;
  }

 private:
  std::function<void(std::string_view)> onLine_;
  std::string line_;
};

// A trace line's op, read where it stands: every line begins {"t":T,"op":"OP". Searching the
// whole line for a pattern costs more than the line itself did to write.
inline std::string_view TraceOp(std::string_view line) {
  constexpr std::string_view kKey = ",\"op\":\"";
  const std::size_t at = line.find(',');
  if (at == std::string_view::npos || line.substr(at, kKey.size()) != kKey) return {};
  const std::size_t begin = at + kKey.size();
  const std::size_t end = line.find('"', begin);
  return end == std::string_view::npos ? std::string_view{} : line.substr(begin, end - begin);
}

// How many characters the record counts in a text, reckoned apart from the program's own
// decoder: bytes of 8-bit text; UTF-16 units of Unicode text (well-formed UTF-8), one for each
// sequence and two for a four-byte one, a character beyond U+FFFF.
inline std::size_t RecordUnits(platform::Text text) {
  if (text.encoding == platform::TextEncoding::Ansi) return text.bytes.size();
  std::size_t units = 0;
  for (char c : text.bytes) {
    const auto byte = static_cast<unsigned char>(c);
    units += ((byte & 0xC0) != 0x80) + (byte >= 0xF0);
  }
  return units;
}

// A record field holds at most `limit` characters as the record counts them, no NUL, and,
// when Unicode, only whole characters.
inline bool FieldWithin(platform::Text field, std::size_t limit) {
  if (field.bytes.find('\0') != std::string_view::npos) return false;
  if (field.encoding == platform::TextEncoding::Utf8 && !test::IsWellFormedUtf8(field.bytes))
    return false;
  return RecordUnits(field) <= limit;
}
inline bool FieldWithin(const platform::RecordText& field, std::size_t limit) {
  return FieldWithin(field.view(), limit);
}

}  // namespace zanto::fuzz
