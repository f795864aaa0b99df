// The SQL front end's entry point: statement text in a page's dialect in, statement text
// for the embedded engine out, with what the engine needs to hand values back in their
// proper kinds.
//
// Members send the SQL text they build unchanged (callers read it back); this is where it
// becomes something the embedded engine runs with the source engine's meaning. Text is
// parsed into a tree and printed, never rewritten by pattern.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ksmain/error.h"

namespace ksmain::sql {

enum class Dialect { Jet, TSql };

// Declared column types, as the schema declares them and the recordset reports them:
// Long for INTEGER keys and counts, Integer for SMALLINT, Double for REAL/DOUBLE/FLOAT,
// Currency for MONEY/CURRENCY, Boolean for BIT, Date for DATETIME, String for text.
// Unknown: take the kind from the stored value.
enum class ColumnType { Unknown, Integer, Long, Double, Currency, Boolean, Date, String };

// Maps a declared type name ("DATETIME", "varchar(50)", "SMALLINT", ...) to its type.
ColumnType ColumnTypeFromDeclared(std::string_view declared);

struct ColumnInfo {
  std::string name;
  ColumnType type = ColumnType::Unknown;
};

struct TableInfo {
  std::string name;
  std::vector<ColumnInfo> columns;
};

// The tables the analyzer may look up. Names match without regard to case.
class SchemaCatalog {
 public:
  virtual ~SchemaCatalog() = default;
  virtual const TableInfo* FindTable(std::string_view name) const = 0;
  // Changes whenever the schema does; part of the translation cache key.
  virtual std::uint64_t version() const = 0;
};

// A catalogue held in memory: filled by tests, or by the embedded driver from the database.
class MemoryCatalog final : public SchemaCatalog {
 public:
  explicit MemoryCatalog(std::uint64_t version = 0) : version_(version) {}
  void Add(TableInfo table);
  const TableInfo* FindTable(std::string_view name) const override;
  std::uint64_t version() const override { return version_; }

 private:
  std::vector<TableInfo> tables_;
  std::uint64_t version_;
};

enum class StatementKind { Select, Insert, Update, Delete, ProcedureCall };

struct ResultColumn {
  std::string name;  // the field name the source engine reports for this column
  ColumnType type = ColumnType::Unknown;
};

struct Translation {
  StatementKind kind = StatementKind::Select;
  // The statement for the embedded engine (empty for a procedure call). Every result
  // column of a SELECT carries an explicit alias equal to its ResultColumn name.
  std::string text;
  std::vector<ResultColumn> columns;  // SELECT only, in order
  // Procedure calls ("VeldaSQL..name 'a', 'b'", "EXEC name 'a'"): the procedure's own
  // name (database prefix dropped) and its argument values as text (NULL as nullopt is
  // not needed by any caller: a NULL argument is the empty text).
  std::string procedure;
  std::vector<std::string> arguments;
};

// A statement the front end cannot accept: a syntax error (with its 1-based offset), a
// second statement, or a value that cannot be converted (a date literal that is not a
// date). Raised as the database's own error, so members treat it as rejected SQL.
class SqlError : public VbError {
 public:
  SqlError(std::string message, std::size_t position)
      : VbError(err::kDatabaseError, std::move(message)), position_(position) {}
  std::size_t position() const noexcept { return position_; }

 private:
  std::size_t position_;
};

// Parses, analyses against the catalogue and prints one statement.
Translation Translate(std::string_view text, Dialect dialect, const SchemaCatalog& catalog);

// The same through a process-wide cache keyed by (dialect, text, schema version); bounded,
// safe to use from several threads.
std::shared_ptr<const Translation> TranslateCached(std::string_view text, Dialect dialect,
                                                   const SchemaCatalog& catalog);

}  // namespace ksmain::sql
