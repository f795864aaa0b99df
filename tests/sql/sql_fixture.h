// Test support: the two databases' real schemas as catalogues, and raw SQLite databases
// built from them, on which translated statements are run and judged by their rows.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "sql/translate.h"

namespace ksmain::sql::testing {

// The declared column types of the portfolio (Jet) and catalogue (T-SQL) schemas.
const MemoryCatalog& PortfolioCatalog();
const MemoryCatalog& CatalogueCatalog();
// The catalogue a dialect's statements run against: Jet the portfolio, T-SQL the catalogue.
inline const MemoryCatalog& CatalogFor(Dialect d) {
  return d == Dialect::Jet ? PortfolioCatalog() : CatalogueCatalog();
}

using Rows = std::vector<std::vector<std::string>>;  // NULL reads "NULL"

// An in-memory SQLite database made from the schema of a catalogue above, with the ks_*
// functions.
class Db {
 public:
  explicit Db(const MemoryCatalog& catalog);
  ~Db();
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  // Runs engine SQL directly (fixtures); fails the test on an error.
  void Exec(std::string_view sql);
  // Runs engine SQL and returns its rows; throws std::runtime_error with the engine's
  // message on failure.
  // `values` are bound to ?1, ?2, ...
  Rows Query(std::string_view sql, const std::vector<BoundValue>& values = {});
  // Translates a source statement against the catalogue and runs it, both with its values
  // written out and with them bound (a difference fails the test).
  Rows Run(std::string_view source, Dialect dialect);
  sqlite3* handle() const { return db_; }

 private:
  Rows Fetch(std::string_view sql, const std::vector<BoundValue>& values, bool storage_classes);
  sqlite3* db_ = nullptr;
  const MemoryCatalog& catalog_;
};

}  // namespace ksmain::sql::testing
