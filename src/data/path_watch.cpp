// The process's inotify watch on the directories of its database paths.
//
// Everything armed shares one epoch. Any change that could replace an armed path's file (a
// watched name created, deleted or moved in a watched directory, a watched directory
// removed, moved or unmounted, events lost to a full queue) ends the epoch: every token
// handed out so far stops vouching, the watches go, and each path is armed afresh by its
// next open that looks at the file. Changes to other names in those directories (other
// databases, the engine's own "-wal" and "-shm" files beside a database) are read off the
// queue and change nothing.
//
// The fast path takes no lock: it asks the kernel whether anything is queued and compares
// the epoch. It asks an epoll instance that holds only the inotify descriptor: the kernel
// marks that ready from within the change itself, and the question costs about half what
// asking the inotify descriptor directly (FIONREAD) does, since it passes no security hook
// and takes no lock while nothing is ready. A thread that drains the queue holds the lock and keeps a sequence
// counter odd meanwhile, so a reader that found the queue empty because a drainer had just
// taken the events off it, but not yet ended the epoch, sees the counter move and answers
// "in doubt".
#include "data/path_watch.h"

#include <errno.h>
#include <limits.h>
#include <linux/magic.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace ksmain::data::path_watch {
namespace {

// Bounds on what the watch holds: past them a path gets no token and is looked at on every
// open, as an unwatched one is.
constexpr std::size_t kMaxPaths = 256;
constexpr std::size_t kMaxWatches = 1024;

constexpr std::uint32_t kDirectoryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                           IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                           IN_DONT_FOLLOW;
constexpr std::uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

struct Watcher {
  std::mutex mutex;
  // The inotify descriptor, -1 while there is none. Set under the mutex; read without it
  // by the fast path.
  std::atomic<int> fd{-1};
  // The epoll instance watching `fd` for readiness, -1 while there is none. Set after `fd`.
  std::atomic<int> ready_fd{-1};
  bool tried = false;  // creating the instance was attempted (once per process)
  std::atomic<std::uint64_t> epoch{1};
  std::atomic<std::uint64_t> sequence{0};  // odd while a drain is under way
  // Watch descriptor -> names in that directory that lead to an armed path.
  std::unordered_map<int, std::unordered_set<std::string>> names;
  std::unordered_set<std::string> armed;    // paths watched this epoch
  std::unordered_set<std::string> refused;  // paths found unwatchable this epoch
};

// Never destroyed: threads may still open databases while the process exits, and the
// fork handlers outlive every static.
Watcher& TheWatcher() {
  static Watcher* watcher = new Watcher;
  return *watcher;
}

// Ends the epoch and lets every watch go. The caller holds the mutex.
void ForgetAll(Watcher& w) {
  const int fd = w.fd.load();
  if (fd >= 0) {
    for (const auto& [wd, names] : w.names) ::inotify_rm_watch(fd, wd);
  }
  w.names.clear();
  w.armed.clear();
  w.refused.clear();
  w.epoch.fetch_add(1);
}

// A forked child shares the parent's inotify queue: each would take the other's events.
// The child drops its copy and starts over (a fresh instance on its next arming).
void LockForFork() { TheWatcher().mutex.lock(); }
void UnlockInParent() { TheWatcher().mutex.unlock(); }
void ResetInChild() {
  Watcher& w = TheWatcher();
  const int ready_fd = w.ready_fd.exchange(-1);
  if (ready_fd >= 0) ::close(ready_fd);
  const int fd = w.fd.exchange(-1);
  if (fd >= 0) ::close(fd);
  w.names.clear();
  w.armed.clear();
  w.refused.clear();
  w.epoch.fetch_add(1);
  w.tried = false;
  w.mutex.unlock();
}

bool EnsureInstance(Watcher& w) {
  if (!w.tried) {
    w.tried = true;
    static const bool handlers = ::pthread_atfork(LockForFork, UnlockInParent, ResetInChild) == 0;
    const int fd = handlers ? ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC) : -1;
    const int ready_fd = fd >= 0 ? ::epoll_create1(EPOLL_CLOEXEC) : -1;
    epoll_event interest{};
    interest.events = EPOLLIN;
    if (ready_fd >= 0 && ::epoll_ctl(ready_fd, EPOLL_CTL_ADD, fd, &interest) == 0) {
      w.fd.store(fd);
      w.ready_fd.store(ready_fd);
    } else {
      // No watch at all then: every path is looked at on each open.
      if (ready_fd >= 0) ::close(ready_fd);
      if (fd >= 0) ::close(fd);
    }
  }
  return w.ready_fd.load() >= 0;
}

// File systems whose every change passes through this machine's kernel, so that inotify
// sees it. Network and user-space file systems (NFS, SMB, FUSE, 9p) change behind its back.
bool LocalFileSystem(const std::string& path) {
  constexpr long kZfsMagic = 0x2fc12fc1;
  struct statfs fs {};
  if (::statfs(path.c_str(), &fs) != 0) return false;
  switch (static_cast<long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC:  // ext2 and ext3 share it
    case XFS_SUPER_MAGIC:
    case static_cast<long>(BTRFS_SUPER_MAGIC):
    case TMPFS_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
    case static_cast<long>(F2FS_SUPER_MAGIC):
    case kZfsMagic:
      return true;
    default:
      return false;
  }
}

// The path as the kernel resolves it: equal to `path` only when no component is a symbolic
// link, "." or ".." (a link could be turned elsewhere without a change in the directories
// watched on the way to the path).
bool IsOwnRealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) != nullptr && path == buffer;
}

// Watches every directory from "/" down to the path's own, each for the name of the next
// step; false when a watch cannot be added or the bound is reached.
bool WatchDirectories(Watcher& w, const std::string& path) {
  std::size_t start = 1;  // just past the "/" that begins the current name
  while (start < path.size()) {
    const std::size_t slash = path.find('/', start);
    const std::size_t end = slash == std::string::npos ? path.size() : slash;
    const std::string directory = start == 1 ? std::string("/") : path.substr(0, start - 1);
    if (!LocalFileSystem(directory) || w.names.size() >= kMaxWatches) return false;
    const int wd = ::inotify_add_watch(w.fd.load(), directory.c_str(), kDirectoryEvents);
    if (wd < 0) return false;
    w.names[wd].insert(path.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

// Whether an event could mean that an armed path leads to another file now.
bool Relevant(const Watcher& w, const inotify_event& event) {
  if (event.mask & IN_Q_OVERFLOW) return true;
  auto it = w.names.find(event.wd);
  // A descriptor let go of already (its IN_IGNORED, or events queued before it went).
  if (it == w.names.end()) return false;
  if (event.mask & kSelfEvents) return true;
  if ((event.mask & kNameEvents) == 0 || event.len == 0) return false;
  return it->second.contains(std::string(event.name));
}

// Takes every queued event off the descriptor; ends the epoch when one of them matters.
// The caller holds the mutex.
void DrainLocked(Watcher& w) {
  const int fd = w.fd.load();
  if (fd < 0) return;
  w.sequence.fetch_add(1);
  bool relevant = false;
  alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) relevant = true;  // unreadable: assume the worst
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      relevant = relevant || Relevant(w, *event);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  if (relevant) ForgetAll(w);
  w.sequence.fetch_add(1);
}

}  // namespace

std::uint64_t Arm(const std::string& path) {
  Watcher& w = TheWatcher();
  std::lock_guard lock(w.mutex);
  if (w.armed.contains(path)) return w.epoch.load();
  if (w.refused.contains(path) || w.armed.size() >= kMaxPaths || !EnsureInstance(w)) return 0;
  // Judge what is queued by the names watched so far: a change made before this path was
  // armed, read after its names joined, would end the epoch for nothing.
  DrainLocked(w);
  char real[PATH_MAX] = "";
  if (!path.empty() && path.front() == '/' && ::realpath(path.c_str(), real) == nullptr) {
    // Nothing there now (the open fails): not remembered, the file may come back.
    if (errno == ENOENT || errno == ENOTDIR) return 0;
    real[0] = '\0';
  }
  // A refusal lasts until the epoch ends. Once the first watch is in place a refusal
  // for a passing reason (the file or a folder gone meanwhile) leaves an event that ends
  // it; a link, "." or ".." in the path, or a foreign file system, does not pass.
  // The path is looked at again after the watches exist: a link put in place of a
  // directory while they were being added is caught there or leaves an event.
  const bool watchable = path == real && WatchDirectories(w, path) && LocalFileSystem(path) &&
                         IsOwnRealPath(path);
  if (!watchable) {
    if (w.refused.size() < kMaxPaths) w.refused.insert(path);
    return 0;
  }
  w.armed.insert(path);
  return w.epoch.load();
}

bool Unchanged(std::uint64_t token) {
  if (token == 0) return false;
  Watcher& w = TheWatcher();
  const std::uint64_t sequence = w.sequence.load();
  const int ready_fd = w.ready_fd.load();
  if ((sequence & 1) != 0 || ready_fd < 0) return false;
  epoll_event ready;
  const int queued = ::epoll_wait(ready_fd, &ready, 1, 0);
  if (queued < 0) return false;
  if (queued > 0) {
    // Whatever was queued when asked has been judged once the drain (ours or another
    // thread's, under the same lock) is over.
    {
      std::lock_guard lock(w.mutex);
      DrainLocked(w);
    }
    return w.epoch.load() == token;
  }
  return w.epoch.load() == token && w.sequence.load() == sequence;
}

}  // namespace ksmain::data::path_watch
