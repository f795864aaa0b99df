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

using IdleList = std::vector<std::unique_ptr<Session>>;

struct Pool {
  std::mutex mutex;
  std::unordered_map<std::string, IdleList> idle;  // by location + "\n" + identity
  std::unordered_map<std::string, std::string> current_identity;  // by location
  PoolStatistics stats;
};

Pool& ThePool() {
  // Never destroyed: sessions still pooled at exit are left to the process's end rather
  // than closed in an order that might outlive the driver's own statics.
  static Pool* pool = new Pool;
  return *pool;
}

}  // namespace

PooledSession AcquireSession(Driver& driver, const std::string& location,
                             const std::string& identity, int timeout_seconds) {
  Pool& pool = ThePool();
  const std::string key = location + "\n" + identity;
  IdleList stale;
  {
    std::lock_guard lock(pool.mutex);
    std::string& current = pool.current_identity[location];
    if (current != identity) {
      if (!current.empty()) {
        auto old = pool.idle.find(location + "\n" + current);
        if (old != pool.idle.end()) {
          pool.stats.idle -= old->second.size();
          pool.stats.discarded += old->second.size();
          stale = std::move(old->second);
          pool.idle.erase(old);
        }
      }
      current = identity;
    }
    auto it = pool.idle.find(key);
    if (it != pool.idle.end() && !it->second.empty()) {
      std::unique_ptr<Session> session = std::move(it->second.back());
      it->second.pop_back();
      --pool.stats.idle;
      ++pool.stats.reused;
      session->SetTimeout(timeout_seconds);
      return PooledSession{key, std::move(session)};
    }
  }
  // Opening happens outside the lock: it touches the disk and may wait on other writers.
  std::unique_ptr<Session> session = driver.Open(location, timeout_seconds);
  std::lock_guard lock(pool.mutex);
  ++pool.stats.opened;
  return PooledSession{key, std::move(session)};
}

void ReleaseSession(PooledSession pooled) {
  if (!pooled.session) return;
  Pool& pool = ThePool();
  std::unique_ptr<Session> discard;
  {
    std::lock_guard lock(pool.mutex);
    // A session on a location's earlier file is not kept once a newer file was seen there.
    const std::size_t split = pooled.key.rfind('\n');
    const std::string location = pooled.key.substr(0, split);
    auto current = pool.current_identity.find(location);
    const bool current_file =
        current != pool.current_identity.end() && current->second == pooled.key.substr(split + 1);
    auto& list = pool.idle[pooled.key];
    if (current_file && pooled.session->Reusable() && list.size() < kMaxIdlePerLocation) {
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
  std::unordered_map<std::string, IdleList> closing;
  {
    std::lock_guard lock(pool.mutex);
    closing.swap(pool.idle);
    pool.current_identity.clear();
    pool.stats = PoolStatistics{};
  }
}

}  // namespace ksmain::data
