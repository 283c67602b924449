// The quotes as loaded: the file's text kept once, with where each line begins.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zanto {

class QuoteList {
 public:
  QuoteList() = default;
  // Cuts a quotes file's bytes into lines: at CR LF, a lone LF and a lone CR; a break at the
  // very end makes no extra line; a NUL ends the text. Lines are kept unchanged.
  static QuoteList FromFileBytes(std::string bytes);
  static QuoteList Single(std::string quote);

  std::size_t Count() const { return starts_.empty() ? 0 : starts_.size() - 1; }
  bool Empty() const { return Count() == 0; }
  std::string_view operator[](std::size_t index) const;
  // Bytes held beyond the text itself, for each quote.
  std::size_t OverheadBytes() const { return starts_.capacity() * sizeof(std::size_t); }

 private:
  std::string text_;
  // starts_[i] is where line i begins; the last entry is where a line after the last would.
  std::vector<std::size_t> starts_;
};

}  // namespace zanto
