// Runs a piece of a test on a thread with a small stack, as a host's worker threads often
// have: a pass that recurses once per element of a long input overflows it, so a test run
// there fails by crashing where the code does not bound its depth.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstddef>
#include <functional>

namespace ksmain::testing {

// The stack a worker thread of a host commonly gets. AddressSanitizer's redzones make every
// frame of the recursive front end several times larger, so its builds get 8 MB.
#ifdef __SANITIZE_ADDRESS__
inline constexpr std::size_t kWorkerStack = std::size_t{8} << 20;
#else
inline constexpr std::size_t kWorkerStack = std::size_t{1} << 20;
#endif

inline void OnStackOf(std::size_t bytes, const std::function<void()>& body) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, bytes);
  pthread_t thread;
  auto run = [](void* f) -> void* {
    (*static_cast<const std::function<void()>*>(f))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&body)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

inline void OnSmallStack(const std::function<void()>& body) { OnStackOf(kWorkerStack, body); }

}  // namespace ksmain::testing
