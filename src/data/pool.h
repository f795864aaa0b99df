// Session pooling: every member call opens and closes its own connection, as the pages
// expect, but a closed connection goes back to a pool per database (as the platform's
// session pooling did) so the next call costs a look-up, not an open and a schema read.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "data/driver.h"

namespace ksmain::data {

// The memory of one object of type T that a thread freed, kept for the next it makes: a
// member call makes and frees the same few objects once each (its connection's state, its
// statement's cursor), and taking the last one's memory back costs less than the
// allocator's round trip. Blocks come from and go back to the global operator new/delete,
// so one freed on another thread is as good as any.
template <class T>
struct SpareBlock {
  static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
  static void* Take() {
    if (void* kept = spare) {
      spare = nullptr;
      return kept;
    }
    return ::operator new(sizeof(T));
  }
  static void Give(void* freed) noexcept {
    if (spare != nullptr || state == State::Gone) {
      ::operator delete(freed);
      return;
    }
    if (state == State::None) {
      // Frees the block the thread keeps when the thread ends.
      static thread_local Keeper keeper;
      state = State::Kept;
    }
    spare = freed;
  }

 private:
  enum class State : unsigned char { None, Kept, Gone };
  struct Keeper {
    ~Keeper() {
      ::operator delete(spare);
      spare = nullptr;
      state = State::Gone;
    }
  };
  // Plain thread-local words (a thread-local object with a destructor would be checked for
  // its construction at every use), reached without a call into the dynamic linker: the
  // library is part of the programs that use it, never loaded later.
  [[gnu::tls_model("initial-exec")]] static inline thread_local void* spare = nullptr;
  [[gnu::tls_model("initial-exec")]] static inline thread_local State state = State::None;
};

// An allocator for std::allocate_shared of one object at a time through SpareBlock.
template <class T>
struct SpareAllocator {
  using value_type = T;
  SpareAllocator() = default;
  template <class U>
  SpareAllocator(const SpareAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n == 1) return static_cast<T*>(SpareBlock<T>::Take());
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) noexcept {
    if (n == 1) {
      SpareBlock<T>::Give(p);
    } else {
      std::allocator<T>().deallocate(p, n);
    }
  }
  template <class U>
  bool operator==(const SpareAllocator<U>&) const noexcept {
    return true;
  }
};

struct PoolStatistics {
  std::uint64_t opened = 0;    // sessions the driver opened since start (or ResetPool)
  std::uint64_t reused = 0;    // acquisitions served from the idle pool
  std::uint64_t discarded = 0; // sessions closed because the pool was full or unfit
  std::uint64_t idle = 0;      // sessions idle right now
  std::uint64_t locations = 0; // database locations the pool keeps track of right now
};

// How much the pool keeps. Every idle session holds open files (the database, its log
// and its shared index), so a host that touches many databases must not keep one for each
// of them: idle sessions are bounded in total, the longest idle closed first, and a
// session idle for longer than the age limit is closed.
struct PoolLimits {
  std::size_t max_idle_total = 32;
  std::chrono::steady_clock::duration max_idle_age = std::chrono::seconds(60);
};

// One database location as the pool keeps it (defined in pool.cpp).
struct PoolLocation;

// A session on loan; returning it to the pool is the caller's job (ReleaseSession).
struct PooledSession {
  // Where it goes back to. The pool keeps a location alive while sessions from it are lent,
  // so a loan holds no reference count of its own (and costs no atomic operations).
  PoolLocation* location = nullptr;
  std::unique_ptr<Session> session;
};

// `identity` tells apart successive files at one location (see ConnectTarget): sessions
// are pooled per location and identity, and idle sessions on a location's earlier file are
// closed once a newer one is seen. `pooled_at` is the caller's memo of the location it
// acquired from last time with the same path and identity (see OpenTarget): while that is
// still the pool's, the pool's table is not searched; otherwise it is set to the one found.
PooledSession AcquireSession(Driver& driver, std::string_view location, std::string_view identity,
                             int timeout_seconds, std::shared_ptr<PoolLocation>& pooled_at);
void ReleaseSession(PooledSession pooled);
// The location a session was acquired for, as it was named then.
const std::string& LocationPath(const PooledSession& pooled);

PoolStatistics GetPoolStatistics();
void SetPoolLimits(PoolLimits limits);
PoolLimits GetPoolLimits();
// Closes every idle session (each database's log is written back into its file when its
// last session closes); sessions lent out are closed when they come back. The counters
// stay.
void CloseIdleSessions();
// Closes every idle session and zeroes the counters (tests, and a host that wants its
// database files released, e.g. before deleting them).
void ResetPool();

}  // namespace ksmain::data
