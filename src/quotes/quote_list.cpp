#include "quotes/quote_list.h"

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zanto {

namespace {

// One bit for each of the 64 bytes at `data` that is a CR, an LF or a NUL. Quote files run
// to a million lines and this scan is most of the cost of loading one: it looks at every
// byte once, for breaks and the end of the text together.
#if defined(__SSE2__)
std::uint64_t BreakMask64(const char* data) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i nul = _mm_setzero_si128();
  std::uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                                     _mm_cmpeq_epi8(v, nul));
    mask |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(hit)))
            << (16 * i);
  }
  return mask;
}
#endif

// The same for the first `n` (at most 64) bytes, one at a time.
std::uint64_t BreakMask(const char* data, std::size_t n) {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (data[i] == '\r' || data[i] == '\n' || data[i] == '\0') mask |= std::uint64_t{1} << i;
  return mask;
}

constexpr std::size_t kSample = std::size_t{1} << 18;  // bytes; a multiple of 64

}  // namespace

QuoteList QuoteList::FromFileBytes(std::string bytes) {
  QuoteList list;
  const char* data = bytes.data();
  const std::size_t size = bytes.size();
  // starts_ gets where each line begins; a line begins at 0 and after every break, and
  // the LF of a CR LF is skipped by starting the next line after it.
  std::vector<std::size_t>& starts = list.starts_;
  std::size_t end = size;  // where the text ends: at the first NUL, if any
  std::size_t next = 0;    // where the line after the last break seen begins
  if (size > 0) starts.push_back(0);
  for (std::size_t block = 0; block < size; block += 64) {
    const std::size_t n = size - block < 64 ? size - block : 64;
#if defined(__SSE2__)
    std::uint64_t mask = n == 64 ? BreakMask64(data + block) : BreakMask(data + block, n);
#else
    std::uint64_t mask = BreakMask(data + block, n);
#endif
    while (mask) {
      const std::size_t at = block + static_cast<std::size_t>(std::countr_zero(mask));
      mask &= mask - 1;
      if (at < next) continue;  // the LF of a CR LF
      if (data[at] == '\0') {
        end = at;
        break;
      }
      next = at + ((data[at] == '\r' && at + 1 < size && data[at + 1] == '\n') ? 2 : 1);
      starts.push_back(next);
    }
    if (end < size) break;
    if (block + 64 == kSample && size > 2 * kSample) {
      // The lines so far tell how many the whole text holds: room for them all and an
      // eighth more, so that the offsets are not copied over and over as they grow.
      const std::size_t expected = starts.size() * (size / kSample);
      starts.reserve(expected + expected / 8);
    }
  }
  // The last entry is where the text ends; a break at the very end makes no extra line.
  // The spare capacity stays: pages never written are never resident, and giving it back
  // would copy every offset once more.
  if (end == 0)
    starts.clear();
  else if (starts.back() != end)
    starts.push_back(end);
  if (end < size) {
    bytes.resize(end);
    if (bytes.capacity() > 2 * end + 4096) bytes.shrink_to_fit();
  }
  list.text_ = std::move(bytes);
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
