// The made-up quotes file the benchmarks read: the same bytes on every machine, so figures
// from different runs and machines compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zanto::bench {

// `lines` quotes, each ended by CR LF, of mixed lengths: a few empty lines, a few long ones
// past the balloon's 255 characters, most a sentence or two; now and then a byte of the
// upper half of the code page. About 98 bytes a line.
inline std::string QuoteFileText(std::size_t lines) {
  static constexpr const char* kWords[] = {
      "the",   "quick",  "patience", "is",      "a",     "virtue",  "every", "expert",
      "was",   "once",   "beginner", "make",    "haste", "slowly",  "Zanto", "waits",
      "never", "sleeps", "fortune",  "favours", "bold",  "and",     "of",    "time",
      "river", "stone",  "light",    "shadow",  "smile", "tomorrow"};
  constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];
  std::uint64_t state = 0x5A4E544FULL;  // fixed: the file must not change between runs
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state >> 33);
  };
  std::string text;
  text.reserve(lines * 100);
  for (std::size_t i = 0; i < lines; ++i) {
    const std::uint32_t kind = next() % 100;
    std::size_t length = 0;
    if (kind < 3)
      length = 0;
    else if (kind < 5)
      length = 300 + next() % 900;
    else
      length = 10 + next() % 156;
    const std::size_t lineEnd = text.size() + length;
    while (text.size() < lineEnd) {
      if (text.size() + 1 < lineEnd && next() % 64 == 0)
        text += static_cast<char>(0xA0 + next() % 0x5F);
      text += kWords[next() % kWordCount];
      if (text.size() < lineEnd) text += ' ';
    }
    text.resize(lineEnd);
    text += "\r\n";
  }
  return text;
}

}  // namespace zanto::bench
