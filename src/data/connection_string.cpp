// Connection-string parsing, the deployment's data-source table and the resolution of a
// string to a database file.
#include "data/connection_string.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/datalink.h"
#include "data/path_watch.h"
#include "data/thread_state.h"
#include "frame/app_log.h"
#include "ksmain/error.h"

namespace ksmain::data {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && Lower(s.substr(s.size() - suffix.size())) == suffix;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The one comparison of a file's identity: it is what tells a replaced file apart, and no
// pooled handle can tell it (an open handle keeps the old file alive). True while the file
// at `path` is still the one seen last time; a file gone, or another file at the path (a
// restored backup, a symbolic link turned elsewhere), is to be resolved afresh, allowed
// folders included.
bool StillSameFile(const std::string& path, dev_t device, ino_t inode) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == device &&
         st.st_ino == inode;
}

[[noreturn]] void Fail(const std::string& why) { throw VbError(err::kDatabaseError, why); }

// The path with every symbolic link, "." and ".." resolved; nullopt when it names nothing.
std::optional<std::string> Canonical(const std::string& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) return std::nullopt;
  return std::string(buffer);
}

// A database name reached through a server: one plain name inside the server's folder.
// Anything that could step out of it (a separator, "..", a NUL) names no database there.
bool IsPlainName(std::string_view name) {
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos &&
         name.find("..") == std::string_view::npos;
}

// The deployment's settings: which directory a server name stands for, and the host that
// the catalogue's fixed connection string names. Written rarely (at start-up), read on
// every connection, hence the shared lock; the generation lets the resolution cache notice
// a change without being cleared by hand.
struct Deployment {
  std::shared_mutex mutex;
  std::unordered_map<std::string, std::string> servers;  // lower-cased name -> directory
  // Canonical folders a database may lie in; empty: anywhere. The servers' folders are
  // allowed besides these.
  std::vector<std::string> allowed_folders;
  std::string catalogue_host = "localhost";
};

// Moved under the deployment's lock by every change; read without it, so a connection's
// look-up takes no lock to learn whether what it resolved before still stands. A plain
// global, not a member: read on every open, it needs no construction check.
constinit std::atomic<std::uint64_t> deployment_generation{0};

Deployment& TheDeployment() {
  static Deployment deployment;
  return deployment;
}

// The deployment's settings as of now; a cache filled under an older generation is stale.
std::uint64_t CurrentGeneration() {
  return deployment_generation.load(std::memory_order_acquire);
}

// A file path, as opposed to a server or data-source name.
bool LooksLikePath(std::string_view value) {
  return value.find('/') != std::string_view::npos || EndsWithNoCase(value, ".db") ||
         EndsWithNoCase(value, ".mdb") || EndsWithNoCase(value, ".sqlite");
}

// DIR/NAME.db, with NAME matched without regard to case as the source server matched
// database names; the exact spelling is tried first so the usual case costs one stat.
std::optional<std::string> FindDatabase(const std::string& directory, const std::string& name) {
  std::string exact = directory + "/" + name + ".db";
  if (IsRegularFile(exact)) return exact;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return std::nullopt;
  const std::string wanted = Lower(name) + ".db";
  std::optional<std::string> found;
  while (dirent* entry = ::readdir(dir)) {
    if (Lower(entry->d_name) == wanted) {
      std::string candidate = directory + "/" + entry->d_name;
      if (IsRegularFile(candidate)) {
        found = std::move(candidate);
        break;
      }
    }
  }
  ::closedir(dir);
  return found;
}

// With allowed folders set, a target must be a regular file whose canonical path lies in
// one of them or in a server's folder. A refusal fails as a database that cannot be opened
// (nothing is created) and leaves one line in the application log naming the path.
void CheckAllowed(const std::string& path) {
  std::vector<std::string> folders;
  {
    Deployment& d = TheDeployment();
    std::shared_lock lock(d.mutex);
    if (d.allowed_folders.empty()) return;
    folders = d.allowed_folders;
    for (const auto& [name, directory] : d.servers) folders.push_back(directory);
  }
  std::optional<std::string> canonical = Canonical(path);
  if (!canonical) return;  // nothing there: the caller fails it as a missing database
  bool allowed = false;
  if (IsRegularFile(*canonical)) {
    for (const std::string& folder : folders) {
      std::optional<std::string> root = Canonical(folder);
      if (!root) continue;
      const std::string prefix = *root == "/" ? *root : *root + "/";
      if (canonical->size() > prefix.size() && canonical->compare(0, prefix.size(), prefix) == 0) {
        allowed = true;
        break;
      }
    }
  }
  if (allowed) return;
  LogApplicationMessage("Refused database path outside the allowed folders: " + path);
  Fail("Cannot open database '" + path + "': not in an allowed folder.");
}

bool HasOdbcKey(const std::map<std::string, std::string>& keys) {
  auto named = [&](const char* key) {
    auto it = keys.find(key);
    return it != keys.end() && !it->second.empty();
  };
  return named("driver") || named("dsn");
}

// One "key=value;" pair of an ODBC string. Braces only where the value needs them (a ";",
// a brace, blanks at either end): drivers read "{...}" in the values they parse themselves,
// and PostgreSQL's takes a braced database name literally, braces and all.
void AppendPair(std::string& out, const std::string& key, const std::string& value) {
  out += key + "=";
  if (value.find_first_of(";{}") != std::string::npos || value != std::string(TrimBlanks(value))) {
    out += "{";
    for (char c : value) {
      out += c;
      if (c == '}') out += '}';
    }
    out += "}";
  } else {
    out += value;
  }
  out += ";";
}

// An ODBC string with the page's database put in (replacing one the mapping may name).
std::string WithDatabase(const std::string& odbc, const std::string& database) {
  std::string out;
  for (const auto& [key, value] : ParseConnectionString(odbc)) {
    if (key != "database") AppendPair(out, key, value);
  }
  AppendPair(out, "Database", database);
  return out;
}

ConnectTarget ResolveUncached(std::string_view text) {
  auto keys = ParseConnectionString(text);
  auto value_of = [&](const char* key) -> std::string {
    auto it = keys.find(key);
    return it == keys.end() ? std::string() : it->second;
  };
  if (keys.empty()) Fail("Data source name not found and no default driver specified");

  // A server the deployment maps to an ODBC string: the page's database on that server.
  // OLE DB strings name the server as "Data Source" (a path there names a file instead).
  std::string mapped_server = value_of("server");
  if (mapped_server.empty() && (HasOdbcKey(keys) || !LooksLikePath(value_of("data source"))))
    mapped_server = value_of("data source");
  if (!mapped_server.empty()) {
    std::string mapped;
    {
      Deployment& d = TheDeployment();
      std::shared_lock lock(d.mutex);
      auto it = d.servers.find(Lower(mapped_server));
      if (it != d.servers.end()) mapped = it->second;
    }
    if (!mapped.empty() && HasOdbcKey(ParseConnectionString(mapped))) {
      std::string database = value_of("database");
      if (database.empty()) database = value_of("initial catalog");
      if (database.empty()) Fail("No database named for server '" + mapped_server + "'.");
      return ConnectTarget{ConnectTarget::Engine::Server, WithDatabase(mapped, database), "server"};
    }
  }

  // A server and a database on it. OLE DB strings write "Data Source" for the server and
  // "Initial Catalog" for the database.
  std::string server = value_of("server");
  const std::string data_source = value_of("data source");
  if (server.empty() && !LooksLikePath(data_source)) server = data_source;

  // A file named directly. Once a server is named, "Database" is a name on that server,
  // never a path: the server's folder is the only place its databases come from.
  for (const char* key : {"data source", "dbq", "database"}) {
    if (!server.empty() && std::string_view(key) == "database") continue;
    std::string value = value_of(key);
    if (value.empty() || !LooksLikePath(value)) continue;
    CheckAllowed(value);
    if (!IsRegularFile(value)) Fail("Could not find file '" + value + "'.");
    return ConnectTarget{ConnectTarget::Engine::Embedded, value, {}};
  }

  // A driver string naming no file and no server of ours (a DSN, a server the deployment
  // did not map): the server database it names, through ODBC as written. Where the host
  // confines callers to its own databases, only mapped servers are reachable.
  if (HasOdbcKey(keys)) {
    bool mapped = false;
    bool confined = false;
    {
      Deployment& d = TheDeployment();
      std::shared_lock lock(d.mutex);
      mapped = !server.empty() && d.servers.contains(Lower(server));
      confined = !d.allowed_folders.empty();
    }
    if (!mapped) {
      if (confined) {
        LogApplicationMessage("Refused server connection outside the servers map.");
        Fail("Server does not exist or access denied.");
      }
      return ConnectTarget{ConnectTarget::Engine::Server, std::string(text), "server"};
    }
  }

  std::string database = value_of("database");
  if (database.empty()) database = value_of("initial catalog");
  if (server.empty()) Fail("Data source name not found and no default driver specified");
  if (database.empty()) Fail("No database named for server '" + server + "'.");

  std::string directory;
  {
    Deployment& d = TheDeployment();
    std::shared_lock lock(d.mutex);
    auto it = d.servers.find(Lower(server));
    if (it == d.servers.end()) Fail("Server '" + server + "' does not exist or access denied.");
    directory = it->second;
  }
  std::optional<std::string> path;
  if (IsPlainName(database)) path = FindDatabase(directory, database);
  if (!path) Fail("Cannot open database \"" + database + "\" requested by the login.");
  CheckAllowed(*path);
  return ConnectTarget{ConnectTarget::Engine::Embedded, *path, {}};
}

}  // namespace

std::map<std::string, std::string> ParseConnectionString(std::string_view text) {
  std::map<std::string, std::string> keys;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t eq = text.find_first_of("=;", i);
    if (eq == std::string_view::npos || text[eq] == ';') {
      // A piece without "=" carries nothing (";;" or a trailing word); skip it.
      i = eq == std::string_view::npos ? text.size() : eq + 1;
      continue;
    }
    std::string key = Lower(TrimBlanks(text.substr(i, eq - i)));
    std::size_t v = eq + 1;
    while (v < text.size() && (text[v] == ' ' || text[v] == '\t')) ++v;
    std::string value;
    if (v < text.size() && text[v] == '{') {
      std::size_t j = v + 1;
      for (; j < text.size(); ++j) {
        if (text[j] != '}') {
          value += text[j];
        } else if (j + 1 < text.size() && text[j + 1] == '}') {
          value += '}';
          ++j;
        } else {
          break;
        }
      }
      std::size_t end = text.find(';', j);
      i = end == std::string_view::npos ? text.size() : end + 1;
    } else {
      std::size_t end = text.find(';', v);
      value = std::string(TrimBlanks(text.substr(v, end == std::string_view::npos ? std::string_view::npos : end - v)));
      i = end == std::string_view::npos ? text.size() : end + 1;
    }
    if (!key.empty()) keys[key] = std::move(value);
  }
  return keys;
}

namespace {

// Every member call resolves its string; the members of one deployment use very few
// distinct strings, so a small cache saves the parse and the directory look-up. It is
// bounded by the bytes it holds, not only by its entries: a host fed long strings must not
// keep them all.
constexpr std::size_t kMaxCacheEntries = 256;
constexpr std::size_t kMaxCacheBytes = 256 * 1024;
// A string longer than this is resolved every time rather than kept.
constexpr std::size_t kMaxCachedText = 4 * 1024;

struct ResolutionCache {
  std::mutex mutex;
  std::uint64_t generation = ~std::uint64_t{0};
  struct Entry {
    ConnectTarget target;
    dev_t device = 0;
    ino_t inode = 0;
  };
  // Looked up by string_view: a hit costs no copy of the text.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view t) const noexcept {
      return std::hash<std::string_view>{}(t);
    }
  };
  std::unordered_map<std::string, Entry, TextHash, std::equal_to<>> entries;
  std::size_t bytes = 0;

  static std::size_t Cost(std::string_view text, const ConnectTarget& target) {
    return text.size() + target.path.size() + target.identity.size() + sizeof(Entry);
  }
  void Clear() {
    entries.clear();
    bytes = 0;
  }
  void Erase(decltype(entries)::iterator it) {
    bytes -= Cost(it->first, it->second.target);
    entries.erase(it);
  }
};

ResolutionCache& TheCache() {
  static ResolutionCache cache;
  return cache;
}

}  // namespace

namespace {

// Resolves through the shared cache; `device` and `inode` receive the file's identity as
// checked now (zero for a server).
ConnectTarget Resolve(std::string_view text, dev_t& device, ino_t& inode) {
  device = 0;
  inode = 0;
  ResolutionCache& cache = TheCache();
  const std::uint64_t generation = CurrentGeneration();
  {
    std::lock_guard lock(cache.mutex);
    if (cache.generation != generation) {
      cache.Clear();
      cache.generation = generation;
    }
    auto it = cache.entries.find(text);
    // A server target names no file: nothing to check, the server answers for it.
    if (it != cache.entries.end() && it->second.target.engine == ConnectTarget::Engine::Server)
      return it->second.target;
    if (it != cache.entries.end()) {
      if (StillSameFile(it->second.target.path, it->second.device, it->second.inode)) {
        device = it->second.device;
        inode = it->second.inode;
        return it->second.target;
      }
      cache.Erase(it);
    }
  }
  ConnectTarget target = ResolveUncached(text);
  struct stat st {};
  if (target.engine == ConnectTarget::Engine::Embedded) {
    if (::stat(target.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      Fail("Could not find file '" + target.path + "'.");
    }
    target.identity = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    device = st.st_dev;
    inode = st.st_ino;
  }
  if (text.size() > kMaxCachedText) return target;
  std::lock_guard lock(cache.mutex);
  if (cache.generation == generation) {
    const std::size_t cost = ResolutionCache::Cost(text, target);
    if (cache.entries.size() >= kMaxCacheEntries || cache.bytes + cost > kMaxCacheBytes) {
      cache.Clear();
    }
    if (cache.entries.emplace(std::string(text), ResolutionCache::Entry{target, st.st_dev, st.st_ino})
            .second) {
      cache.bytes += cost;
    }
  }
  return target;
}

// The strings this thread resolved last. A thread serving members alternates between very
// few strings (a page's and the catalogue's), so a handful of entries answers nearly every
// open without the shared cache's lock, its hashing and a copy of the target. An entry
// stands under the same conditions as a shared-cache entry: the deployment unchanged and
// the same file at the path. The path's directory watch vouches for the file while no
// change has come in since the last look at it (its token); without a token, or once the
// watch is in doubt, the file is looked at again (a stat()) and the path re-armed first.
struct RecentTarget {
  std::string text;
  std::uint64_t generation = 0;
  ConnectTarget target;
  dev_t device = 0;
  ino_t inode = 0;
  std::uint64_t watch_token = 0;  // 0: no look at the file since the path was armed
  bool valid = false;
  std::shared_ptr<PoolLocation> pooled_at;  // see OpenTarget
};
constexpr std::size_t kRecentTargets = 4;
// Made at the thread's first resolution (see ThreadState).
struct RecentTargets {
  std::array<RecentTarget, kRecentTargets> slots;
  std::size_t next = 0;
};
[[gnu::tls_model("initial-exec")]] thread_local std::uint64_t opens_answered_by_watch = 0;

// Whether the file `recent` resolved to is still at its path, re-arming the path's watch
// when the watch cannot tell.
bool Unreplaced(RecentTarget& recent) {
  if (path_watch::Unchanged(recent.watch_token)) {
    ++opens_answered_by_watch;
    return true;
  }
  // Armed before the look, so a replacement after it leaves an event behind.
  const std::uint64_t token = path_watch::Arm(recent.target.path);
  if (!StillSameFile(recent.target.path, recent.device, recent.inode)) return false;
  recent.watch_token = token;
  return true;
}

}  // namespace

ConnectTarget ResolveConnectionString(std::string_view text) {
  dev_t device;
  ino_t inode;
  return Resolve(text, device, inode);
}

OpenTarget ResolveOpenTarget(std::string_view text) {
  const std::uint64_t generation = CurrentGeneration();
  RecentTargets& recent_list = ThreadState<RecentTargets>::Get();
  for (RecentTarget& recent : recent_list.slots) {
    if (!recent.valid || recent.generation != generation || recent.text != text) continue;
    if (recent.target.engine == ConnectTarget::Engine::Server || Unreplaced(recent)) {
      return OpenTarget{recent.target, recent.pooled_at};
    }
    recent.valid = false;  // resolved afresh below, through the shared cache
    break;
  }
  dev_t device;
  ino_t inode;
  ConnectTarget target = Resolve(text, device, inode);
  RecentTarget& slot = recent_list.slots[recent_list.next];
  recent_list.next = (recent_list.next + 1) % kRecentTargets;
  slot.valid = false;
  if (text.size() > kMaxCachedText) {
    // Not kept for later, but handed back like the others.
    slot.text.clear();
  } else {
    slot.text.assign(text);
  }
  slot.generation = generation;
  slot.target = std::move(target);
  slot.device = device;
  slot.inode = inode;
  // Armed by its next open: a target from the shared cache was looked at before any watch.
  slot.watch_token = 0;
  slot.pooled_at.reset();
  slot.valid = text.size() <= kMaxCachedText;
  return OpenTarget{slot.target, slot.pooled_at};
}

const std::string* RecentPath(std::string_view text) {
  const std::uint64_t generation = CurrentGeneration();
  const RecentTargets* recent_targets = ThreadState<RecentTargets>::Find();
  if (recent_targets == nullptr) return nullptr;
  for (const RecentTarget& recent : recent_targets->slots) {
    if (recent.valid && recent.generation == generation && recent.text == text &&
        recent.target.engine == ConnectTarget::Engine::Embedded) {
      return &recent.target.path;
    }
  }
  return nullptr;
}

std::optional<std::string> CachedPath(std::string_view text) {
  if (const std::string* recent = RecentPath(text)) return *recent;
  const std::uint64_t generation = CurrentGeneration();
  ResolutionCache& cache = TheCache();
  std::lock_guard lock(cache.mutex);
  if (cache.generation != generation) return std::nullopt;
  auto it = cache.entries.find(text);
  if (it == cache.entries.end() || it->second.target.engine != ConnectTarget::Engine::Embedded) {
    return std::nullopt;
  }
  return it->second.target.path;
}

std::uint64_t OpensAnsweredByWatch() { return opens_answered_by_watch; }

std::size_t ResolutionCacheBytes() {
  ResolutionCache& cache = TheCache();
  std::lock_guard lock(cache.mutex);
  return cache.bytes;
}

bool NamesOdbcDriver(std::string_view text) { return HasOdbcKey(ParseConnectionString(text)); }

void SetDataSource(std::string server, std::string directory) {
  Deployment& d = TheDeployment();
  std::unique_lock lock(d.mutex);
  while (directory.size() > 1 && directory.back() == '/' && !NamesOdbcDriver(directory))
    directory.pop_back();
  d.servers[Lower(server)] = std::move(directory);
  deployment_generation.fetch_add(1, std::memory_order_release);
}

void ClearDataSources() {
  Deployment& d = TheDeployment();
  std::unique_lock lock(d.mutex);
  d.servers.clear();
  deployment_generation.fetch_add(1, std::memory_order_release);
}

void SetAllowedFolders(std::vector<std::string> folders) {
  for (std::string& folder : folders) {
    // Compared by canonical path; a folder that does not exist yet is kept as written.
    if (std::optional<std::string> canonical = Canonical(folder)) folder = std::move(*canonical);
  }
  std::erase_if(folders, [](const std::string& folder) { return folder.empty(); });
  Deployment& d = TheDeployment();
  std::unique_lock lock(d.mutex);
  d.allowed_folders = std::move(folders);
  deployment_generation.fetch_add(1, std::memory_order_release);
}

void SetCatalogueHost(std::string host) {
  Deployment& d = TheDeployment();
  std::unique_lock lock(d.mutex);
  d.catalogue_host = std::move(host);
}

std::string CatalogueHost() {
  Deployment& d = TheDeployment();
  std::shared_lock lock(d.mutex);
  return d.catalogue_host;
}

}  // namespace ksmain::data
