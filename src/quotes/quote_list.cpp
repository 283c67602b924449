#include "quotes/quote_list.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "quotes/quote_encoding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Where the compiler can build for newer processors beside the baseline, the scan takes the
// widest vectors the processor it runs on has. Not on Windows, where GCC cannot keep the
// stack aligned for the vectors it spills.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define ZANTO_SCAN_DISPATCH 1
#include <immintrin.h>
#else
#define ZANTO_SCAN_DISPATCH 0
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zanto {

void AdviseLargePages(void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // The transparent large page of x86-64 and of most 64-bit ARM systems. Only whole large
  // pages inside the buffer are advised: the memory around it belongs to others.
  constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kLargePage - 1);
  // Advice only: where it is refused, small pages serve as before.
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

namespace {

// The bytes of one block of 64 that matter to the cutting, one bit for each: the line breaks
// and the NUL that ends the text. The text is looked at once, a block at a time; whatever else
// has to be learnt from every byte belongs here too, so that it costs no second pass.
struct TBlockBits {
  std::uint64_t cr = 0;
  std::uint64_t lf = 0;
  std::uint64_t nul = 0;
  std::uint64_t high = 0;  // bytes of 0x80 or more: whether the file may be UTF-8
};

// The first `n` (at most 64) bytes, one at a time: the end of the text, and where nothing
// faster is to be had.
TBlockBits ClassifyBytes(const char* data, std::size_t n) {
  TBlockBits bits;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t bit = std::uint64_t{1} << i;
    if (data[i] == '\r') bits.cr |= bit;
    if (data[i] == '\n') bits.lf |= bit;
    if (data[i] == '\0') bits.nul |= bit;
    if (static_cast<unsigned char>(data[i]) >= 0x80) bits.high |= bit;
  }
  return bits;
}

// Whole blocks, with what every processor of its kind has.
#if defined(__SSE2__)
inline TBlockBits Classify64Baseline(const char* data) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i nul = _mm_setzero_si128();
  TBlockBits bits;
  __m128i anyNul = _mm_setzero_si128();
  for (int i = 0; i < 4; ++i) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
    bits.cr |= static_cast<std::uint64_t>(
                   static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr))))
               << (16 * i);
    bits.lf |= static_cast<std::uint64_t>(
                   static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))))
               << (16 * i);
    bits.high |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(v)))
                 << (16 * i);
    anyNul = _mm_or_si128(anyNul, _mm_cmpeq_epi8(v, nul));
  }
  // A NUL comes once in a file at most: where it does, the block is looked at again.
  if (_mm_movemask_epi8(anyNul) != 0) bits.nul = ClassifyBytes(data, 64).nul;
  return bits;
}
#else
inline TBlockBits Classify64Baseline(const char* data) {
  return ClassifyBytes(data, 64);
}
#endif

#if ZANTO_SCAN_DISPATCH
[[gnu::target("avx2")]] inline TBlockBits Classify64Avx2(const char* data) {
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  const __m256i nul = _mm256_setzero_si256();
  const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
  const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 32));
  TBlockBits bits;
  bits.cr =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, cr))) |
      std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, cr)))}
          << 32;
  bits.lf =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, lf))) |
      std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, lf)))}
          << 32;
  bits.high = static_cast<std::uint32_t>(_mm256_movemask_epi8(lo)) |
              std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(hi))} << 32;
  const __m256i anyNul = _mm256_or_si256(_mm256_cmpeq_epi8(lo, nul), _mm256_cmpeq_epi8(hi, nul));
  if (!_mm256_testz_si256(anyNul, anyNul)) bits.nul = ClassifyBytes(data, 64).nul;
  return bits;
}

[[gnu::target("avx512bw")]] inline TBlockBits Classify64Avx512(const char* data) {
  const __m512i v = _mm512_loadu_si512(data);
  TBlockBits bits;
  bits.cr = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\r'));
  bits.lf = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n'));
  bits.nul = _mm512_testn_epi8_mask(v, v);
  bits.high = _mm512_movepi8_mask(v);
  return bits;
}
#endif

using Scan = TLineScan;

// The first byte of 0x80 or more that the scan has seen, once.
[[gnu::always_inline]] inline void NoteHigh(Scan& scan, std::uint64_t high) {
  if (high != 0 && scan.firstHigh == SIZE_MAX)
    scan.firstHigh = scan.block + static_cast<std::size_t>(std::countr_zero(high));
}

// A block's line starts appended: the bits of `starts`, as offsets from `base`. Most blocks
// begin a line or none: two are written whatever the bits say, and only as many as the bits
// hold are kept, which mispredicts far fewer branches than a loop over the bits. (The top bit
// keeps the compiler from telling an empty block apart after all.) There must be room for 64.
[[gnu::always_inline]] inline std::size_t Emit(std::uint32_t* out, std::uint32_t base,
                                               std::uint64_t starts) {
  constexpr std::uint64_t kTop = std::uint64_t{1} << 63;
  const auto found = static_cast<std::size_t>(std::popcount(starts));
  out[0] = base + static_cast<std::uint32_t>(std::countr_zero(starts | kTop));
  starts &= starts - 1;
  out[1] = base + static_cast<std::uint32_t>(std::countr_zero(starts | kTop));
  if (found > 2) {
    starts &= starts - 1;
    for (std::size_t i = 2; i < found; ++i) {
      out[i] = base + static_cast<std::uint32_t>(std::countr_zero(starts));
      starts &= starts - 1;
    }
  }
  return found;
}

// A line begins after an LF, and after a CR that no LF follows: the starts within a block,
// where the bits before it are those of the block before's last byte. Bit 64 is the next
// block's, handed on; in a block of fewer than 64 bytes, bit n is the start after a break
// at the very end.
[[gnu::always_inline]] inline std::uint64_t LineStarts(Scan& scan, const TBlockBits& bits) {
  const std::uint64_t starts =
      (bits.lf << 1 | scan.lfBefore) | ((bits.cr << 1 | scan.crBefore) & ~bits.lf);
  scan.lfBefore = bits.lf >> 63;
  scan.crBefore = bits.cr >> 63;
  return starts;
}

// The block holding the NUL that ends the text, or the text's last few bytes.
void LastBlock(Scan& scan, TBlockBits bits) {
  NoteHigh(scan, bits.high);
  std::uint64_t starts = LineStarts(scan, bits);
  if (bits.nul != 0) {
    // Nothing after the NUL counts; a line may still begin at it, after a break.
    const int at = std::countr_zero(bits.nul);
    starts &= at == 63 ? ~std::uint64_t{0} : (std::uint64_t{2} << at) - 1;
    scan.end = scan.block + static_cast<std::size_t>(at);
    scan.lfBefore = scan.crBefore = 0;
  }
  scan.entries += Emit(scan.starts + scan.entries,
                       static_cast<std::uint32_t>(scan.block & scan.segmentMask), starts);
  scan.block += 64;
}

// Whole blocks up to `limit`, with room for 64 starts a block, all in one segment; or up to
// the block that holds a NUL, which is left to LastBlock.
template <TBlockBits (*Classify)(const char*)>
[[gnu::always_inline]] inline void Blocks(Scan& scan, std::size_t limit) {
  Scan s = scan;  // a copy the compiler keeps in registers
  for (; s.block < limit; s.block += 64) {
    // The text has just been read and is no longer in the nearest caches: fetching it some
    // way ahead keeps the scan from waiting for it.
#if defined(__GNUC__)
    __builtin_prefetch(s.data + s.block + 4096);
#endif
    const TBlockBits bits = Classify(s.data + s.block);
    if (bits.nul != 0) break;
    NoteHigh(s, bits.high);
    s.entries += Emit(s.starts + s.entries, static_cast<std::uint32_t>(s.block & s.segmentMask),
                      LineStarts(s, bits));
  }
  scan = s;
}

void BlocksBaseline(Scan& scan, std::size_t limit) {
  Blocks<Classify64Baseline>(scan, limit);
}

#if ZANTO_SCAN_DISPATCH
[[gnu::target("avx2,bmi,bmi2")]] void BlocksAvx2(Scan& scan, std::size_t limit) {
  Blocks<Classify64Avx2>(scan, limit);
}

[[gnu::target("avx512bw,bmi,bmi2")]] void BlocksAvx512(Scan& scan, std::size_t limit) {
  Blocks<Classify64Avx512>(scan, limit);
}
#endif

}  // namespace

TQuoteList::TQuoteList(TQuoteList&& other) noexcept {
  *this = std::move(other);
}

TQuoteList& TQuoteList::operator=(TQuoteList&& other) noexcept {
  text_ = std::move(other.text_);
  size_ = std::exchange(other.size_, 0);
  encoding_ = other.encoding_;
  starts_ = std::move(other.starts_);
  entries_ = std::exchange(other.entries_, 0);
  capacity_ = std::exchange(other.capacity_, 0);
  segmentBits_ = other.segmentBits_;
  segmentStarts_ = std::move(other.segmentStarts_);
  return *this;
}

void TQuoteList::Reserve(std::size_t capacity) {
  auto grown = std::make_unique_for_overwrite<std::uint32_t[]>(capacity);
  AdviseLargePages(grown.get(), capacity * sizeof(std::uint32_t));
  if (entries_ > 0) std::memcpy(grown.get(), starts_.get(), entries_ * sizeof(std::uint32_t));
  starts_ = std::move(grown);
  capacity_ = capacity;
}

void TQuoteList::Append(std::size_t at) {
  while ((static_cast<std::uint64_t>(at) >> segmentBits_) > segmentStarts_.size())
    segmentStarts_.push_back(entries_);
  if (entries_ == capacity_) Reserve(2 * capacity_ + 2);
  const std::uint64_t segmentMask = (std::uint64_t{1} << segmentBits_) - 1;
  starts_[entries_++] = static_cast<std::uint32_t>(at & segmentMask);
}

namespace {

// Hands `bytes` to the builder in pieces of at most `piece` bytes, as reads would.
void Feed(TQuoteListBuilder& builder, std::string_view bytes, std::size_t piece) {
  for (std::size_t at = 0; at < bytes.size();) {
    const std::span<char> room = builder.Room(std::min(piece, bytes.size() - at));
    std::memcpy(room.data(), bytes.data() + at, room.size());
    builder.Filled(room.size());
    at += room.size();
  }
}

}  // namespace

TQuoteList TQuoteList::FromFileBytes(std::string_view bytes) {
  TQuoteListBuilder builder;
  builder.Expect(bytes.size());
  Feed(builder, bytes, bytes.size());
  return builder.Finish();
}

TQuoteList TQuoteList::FromFileBytesForTest(std::string_view bytes, unsigned segmentBits,
                                            unsigned vectorBits) {
  TQuoteListBuilder builder(segmentBits, vectorBits);
  // In pieces of odd sizes, as reads may come: the scan goes on where the last piece ended.
  for (std::size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece * 3 + 1)
    Feed(builder, bytes.substr(at, piece), piece);
  return builder.Cut(platform::TextEncoding::Ansi);
}

TQuoteList TQuoteList::Single(std::string_view quote) {
  TQuoteList list;
  list.text_ = std::make_unique_for_overwrite<char[]>(quote.size() + 1);
  std::memcpy(list.text_.get(), quote.data(), quote.size());
  list.size_ = quote.size();
  list.Reserve(2);
  list.Append(0);
  list.Append(list.size_);
  return list;
}

std::size_t TQuoteList::Start(std::size_t entry) const {
  const std::size_t segment =
      segmentStarts_.empty()
          ? 0
          : static_cast<std::size_t>(
                std::upper_bound(segmentStarts_.begin(), segmentStarts_.end(), entry) -
                segmentStarts_.begin());
  return (segment << segmentBits_) + starts_[entry];
}

std::string_view TQuoteList::operator[](std::size_t index) const {
  const std::size_t begin = Start(index);
  std::size_t end = Start(index + 1);
  const char* text = text_.get();
  // The span holds the line and then its break, which is CR LF, LF or CR.
  if (end > begin && text[end - 1] == '\n') --end;
  if (end > begin && text[end - 1] == '\r') --end;
  return std::string_view(text + begin, end - begin);
}

// --- The builder --------------------------------------------------------------------------

TQuoteListBuilder::TQuoteListBuilder(unsigned segmentBits, unsigned vectorBits)
    : vectorBits_(vectorBits) {
  list_.segmentBits_ = std::clamp(segmentBits, 6u, 32u);
  nextSegment_ = std::uint64_t{1} << list_.segmentBits_;
  scan_.segmentMask = nextSegment_ - 1;
  blocks_ = BlocksBaseline;
#if ZANTO_SCAN_DISPATCH
  if (vectorBits >= 512 && __builtin_cpu_supports("avx512bw"))
    blocks_ = BlocksAvx512;
  else if (vectorBits >= 256 && __builtin_cpu_supports("avx2"))
    blocks_ = BlocksAvx2;
#endif
}

void TQuoteListBuilder::MakeRoom(std::size_t capacity) {
  auto grown = std::make_unique_for_overwrite<char[]>(capacity);
  AdviseLargePages(grown.get(), capacity);
  if (list_.size_ > 0) std::memcpy(grown.get(), list_.text_.get(), list_.size_);
  list_.text_ = std::move(grown);
  room_ = capacity;
  scan_.data = list_.text_.get();
}

void TQuoteListBuilder::Expect(std::size_t bytes) {
  // The whole file at once, and a little over, where the last read finds its end; room for
  // a line every 64 bytes, which holds most quote files whole (pages never written are never
  // resident, and a text of shorter lines makes the room grow as the lines so far say).
  if (bytes + 4096 > room_) MakeRoom(bytes + 4096);
  if (bytes / 64 + 128 > list_.capacity_) list_.Reserve(bytes / 64 + 128);
}

std::span<char> TQuoteListBuilder::Room(std::size_t bytes) {
  if (room_ == list_.size_)
    MakeRoom(std::max(2 * room_, list_.size_ + std::max<std::size_t>(bytes, 4096)));
  return {list_.text_.get() + list_.size_, std::min(bytes, room_ - list_.size_)};
}

void TQuoteListBuilder::Filled(std::size_t bytes) {
  if (bytes == 0) return;
  if (list_.size_ == 0) {
    if (list_.capacity_ < 128) list_.Reserve(128);
    list_.Append(0);
    scan_.entries = list_.entries_;
  }
  list_.size_ += bytes;
  // While the piece is still in the processor's cache.
  if (scan_.end == SIZE_MAX) ScanBlocks(list_.size_ & ~std::size_t{63});
}

void TQuoteListBuilder::ScanBlocks(std::size_t limit) {
  const std::uint64_t segment = std::uint64_t{1} << list_.segmentBits_;
  scan_.starts = list_.starts_.get();
  while (scan_.block < limit && scan_.end == SIZE_MAX) {
    if (scan_.block == nextSegment_) {
      list_.segmentStarts_.push_back(scan_.entries);
      nextSegment_ += segment;
    }
    if (list_.capacity_ - scan_.entries < 64) {
      // Out of room: as many lines for each byte still to come as the bytes so far held,
      // and an eighth more.
      const double perByte = static_cast<double>(scan_.entries) /
                             static_cast<double>(std::max<std::size_t>(scan_.block, 64));
      const auto expected =
          static_cast<std::size_t>(perByte * static_cast<double>(std::max(room_, limit)));
      list_.entries_ = scan_.entries;
      list_.Reserve(std::max(2 * list_.capacity_, expected + expected / 8 + 64));
      scan_.starts = list_.starts_.get();
    }
    const std::size_t room = (list_.capacity_ - scan_.entries) / 64 * 64;
    const std::size_t blockLimit =
        std::min<std::uint64_t>({limit, nextSegment_, scan_.block + room});
    blocks_(scan_, blockLimit);
    if (scan_.block < blockLimit)
      LastBlock(scan_, ClassifyBytes(scan_.data + scan_.block, 64));  // the NUL's block
  }
  list_.entries_ = scan_.entries;
}

TQuoteList TQuoteListBuilder::Cut(platform::TextEncoding encoding) {
  list_.encoding_ = encoding;
  const std::size_t size = list_.size_;
  if (size == 0) return std::move(list_);
  const std::size_t blocksEnd = size & ~std::size_t{63};
  if (scan_.end == SIZE_MAX) ScanBlocks(blocksEnd);
  if (scan_.end == SIZE_MAX && blocksEnd < size) {
    if (scan_.block == nextSegment_) list_.segmentStarts_.push_back(scan_.entries);
    if (list_.capacity_ - scan_.entries < 64) {
      list_.entries_ = scan_.entries;
      list_.Reserve(list_.capacity_ + 64);
      scan_.starts = list_.starts_.get();
    }
    LastBlock(scan_, ClassifyBytes(scan_.data + blocksEnd, size - blocksEnd));
  }
  list_.entries_ = scan_.entries;
  const bool nul = scan_.end != SIZE_MAX;
  // A break in the last byte of a text of whole blocks: where a line after it would begin.
  if (!nul && (scan_.lfBefore | scan_.crBefore) != 0) list_.Append(size);

  // The last entry is where the text ends; a break at the very end makes no extra line.
  // The spare room stays: pages never written are never resident, and giving it back
  // would copy every offset once more.
  const std::size_t end = nul ? scan_.end : size;
  if (end == 0) {
    list_.entries_ = 0;
    list_.segmentStarts_.clear();
  } else if (list_.Start(list_.entries_ - 1) != end) {
    list_.Append(end);
  }
  list_.size_ = end;
  if (room_ > 2 * end + 4096) {
    // Mostly beyond a NUL: given back.
    auto text = std::make_unique_for_overwrite<char[]>(end + 1);
    std::memcpy(text.get(), list_.text_.get(), end);
    list_.text_ = std::move(text);
  }
  return std::move(list_);
}

TQuoteList TQuoteListBuilder::Finish() {
  using platform::TextEncoding;
  const std::string_view bytes(list_.text_.get(), list_.size_);
  const auto cutText = [this](std::string_view text) {
    TQuoteListBuilder utf8(list_.segmentBits_, vectorBits_);
    utf8.Expect(text.size());
    Feed(utf8, text, text.size());
    return utf8.Cut(TextEncoding::Utf8);
  };
  const TFileEncoding kind = MarkedKind(bytes);
  switch (kind) {
    case TFileEncoding::feUtf16Le:
    case TFileEncoding::feUtf16Be:
      return cutText(
          Utf8FromUtf16Text(bytes.substr(MarkLength(kind)), kind == TFileEncoding::feUtf16Be));
    case TFileEncoding::feUtf8WithMark: {
      if (!IsValidUtf8From(bytes, MarkLength(kind)))
        return cutText(RepairedUtf8(bytes.substr(MarkLength(kind))));
      TQuoteList list = Cut(TextEncoding::Utf8);
      // The mark is no quote's text: the first line begins after it, and a mark alone is
      // a file of no quotes.
      if (list.size_ <= MarkLength(kind)) {
        list.entries_ = 0;
        list.segmentStarts_.clear();
      } else {
        list.starts_[0] = static_cast<std::uint32_t>(MarkLength(kind));
      }
      return list;
    }
    case TFileEncoding::feAnsi:
    case TFileEncoding::feUtf8:
      break;
  }
  // The scan has seen the whole blocks up to the first NUL; the rest counts too.
  std::size_t firstHigh = scan_.firstHigh;
  if (firstHigh == SIZE_MAX) {
    const std::size_t from = std::min(scan_.end, scan_.block);
    const std::size_t after = FirstHighByte(bytes.substr(from));
    if (from + after < bytes.size()) firstHigh = from + after;
  }
  // Plain ASCII stays 8-bit text: the same bytes either way, and the same record as always.
  const bool utf8 = firstHigh < bytes.size() && IsValidUtf8From(bytes, firstHigh);
  return Cut(utf8 ? TextEncoding::Utf8 : TextEncoding::Ansi);
}

}  // namespace zanto
