// The seam between the ADO-shaped objects and a database engine.
//
// A driver opens sessions on a resolved database; a session runs one statement at a time,
// in the statement's source dialect, and hands back a forward-only cursor whose values
// already have the kinds a recordset delivers. The embedded engine is one driver
// (data/sqlite/); a server driver would be another. Nothing here names an engine type, so
// the members and the data layer compile without any engine's headers.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ksmain/variant.h"
#include "sql/translate.h"

namespace ksmain::data {

// Names a caller asked a cursor for, with the columns they resolved to. A member asks for
// the same fields in the same order on every row, so the name expected next is tried
// first and a field costs one exact comparison.
class AskedNames {
 public:
  // `next` is the caller's position in the sequence; `resolve` finds a name not seen yet
  // (-1: none, which is not kept).
  template <class Resolve>
  int Find(std::string_view name, std::size_t& next, Resolve&& resolve) {
    if (next < asked_.size() && asked_[next].name == name) return asked_[next++].column;
    for (std::size_t i = 0; i < asked_.size(); ++i) {
      if (asked_[i].name == name) {
        next = i + 1;
        return asked_[i].column;
      }
    }
    const int column = resolve(name);
    // Bounded: a caller asking for ever new names gains nothing from keeping them all.
    constexpr std::size_t kMostKept = 64;
    if (column >= 0 && asked_.size() < kMostKept) {
      asked_.push_back(Asked{std::string(name), column});
      next = asked_.size();
    }
    return column;
  }

 private:
  struct Asked {
    std::string name;  // as asked for
    int column;
  };
  std::vector<Asked> asked_;
};

// The results of one statement, positioned on its first row (or at the end) when handed
// out. Values are read from the current row on demand.
class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual int ColumnCount() const = 0;
  // The field name the source engine reports (the select list's alias or column name).
  virtual const std::string& ColumnName(int column) const = 0;
  // The first column named `name` without regard to case; -1 when there is none.
  virtual int FindColumn(std::string_view name) const {
    return asked_.Find(name, next_asked_, [this](std::string_view n) { return ScanColumns(n); });
  }
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

 protected:
  // Field names compare as the platform's Fields collection compares them: ASCII letters
  // without regard to case, every other byte as it is; the first of equal names wins.
  int ScanColumns(std::string_view name) const {
    for (int i = 0; i < ColumnCount(); ++i) {
      const std::string& candidate = ColumnName(i);
      if (candidate.size() != name.size()) continue;
      std::size_t k = 0;
      while (k < name.size() && std::tolower(static_cast<unsigned char>(candidate[k])) ==
                                    std::tolower(static_cast<unsigned char>(name[k]))) {
        ++k;
      }
      if (k == name.size()) return i;
    }
    return -1;
  }

 private:
  mutable AskedNames asked_;
  mutable std::size_t next_asked_ = 0;
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
