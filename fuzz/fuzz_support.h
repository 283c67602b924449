// What both fuzz targets share: a broken invariant ends the run loudly, and the simulated
// desktop's trace can be watched line by line as it is written.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

#include "platform/desktop.h"
#include "platform/text.h"
#include "platform/unicode.h"

namespace zanto::fuzz {

[[noreturn]] inline void Broken(const char* invariant, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, invariant);
  std::abort();
}

// Unlike assert, never compiled out.
#define ZANTO_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::zanto::fuzz::Broken(#condition, __FILE__, __LINE__))

// Hands every complete line written to it to a callback; keeps nothing else.
class LineWatch : public std::streambuf {
 public:
  explicit LineWatch(std::function<void(std::string_view)> onLine) : onLine_(std::move(onLine)) {}

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    Put(static_cast<char>(c));
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i) Put(s[i]);
    return n;
  }

 private:
  void Put(char c) {
    if (c != '\n') {
      line_ += c;
      return;
    }
    onLine_(line_);
    line_.clear();
  }
  std::function<void(std::string_view)> onLine_;
  std::string line_;
};

// Whether a trace line is of that op (and, for the shell, that request).
inline bool TraceOp(std::string_view line, std::string_view op) {
  return line.find("\"op\":\"" + std::string(op) + "\"") != std::string_view::npos;
}
inline bool ShellRequest(std::string_view line, std::string_view msg) {
  return TraceOp(line, "shell") &&
         line.find("\"msg\":\"" + std::string(msg) + "\"") != std::string_view::npos;
}

// A fixed-size record field holds a NUL within its size and at most `limit` bytes before it.
// A record field holds at most `limit` characters as the record counts them, no NUL, and,
// when Unicode, only whole characters.
inline bool FieldWithin(const platform::RecordText& field, std::size_t limit) {
  if (field.bytes.find('\0') != std::string::npos) return false;
  if (field.encoding == platform::TextEncoding::Utf8 && !platform::IsValidUtf8(field.bytes))
    return false;
  return platform::FieldLength(field.view()) <= limit;
}

}  // namespace zanto::fuzz
