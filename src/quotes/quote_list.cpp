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
struct BlockBits {
  std::uint64_t cr = 0;
  std::uint64_t lf = 0;
  std::uint64_t nul = 0;
};

// The first `n` (at most 64) bytes, one at a time: the end of the text, and where nothing
// faster is to be had.
BlockBits ClassifyBytes(const char* data, std::size_t n) {
  BlockBits bits;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t bit = std::uint64_t{1} << i;
    if (data[i] == '\r') bits.cr |= bit;
    if (data[i] == '\n') bits.lf |= bit;
    if (data[i] == '\0') bits.nul |= bit;
  }
  return bits;
}

// Whole blocks, with what every processor of its kind has.
#if defined(__SSE2__)
inline BlockBits Classify64Baseline(const char* data) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i nul = _mm_setzero_si128();
  BlockBits bits;
  __m128i anyNul = _mm_setzero_si128();
  for (int i = 0; i < 4; ++i) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
    bits.cr |= static_cast<std::uint64_t>(
                   static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr))))
               << (16 * i);
    bits.lf |= static_cast<std::uint64_t>(
                   static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))))
               << (16 * i);
    anyNul = _mm_or_si128(anyNul, _mm_cmpeq_epi8(v, nul));
  }
  // A NUL comes once in a file at most: where it does, the block is looked at again.
  if (_mm_movemask_epi8(anyNul) != 0) bits.nul = ClassifyBytes(data, 64).nul;
  return bits;
}
#else
inline BlockBits Classify64Baseline(const char* data) {
  return ClassifyBytes(data, 64);
}
#endif

#if ZANTO_SCAN_DISPATCH
[[gnu::target("avx2")]] inline BlockBits Classify64Avx2(const char* data) {
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  const __m256i nul = _mm256_setzero_si256();
  const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
  const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 32));
  BlockBits bits;
  bits.cr =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, cr))) |
      std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, cr)))}
          << 32;
  bits.lf =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, lf))) |
      std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, lf)))}
          << 32;
  const __m256i anyNul = _mm256_or_si256(_mm256_cmpeq_epi8(lo, nul), _mm256_cmpeq_epi8(hi, nul));
  if (!_mm256_testz_si256(anyNul, anyNul)) bits.nul = ClassifyBytes(data, 64).nul;
  return bits;
}

[[gnu::target("avx512bw")]] inline BlockBits Classify64Avx512(const char* data) {
  const __m512i v = _mm512_loadu_si512(data);
  BlockBits bits;
  bits.cr = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\r'));
  bits.lf = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n'));
  bits.nul = _mm512_testn_epi8_mask(v, v);
  return bits;
}
#endif

// The scan's state from one block to the next.
struct Scan {
  const char* data;
  std::size_t block;  // the next block of 64 to look at
  std::size_t end;    // where the text ends: at the first NUL, if any
  std::uint64_t segmentMask;
  std::uint64_t crBefore;  // the bits of the last byte of the block before
  std::uint64_t lfBefore;
  std::uint32_t* starts;  // the line starts so far, with room for more
  std::size_t entries;
};

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
[[gnu::always_inline]] inline std::uint64_t LineStarts(Scan& scan, const BlockBits& bits) {
  const std::uint64_t starts =
      (bits.lf << 1 | scan.lfBefore) | ((bits.cr << 1 | scan.crBefore) & ~bits.lf);
  scan.lfBefore = bits.lf >> 63;
  scan.crBefore = bits.cr >> 63;
  return starts;
}

// The block holding the NUL that ends the text, or the text's last few bytes.
void LastBlock(Scan& scan, BlockBits bits) {
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
template <BlockBits (*Classify)(const char*)>
[[gnu::always_inline]] inline void Blocks(Scan& scan, std::size_t limit) {
  Scan s = scan;  // a copy the compiler keeps in registers
  for (; s.block < limit; s.block += 64) {
    // The text has just been read and is no longer in the nearest caches: fetching it some
    // way ahead keeps the scan from waiting for it.
#if defined(__GNUC__)
    __builtin_prefetch(s.data + s.block + 4096);
#endif
    const BlockBits bits = Classify(s.data + s.block);
    if (bits.nul != 0) break;
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

QuoteList::QuoteList(QuoteList&& other) noexcept {
  *this = std::move(other);
}

QuoteList& QuoteList::operator=(QuoteList&& other) noexcept {
  text_ = std::move(other.text_);
  encoding_ = other.encoding_;
  starts_ = std::move(other.starts_);
  entries_ = std::exchange(other.entries_, 0);
  capacity_ = std::exchange(other.capacity_, 0);
  segmentBits_ = other.segmentBits_;
  segmentStarts_ = std::move(other.segmentStarts_);
  return *this;
}

void QuoteList::Reserve(std::size_t capacity) {
  auto grown = std::make_unique_for_overwrite<std::uint32_t[]>(capacity);
  AdviseLargePages(grown.get(), capacity * sizeof(std::uint32_t));
  if (entries_ > 0) std::memcpy(grown.get(), starts_.get(), entries_ * sizeof(std::uint32_t));
  starts_ = std::move(grown);
  capacity_ = capacity;
}

void QuoteList::Append(std::size_t at) {
  while ((static_cast<std::uint64_t>(at) >> segmentBits_) > segmentStarts_.size())
    segmentStarts_.push_back(entries_);
  if (entries_ == capacity_) Reserve(2 * capacity_ + 2);
  const std::uint64_t segmentMask = (std::uint64_t{1} << segmentBits_) - 1;
  starts_[entries_++] = static_cast<std::uint32_t>(at & segmentMask);
}

QuoteList QuoteList::Cut(std::string bytes, unsigned segmentBits, unsigned vectorBits) {
  QuoteList list;
  list.segmentBits_ = std::clamp(segmentBits, 6u, 32u);
  const std::size_t size = bytes.size();
  if (size == 0) return list;

  // Room for a line every 64 bytes, which holds most quote files whole; pages never written
  // are never resident. A text of shorter lines makes the room grow as the lines so far say.
  list.Reserve(size / 64 + 128);
  list.Append(0);

  auto blocks = BlocksBaseline;
#if ZANTO_SCAN_DISPATCH
  if (vectorBits >= 512 && __builtin_cpu_supports("avx512bw"))
    blocks = BlocksAvx512;
  else if (vectorBits >= 256 && __builtin_cpu_supports("avx2"))
    blocks = BlocksAvx2;
#else
  (void)vectorBits;
#endif
  const std::uint64_t segment = std::uint64_t{1} << list.segmentBits_;
  Scan scan{.data = bytes.data(),
            .block = 0,
            .end = size,
            .segmentMask = segment - 1,
            .crBefore = 0,
            .lfBefore = 0,
            .starts = list.starts_.get(),
            .entries = list.entries_};
  const std::size_t blocksEnd = size & ~std::size_t{63};
  std::uint64_t nextSegment = segment;
  while (scan.block < blocksEnd && scan.end == size) {
    if (scan.block == nextSegment) {
      list.segmentStarts_.push_back(scan.entries);
      nextSegment += segment;
    }
    if (list.capacity_ - scan.entries < 64) {
      // Out of room: as many lines for each byte still to come as the bytes so far held,
      // and an eighth more.
      const double perByte = static_cast<double>(scan.entries) /
                             static_cast<double>(std::max<std::size_t>(scan.block, 64));
      const auto expected = static_cast<std::size_t>(perByte * static_cast<double>(size));
      list.entries_ = scan.entries;
      list.Reserve(std::max(2 * list.capacity_, expected + expected / 8 + 64));
      scan.starts = list.starts_.get();
    }
    const std::size_t room = (list.capacity_ - scan.entries) / 64 * 64;
    const std::size_t limit = std::min<std::uint64_t>({blocksEnd, nextSegment, scan.block + room});
    blocks(scan, limit);
    if (scan.block < limit) LastBlock(scan, ClassifyBytes(scan.data + scan.block, 64));
  }
  if (scan.end == size && blocksEnd < size) {
    if (scan.block == nextSegment) list.segmentStarts_.push_back(scan.entries);
    if (list.capacity_ - scan.entries < 64) {
      list.entries_ = scan.entries;
      list.Reserve(list.capacity_ + 64);
      scan.starts = list.starts_.get();
    }
    LastBlock(scan, ClassifyBytes(bytes.data() + blocksEnd, size - blocksEnd));
  }
  list.entries_ = scan.entries;
  // A break in the last byte of a text of whole blocks: where a line after it would begin.
  if (scan.end == size && (scan.lfBefore | scan.crBefore) != 0) list.Append(size);

  // The last entry is where the text ends; a break at the very end makes no extra line.
  // The spare room stays: pages never written are never resident, and giving it back
  // would copy every offset once more.
  const std::size_t end = scan.end;
  if (end == 0) {
    list.entries_ = 0;
    list.segmentStarts_.clear();
  } else if (list.Start(list.entries_ - 1) != end) {
    list.Append(end);
  }
  if (end < size) {
    bytes.resize(end);
    if (bytes.capacity() > 2 * end + 4096) bytes.shrink_to_fit();
  }
  list.text_ = std::move(bytes);
  return list;
}

QuoteList QuoteList::FromFileBytes(std::string bytes) {
  using platform::TextEncoding;
  const QuotesFileKind kind = ClassifyQuotesFile(bytes);
  switch (kind) {
    case QuotesFileKind::Ansi:
      break;
    case QuotesFileKind::Utf8:
      break;
    case QuotesFileKind::Utf8WithMark:
      // In place: the text is still held once.
      bytes.erase(0, MarkLength(kind));
      if (!IsValidUtf8From(bytes, 0)) bytes = RepairedUtf8(bytes);
      break;
    case QuotesFileKind::Utf16Le:
    case QuotesFileKind::Utf16Be:
      bytes = Utf8FromUtf16Text(std::string_view(bytes).substr(MarkLength(kind)),
                                kind == QuotesFileKind::Utf16Be);
      break;
  }
  QuoteList list = Cut(std::move(bytes), 32, 512);
  list.encoding_ = kind == QuotesFileKind::Ansi ? TextEncoding::Ansi : TextEncoding::Utf8;
  return list;
}

QuoteList QuoteList::Single(std::string quote) {
  QuoteList list;
  list.text_ = std::move(quote);
  list.Reserve(2);
  list.Append(0);
  list.Append(list.text_.size());
  return list;
}

std::size_t QuoteList::Start(std::size_t entry) const {
  const std::size_t segment =
      segmentStarts_.empty()
          ? 0
          : static_cast<std::size_t>(
                std::upper_bound(segmentStarts_.begin(), segmentStarts_.end(), entry) -
                segmentStarts_.begin());
  return (segment << segmentBits_) + starts_[entry];
}

std::string_view QuoteList::operator[](std::size_t index) const {
  const std::size_t begin = Start(index);
  std::size_t end = Start(index + 1);
  // The span holds the line and then its break, which is CR LF, LF or CR.
  if (end > begin && text_[end - 1] == '\n') --end;
  if (end > begin && text_[end - 1] == '\r') --end;
  return std::string_view(text_).substr(begin, end - begin);
}

}  // namespace zanto
