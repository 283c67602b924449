// The quotes as loaded: the file's text kept once, with where each line begins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace zanto {

// Asks the system to back [data, data + bytes) with large pages where it offers them for the
// asking: a million quotes fill tens of thousands of small pages, and taking each for the
// first time, then giving it back at exit, costs more than reading the file. Does nothing
// where there is no such thing, and for buffers too small to hold a large page.
void AdviseLargePages(void* data, std::size_t bytes);

class QuoteList {
 public:
  QuoteList() = default;
  // A list moved from is empty.
  QuoteList(QuoteList&& other) noexcept;
  QuoteList& operator=(QuoteList&& other) noexcept;
  // Cuts a quotes file's bytes into lines: at CR LF, a lone LF and a lone CR; a break at the
  // very end makes no extra line; a NUL (a U+0000) ends the text. An 8-bit file's lines are
  // kept unchanged; a Unicode one's are kept as UTF-8, without its byte-order mark, with
  // U+FFFD for what is malformed (quote_encoding.h says which file is which).
  static QuoteList FromFileBytes(std::string bytes);
  // For tests, the same cut with the offsets counted in segments of 2^segmentBits bytes (6 to
  // 32) instead of 4 GiB, which shows what otherwise only a text of over 4 GiB does; and with
  // the scan held to vectors of `vectorBits` (128, 256 or 512) where the processor has wider.
  static QuoteList FromFileBytesForTest(std::string bytes, unsigned segmentBits,
                                        unsigned vectorBits) {
    return Cut(std::move(bytes), segmentBits, vectorBits);
  }
  static QuoteList Single(std::string quote);

  // What every quote's bytes are.
  platform::TextEncoding Encoding() const { return encoding_; }

  std::size_t Count() const { return entries_ == 0 ? 0 : entries_ - 1; }
  bool Empty() const { return Count() == 0; }
  std::string_view operator[](std::size_t index) const;
  // Bytes held beyond the text itself, for each quote.
  std::size_t OverheadBytes() const {
    return capacity_ * sizeof(std::uint32_t) + segmentStarts_.capacity() * sizeof(std::size_t);
  }

 private:
  static QuoteList Cut(std::string bytes, unsigned segmentBits, unsigned vectorBits);
  std::size_t Start(std::size_t entry) const;
  void Reserve(std::size_t capacity);
  // A line start anywhere in the text; the scan appends its own in bulk.
  void Append(std::size_t at);

  std::string text_;
  platform::TextEncoding encoding_ = platform::TextEncoding::Ansi;
  // Where line i begins, less the start of its segment: a line begins in segment k when
  // segmentStarts_ holds k entries no greater than i. The entry after the last line is where
  // a line after it would begin. Four bytes a quote instead of eight: a text beyond 4 GiB
  // costs no more than a look among its few segments.
  std::unique_ptr<std::uint32_t[]> starts_;
  std::size_t entries_ = 0;
  std::size_t capacity_ = 0;
  unsigned segmentBits_ = 32;
  // Entry k: the first line that begins at or after (k + 1) segments.
  std::vector<std::size_t> segmentStarts_;
};

}  // namespace zanto
