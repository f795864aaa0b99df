// The embedded driver: opening and creating database files.
//
// Connections are opened in the engine's multi-thread mode (no per-connection mutex): the
// pool hands each connection to one thread at a time, which is all that mode asks, and
// spares every call the locking that serialized mode would add.
#include <sqlite3.h>
#include <sys/stat.h>

#include "data/sqlite/embedded.h"
#include "data/sqlite/sqlite_session.h"
#include "ksmain/error.h"

namespace ksmain::data {
namespace {

class SqliteDriver final : public Driver {
 public:
  std::unique_ptr<Session> Open(const std::string& location, int timeout_seconds) override {
    return OpenWith(location, SQLITE_OPEN_READWRITE, timeout_seconds);
  }

  std::unique_ptr<Session> Create(const std::string& location) override {
    struct stat st {};
    if (::stat(location.c_str(), &st) == 0 && st.st_size > 0) {
      throw VbError(err::kDatabaseError, "Database '" + location + "' already exists.");
    }
    return OpenWith(location, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, 30);
  }

 private:
  static std::unique_ptr<Session> OpenWith(const std::string& location, int flags,
                                           int timeout_seconds) {
    if (sqlite3_threadsafe() == 0) {
      throw VbError(err::kDatabaseError, "The embedded engine was built without thread support.");
    }
    sqlite3* db = nullptr;
    // Without CREATE a missing file fails here: a mistyped path must never leave an empty
    // database behind that later calls would quietly use.
    int rc = sqlite3_open_v2(location.c_str(), &db,
                             flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) {
      std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
      sqlite3_close_v2(db);
      throw VbError(err::kDatabaseError,
                    "Cannot open database '" + location + "': " + message);
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
