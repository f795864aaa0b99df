// Rnd: the runtime's random-number generator.
#include <atomic>

#include "frame/vb_runtime.h"

namespace ksmain::vb {

namespace {
constexpr std::uint32_t kRndStart = 0x50000;
std::atomic<std::uint32_t> rnd_state{kRndStart};
}  // namespace

float Rnd() {
  std::uint32_t current = rnd_state.load(std::memory_order_relaxed);
  std::uint32_t next = 0;
  do {
    next = (current * 1140671485u + 12820163u) & 0xFFFFFFu;
  } while (!rnd_state.compare_exchange_weak(current, next, std::memory_order_relaxed));
  return static_cast<float>(next) / 16777216.0f;
}

void ResetRnd() { rnd_state.store(kRndStart, std::memory_order_relaxed); }

}  // namespace ksmain::vb
