// The quotes as loaded: the file's text kept once, with where each line begins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "platform/text.h"

namespace zanto {

// Asks the system to back [data, data + bytes) with large pages where it offers them for the
// asking: a million quotes fill tens of thousands of small pages, and taking each for the
// first time, then giving it back at exit, costs more than reading the file. Does nothing
// where there is no such thing, and for buffers too small to hold a large page.
void AdviseLargePages(void* data, std::size_t bytes);

class TQuoteList {
 public:
  TQuoteList() = default;
  // A list moved from is empty.
  TQuoteList(TQuoteList&& other) noexcept;
  TQuoteList& operator=(TQuoteList&& other) noexcept;
  // Cuts a quotes file's bytes into lines: at CR LF, a lone LF and a lone CR; a break at the
  // very end makes no extra line; a NUL (a U+0000) ends the text. An 8-bit file's lines are
  // kept unchanged; a Unicode one's are kept as UTF-8, without its byte-order mark, with
  // U+FFFD for what is malformed (quote_encoding.h says which file is which).
  static TQuoteList FromFileBytes(std::string_view bytes);
  // For tests, the same cut with the offsets counted in segments of 2^segmentBits bytes (6 to
  // 32) instead of 4 GiB, which shows what otherwise only a text of over 4 GiB does; and with
  // the scan held to vectors of `vectorBits` (128, 256 or 512) where the processor has wider.
  static TQuoteList FromFileBytesForTest(std::string_view bytes, unsigned segmentBits,
                                         unsigned vectorBits);
  static TQuoteList Single(std::string_view quote);

  std::size_t Count() const { return entries_ == 0 ? 0 : entries_ - 1; }
  bool Empty() const { return Count() == 0; }
  std::string_view operator[](std::size_t index) const;
  // What every quote's bytes are.
  platform::TextEncoding Encoding() const { return encoding_; }
  // Bytes held beyond the text itself, for each quote.
  std::size_t OverheadBytes() const {
    return capacity_ * sizeof(std::uint32_t) + segmentStarts_.capacity() * sizeof(std::size_t);
  }

 private:
  friend class TQuoteListBuilder;
  std::size_t Start(std::size_t entry) const;
  void Reserve(std::size_t capacity);
  // A line start anywhere in the text; the scan appends its own in bulk.
  void Append(std::size_t at);

  // The text, read straight into memory that was never cleared first.
  std::unique_ptr<char[]> text_;
  std::size_t size_ = 0;
  platform::TextEncoding encoding_ = platform::TextEncoding::Ansi;
  // Where line i begins, less the start of its segment: a line begins in segment k when
  // segmentStarts_ holds k entries no greater than i. The entry after the last line is where
  // a line after it would begin. Four bytes a quote instead of eight: texts beyond 4 GiB are
  // the rare case, paid for only by the lines past each 4 GiB.
  std::unique_ptr<std::uint32_t[]> starts_;
  std::size_t entries_ = 0;
  std::size_t capacity_ = 0;
  unsigned segmentBits_ = 32;
  // Entry k: the first line that begins at or after (k + 1) segments.
  std::vector<std::size_t> segmentStarts_;
};

// The line scan's state from one block of 64 bytes to the next.
struct TLineScan {
  const char* data = nullptr;
  std::size_t block = 0;       // the next block of 64 to look at
  std::size_t end = SIZE_MAX;  // where the text ends: at the first NUL; SIZE_MAX: none yet
  std::uint64_t segmentMask = 0;
  std::uint64_t crBefore = 0;  // the bits of the last byte of the block before
  std::uint64_t lfBefore = 0;
  std::uint32_t* starts = nullptr;  // the line starts so far, with room for more
  std::size_t entries = 0;
  std::size_t firstHigh = SIZE_MAX;  // the first byte of 0x80 or more; SIZE_MAX: none yet
};

// The scan of the whole blocks up to a limit, on the widest vectors the processor has.
using TScanBlocks = void (*)(TLineScan& scan, std::size_t limit);

// Makes the quote list of a quotes file as the file is read: each piece is cut into lines
// while it is still in the processor's cache, into memory never cleared before, so that the
// text is gone over once. The file's encoding is settled at the end, from what it holds.
class TQuoteListBuilder final : public platform::FileSink {
 public:
  explicit TQuoteListBuilder(unsigned segmentBits = 32, unsigned vectorBits = 512);

  void Expect(std::size_t bytes) override;
  // Room never cleared: up to `bytes`, as much as is left of what was made, or more.
  std::span<char> Room(std::size_t bytes) override;
  void Filled(std::size_t bytes) override;

  // The list of everything read, in the encoding the file says it is in.
  TQuoteList Finish();

 private:
  friend class TQuoteList;
  // The list of everything read, taken as text of `encoding` whatever it looks like.
  TQuoteList Cut(platform::TextEncoding encoding);
  void MakeRoom(std::size_t capacity);
  // Cuts the whole blocks up to `limit`.
  void ScanBlocks(std::size_t limit);

  unsigned vectorBits_;
  TQuoteList list_;
  std::size_t room_ = 0;  // of the text
  std::uint64_t nextSegment_ = 0;
  TLineScan scan_;
  TScanBlocks blocks_ = nullptr;
};

}  // namespace zanto
