// The seam between the ADO-shaped objects and a database engine.
//
// A driver opens sessions on a resolved database; a session runs one statement at a time,
// in the statement's source dialect, and hands back a forward-only cursor whose values
// already have the kinds a recordset delivers. The embedded engine is one driver
// (data/sqlite/); a server driver would be another. Nothing here names an engine type, so
// the members and the data layer compile without any engine's headers.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "ksmain/variant.h"
#include "sql/translate.h"

namespace ksmain::data {

// The results of one statement, positioned on its first row (or at the end) when handed
// out. Values are read from the current row on demand.
class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual int ColumnCount() const = 0;
  // The field name the source engine reports (the select list's alias or column name).
  virtual const std::string& ColumnName(int column) const = 0;
  virtual bool HasRow() const = 0;
  // Value of the current row; only valid while HasRow().
  virtual Variant Value(int column) const = 0;
  // Advances; engine failures while stepping raise VbError.
  virtual void Next() = 0;
  // The rows from the current one to the end of the statement's whole result (a capped
  // query's too, past its cap); the cursor ends after it.
  virtual std::int64_t CountToEnd() {
    std::int64_t rows = 0;
    for (; HasRow(); Next()) ++rows;
    return rows;
  }
};

// One open database connection. Not shared between threads at the same time: the pool
// hands a session to one Connection object at a time.
class Session {
 public:
  virtual ~Session() = default;
  // Busy waits (a writer holding the database) give up after this many seconds.
  virtual void SetTimeout(int seconds) = 0;
  // Runs one statement in the given source dialect. A statement that returns rows (a
  // query, a procedure call) gives a cursor, even when it has no rows; a write gives
  // nullptr. `affected` receives the number of rows a write changed (-1 for queries).
  // Statement texts are translated here, so a SqlError from the front end passes through;
  // the engine's own rejections raise VbError(err::kDatabaseError, engine message).
  virtual std::unique_ptr<Cursor> Execute(std::string_view text, sql::Dialect dialect,
                                          std::int64_t* affected) = 0;
  // The same for a caller that reads at most `rows` rows of a query (a grid that holds a
  // fixed number): the engine may stop after them, keeping only the first `rows` of a
  // sorted result. The text stays the caller's; CountToEnd() still counts every row.
  virtual std::unique_ptr<Cursor> ExecuteCapped(std::string_view text, sql::Dialect dialect,
                                                std::int64_t rows) {
    (void)rows;
    return Execute(text, dialect, nullptr);
  }
  // Runs engine-native SQL with positional parameters: one statement, no translation.
  // For schema creation and data loading, never for member SQL.
  virtual std::unique_ptr<Cursor> ExecuteNative(std::string_view text,
                                                std::span<const Variant> params,
                                                std::int64_t* affected) = 0;
  // Runs a script of engine-native statements separated by ";".
  virtual void ExecuteScript(std::string_view script) = 0;
  // False once the session is unfit for reuse (left inside a transaction, a fatal engine
  // error); the pool then closes it instead of keeping it.
  virtual bool Reusable() const = 0;
};

class Driver {
 public:
  virtual ~Driver() = default;
  // Opens an existing database; a missing one is a failure, never created.
  virtual std::unique_ptr<Session> Open(const std::string& location, int timeout_seconds) = 0;
  // Creates a new, empty database at `location` (refusing one that has content) and opens it.
  virtual std::unique_ptr<Session> Create(const std::string& location) = 0;
};

}  // namespace ksmain::data
