// Fixture databases for member tests: a fresh database with one of the two schemas, on
// the embedded engine (a file in a temporary folder) or on the test run's PostgreSQL server
// (a database of its own), removed at the end of the test; and raw statements to put rows
// in and read them back without going through the code under test.
//
// Set-up statements are plain SQL both engines accept (INSERT ... VALUES with ISO date
// texts, quoted "type"); read-backs that use SQLite's own functions belong to suites that
// run on the embedded engine only.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>
#include <unistd.h>

#include "data/datalink.h"
#include "data/engine_admin.h"
#include "frame/vb_runtime.h"
#include "ksmain/variant.h"
#include "schema/schema.h"
#include "support/engines.h"
#include "support/raised.h"

namespace ksmain::testing {

// The name of a server database holding `kind`'s empty schema, for fresh databases to be
// copied from: copying is far cheaper than running the schema's tables and functions for
// every case. The first process to need it builds it under a name of its own and renames
// it when complete, so no one copies a half-made one; the name carries a hash of the
// schema, so the cluster (kept between runs) never serves an older schema.
inline std::string ServerTemplate(bool catalogue) {
  const std::string ddl =
      schema::ServerDdl(catalogue ? schema::CatalogueDdl() : schema::PortfolioDdl(), catalogue);
  const std::string name = std::string("ksmain_tpl_") + (catalogue ? "c" : "p") +
                           std::to_string(std::hash<std::string>{}(ddl) % 1000000007u);
  const std::string server = ServerString().value();
  data::EngineDatabase admin = data::EngineDatabase::Open(server + "Database=postgres;");
  if (!admin.Rows("SELECT 1 FROM pg_database WHERE datname = '" + name + "'").empty()) return name;
  const std::string part = name + "_" + std::to_string(::getpid());
  admin.Script("DROP DATABASE IF EXISTS \"" + part + "\" WITH (FORCE)");
  admin.Script("CREATE DATABASE \"" + part + "\" TEMPLATE template0 ENCODING 'UTF8'");
  const std::string connect = server + "Database=" + part + ";";
  if (catalogue) {
    schema::CreateCatalogueDatabase(connect, false);
  } else {
    schema::CreatePortfolioDatabase(connect, false);
  }
  data::ResetPool();  // a database is renamed or copied only with no one connected
  try {
    admin.Script("ALTER DATABASE \"" + part + "\" RENAME TO \"" + name + "\"");
  } catch (...) {  // another process published it first
    admin.Script("DROP DATABASE IF EXISTS \"" + part + "\" WITH (FORCE)");
  }
  return name;
}

class TempDb {
 public:
  enum class Kind { Portfolio, Catalogue };

  // On Engine::Server without a server in this run the database stays unusable; the
  // suite's SetUp skips the case first (KSMAIN_SKIP_WITHOUT_SERVER).
  explicit TempDb(Kind kind, bool demo = false, Engine engine = Engine::Embedded) : engine_(engine) {
    const bool catalogue = kind == Kind::Catalogue;
    if (engine == Engine::Server) {
      if (!ServerString()) return;
      // The catalogue's fixed connection string names its database. An empty schema is
      // copied from the template; a demo one is made afresh below.
      server_ = std::make_unique<ServerDatabase>(catalogue ? "veldaSQL" : "",
                                                 demo ? "template0" : ServerTemplate(catalogue));
      path_ = server_->connect();
    } else {
      static std::atomic<int> counter{0};
      dir_ = std::filesystem::temp_directory_path() /
             ("ksmain-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
      std::filesystem::create_directories(dir_);
      path_ = (dir_ / (catalogue ? "veldaSQL.db" : "portfolio.db")).string();
    }
    if (engine == Engine::Embedded || demo) {
      if (catalogue) {
        schema::CreateCatalogueDatabase(path_, demo);
      } else {
        schema::CreatePortfolioDatabase(path_, demo);
      }
    }
    admin_.emplace(data::EngineDatabase::Open(path_));
  }
  ~TempDb() {
    admin_.reset();
    server_.reset();
    if (dir_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TempDb(const TempDb&) = delete;
  TempDb& operator=(const TempDb&) = delete;

  // The database file, or on the server its ODBC connection string.
  const std::string& path() const { return path_; }
  // The connection string a page passes.
  Variant connect() const {
    return Variant(engine_ == Engine::Server ? path_ : "Data Source=" + path_);
  }
  // What a `server=` name is mapped to for this database to be reached by its name: the
  // folder holding the file, or the server's ODBC string.
  std::string source() const { return server_ ? server_->server() : dir_.string(); }

  // Every row of a Jet SELECT as a page reads it through the library: cells joined by ':',
  // rows by '|', Null as "Null"; the same text on both engines.
  std::string Read(const std::string& select) const {
    data::DataLink link(connect(), sql::Dialect::Jet);
    data::Recordset& rs = link.Query(select);
    std::string out;
    for (bool first = true; !rs.AtEof(); rs.MoveNext(), first = false) {
      if (!first) out += '|';
      for (int i = 0; i < rs.FieldCount(); ++i) {
        const Variant v = rs.Field(i);
        out += (i ? ":" : "") + (v.IsNull() ? std::string("Null") : vb::CStr(v));
      }
    }
    return out;
  }

  // Runs statements directly (fixture set-up), separated by ";".
  void Exec(const std::string& sql) {
    if (!sql.empty()) Admin().Script(sql);
  }
  // Every row of an engine-native query, each value in its kind.
  std::vector<std::vector<Variant>> Rows(const std::string& sql) { return Admin().Rows(sql); }
  // The first column of the first row as text ("" for none, "NULL" for NULL).
  std::string Scalar(const std::string& sql) {
    const auto rows = Rows(sql);
    if (rows.empty() || rows.front().empty()) return "";
    const Variant& v = rows.front().front();
    return v.IsNull() ? "NULL" : vb::CStr(v);
  }

 private:
  data::EngineDatabase& Admin() {
    if (!admin_) throw std::runtime_error("no PostgreSQL server in this run");
    return *admin_;
  }
  Engine engine_;
  std::filesystem::path dir_;
  std::string path_;
  std::unique_ptr<ServerDatabase> server_;
  std::optional<data::EngineDatabase> admin_;
};

// The Date a cell holds for a value the engine stores as ISO text.
inline Variant IsoDate(const char* iso) { return Variant::FromDate(*vb::ParseIso(iso)); }

// Cell of row r, column c of a grid in either orientation.
inline const Variant& RowCell(const Variant& grid, int r, int c) { return grid.AsArray().at({r, c}); }
inline const Variant& ColCell(const Variant& grid, int r, int c) { return grid.AsArray().at({c, r}); }

}  // namespace ksmain::testing
