#include "quotes/quote_list.h"

#include <cstdint>
#include <cstring>

namespace zanto {

namespace {

// The first CR or LF at or after pos, or end. Eight bytes at a time: quote files run to a
// million lines, and this scan is most of the cost of loading one.
std::size_t FindBreak(const char* data, std::size_t pos, std::size_t end) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighs = 0x8080808080808080ull;
  constexpr std::uint64_t kCR = kOnes * '\r';
  constexpr std::uint64_t kLF = kOnes * '\n';
  while (pos + 8 <= end) {
    std::uint64_t word;
    std::memcpy(&word, data + pos, 8);
    const std::uint64_t cr = word ^ kCR;
    const std::uint64_t lf = word ^ kLF;
    const std::uint64_t found = ((cr - kOnes) & ~cr & kHighs) | ((lf - kOnes) & ~lf & kHighs);
    if (found) break;
    pos += 8;
  }
  while (pos < end && data[pos] != '\r' && data[pos] != '\n') ++pos;
  return pos;
}

}  // namespace

QuoteList QuoteList::FromFileBytes(std::string bytes) {
  QuoteList list;
  const void* nul = std::memchr(bytes.data(), '\0', bytes.size());
  const std::size_t end =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data()) : bytes.size();
  if (end < bytes.size()) {
    bytes.resize(end);
    if (bytes.capacity() > 2 * end + 4096) bytes.shrink_to_fit();
  }
  list.text_ = std::move(bytes);
  const char* data = list.text_.data();
  std::size_t pos = 0;
  while (pos < end) {
    list.starts_.push_back(pos);
    const std::size_t brk = FindBreak(data, pos, end);
    pos = brk;
    if (pos < end) {
      pos += (data[pos] == '\r' && pos + 1 < end && data[pos + 1] == '\n') ? 2 : 1;
    }
  }
  if (!list.starts_.empty()) list.starts_.push_back(pos);
  list.starts_.shrink_to_fit();
  return list;
}

QuoteList QuoteList::Single(std::string quote) {
  QuoteList list;
  list.text_ = std::move(quote);
  list.starts_ = {0, list.text_.size()};
  return list;
}

std::string_view QuoteList::operator[](std::size_t index) const {
  const std::size_t begin = starts_[index];
  std::size_t end = starts_[index + 1];
  // The span holds the line and then its break, which is CR LF, LF or CR.
  if (end > begin && text_[end - 1] == '\n') --end;
  if (end > begin && text_[end - 1] == '\r') --end;
  return std::string_view(text_).substr(begin, end - begin);
}

}  // namespace zanto
