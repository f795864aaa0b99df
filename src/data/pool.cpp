// The idle-session pool: a bounded list of idle sessions per database location.
#include "data/pool.h"

#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ksmain::data {
namespace {

// Idle sessions kept per database. Enough for the threads of a busy host; beyond it a
// returned session is closed rather than kept open for nothing.
constexpr std::size_t kMaxIdlePerLocation = 8;

using IdleList = std::vector<std::unique_ptr<Session>>;

// One database location: the file it named when last seen and the idle sessions on that
// file. Sessions on an earlier file are never kept, so one list per location is enough.
struct Location {
  std::string identity;
  IdleList idle;
};

// Looked up by string_view so a call finds its location without building a key.
struct LocationHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept {
    return std::hash<std::string_view>{}(text);
  }
};

struct Pool {
  std::mutex mutex;
  std::unordered_map<std::string, Location, LocationHash, std::equal_to<>> locations;
  PoolStatistics stats;
};

Pool& ThePool() {
  // Never destroyed: sessions still pooled at exit are left to the process's end rather
  // than closed in an order that might outlive the driver's own statics.
  static Pool* pool = new Pool;
  return *pool;
}

}  // namespace

PooledSession AcquireSession(Driver& driver, std::string location, std::string identity,
                             int timeout_seconds) {
  Pool& pool = ThePool();
  IdleList stale;  // closed outside the lock
  {
    std::lock_guard lock(pool.mutex);
    auto it = pool.locations.find(std::string_view(location));
    if (it == pool.locations.end()) {
      it = pool.locations.emplace(location, Location{identity, {}}).first;
    } else if (it->second.identity != identity) {
      // A newer file at this location: idle sessions on the earlier one are closed.
      pool.stats.idle -= it->second.idle.size();
      pool.stats.discarded += it->second.idle.size();
      stale.swap(it->second.idle);
      it->second.identity = identity;
    }
    IdleList& idle = it->second.idle;
    if (!idle.empty()) {
      std::unique_ptr<Session> session = std::move(idle.back());
      idle.pop_back();
      --pool.stats.idle;
      ++pool.stats.reused;
      session->SetTimeout(timeout_seconds);
      return PooledSession{std::move(location), std::move(identity), std::move(session)};
    }
  }
  // Opening happens outside the lock: it touches the disk and may wait on other writers.
  std::unique_ptr<Session> session = driver.Open(location, timeout_seconds);
  std::lock_guard lock(pool.mutex);
  ++pool.stats.opened;
  return PooledSession{std::move(location), std::move(identity), std::move(session)};
}

void ReleaseSession(PooledSession pooled) {
  if (!pooled.session) return;
  Pool& pool = ThePool();
  std::unique_ptr<Session> discard;
  {
    std::lock_guard lock(pool.mutex);
    // A session on a location's earlier file is not kept once a newer file was seen there.
    auto it = pool.locations.find(std::string_view(pooled.location));
    if (it != pool.locations.end() && it->second.identity == pooled.identity &&
        pooled.session->Reusable() && it->second.idle.size() < kMaxIdlePerLocation) {
      it->second.idle.push_back(std::move(pooled.session));
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
  decltype(pool.locations) closing;
  {
    std::lock_guard lock(pool.mutex);
    closing.swap(pool.locations);
    pool.stats = PoolStatistics{};
  }
}

}  // namespace ksmain::data
