#include "quotes/quote_deck.h"

#include <numeric>
#include <utility>

#include "quotes/quote_list.h"
#include "toolkit/exceptions.h"

namespace zanto {

namespace {
[[noreturn]] void OutOfBounds(std::size_t index) {
  throw EListError(Formatted("List index out of bounds (%d)", static_cast<int>(index)));
}

void Prefetch(const std::uint32_t* entry) {
#if defined(__GNUC__)
  __builtin_prefetch(entry, 1);
#else
  (void)entry;
#endif
}

}  // namespace

std::uint32_t TQuoteDeck::At(std::size_t index) const {
  if (index >= Count()) OutOfBounds(index);
  return positions_[front_ + index];
}

void TQuoteDeck::Refill(std::size_t quoteCount, TRandomSource& random) {
  if (Empty()) {
    positions_.clear();
    front_ = 0;
  }
  const std::size_t before = positions_.size();
  positions_.reserve(before + quoteCount);
  AdviseLargePages(positions_.data(), positions_.capacity() * sizeof(std::uint32_t));
  positions_.resize(before + quoteCount);
  std::iota(positions_.begin() + static_cast<std::ptrdiff_t>(before), positions_.end(), 0u);
  Shuffle(random);
}

void TQuoteDeck::Shuffle(TRandomSource& random) {
  const std::size_t n = Count();
  if (n == 0) return;
  std::uint32_t* deck = positions_.data() + front_;
  const auto count = static_cast<std::uint32_t>(n);
  const std::uint64_t passes = 2 * static_cast<std::uint64_t>(n) + 1;
  // A copy of the generator runs kAhead passes ahead, so that the entries an exchange will
  // touch are already on their way when it comes: a deck of a million outgrows the processor's
  // nearest caches, and each exchange would wait for its two entries. The exchanges are
  // the same draws in the same order.
  constexpr std::uint64_t kAhead = 32;
  TRandomSource ahead = random;
  for (std::uint64_t i = 0; i < 2 * kAhead; ++i) ahead.Below(count);
  for (std::uint64_t i = 0; i < passes; ++i) {
    if (i + kAhead < passes) {
      Prefetch(&deck[ahead.Below(count)]);
      Prefetch(&deck[ahead.Below(count)]);
    }
    const std::uint32_t a = random.Below(count);
    const std::uint32_t b = random.Below(count);
    std::swap(deck[a], deck[b]);
  }
}

std::uint32_t TQuoteDeck::TakeFront() {
  if (Empty()) OutOfBounds(0);
  const std::uint32_t position = positions_[front_++];
  if (Empty()) {
    positions_.clear();
    front_ = 0;
  }
  return position;
}

}  // namespace zanto
