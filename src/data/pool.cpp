// The idle-session pool: idle sessions per database location, bounded per location, in
// total and by age.
#include "data/pool.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ksmain/library.h"

namespace ksmain::data {
namespace {

using Clock = std::chrono::steady_clock;

// Idle sessions kept per database. Enough for the threads of a busy host; beyond it a
// returned session is closed rather than kept open for nothing.
constexpr std::size_t kMaxIdlePerLocation = 8;

struct IdleSession {
  std::unique_ptr<Session> session;
  Clock::time_point since;
};
using IdleList = std::vector<IdleSession>;

}  // namespace

// One database location: the file it named when last seen, the idle sessions on that file
// and how many are lent out. Sessions on an earlier file are never kept, so one list per
// location is enough: a newer file gets a location object of its own, and the earlier one
// is no longer current. A location with nothing idle and nothing lent is forgotten, so a
// host that touches many files keeps no trace of those it no longer uses; one forgotten
// while sessions from it are lent is kept among the retired until the last comes back.
// Every field but `path` and `identity`, which never change, is guarded by the pool's
// mutex.
struct PoolLocation {
  PoolLocation(std::string_view path, std::string_view identity) : path(path), identity(identity) {}
  const std::string path;
  const std::string identity;
  IdleList idle;
  std::size_t lent = 0;  // sessions from it not yet returned, current or not
  // Still the pool's entry for its path; a session lent from a location that is not goes
  // back to no pool.
  bool current = true;
};

namespace {

using Location = PoolLocation;

// Looked up by string_view so a call finds its location without building a key.
struct LocationHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept {
    return std::hash<std::string_view>{}(text);
  }
};

struct Pool {
  std::mutex mutex;
  std::unordered_map<std::string, std::shared_ptr<Location>, LocationHash, std::equal_to<>> locations;
  // Locations no longer current with sessions still lent from them (see PooledSession).
  std::vector<std::shared_ptr<Location>> retired;
  PoolStatistics stats;
  PoolLimits limits;
  Clock::time_point last_sweep{};
};

Pool& ThePool() {
  // Never destroyed: sessions still pooled at exit are left to the process's end rather
  // than closed in an order that might outlive the driver's own statics (hosts close them
  // in time through Shutdown).
  static Pool* pool = new Pool;
  return *pool;
}

// Takes a location out of the pool's table: what is lent from it goes back to no pool, and
// the pool keeps it until then.
void Retire(Pool& pool, const std::shared_ptr<Location>& location) {
  // Kept first: should that fail, nothing has changed.
  if (location->lent > 0) pool.retired.push_back(location);
  location->current = false;
}

// Drops a location from the pool's table (it has nothing idle).
template <class Iterator>
Iterator Forget(Pool& pool, Iterator it) {
  Retire(pool, it->second);
  return pool.locations.erase(it);
}

void Forget(Pool& pool, const Location& location) {
  auto it = pool.locations.find(std::string_view(location.path));
  if (it != pool.locations.end() && it->second.get() == &location) Forget(pool, it);
}

// One session from `location` is back (or never came): a current location left with
// nothing is forgotten, a retired one let go with its last session. `location` may be gone
// afterwards.
void CountReturned(Pool& pool, Location& location) {
  if (--location.lent > 0) return;
  if (location.current) {
    if (location.idle.empty()) Forget(pool, location);
    return;
  }
  auto it = std::find_if(pool.retired.begin(), pool.retired.end(),
                         [&](const std::shared_ptr<Location>& retired) { return retired.get() == &location; });
  if (it != pool.retired.end()) {
    std::swap(*it, pool.retired.back());
    pool.retired.pop_back();
  }
}

// Moves the sessions idle for longer than the limit into `closing`; the oldest sit at the
// front of each list, since sessions are taken from and returned to its back.
[[gnu::noinline]] void SweepExpiredNow(Pool& pool, Clock::time_point now, IdleList& closing) {
  pool.last_sweep = now;
  for (auto it = pool.locations.begin(); it != pool.locations.end();) {
    IdleList& idle = it->second->idle;
    auto fresh = idle.begin();
    while (fresh != idle.end() && now - fresh->since >= pool.limits.max_idle_age) ++fresh;
    const auto expired = static_cast<std::size_t>(fresh - idle.begin());
    if (expired > 0) {
      std::move(idle.begin(), fresh, std::back_inserter(closing));
      idle.erase(idle.begin(), fresh);
      pool.stats.idle -= expired;
      pool.stats.discarded += expired;
    }
    if (idle.empty() && it->second->lent == 0) {
      it = Forget(pool, it);
    } else {
      ++it;
    }
  }
}

// Runs at most once per tenth of the age limit, so a busy host pays for it rarely.
inline void SweepExpired(Pool& pool, Clock::time_point now, IdleList& closing) {
  if (now - pool.last_sweep >= pool.limits.max_idle_age / 10) SweepExpiredNow(pool, now, closing);
}

// Makes room for one more idle session under the total bound by closing the one idle the
// longest, wherever it is.
[[gnu::noinline]] void EvictOldestNow(Pool& pool, IdleList& closing) {
  while (pool.stats.idle >= pool.limits.max_idle_total && pool.stats.idle > 0) {
    auto oldest = pool.locations.end();
    for (auto it = pool.locations.begin(); it != pool.locations.end(); ++it) {
      if (it->second->idle.empty()) continue;
      if (oldest == pool.locations.end() ||
          it->second->idle.front().since < oldest->second->idle.front().since) {
        oldest = it;
      }
    }
    if (oldest == pool.locations.end()) return;
    IdleList& idle = oldest->second->idle;
    closing.push_back(std::move(idle.front()));
    idle.erase(idle.begin());
    --pool.stats.idle;
    ++pool.stats.discarded;
    if (idle.empty() && oldest->second->lent == 0) Forget(pool, oldest);
  }
}

inline void EvictOldest(Pool& pool, IdleList& closing) {
  if (pool.stats.idle >= pool.limits.max_idle_total && pool.stats.idle > 0) {
    EvictOldestNow(pool, closing);
  }
}

}  // namespace

PooledSession AcquireSession(Driver& driver, std::string_view path, std::string_view identity,
                             int timeout_seconds, std::shared_ptr<PoolLocation>& pooled_at) {
  Pool& pool = ThePool();
  IdleList stale;
  // Expired idle sessions are not swept here: returning a session sweeps, and that spares
  // every borrow a look at the clock. A session taken past its age is as sound as one
  // taken just before it; the next return closes the rest.
  Location* location;
  {
    std::lock_guard lock(pool.mutex);
    // The caller's memo is kept by its own thread, and kept alive by it: only whether it
    // is still the pool's entry needs the lock.
    if (pooled_at && pooled_at->current && pooled_at->identity == identity) {
      location = pooled_at.get();
    } else {
      auto it = pool.locations.find(path);
      if (it == pool.locations.end()) {
        it = pool.locations.emplace(std::string(path), std::make_shared<Location>(path, identity)).first;
      } else if (it->second->identity != identity) {
        // A newer file at this location: idle sessions on the earlier one are closed, and
        // those still lent belong to the earlier file and are not kept when they come back.
        auto fresh = std::make_shared<Location>(path, identity);
        Retire(pool, it->second);
        Location& earlier = *it->second;
        pool.stats.idle -= earlier.idle.size();
        pool.stats.discarded += earlier.idle.size();
        stale.swap(earlier.idle);
        it->second = std::move(fresh);
      }
      location = it->second.get();
      pooled_at = it->second;
    }
    // Counted before the lock is let go, so the location stays the pool's to keep.
    ++location->lent;
    IdleList& idle = location->idle;
    if (!idle.empty()) {
      std::unique_ptr<Session> session = std::move(idle.back().session);
      idle.pop_back();
      --pool.stats.idle;
      ++pool.stats.reused;
      session->SetTimeout(timeout_seconds);
      // `stale` closes here, outside the lock.
      return PooledSession{location, std::move(session)};
    }
  }
  // Sessions on a replaced file close before the new file is opened: the last of them
  // writes its log back into the old file and removes the -wal and -shm beside the path,
  // which the new file's first session would otherwise take for its own and replay.
  stale.clear();
  // Opening happens outside the lock: it touches the disk and may wait on other writers.
  std::unique_ptr<Session> session;
  try {
    session = driver.Open(location->path, timeout_seconds);
  } catch (...) {
    std::lock_guard lock(pool.mutex);
    CountReturned(pool, *location);
    throw;
  }
  std::lock_guard lock(pool.mutex);
  ++pool.stats.opened;
  return PooledSession{location, std::move(session)};
}

void ReleaseSession(PooledSession pooled) {
  if (!pooled.session) return;
  Pool& pool = ThePool();
  IdleList closing;  // closed outside the lock
  std::unique_ptr<Session> discard;
  {
    std::lock_guard lock(pool.mutex);
    const Clock::time_point now = Clock::now();
    Location& location = *pooled.location;
    // A session on a location's earlier file is not kept once a newer file was seen there.
    if (location.current && pooled.session->Reusable() && location.idle.size() < kMaxIdlePerLocation &&
        pool.limits.max_idle_total > 0) {
      // This session is still counted as lent, so eviction leaves its location in place.
      EvictOldest(pool, closing);
      --location.lent;
      location.idle.push_back(IdleSession{std::move(pooled.session), now});
      ++pool.stats.idle;
      SweepExpired(pool, now, closing);
      return;
    }
    ++pool.stats.discarded;
    discard = std::move(pooled.session);
    CountReturned(pool, location);
    SweepExpired(pool, now, closing);
  }
}

const std::string& LocationPath(const PooledSession& pooled) { return pooled.location->path; }

PoolStatistics GetPoolStatistics() {
  Pool& pool = ThePool();
  std::lock_guard lock(pool.mutex);
  PoolStatistics stats = pool.stats;
  stats.locations = pool.locations.size();
  return stats;
}

void SetPoolLimits(PoolLimits limits) {
  Pool& pool = ThePool();
  IdleList closing;
  std::lock_guard lock(pool.mutex);
  pool.limits = limits;
  pool.last_sweep = {};
  EvictOldest(pool, closing);
  SweepExpired(pool, Clock::now(), closing);
}

PoolLimits GetPoolLimits() {
  Pool& pool = ThePool();
  std::lock_guard lock(pool.mutex);
  return pool.limits;
}

void CloseIdleSessions() {
  Pool& pool = ThePool();
  IdleList closing;
  {
    std::lock_guard lock(pool.mutex);
    for (auto it = pool.locations.begin(); it != pool.locations.end();) {
      IdleList& idle = it->second->idle;
      pool.stats.discarded += idle.size();
      pool.stats.idle -= idle.size();
      std::move(idle.begin(), idle.end(), std::back_inserter(closing));
      idle.clear();
      if (it->second->lent == 0) {
        it = Forget(pool, it);
      } else {
        ++it;
      }
    }
  }
}

void ResetPool() {
  Pool& pool = ThePool();
  IdleList closing;
  {
    std::lock_guard lock(pool.mutex);
    // A location a thread still remembers keeps its object, never its sessions.
    for (auto& [path, location] : pool.locations) {
      std::move(location->idle.begin(), location->idle.end(), std::back_inserter(closing));
      location->idle.clear();
      Retire(pool, location);
    }
    pool.locations.clear();
    pool.stats = PoolStatistics{};
  }
}

}  // namespace ksmain::data

namespace ksmain {

void Shutdown() noexcept {
  // Closing a session touches only its own handle; nothing here can throw past the engine.
  try {
    data::CloseIdleSessions();
  } catch (...) {
  }
}

}  // namespace ksmain
