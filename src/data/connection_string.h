// Connection strings as pages and the catalogue's fixed string write them, and where they
// lead.
//
// The text is read the way ADO and ODBC read it: "key=value" pairs separated by ";", keys
// without regard to case, blanks around keys and values dropped, a value in {braces} taken
// literally (";" included, "}}" standing for "}"). A string names an embedded database
// either directly (a file path in Data Source, Database or DBQ) or through a server name
// that the hosting process has mapped to a directory of databases.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ksmain::data {

// Keys lower-cased; the last occurrence of a key wins, as in ODBC.
std::map<std::string, std::string> ParseConnectionString(std::string_view text);

// Where a connection string leads: an embedded database file, or a server database
// reached through ODBC.
struct ConnectTarget {
  enum class Engine { Embedded, Server };
  Engine engine = Engine::Embedded;
  // The database file as it will be opened; for a server, the ODBC connection string.
  std::string path;
  // Which file the path names right now (device and inode): a database deleted and made
  // anew at the same path is another database, and pooled sessions on the old one must
  // not serve it.
  std::string identity;
};

// Resolves a connection string. A server name the data-source table maps to a value naming
// "Driver=" or "DSN=" leads to that ODBC string with the page's "Database=" added; a
// string that itself names "Driver=" or "DSN=" and no mapped server goes to ODBC as
// written. A string that leads nowhere (empty, no database named, a
// server without a data source, a database file that does not exist) raises
// VbError(err::kDatabaseError, reason). Results are cached per text until the data-source
// table changes.
ConnectTarget ResolveConnectionString(std::string_view text);

struct PoolLocation;  // see data/pool.h

// ResolveOpenTarget's answer: the target, and beside this thread's memo of it the pool's
// location it last lent this thread a session on the target from (empty at first, and
// again whenever the string is resolved afresh), for the pool to find it without a look-up.
struct OpenTarget {
  const ConnectTarget& target;
  std::shared_ptr<PoolLocation>& pooled_at;
};

// The same for a caller about to open the target: the same checks and the same answer,
// but a string this thread resolved lately is answered from a memo of its own (the file
// looked at only when the watch on its directories cannot vouch for it). The references
// stay valid until this thread's next call.
OpenTarget ResolveOpenTarget(std::string_view text);
inline const ConnectTarget& ResolveForOpen(std::string_view text) {
  return ResolveOpenTarget(text).target;
}

// The path a connection string resolved to when last resolved, without looking at the file
// again; nullopt when it is not in the cache. For a link opened inside a member call that
// already holds the database open, where the file's identity was checked when that call
// opened it.
std::optional<std::string> CachedPath(std::string_view text);

// The same from this thread's memo of the strings it resolved lately (see ResolveForOpen):
// nullptr when the string is not there. Valid until this thread's next resolution.
const std::string* RecentPath(std::string_view text);

// True when a connection string names an ODBC driver or data source ("Driver=", "DSN=").
bool NamesOdbcDriver(std::string_view text);

// Bytes the resolution cache holds right now (texts, paths and entries).
std::size_t ResolutionCacheBytes();

// Opens on this thread whose file ResolveForOpen took as unchanged on the word of the
// directory watch, without looking at it.
std::uint64_t OpensAnsweredByWatch();

}  // namespace ksmain::data
