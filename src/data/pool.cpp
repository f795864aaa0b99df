// The idle-session pool: a bounded list of idle sessions per database location.
#include "data/pool.h"

#include <mutex>
#include <unordered_map>
#include <vector>

namespace ksmain::data {
namespace {

// Idle sessions kept per database. Enough for the threads of a busy host; beyond it a
// returned session is closed rather than kept open for nothing.
constexpr std::size_t kMaxIdlePerLocation = 8;

struct Pool {
  std::mutex mutex;
  std::unordered_map<std::string, std::vector<std::unique_ptr<Session>>> idle;
  PoolStatistics stats;
};

Pool& ThePool() {
  // Never destroyed: sessions still pooled at exit are left to the process's end rather
  // than closed in an order that might outlive the driver's own statics.
  static Pool* pool = new Pool;
  return *pool;
}

}  // namespace

PooledSession AcquireSession(Driver& driver, const std::string& location, int timeout_seconds) {
  Pool& pool = ThePool();
  {
    std::lock_guard lock(pool.mutex);
    auto it = pool.idle.find(location);
    if (it != pool.idle.end() && !it->second.empty()) {
      std::unique_ptr<Session> session = std::move(it->second.back());
      it->second.pop_back();
      --pool.stats.idle;
      ++pool.stats.reused;
      session->SetTimeout(timeout_seconds);
      return PooledSession{location, std::move(session)};
    }
  }
  // Opening happens outside the lock: it touches the disk and may wait on other writers.
  std::unique_ptr<Session> session = driver.Open(location, timeout_seconds);
  std::lock_guard lock(pool.mutex);
  ++pool.stats.opened;
  return PooledSession{location, std::move(session)};
}

void ReleaseSession(PooledSession pooled) {
  if (!pooled.session) return;
  Pool& pool = ThePool();
  std::unique_ptr<Session> discard;
  {
    std::lock_guard lock(pool.mutex);
    auto& list = pool.idle[pooled.key];
    if (pooled.session->Reusable() && list.size() < kMaxIdlePerLocation) {
      list.push_back(std::move(pooled.session));
      ++pool.stats.idle;
      return;
    }
    ++pool.stats.discarded;
    discard = std::move(pooled.session);
  }
  // Closed outside the lock.
}

PoolStatistics GetPoolStatistics() {
  Pool& pool = ThePool();
  std::lock_guard lock(pool.mutex);
  return pool.stats;
}

void ResetPool() {
  Pool& pool = ThePool();
  std::unordered_map<std::string, std::vector<std::unique_ptr<Session>>> closing;
  {
    std::lock_guard lock(pool.mutex);
    closing.swap(pool.idle);
    pool.stats = PoolStatistics{};
  }
}

}  // namespace ksmain::data
