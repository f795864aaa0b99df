// The server driver: opening ODBC sessions, and the check that keeps a schema from being
// laid over a database that already holds one.
#include "data/odbc/odbc_session.h"
#include "data/odbc/server.h"
#include "ksmain/error.h"

namespace ksmain::data {
namespace {

class OdbcDriver final : public Driver {
 public:
  std::unique_ptr<Session> Open(const std::string& location, int timeout_seconds) override {
    return std::make_unique<odbc::OdbcSession>(location, timeout_seconds);
  }

  std::unique_ptr<Session> Create(const std::string& location) override {
    auto session = std::make_unique<odbc::OdbcSession>(location, 30);
    if (session->HasTables()) {
      throw VbError(err::kDatabaseError, "The database already holds tables; a schema is only "
                                         "created in an empty one.");
    }
    return session;
  }
};

}  // namespace

Driver& ServerDriver() {
  static OdbcDriver driver;
  return driver;
}

bool ServerDialectKnown(const std::string& dbms_name) {
  std::string lower;
  for (char c : dbms_name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "postgresql";
}

}  // namespace ksmain::data
