// Writes the benchmarks' quotes file.
// usage: zanto-make-quotes FILE LINES
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string_view>

#include "quote_text.h"

int main(int argc, char** argv) {
  std::size_t lines = 0;
  const std::string_view count = argc == 3 ? argv[2] : "";
  auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), lines);
  if (argc != 3 || ec != std::errc() || end != count.data() + count.size()) {
    std::cerr << "usage: zanto-make-quotes FILE LINES\n";
    return 2;
  }
  const std::string text = zanto::bench::QuoteFileText(lines);
  std::ofstream out(argv[1], std::ios::binary);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) {
    std::cerr << "zanto-make-quotes: cannot write " << argv[1] << '\n';
    return 1;
  }
  return 0;
}
