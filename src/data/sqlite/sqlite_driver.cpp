// The embedded driver: opening and creating database files.
//
// Connections are opened in the engine's multi-thread mode (no per-connection mutex): the
// pool hands each connection to one thread at a time, which is all that mode asks, and
// spares every call the locking that serialized mode would add.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "data/sqlite/embedded.h"
#include "data/sqlite/sqlite_session.h"
#include "ksmain/error.h"

namespace ksmain::data {
namespace {

// The first 16 bytes of every database file.
constexpr char kHeaderMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                   'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

// Whether the file already is a database, read without creating or changing anything: the
// engine would take an empty file for a new database and set it up (with its -wal and
// -shm beside it) on the first statement.
bool HasDatabaseHeader(const std::string& location) {
  const int fd = ::open(location.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char header[sizeof kHeaderMagic];
  const ssize_t got = ::pread(fd, header, sizeof header, 0);
  ::close(fd);
  return got == static_cast<ssize_t>(sizeof header) &&
         std::memcmp(header, kHeaderMagic, sizeof header) == 0;
}

// The same check on a file the engine has just opened, read through the engine's own
// handle: opening only reads the file's first bytes, so nothing has been made or changed
// yet. Spares every session a second open of the file.
bool HasDatabaseHeader(sqlite3* db) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
      file == nullptr || file->pMethods == nullptr) {
    return false;
  }
  char header[sizeof kHeaderMagic];
  return file->pMethods->xRead(file, header, sizeof header, 0) == SQLITE_OK &&
         std::memcmp(header, kHeaderMagic, sizeof header) == 0;
}

// What opening a file that is not a database reports.
[[noreturn]] void ThrowNotADatabase(const std::string& location) {
  struct stat st {};
  throw VbError(err::kDatabaseError,
                "Cannot open database '" + location + "': " +
                    (::stat(location.c_str(), &st) == 0 ? "file is not a database"
                                                         : "unable to open database file"));
}

std::string FolderOf(const std::string& location) {
  const std::size_t slash = location.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : location.substr(0, slash);
}

bool NonEmptyFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

// A file: URI for the path, with the characters a URI gives meaning to escaped.
std::string FileUri(const std::string& location, const char* query) {
  std::string uri = "file:";
  for (unsigned char c : location) {
    if (c == '%' || c == '?' || c == '#' || c <= ' ' || c >= 0x7f) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri + "?" + query;
}

class SqliteDriver final : public Driver {
 public:
  // The engine's allocation statistics take a process-wide lock around every allocation
  // and free, a dozen of each per query; nothing here reads them. Only possible before the
  // engine's first use in the process: a host that used it earlier keeps them.
  SqliteDriver() { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); }

  // Only a file that already is a database opens (checked once the engine has it open).
  std::unique_ptr<Session> Open(const std::string& location, int timeout_seconds) override {
    const std::string folder = FolderOf(location);
    if (::access(location.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0) {
      return OpenWith(location, SQLITE_OPEN_READWRITE, timeout_seconds, {}, true);
    }
    // A read-only file or folder (a read-only mount, a restored copy): read it as it is.
    // The log's shared index cannot be made in a folder we cannot write; without a log to
    // read, nothing can change the file there either, so it is read as an immutable file.
    // With a log present the engine reads both read-only.
    const bool log_present = NonEmptyFile(location + "-wal");
    const bool folder_writable = ::access(folder.c_str(), W_OK) == 0;
    const char* query = !folder_writable && !log_present ? "mode=ro&immutable=1" : "mode=ro";
    return OpenWith(FileUri(location, query), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                    timeout_seconds, location, true);
  }

  std::unique_ptr<Session> Create(const std::string& location) override {
    struct stat st {};
    if (::stat(location.c_str(), &st) == 0 && st.st_size > 0) {
      throw VbError(err::kDatabaseError, "Database '" + location + "' already exists.");
    }
    return OpenWith(location, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, 30);
  }

 private:
  // `name` is what opens (a path, or a file: URI when `flags` say so); `location` the path.
  // `existing`: the file must already be a database.
  static std::unique_ptr<Session> OpenWith(const std::string& name, int flags,
                                           int timeout_seconds, std::string location = {},
                                           bool existing = false) {
    if (location.empty()) location = name;
    if (sqlite3_threadsafe() == 0) {
      throw VbError(err::kDatabaseError, "The embedded engine was built without thread support.");
    }
    sqlite3* db = nullptr;
    // Without CREATE a missing file fails here: a mistyped path must never leave an empty
    // database behind that later calls would quietly use.
    int rc = sqlite3_open_v2(name.c_str(), &db,
                             flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) {
      std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
      sqlite3_close_v2(db);
      // Whatever is at the path, it reports as it would had it been looked at first.
      if (existing && !HasDatabaseHeader(location)) ThrowNotADatabase(location);
      throw VbError(err::kDatabaseError,
                    "Cannot open database '" + location + "': " + message);
    }
    if (existing && !HasDatabaseHeader(db)) {
      sqlite3_close_v2(db);
      ThrowNotADatabase(location);
    }
    return std::make_unique<sqlite::SqliteSession>(db, location, timeout_seconds);
  }
};

}  // namespace

Driver& EmbeddedDriver() {
  static SqliteDriver driver;
  return driver;
}

}  // namespace ksmain::data
