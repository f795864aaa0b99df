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
#include <variant>
#include <vector>

#include "ksmain/error.h"

namespace ksmain::sql {

enum class Dialect { Jet, TSql };

// The engine a statement is printed for. The front end reads both source dialects the same
// way; only the last step, printing, knows the engine: the embedded one, or a server
// reached through ODBC (chosen from the DBMS name its driver reports).
enum class Target { Sqlite, PostgreSql };

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
  // The engine whose schema this is, hence the engine statements are printed for.
  virtual Target target() const { return Target::Sqlite; }
};

// A catalogue held in memory: filled by tests, or by the embedded driver from the database.
class MemoryCatalog final : public SchemaCatalog {
 public:
  explicit MemoryCatalog(std::uint64_t version = 0, Target target = Target::Sqlite)
      : version_(version), target_(target) {}
  void Add(TableInfo table);
  const TableInfo* FindTable(std::string_view name) const override;
  std::uint64_t version() const override { return version_; }
  Target target() const override { return target_; }

 private:
  std::vector<TableInfo> tables_;
  std::uint64_t version_;
  Target target_;
};

enum class StatementKind { Select, Insert, Update, Delete, ProcedureCall };

struct ResultColumn {
  std::string name;  // the field name the source engine reports for this column
  ColumnType type = ColumnType::Unknown;
};

// How a literal of the source text becomes the value bound to its parameter. The analyzer
// decides it once per statement shape; the value itself is converted on every call.
enum class LiteralConversion {
  None,              // the value as written: a text, or a number kept integer or real
  DateText,          // a text read as a date (compared with a date, cdate('...')): ISO text
  DateTextDateOnly,  // datevalue('...'): the ISO date without its time
  DateWrite,         // a text written into a date column: "" is NULL, else ISO text
  NumberWrite,       // a text written into a numeric column: "" is NULL, else its number
  NumberInstead,     // a text standing in for a NULL number (T-SQL isnull(n, '')): "" is 0
  IntegerInstead,    // the same for an integer: the text must be a whole number
  HashDate,          // a #date# literal: ISO text
  HashDateDateOnly,  // datevalue(#date#)
};

struct Parameter {
  int literal = 0;  // ordinal of the source literal (0-based, in text order)
  LiteralConversion conversion = LiteralConversion::None;
};

struct Translation {
  StatementKind kind = StatementKind::Select;
  // The statement for the catalogue's engine (empty for a procedure call). Every result
  // column of a SELECT carries an explicit alias equal to its ResultColumn name.
  std::string text;
  std::vector<ResultColumn> columns;  // SELECT only, in order
  // A SELECT whose printed text ends in a row limit of its own (TOP n).
  bool limited = false;
  // Where the SELECT's ORDER BY starts in `text` and in `parameterised_text` (npos: no
  // sort). What precedes it is the same rows unsorted, for counting them.
  std::size_t order_at = std::string::npos;
  std::size_t parameterised_order_at = std::string::npos;
  // Procedure calls ("VeldaSQL..name 'a', 'b'", "EXEC name 'a'"): the procedure's own
  // name (database prefix dropped) and its argument values as text (NULL as nullopt is
  // not needed by any caller: a NULL argument is the empty text).
  std::string procedure;
  std::vector<std::string> arguments;
  // The same statement with parameters (?1, ?2, ... for the embedded engine, ODBC's
  // positional ? for a server) for the literals whose values do not
  // shape it; parameters[i] says which literal ?(i+1) takes and how. Texts that differ
  // only in those values share this text, hence one translation and one prepared statement.
  std::string parameterised_text;
  std::vector<Parameter> parameters;
  // Indexes into `parameters` of the values whose conversion can fail, in the order the
  // analysis checked them, so a text with two bad values reports the same one every time.
  std::vector<std::size_t> check_order;
};

// A parameter's value for the engine: NULL, an integer, a real or a text.
using BoundValue = std::variant<std::monostate, std::int64_t, double, std::string>;

// A statement ready to run: the translation of its shape and this text's own values.
struct BoundStatement {
  std::shared_ptr<const Translation> translation;
  bool parameterised = false;  // false: run translation->text without values
  std::vector<BoundValue> values;
  const std::string& engine_text() const {
    return parameterised ? translation->parameterised_text : translation->text;
  }
  // The engine text without its ORDER BY: the same rows, in no particular order.
  std::string_view unsorted_engine_text() const {
    return std::string_view(engine_text())
        .substr(0, parameterised ? translation->parameterised_order_at : translation->order_at);
  }
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

// The same through a process-wide cache keyed by the text with its literals masked, so a
// member that sends one statement per row with a different key each time translates it
// once. Raises the same SqlError as Translate() for any text it rejects, including a
// value that does not convert (a text that is no date written into a date column).
BoundStatement TranslateBound(std::string_view text, Dialect dialect, const SchemaCatalog& catalog);
// The same, shared with the cache: a repeated text costs a look-up, not a copy of its values.
std::shared_ptr<const BoundStatement> TranslateBoundShared(std::string_view text, Dialect dialect,
                                                           const SchemaCatalog& catalog);

// How the process-wide caches above have answered since the process started: a text seen
// before (exact), a text whose shape was seen before with other values (shape), or a
// statement parsed and analysed in full (translated). For an operator's metrics.
struct TranslationCacheStatistics {
  std::uint64_t exact_hits = 0;
  std::uint64_t shape_hits = 0;
  std::uint64_t translated = 0;
};
TranslationCacheStatistics GetTranslationCacheStatistics();
// Counts an exact hit answered by a cache a caller keeps in front of these (a session's
// memo of the texts it ran), so the figures above still tell every repeated text.
void CountExactHit() noexcept;

}  // namespace ksmain::sql
