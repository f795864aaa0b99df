// The statement tree shared by the parser, the analyzer and the printer.
//
// One tree shape covers both source dialects. The parser builds it from the source text;
// the analyzer resolves names against the schema and rewrites source-dialect constructs
// (functions, `+` and `&`, date texts) into their engine form in place; the printer then
// writes it out for the embedded engine without further decisions about meaning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sql/lexer.h"
#include "sql/translate.h"

namespace ksmain::sql {

struct Select;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

enum class ExprKind {
  Number,      // text: the digits as written
  String,      // text: the value
  Null,
  Date,        // text: a #date# literal as written; canonical ISO text once `engine` is set
  Column,      // qualifier.text; `bracketed` when the last part was [quoted]
  Star,        // * or qualifier.*
  Unary,       // text: "-", "+" or "NOT"; args[0]
  Binary,      // text: operator ("AND", "OR", "=", "<>", "<", "<=", ">", ">=", "+", "-", "*", "/", "%", "&", "||");
               // args: the operands left to right, two of them, or any number for AND and OR
               // (a chain of one of those is one node, so its length costs no depth)
  Between,     // args: value, low, high; negated
  Like,        // args: value, pattern[, escape]; negated; text: "J" or "T", the dialect whose
               // pattern rules apply (set by the analyzer)
  IsNull,      // args[0]; negated for IS NOT NULL
  InList,      // args[0] IN (args[1..]); negated
  InSubquery,  // args[0] IN (subquery); negated
  Exists,      // EXISTS (subquery)
  Subquery,    // (subquery) used as a value
  Function,    // text: name as written (engine name after analysis); args; distinct
  Case,        // CASE [operand] WHEN .. THEN .. [ELSE ..] END; see case_operand / case_else
};

struct Expr {
  ExprKind kind = ExprKind::Null;
  std::size_t pos = 0;
  std::string text;
  std::string qualifier;
  bool bracketed = false;
  bool negated = false;
  bool distinct = false;      // count(DISTINCT x)
  bool case_operand = false;  // args[0] is the CASE operand
  bool case_else = false;     // the last arg is the ELSE value
  bool engine = false;        // a function already in engine form (not to be mapped again)
  // A comparison (or IN, BETWEEN, CASE operand, ORDER BY term) of texts that no column's own
  // collation decides: it ignores case, as both source engines compared texts.
  bool fold_case = false;
  // A literal written in the source: its ordinal among the statement's literals (-1 for
  // values the analyzer made up), and how the source value becomes the engine value.
  int literal = -1;
  LiteralConversion conversion = LiteralConversion::None;
  std::size_t check = 0;  // when the conversion can fail: its place in the analysis order
  std::vector<ExprPtr> args;
  std::unique_ptr<Select> subquery;
  ColumnType type = ColumnType::Unknown;  // set by the analyzer
  // Levels of the tree from this node down, as parsed. The parser bounds it, so that
  // every pass that walks the tree recursively (analysis, printing, destruction) has a
  // bounded depth whatever the text's length.
  std::uint32_t height = 1;
};

enum class JoinType { Inner, Left, Right, Cross };

struct TableRef {
  enum class Kind { Table, Join, Derived };
  Kind kind = Kind::Table;
  std::size_t pos = 0;
  std::string name;   // Table: the table's own name (database and owner prefixes dropped)
  std::string alias;  // Table / Derived: the alias, or empty
  JoinType join = JoinType::Inner;
  std::unique_ptr<TableRef> left, right;
  ExprPtr on;  // may be null for CROSS JOIN
  std::unique_ptr<Select> derived;
  const TableInfo* info = nullptr;  // Table: the catalogue's table, when known
  std::uint32_t height = 1;          // as Expr::height
};

struct SelectItem {
  ExprPtr expr;
  std::string alias;  // empty when none was written
  bool has_alias = false;
  // Set by the analyzer: the reported name and kind. A `*` the analyzer could not expand
  // has no result column and is printed bare.
  std::optional<ResultColumn> result;
};

struct OrderItem {
  ExprPtr expr;
  enum class Direction { None, Asc, Desc } direction = Direction::None;
  bool fold_case = false;  // a computed text: sorted without regard to case
};

struct Select {
  bool distinct = false;
  std::optional<std::string> top;  // TOP n: n as written
  std::vector<SelectItem> items;
  std::vector<std::unique_ptr<TableRef>> from;  // comma-separated items
  ExprPtr where;
  std::vector<ExprPtr> group_by;
  ExprPtr having;
  std::vector<OrderItem> order_by;
  std::uint32_t height = 1;  // as Expr::height
};

struct Assignment {
  std::string qualifier;
  std::string column;
  std::size_t pos = 0;
  ExprPtr value;
};

struct InsertStmt {
  std::string table;
  std::vector<std::string> columns;  // empty: every column of the table in order
  std::vector<std::vector<ExprPtr>> rows;
  std::unique_ptr<Select> select;
};

struct UpdateStmt {
  std::string table;
  std::string alias;
  std::vector<Assignment> assignments;
  ExprPtr where;
};

struct DeleteStmt {
  std::string table;
  ExprPtr where;
};

struct CallStmt {
  std::string procedure;  // the procedure's own name, database and owner dropped
  std::vector<ExprPtr> args;
};

struct Statement {
  StatementKind kind = StatementKind::Select;
  std::unique_ptr<Select> select;
  InsertStmt insert;
  UpdateStmt update;
  DeleteStmt del;
  CallStmt call;
};

// Parses exactly one statement (a trailing ";" allowed), lexed as `dialect` writes it.
// Raises SqlError with the 1-based position of the first token that does not fit.
Statement Parse(std::string_view text, Dialect dialect = Dialect::TSql);

// Parses an ORDER BY list on its own (the text after "ORDER BY"). Raises SqlError.
std::vector<OrderItem> ParseOrderList(std::string_view text);

// Reworks a statement tree for the embedded engine against the catalogue: names
// resolved, result columns named and typed, source-dialect functions and operators
// replaced by their engine forms, date texts converted. Raises SqlError for a value that
// cannot be converted.
void Analyze(Statement& statement, Dialect dialect, const SchemaCatalog& catalog);

// The kind the analyzer gives a number literal: Long when it is an integer that fits 32
// bits, else Double.
ColumnType NumberLiteralType(std::string_view text);

// A source literal's value (as TokenValue gives it) converted for its parameter. Raises
// the SqlError the analysis raises for the same value: a text that is no date where a
// date is needed, a #date# that is none. `pos` is the literal's 1-based position.
BoundValue LiteralValue(TokenKind kind, std::string value, std::size_t pos,
                        LiteralConversion conversion);

// Writes an analysed statement in the target engine's dialect, literal values inline.
// `order_at`, when given, receives where a SELECT's own ORDER BY starts in the text
// (npos without one); its literals are always written out, so no parameter follows it.
std::string Print(const Statement& statement, Target target = Target::Sqlite,
                  std::size_t* order_at = nullptr);

// The same with parameters (?1, ?2, ... for SQLite, ? for a server) in place of the source
// literals whose values do not shape the statement; `parameters` receives what each
// parameter takes, in order, and `checks` each one's Expr::check.
std::string PrintParameterised(const Statement& statement, std::vector<Parameter>& parameters,
                               std::vector<std::size_t>& checks, Target target = Target::Sqlite,
                               std::size_t* order_at = nullptr);

}  // namespace ksmain::sql
