// The engines a shared test runs on: the embedded one always, the PostgreSQL server when
// the test run has one (the CTest fixture `pg_cluster` starts a throwaway cluster and
// names its folder in KSMAIN_PG_DIR). A suite takes the engine as its parameter; a case
// on an engine the run lacks is skipped, never failed.
//
// Where the engines must differ, the difference is stated once, here.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "data/engine_admin.h"
#include "data/pool.h"

namespace ksmain::testing {

enum class Engine { Embedded, Server };

inline std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::Embedded ? "Embedded" : "Server";
}

// Names the engine in gtest's own output (and so in the CTest names) instead of its bytes.
inline void PrintTo(Engine engine, std::ostream* out) {
  *out << (engine == Engine::Embedded ? "Embedded" : "Server");
}

// The test cluster's ODBC string without a database ("Driver=...;Server=...;Port=...;"),
// or nullopt (with the reason) when this run has no server.
inline std::optional<std::string> ServerString(std::string* why = nullptr) {
  const char* dir = std::getenv("KSMAIN_PG_DIR");
  if (dir == nullptr || *dir == '\0') {
    if (why) *why = "no PostgreSQL cluster in this run (KSMAIN_PG_DIR unset)";
    return std::nullopt;
  }
  std::ifstream unavailable(std::string(dir) + "/unavailable");
  if (unavailable) {
    if (why) std::getline(unavailable, *why);
    return std::nullopt;
  }
  std::ifstream env(std::string(dir) + "/env");
  std::stringstream text;
  text << env.rdbuf();
  if (text.str().empty()) {
    if (why) *why = "the PostgreSQL cluster did not start";
    return std::nullopt;
  }
  // The driver manager finds the cluster's odbcinst.ini (naming Debian's psqlODBC) there.
  ::setenv("ODBCSYSINI", dir, 0);
  return text.str();
}

#define KSMAIN_SKIP_WITHOUT_SERVER(engine)                               \
  do {                                                                   \
    std::string why_;                                                    \
    if ((engine) == ::ksmain::testing::Engine::Server &&                 \
        !::ksmain::testing::ServerString(&why_)) GTEST_SKIP() << why_;   \
  } while (0)

// Instantiates a parameterised suite for both engines.
#define KSMAIN_ON_BOTH_ENGINES(suite)                                                      \
  INSTANTIATE_TEST_SUITE_P(Engines, suite,                                                \
                           ::testing::Values(::ksmain::testing::Engine::Embedded,         \
                                             ::ksmain::testing::Engine::Server),          \
                           ::ksmain::testing::EngineName)

// Statements on which the server is known to answer otherwise than the embedded engine,
// and why. Both come from a text that is no number compared with a number column: the
// embedded engine compares text and numbers by their storage classes and finds no match,
// PostgreSQL reads the text as a number and rejects the statement. Members end such a
// call through their trap either way, with no rows.
inline bool ServerDiffers(std::string_view member) {
  return member == "Get_SimpleSearchCategories year"  // '' BETWEEN beg_year AND end_year
         || member == "GetRandomImages";              // subcategoryID2 = ''
}

// Whether a fixture can store any text in a number or date column ('' or 'soon' in a date,
// 'lots' in a figure), as pages' old databases hold. The server keeps each column to its
// kind (members writing '' into a date store NULL there), so rows holding such text exist
// on the embedded engine only, and the cases built on them run there only.
inline bool StoresAnyText(Engine engine) { return engine == Engine::Embedded; }

// The words each engine's refusal of a second row with the same key contains; the page
// sees the engine's own message as the error's description.
inline const char* DuplicateKeyMessage(Engine engine) {
  return engine == Engine::Embedded ? "UNIQUE constraint failed"
                                    : "duplicate key value violates unique constraint";
}

// A fresh database on the test cluster, a copy of `from` (empty by default), dropped at the
// end of the test. Its name is one of this process's own unless the test asks for a fixed
// one (the catalogue's fixed connection string names its database; such tests hold the
// CTest lock of that name).
class ServerDatabase {
 public:
  explicit ServerDatabase(std::string name = {}, const std::string& from = "template0")
      : name_(std::move(name)) {
    static std::atomic<int> counter{0};
    server_ = ServerString().value();
    if (name_.empty()) name_ = "ksmain_t" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    Admin().Script("DROP DATABASE IF EXISTS \"" + name_ + "\" WITH (FORCE)");
    Admin().Script("CREATE DATABASE \"" + name_ + "\" TEMPLATE \"" + from + "\" ENCODING 'UTF8'");
  }
  ~ServerDatabase() {
    // Pooled sessions keep connections to it open; the pool lets them go first.
    data::ResetPool();
    try {
      Admin().Script("DROP DATABASE IF EXISTS \"" + name_ + "\" WITH (FORCE)");
    } catch (...) {
    }
  }
  ServerDatabase(const ServerDatabase&) = delete;
  ServerDatabase& operator=(const ServerDatabase&) = delete;

  // The ODBC string a page (or `ksmain init`) passes for this database.
  std::string connect() const { return server_ + "Database=" + name_ + ";"; }
  const std::string& server() const { return server_; }
  const std::string& name() const { return name_; }

 private:
  data::EngineDatabase Admin() const {
    return data::EngineDatabase::Open(server_ + "Database=postgres;");
  }
  std::string server_;
  std::string name_;
};

}  // namespace ksmain::testing
