// The quotes of the current pass not shown yet, as positions in the quote list; the front
// one is shown next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "toolkit/random_source.h"

namespace zanto {

class TQuoteDeck {
 public:
  bool Empty() const { return front_ == positions_.size(); }
  std::size_t Count() const { return positions_.size() - front_; }
  std::uint32_t At(std::size_t index) const;  // 0 is the front
  // Appends every quote-list position in order and shuffles the deck.
  void Refill(std::size_t quoteCount, TRandomSource& random);
  // Twice the count plus one random exchanges: the order this exact sequence of draws gives.
  void Shuffle(TRandomSource& random);
  // Takes the front position off the deck.
  std::uint32_t TakeFront();

 private:
  std::vector<std::uint32_t> positions_;
  std::size_t front_ = 0;  // positions before it have been taken
};

}  // namespace zanto
