// Writes an analysed statement tree for an engine: one walk of the tree, shared by every
// engine, with the spelling that differs between engines (names, parameter markers, join
// conditions, where NULLs sort, function names, typed literals) asked of the target's
// rules. The analyzer has already decided what the statement means; a target only says
// how its engine writes that meaning.
//
// Besides spelling (quoted names, LIMIT for TOP, explicit result aliases) the walk
// reshapes joins. The pages nest their joins in parentheses, often as RIGHT JOINs towards
// the main table; SQLite evaluates a parenthesised outer join as a materialised subquery
// and scans it in a nested loop, which costs several times a plain join chain (a server's
// planner is indifferent, and the chain reads the same rows). So
// `A RIGHT JOIN B ON c` is written `B LEFT JOIN A ON c`, and nesting is flattened into one
// left-to-right chain wherever that keeps the same rows:
//   - the left operand of any join is the chain so far;
//   - an inner join commutes, so `T INNER JOIN (chain) ON c` becomes `chain INNER JOIN T ON c`;
//   - an inner join with an all-inner nested chain joins its tables in sequence, the outer
//     condition added to the last one (inner joins only filter the cross product);
//   - anything else (an outer join whose right operand is itself a join) stays nested.
#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "sql/ast.h"
#include "sql/engine_functions.h"
#include "sql/lexer.h"

namespace ksmain::sql {
namespace {

// SQLite's keywords: a name equal to one is always quoted.
constexpr std::array<std::string_view, 147> kSqliteKeywords = {
    "ABORT", "ACTION", "ADD", "AFTER", "ALL", "ALTER", "ALWAYS", "ANALYZE", "AND", "AS", "ASC",
    "ATTACH", "AUTOINCREMENT", "BEFORE", "BEGIN", "BETWEEN", "BY", "CASCADE", "CASE", "CAST",
    "CHECK", "COLLATE", "COLUMN", "COMMIT", "CONFLICT", "CONSTRAINT", "CREATE", "CROSS",
    "CURRENT", "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "DATABASE", "DEFAULT",
    "DEFERRABLE", "DEFERRED", "DELETE", "DESC", "DETACH", "DISTINCT", "DO", "DROP", "EACH",
    "ELSE", "END", "ESCAPE", "EXCEPT", "EXCLUDE", "EXCLUSIVE", "EXISTS", "EXPLAIN", "FAIL",
    "FILTER", "FIRST", "FOLLOWING", "FOR", "FOREIGN", "FROM", "FULL", "GENERATED", "GLOB",
    "GROUP", "GROUPS", "HAVING", "IF", "IGNORE", "IMMEDIATE", "IN", "INDEX", "INDEXED",
    "INITIALLY", "INNER", "INSERT", "INSTEAD", "INTERSECT", "INTO", "IS", "ISNULL", "JOIN",
    "KEY", "LAST", "LEFT", "LIKE", "LIMIT", "MATCH", "MATERIALIZED", "NATURAL", "NO", "NOT",
    "NOTHING", "NOTNULL", "NULL", "NULLS", "OF", "OFFSET", "ON", "OR", "ORDER", "OTHERS",
    "OUTER", "OVER", "PARTITION", "PLAN", "PRAGMA", "PRECEDING", "PRIMARY", "QUERY", "RAISE",
    "RANGE", "RECURSIVE", "REFERENCES", "REGEXP", "REINDEX", "RELEASE", "RENAME", "REPLACE",
    "RESTRICT", "RETURNING", "RIGHT", "ROLLBACK", "ROW", "ROWS", "SAVEPOINT", "SELECT", "SET",
    "TABLE", "TEMP", "TEMPORARY", "THEN", "TIES", "TO", "TRANSACTION", "TRIGGER", "UNBOUNDED",
    "UNION", "UNIQUE", "UPDATE", "USING", "VACUUM", "VALUES", "VIEW", "VIRTUAL", "WHEN", "WHERE",
    "WINDOW", "WITH", "WITHOUT"};

bool NeedsQuotes(std::string_view name) {
  if (name.empty()) return true;
  const auto c0 = static_cast<unsigned char>(name[0]);
  if (!(std::isalpha(c0) || c0 == '_')) return true;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (!(std::isalnum(c) || c == '_')) return true;
  }
  // Keywords are at most 17 characters; the list is sorted, so a binary search of the
  // upper-cased name decides without allocating.
  if (name.size() > 17) return false;
  char buffer[17];
  for (std::size_t i = 0; i < name.size(); ++i)
    buffer[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
  return std::binary_search(kSqliteKeywords.begin(), kSqliteKeywords.end(),
                            std::string_view(buffer, name.size()));
}

void AppendQuoted(std::string& out, std::string_view text, char quote) {
  out += quote;
  for (char c : text) {
    if (c == quote) out += quote;
    out += c;
  }
  out += quote;
}

bool IsDateConversion(LiteralConversion c) {
  switch (c) {
    case LiteralConversion::DateText:
    case LiteralConversion::DateTextDateOnly:
    case LiteralConversion::DateWrite:
    case LiteralConversion::HashDate:
    case LiteralConversion::HashDateDateOnly: return true;
    case LiteralConversion::None:
    case LiteralConversion::NumberWrite:
    case LiteralConversion::NumberInstead:
    case LiteralConversion::IntegerInstead: return false;
  }
  return false;
}

// What one engine writes differently. The walk below calls these and nothing else that
// depends on the engine.
class TargetRules {
 public:
  virtual ~TargetRules() = default;
  virtual void Name(std::string& out, std::string_view name) const = 0;
  // The n-th (1-based) parameter of the statement.
  virtual void Marker(std::string& out, std::size_t n) const = 0;
  // The condition of a LEFT JOIN written without one.
  virtual const char* AlwaysTrue() const = 0;
  // Appended to an ORDER BY term: both source engines sort NULL before every value.
  virtual const char* NullsOrder(bool descending) const = 0;
  // A function's name as the engine spells it; `name` is the analyzer's engine name,
  // `arity` its number of arguments (min and max of several values are no aggregates).
  virtual std::string_view Function(std::string_view name, std::size_t) const { return name; }
  // A value the analyzer converted to a date (ISO text): wrapped so the engine reads it as
  // one; `value` prints the text or its parameter.
  virtual bool TypedDates() const { return false; }
  // Operands must have types that fit: a LIKE on a number, or coalesce() of a number and a
  // text, need the number made text first (the source engines converted by themselves).
  virtual bool StrictTypes() const { return false; }
  // Whether LIKE is written as the ks_like call (the engine has it), else as LIKE.
  virtual bool LikeAsFunction() const { return false; }
  // Written after an operand whose text comparison must ignore case; "" where the engine
  // has no such collation (the comparison then stays as the engine makes it).
  virtual const char* FoldedText() const { return ""; }
};

// The embedded engine: dates are ISO text already, names quoted only when they must be,
// NULL sorts first by itself.
class SqliteRules final : public TargetRules {
 public:
  void Name(std::string& out, std::string_view name) const override {
    if (NeedsQuotes(name)) {
      AppendQuoted(out, name, '"');
    } else {
      out += name;
    }
  }
  void Marker(std::string& out, std::size_t n) const override {
    out += '?';
    out += std::to_string(n);
  }
  const char* AlwaysTrue() const override { return "1"; }
  const char* NullsOrder(bool) const override { return ""; }
  bool LikeAsFunction() const override { return true; }
  const char* FoldedText() const override { return " COLLATE NOCASE"; }
};

// PostgreSQL through ODBC. The schema is created with unquoted (hence lower-case) names,
// and the pages write names in any case, so every name is written quoted in lower case:
// no keyword list to keep, and a name that is a keyword there (user, order) still works.
// Parameters are ODBC's positional markers. Typed comparisons need typed values: a date
// text is cast to a timestamp, and a number compared by LIKE (which the source engines
// allowed on any type) is made text. NULL sorts last there unless told otherwise.
class PostgreSqlRules final : public TargetRules {
 public:
  void Name(std::string& out, std::string_view name) const override {
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    AppendQuoted(out, lower, '"');
  }
  void Marker(std::string& out, std::size_t) const override { out += '?'; }
  const char* AlwaysTrue() const override { return "TRUE"; }
  const char* NullsOrder(bool descending) const override {
    return descending ? " NULLS LAST" : " NULLS FIRST";
  }
  std::string_view Function(std::string_view name, std::size_t arity) const override {
    // trim(s, ' ') is SQLite's spelling; PostgreSQL's two-argument trim is btrim.
    if (name == "trim") return "btrim";
    if (arity > 1 && name == "max") return "greatest";
    if (arity > 1 && name == "min") return "least";
    return name;
  }
  bool TypedDates() const override { return true; }
  bool StrictTypes() const override { return true; }
  // citext compares, sorts and matches without regard to case, as the text columns do.
  const char* FoldedText() const override { return "::citext"; }
  // The server's LIKE knows no character classes either; the schema has ks_like.
  bool LikeAsFunction() const override { return true; }
};

const TargetRules& RulesFor(Target target) {
  static const SqliteRules sqlite;
  static const PostgreSqlRules postgresql;
  switch (target) {
    case Target::Sqlite: return sqlite;
    case Target::PostgreSql: return postgresql;
  }
  return sqlite;
}

bool IsTextType(ColumnType t) { return t == ColumnType::String || t == ColumnType::Unknown; }

// Binding strength of each node as SQLite parses it; a child that binds less tightly
// than its parent's operator gets parentheses.
int Precedence(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Binary:
      if (e.text == "OR") return 1;
      if (e.text == "AND") return 2;
      if (e.text == "+" || e.text == "-") return 6;
      if (e.text == "*" || e.text == "/" || e.text == "%") return 7;
      if (e.text == "||") return 8;
      return 4;  // comparisons
    case ExprKind::Unary: return e.text == "NOT" ? 3 : 9;
    case ExprKind::Like: return 3;  // may be printed as NOT and a call
    case ExprKind::Between:
    case ExprKind::IsNull:
    case ExprKind::InList:
    case ExprKind::InSubquery: return 4;
    default: return 10;
  }
}

struct JoinChain;

// One operand in a printed join chain: a table (or derived table), or a nested chain
// that has to keep its parentheses.
struct ChainItem {
  const TableRef* leaf = nullptr;
  std::unique_ptr<JoinChain> nested;
};

struct ChainLink {
  JoinType type = JoinType::Inner;
  ChainItem item;
  std::vector<const Expr*> on;  // conjunction; empty for a join without condition
};

struct JoinChain {
  ChainItem first;
  std::vector<ChainLink> links;
};

bool AllInner(const TableRef& ref) {
  if (ref.kind != TableRef::Kind::Join) return true;
  return (ref.join == JoinType::Inner || ref.join == JoinType::Cross) && AllInner(*ref.left) &&
         AllInner(*ref.right);
}

JoinChain BuildChain(const TableRef& ref) {
  JoinChain chain;
  if (ref.kind != TableRef::Kind::Join) {
    chain.first.leaf = &ref;
    return chain;
  }
  const TableRef* left = ref.left.get();
  const TableRef* right = ref.right.get();
  JoinType type = ref.join;
  if (type == JoinType::Right) {
    std::swap(left, right);
    type = JoinType::Left;
  }
  if ((type == JoinType::Inner || type == JoinType::Cross) &&
      right->kind == TableRef::Kind::Join && left->kind != TableRef::Kind::Join) {
    std::swap(left, right);
  }
  chain = BuildChain(*left);
  if (right->kind != TableRef::Kind::Join) {
    ChainLink link;
    link.type = type;
    link.item.leaf = right;
    if (ref.on) link.on.push_back(ref.on.get());
    chain.links.push_back(std::move(link));
    return chain;
  }
  if ((type == JoinType::Inner || type == JoinType::Cross) && AllInner(*right)) {
    JoinChain inner = BuildChain(*right);
    ChainLink head;
    head.type = JoinType::Inner;
    head.item = std::move(inner.first);
    chain.links.push_back(std::move(head));
    for (ChainLink& l : inner.links) chain.links.push_back(std::move(l));
    if (ref.on) chain.links.back().on.push_back(ref.on.get());
    return chain;
  }
  ChainLink link;
  link.type = type;
  link.item.nested = std::make_unique<JoinChain>(BuildChain(*right));
  if (ref.on) link.on.push_back(ref.on.get());
  chain.links.push_back(std::move(link));
  return chain;
}

class Printer {
 public:
  // With `parameters`, source literals print as ?N (and are listed there) wherever a value
  // may stand; without, every literal prints inline.
  explicit Printer(const TargetRules& rules) : rules_(rules) {}
  Printer(const TargetRules& rules, std::vector<Parameter>* parameters,
          std::vector<std::size_t>* checks)
      : rules_(rules), parameters_(parameters), checks_(checks) {}

  std::string Take() { return std::move(out_); }

  void Statement(const ::ksmain::sql::Statement& st) {
    switch (st.kind) {
      case StatementKind::Select: Select(*st.select); return;
      case StatementKind::Insert: Insert(st.insert); return;
      case StatementKind::Update: Update(st.update); return;
      case StatementKind::Delete:
        out_ += "DELETE FROM ";
        rules_.Name(out_, st.del.table);
        if (st.del.where) {
          out_ += " WHERE ";
          Expr(*st.del.where);
        }
        return;
      case StatementKind::ProcedureCall: return;
    }
  }

  // Where the outermost SELECT's ORDER BY starts in the text (npos: it has none).
  std::size_t order_at() const { return order_at_; }

  void Select(const ::ksmain::sql::Select& sel) {
    const bool outermost = selects_++ == 0;
    out_ += "SELECT ";
    if (sel.distinct) out_ += "DISTINCT ";
    // Behind a star the engine names the columns itself, from the expression's text: a
    // literal there stays written out, so its column keeps the name it always had.
    const bool engine_names = std::any_of(sel.items.begin(), sel.items.end(),
                                          [](const SelectItem& item) { return !item.result; });
    if (engine_names) ++inline_;
    for (std::size_t i = 0; i < sel.items.size(); ++i) {
      if (i) out_ += ", ";
      const SelectItem& item = sel.items[i];
      Expr(*item.expr);
      // An empty name (an expression the source engine named itself) is no alias for a
      // server; the recordset takes its names from the translation either way.
      if (item.result && (!item.result->name.empty() || !rules_.StrictTypes())) {
        out_ += " AS ";
        AppendQuoted(out_, item.result->name, '"');
      }
    }
    if (engine_names) --inline_;
    if (!sel.from.empty()) {
      out_ += " FROM ";
      for (std::size_t i = 0; i < sel.from.size(); ++i) {
        if (i) out_ += ", ";
        Chain(BuildChain(*sel.from[i]));
      }
    }
    if (sel.where) {
      out_ += " WHERE ";
      Expr(*sel.where);
    }
    // A number in GROUP BY or ORDER BY is a column's position, a parameter would be a
    // constant: literals there stay written out (and their values part of the cache key).
    if (!sel.group_by.empty()) {
      out_ += " GROUP BY ";
      ++inline_;
      List(sel.group_by);
      --inline_;
    }
    if (sel.having) {
      out_ += " HAVING ";
      Expr(*sel.having);
    }
    if (!sel.order_by.empty()) {
      if (outermost) order_at_ = out_.size();
      out_ += " ORDER BY ";
      ++inline_;
      for (std::size_t i = 0; i < sel.order_by.size(); ++i) {
        if (i) out_ += ", ";
        if (sel.order_by[i].fold_case) {
          Folded(*sel.order_by[i].expr);
        } else {
          Expr(*sel.order_by[i].expr);
        }
        const bool descending = sel.order_by[i].direction == OrderItem::Direction::Desc;
        if (sel.order_by[i].direction == OrderItem::Direction::Asc) out_ += " ASC";
        if (descending) out_ += " DESC";
        out_ += rules_.NullsOrder(descending);
      }
      --inline_;
    }
    if (sel.top) {
      out_ += " LIMIT ";
      out_ += *sel.top;
    }
  }

 private:
  void Insert(const InsertStmt& ins) {
    out_ += "INSERT INTO ";
    rules_.Name(out_, ins.table);
    if (!ins.columns.empty()) {
      out_ += " (";
      for (std::size_t i = 0; i < ins.columns.size(); ++i) {
        if (i) out_ += ", ";
        rules_.Name(out_, ins.columns[i]);
      }
      out_ += ")";
    }
    if (ins.select) {
      out_ += " ";
      Select(*ins.select);
      return;
    }
    out_ += " VALUES ";
    for (std::size_t r = 0; r < ins.rows.size(); ++r) {
      if (r) out_ += ", ";
      out_ += "(";
      List(ins.rows[r]);
      out_ += ")";
    }
  }

  void Update(const UpdateStmt& upd) {
    out_ += "UPDATE ";
    rules_.Name(out_, upd.table);
    if (!upd.alias.empty()) {
      out_ += " AS ";
      rules_.Name(out_, upd.alias);
    }
    out_ += " SET ";
    for (std::size_t i = 0; i < upd.assignments.size(); ++i) {
      if (i) out_ += ", ";
      // SQLite's SET takes the bare column name only.
      rules_.Name(out_, upd.assignments[i].column);
      out_ += " = ";
      Expr(*upd.assignments[i].value);
    }
    if (upd.where) {
      out_ += " WHERE ";
      Expr(*upd.where);
    }
  }

  void Chain(const JoinChain& chain) {
    Item(chain.first);
    for (const ChainLink& link : chain.links) {
      switch (link.type) {
        case JoinType::Left: out_ += " LEFT JOIN "; break;
        case JoinType::Inner:
        case JoinType::Cross: out_ += " INNER JOIN "; break;
        case JoinType::Right: out_ += " RIGHT JOIN "; break;  // never produced by BuildChain
      }
      Item(link.item);
      if (link.on.empty()) {
        // A LEFT JOIN needs a condition; an always-true one keeps every pairing.
        if (link.type == JoinType::Left) {
          out_ += " ON ";
          out_ += rules_.AlwaysTrue();
        }
        continue;
      }
      out_ += " ON ";
      if (link.on.size() == 1) {
        Expr(*link.on[0]);
        continue;
      }
      for (std::size_t i = 0; i < link.on.size(); ++i) {
        if (i) out_ += " AND ";
        Child(*link.on[i], 3);
      }
    }
  }

  void Item(const ChainItem& item) {
    if (item.nested) {
      out_ += "(";
      Chain(*item.nested);
      out_ += ")";
      return;
    }
    const TableRef& t = *item.leaf;
    if (t.kind == TableRef::Kind::Derived) {
      out_ += "(";
      Select(*t.derived);
      out_ += ")";
    } else {
      rules_.Name(out_, t.name);
    }
    if (!t.alias.empty()) {
      out_ += " AS ";
      rules_.Name(out_, t.alias);
    }
  }

  void List(const std::vector<ExprPtr>& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (i) out_ += ", ";
      Expr(*list[i]);
    }
  }

  // Prints `e` inside an operator of binding strength `min`: parenthesised when it binds
  // less tightly.
  void Child(const ::ksmain::sql::Expr& e, int min) {
    if (Precedence(e) < min) {
      out_ += "(";
      Expr(e);
      out_ += ")";
      return;
    }
    Expr(e);
  }

  // Operands [first, last) of a binary node joined by its operator, the first one
  // left-associated as the engine reads it. The engine refuses an expression deeper than
  // 1000 levels and reads a chain as one level per operator, so a long AND or OR chain is
  // written as a balanced tree of parenthesised halves: the same truth value, a depth that
  // grows with the logarithm of its length. Chains that fit keep their flat spelling.
  // An operand whose text comparisons ignore case. COLLATE binds tighter than any
  // operator, so anything but a primary gets parentheses.
  void Folded(const ::ksmain::sql::Expr& e) {
    const char* folded = rules_.FoldedText();
    if (*folded == '\0') {
      Child(e, 5);
      return;
    }
    Child(e, 10);
    out_ += folded;
  }

  // Whether a folded operand may be compared with these: a strict engine's folding changes
  // the operand's type, so it holds only where every other side is text too (text compared
  // with a number is the number's comparison there).
  bool FoldsWith(const std::vector<ExprPtr>& args, std::size_t first) const {
    if (!rules_.StrictTypes()) return true;
    return std::all_of(args.begin() + static_cast<std::ptrdiff_t>(first), args.end(),
                       [](const ExprPtr& a) { return IsTextType(a->type); });
  }

  void Operands(const ::ksmain::sql::Expr& e, std::size_t first, std::size_t last) {
    const int p = Precedence(e);
    if (e.fold_case && e.args.size() == 2 && FoldsWith(e.args, 1)) {
      Folded(*e.args[0]);
      out_ += ' ';
      out_ += e.text;
      out_ += ' ';
      Child(*e.args[1], p + 1);
      return;
    }
    if (last - first > kFlatChain) {
      const std::size_t middle = first + (last - first) / 2;
      out_ += '(';
      Operands(e, first, middle);
      out_ += ") ";
      out_ += e.text;
      out_ += " (";
      Operands(e, middle, last);
      out_ += ')';
      return;
    }
    Child(*e.args[first], p);
    for (std::size_t i = first + 1; i < last; ++i) {
      out_ += ' ';
      out_ += e.text;
      out_ += ' ';
      Child(*e.args[i], p + 1);
    }
  }
  static constexpr std::size_t kFlatChain = 64;

  // An operand a strict engine needs as text: cast when its type is known and not text.
  void AsText(const ::ksmain::sql::Expr& e) {
    if (rules_.StrictTypes() && !IsTextType(e.type)) {
      out_ += "CAST(";
      Expr(e);
      out_ += " AS text)";
      return;
    }
    Child(e, 5);
  }

  // An operand written with its known kind as the strict engine's type: a number as a
  // double, a text as text; any other stays as the engine types it.
  void Typed(const ::ksmain::sql::Expr& e) {
    const bool number = e.type == ColumnType::Integer || e.type == ColumnType::Long ||
                        e.type == ColumnType::Double || e.type == ColumnType::Currency;
    if (!number && e.type != ColumnType::String) {
      Expr(e);
      return;
    }
    out_ += "CAST(";
    Expr(e);
    out_ += number ? " AS double precision)" : " AS text)";
  }

  // A source literal as the next parameter, when parameters are wanted here.
  bool AsParameter(const ::ksmain::sql::Expr& e) {
    if (parameters_ == nullptr || inline_ > 0 || e.literal < 0) return false;
    parameters_->push_back(Parameter{e.literal, e.conversion});
    checks_->push_back(e.check);
    rules_.Marker(out_, parameters_->size());
    return true;
  }

  void Expr(const ::ksmain::sql::Expr& e) {
    // A value the analyzer turned into date text, on an engine with a real date type.
    if (rules_.TypedDates() && !in_date_ &&
        ((e.kind == ExprKind::Date) ||
         ((e.kind == ExprKind::String || e.kind == ExprKind::Null) && IsDateConversion(e.conversion)))) {
      out_ += "CAST(";
      ++in_date_;
      Expr(e);
      --in_date_;
      out_ += " AS timestamp)";
      return;
    }
    switch (e.kind) {
      case ExprKind::Number:
      case ExprKind::String:
      case ExprKind::Date:
      case ExprKind::Null:
        if (AsParameter(e)) return;
        break;
      default: break;
    }
    switch (e.kind) {
      case ExprKind::Number: out_ += e.text; return;
      case ExprKind::String:
      case ExprKind::Date: AppendQuoted(out_, e.text, '\''); return;
      case ExprKind::Null: out_ += "NULL"; return;
      case ExprKind::Column:
        if (!e.qualifier.empty()) {
          rules_.Name(out_, e.qualifier);
          out_ += ".";
        }
        rules_.Name(out_, e.text);
        return;
      case ExprKind::Star:
        if (!e.qualifier.empty()) {
          rules_.Name(out_, e.qualifier);
          out_ += ".";
        }
        out_ += "*";
        return;
      case ExprKind::Unary:
        if (e.text == "NOT") {
          out_ += "NOT ";
          Child(*e.args[0], 4);
          return;
        }
        out_ += e.text;
        // A strict engine cannot type "-?" (the operator has several overloads): the
        // negated number stays written out.
        if (rules_.StrictTypes() && e.args[0]->kind == ExprKind::Number && e.args[0]->text[0] != '-') {
          ++inline_;
          Expr(*e.args[0]);
          --inline_;
          return;
        }
        // "- -1" must not print as the comment "--1".
        if (e.args[0]->kind == ExprKind::Unary ||
            (e.args[0]->kind == ExprKind::Number && e.args[0]->text[0] == '-')) {
          out_ += "(";
          Expr(*e.args[0]);
          out_ += ")";
          return;
        }
        Child(*e.args[0], 9);
        return;
      case ExprKind::Binary: Operands(e, 0, e.args.size()); return;
      case ExprKind::Between:
        if (e.fold_case && FoldsWith(e.args, 1)) {
          Folded(*e.args[0]);
        } else {
          Child(*e.args[0], 5);
        }
        out_ += e.negated ? " NOT BETWEEN " : " BETWEEN ";
        Child(*e.args[1], 5);
        out_ += " AND ";
        Child(*e.args[2], 5);
        return;
      case ExprKind::Like:
        if (!rules_.LikeAsFunction()) {
          AsText(*e.args[0]);
          out_ += e.negated ? " NOT LIKE " : " LIKE ";
          AsText(*e.args[1]);
          if (e.args.size() > 2) {
            out_ += " ESCAPE ";
            Child(*e.args[2], 5);
          }
          return;
        }
        // The engine's LIKE knows no character classes; ks_like has both dialects' rules.
        if (e.negated) out_ += "NOT ";
        out_ += fn::kLike;
        out_ += "(";
        AsText(*e.args[0]);
        out_ += ", ";
        AsText(*e.args[1]);
        out_ += e.text == "J" ? ", 'J'" : ", 'T'";
        if (e.args.size() > 2) {
          out_ += ", ";
          Expr(*e.args[2]);
        }
        out_ += ")";
        return;
      case ExprKind::IsNull:
        Child(*e.args[0], 5);
        out_ += e.negated ? " IS NOT NULL" : " IS NULL";
        return;
      case ExprKind::InList:
        if (e.fold_case && FoldsWith(e.args, 1)) {
          Folded(*e.args[0]);
        } else {
          Child(*e.args[0], 5);
        }
        out_ += e.negated ? " NOT IN (" : " IN (";
        for (std::size_t i = 1; i < e.args.size(); ++i) {
          if (i > 1) out_ += ", ";
          Expr(*e.args[i]);
        }
        out_ += ")";
        return;
      case ExprKind::InSubquery:
        Child(*e.args[0], 5);
        out_ += e.negated ? " NOT IN (" : " IN (";
        Select(*e.subquery);
        out_ += ")";
        return;
      case ExprKind::Exists:
        out_ += "EXISTS (";
        Select(*e.subquery);
        out_ += ")";
        return;
      case ExprKind::Subquery:
        out_ += "(";
        Select(*e.subquery);
        out_ += ")";
        return;
      case ExprKind::Function:
        out_ += rules_.Function(e.text, e.args.size());  // a plain word: the parser reads only words as calls
        out_ += "(";
        if (e.distinct) out_ += "DISTINCT ";
        if (rules_.StrictTypes() && e.text == fn::kAdd) {
          // The server picks the overload by the operands' declared types, and a source
          // literal reaches it as an untyped parameter, which would make `'12' + 1` two
          // texts joined: each operand says what the analysis knows it is.
          for (std::size_t i = 0; i < e.args.size(); ++i) {
            if (i) out_ += ", ";
            Typed(*e.args[i]);
          }
        } else if (rules_.StrictTypes() && e.text == "coalesce" &&
            std::any_of(e.args.begin(), e.args.end(),
                        [](const ExprPtr& a) { return a->type == ColumnType::String; })) {
          for (std::size_t i = 0; i < e.args.size(); ++i) {
            if (i) out_ += ", ";
            AsText(*e.args[i]);
          }
        } else {
          List(e.args);
        }
        out_ += ")";
        return;
      case ExprKind::Case: {
        out_ += "CASE";
        std::size_t i = 0;
        if (e.case_operand) {
          out_ += " ";
          if (e.fold_case && FoldsWith(e.args, 1)) {
            Folded(*e.args[0]);
          } else {
            Expr(*e.args[0]);
          }
          i = 1;
        }
        const std::size_t end = e.case_else ? e.args.size() - 1 : e.args.size();
        for (; i + 2 <= end; i += 2) {
          out_ += " WHEN ";
          Expr(*e.args[i]);
          out_ += " THEN ";
          Expr(*e.args[i + 1]);
        }
        if (e.case_else) {
          out_ += " ELSE ";
          Expr(*e.args.back());
        }
        out_ += " END";
        return;
      }
    }
  }

  const TargetRules& rules_;
  std::string out_;
  std::vector<Parameter>* parameters_ = nullptr;
  std::vector<std::size_t>* checks_ = nullptr;  // per parameter: Expr::check
  int inline_ = 0;  // inside a clause whose literals stay written out
  int selects_ = 0;  // SELECTs begun so far; the first is the outermost
  std::size_t order_at_ = std::string::npos;
  int in_date_ = 0;  // inside the cast of a date value
};

}  // namespace

std::string Print(const Statement& statement, Target target, std::size_t* order_at) {
  Printer p(RulesFor(target));
  p.Statement(statement);
  if (order_at != nullptr) *order_at = p.order_at();
  return p.Take();
}

std::string PrintParameterised(const Statement& statement, std::vector<Parameter>& parameters,
                               std::vector<std::size_t>& checks, Target target,
                               std::size_t* order_at) {
  parameters.clear();
  checks.clear();
  Printer p(RulesFor(target), &parameters, &checks);
  p.Statement(statement);
  if (order_at != nullptr) *order_at = p.order_at();
  return p.Take();
}

}  // namespace ksmain::sql
