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
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n') {
      line += c;
      continue;
    }
    lines.push_back(std::move(line));
    line.clear();
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

}  // namespace zanto::test
