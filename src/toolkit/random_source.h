// The program's one pseudo-random generator: a 32-bit linear congruential state whose draw
// below n is the upper half of the 64-bit product of the new state and n.
#pragma once

#include <cstdint>

namespace zanto {

class TRandomSource {
 public:
  void Seed(std::uint32_t seed) { state_ = seed; }
  std::uint32_t State() const { return state_; }
  // An integer from 0 to n - 1 (0 when n is 0).
  std::uint32_t Below(std::uint32_t n) {
    state_ = state_ * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state_) * n) >> 32);
  }

 private:
  std::uint32_t state_ = 0;
};

}  // namespace zanto
