// The demonstration data's random numbers: a small fixed generator, so the data sets are
// the same on every platform and standard library.
#pragma once

#include <cstdint>

namespace ksmain::schema {

class DemoRandom {
 public:
  explicit DemoRandom(std::uint32_t seed) : state_(seed ? seed : 1u) {}
  // xorshift32: plenty for spreading demo values, and identical everywhere.
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  // 0 .. n-1
  int Below(std::size_t n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }

 private:
  std::uint32_t state_;
};

}  // namespace ksmain::schema
