// Name resolution, result columns and the source dialects' meaning, made explicit.
//
// The source engines typed values by the schema: a text compared with a date column was
// read as a date, a text written into a date column was converted, `+` joined texts and
// added numbers, and their functions (cdate, isnull, len, iif, ...) had their own rules.
// The embedded engine knows none of this, so the analyzer rewrites each such construct
// into an explicit engine form while it walks the tree: date texts become canonical ISO
// literals at translate time, everything decided only by the stored values goes through
// the ks_* functions of engine_functions.h, which follow the same runtime rules.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "frame/vb_runtime.h"
#include "sql/ast.h"
#include "sql/engine_functions.h"
#include "sql/lexer.h"

namespace ksmain::sql {
namespace {

constexpr const char* kMismatch = "Data type mismatch in criteria expression.";

bool IsNumeric(ColumnType t) {
  return t == ColumnType::Integer || t == ColumnType::Long || t == ColumnType::Double ||
         t == ColumnType::Currency;
}

ColumnType ArithmeticType(ColumnType a, ColumnType b) {
  const auto integral = [](ColumnType t) { return t == ColumnType::Integer || t == ColumnType::Long; };
  if (integral(a) && integral(b)) return ColumnType::Long;
  // Currency with Currency or a whole number stays Currency, as the runtime's arithmetic does.
  if ((a == ColumnType::Currency || integral(a)) && (b == ColumnType::Currency || integral(b)))
    return ColumnType::Currency;
  return ColumnType::Double;
}

ExprPtr MakeExpr(ExprKind kind, std::size_t pos, std::string text = {}) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->pos = pos;
  e->text = std::move(text);
  return e;
}

ExprPtr MakeDate(std::string iso, std::size_t pos) {
  auto e = MakeExpr(ExprKind::Date, pos, std::move(iso));
  e->engine = true;
  e->type = ColumnType::Date;
  return e;
}

// A call of an engine function (already in its final form) over the given arguments.
ExprPtr MakeCall(std::string name, std::size_t pos, std::vector<ExprPtr> args, ColumnType type) {
  auto e = MakeExpr(ExprKind::Function, pos, std::move(name));
  e->engine = true;
  e->args = std::move(args);
  e->type = type;
  return e;
}

template <typename... A>
std::vector<ExprPtr> Args(A&&... a) {
  std::vector<ExprPtr> v;
  (v.push_back(std::forward<A>(a)), ...);
  return v;
}

// Date text read with the runtime's CDate rules, as canonical ISO text.
std::optional<std::string> IsoOfText(std::string_view text) {
  try {
    const auto serial = vb::ParseDate(text);
    if (!serial) return std::nullopt;
    return vb::ToIso(*serial);
  } catch (const VbError&) {
    return std::nullopt;  // a date outside the runtime's range
  }
}

// A text written into a numeric column, read with the runtime's rules: "" is no number
// (NULL); integral values that fit 64 bits stay integers so keys and counts keep their
// kind; anything else that is not a number is refused as the source engines refused it.
BoundValue NumberOrFail(std::string_view text, std::size_t pos) {
  if (text.empty()) return std::monostate{};
  std::optional<double> number;
  try {
    number = vb::ParseNumber(text);
  } catch (const VbError&) {
    number.reset();  // beyond the Double range
  }
  if (!number || !std::isfinite(*number)) throw SqlError(kMismatch, pos);
  if (std::trunc(*number) == *number && std::fabs(*number) < 9.2e18) {
    return static_cast<std::int64_t>(*number);
  }
  return *number;
}

// A text standing in for a number of the given kind (T-SQL isnull(n, '...')), read as the
// server converts text: empty or blank text is 0, an integer kind takes whole numbers only.
BoundValue InsteadOrFail(std::string_view text, std::size_t pos, bool integral) {
  if (text.find_first_not_of(' ') == std::string_view::npos) return std::int64_t{0};
  BoundValue value = NumberOrFail(text, pos);
  if (integral && !std::holds_alternative<std::int64_t>(value)) throw SqlError(kMismatch, pos);
  return value;
}

std::string IsoOrFail(std::string_view text, std::size_t pos) {
  auto iso = IsoOfText(text);
  if (!iso) throw SqlError(kMismatch, pos);
  return *iso;
}

struct Source {
  std::string name;
  std::string alias;
  const TableInfo* table = nullptr;
  const std::vector<ResultColumn>* derived = nullptr;  // a derived table's columns
  bool known() const { return table != nullptr || derived != nullptr; }
  const std::string& ref_name() const { return alias.empty() ? name : alias; }
};

struct Scope {
  std::vector<Source> sources;
  const Scope* outer = nullptr;
};

struct Resolved {
  bool found = false;
  ColumnType type = ColumnType::Unknown;
  std::string name;  // the column's name as the schema spells it
};

Resolved LookUp(const Source& s, std::string_view column) {
  if (s.table) {
    for (const ColumnInfo& c : s.table->columns) {
      if (EqualsNoCase(c.name, column)) return {true, c.type, c.name};
    }
  } else if (s.derived) {
    for (const ResultColumn& c : *s.derived) {
      if (EqualsNoCase(c.name, column)) return {true, c.type, c.name};
    }
  }
  return {};
}

Resolved Resolve(const Scope& scope, std::string_view qualifier, std::string_view column) {
  for (const Scope* s = &scope; s; s = s->outer) {
    for (const Source& src : s->sources) {
      if (!qualifier.empty()) {
        if (!EqualsNoCase(src.ref_name(), qualifier) && !EqualsNoCase(src.name, qualifier)) continue;
        Resolved r = LookUp(src, column);
        r.found = true;  // the qualifier names this source even if the column is unknown
        if (r.name.empty()) r.name = std::string(column);
        return r;
      }
      Resolved r = LookUp(src, column);
      if (r.found) return r;
    }
  }
  return {};
}

class Analyzer {
 public:
  Analyzer(Dialect dialect, const SchemaCatalog& catalog) : dialect_(dialect), catalog_(catalog) {}

  void Run(Statement& st) {
    switch (st.kind) {
      case StatementKind::Select: AnalyzeSelect(*st.select, nullptr, true); return;
      case StatementKind::Insert: AnalyzeInsert(st.insert); return;
      case StatementKind::Update: AnalyzeUpdate(st.update); return;
      case StatementKind::Delete: {
        Scope scope;
        scope.sources.push_back(TableSource(st.del.table, {}));
        if (st.del.where) AnalyzeExpr(st.del.where, scope);
        return;
      }
      case StatementKind::ProcedureCall: return;
    }
  }

 private:
  Source TableSource(const std::string& name, const std::string& alias) {
    Source s;
    s.name = name;
    s.alias = alias;
    s.table = catalog_.FindTable(name);
    return s;
  }

  // ---- SELECT -----------------------------------------------------------------------

  void AnalyzeSelect(Select& sel, const Scope* outer, bool expand_stars) {
    Scope scope;
    scope.outer = outer;
    for (auto& ref : sel.from) CollectSources(*ref, scope);
    for (auto& ref : sel.from) AnalyzeJoinConditions(*ref, scope);
    if (expand_stars) ExpandStars(sel, scope);
    for (SelectItem& item : sel.items) {
      if (item.expr->kind == ExprKind::Star) continue;
      AnalyzeExpr(item.expr, scope);
    }
    NameResults(sel);
    if (sel.where) AnalyzeExpr(sel.where, scope);
    for (auto& g : sel.group_by) AnalyzeExpr(g, scope);
    if (sel.having) AnalyzeExpr(sel.having, scope);
    for (auto& o : sel.order_by) {
      AnalyzeExpr(o.expr, scope);
      // Computed texts sort as they compare, without regard to case.
      o.fold_case = FoldsCase(*o.expr);
    }
  }


  void CollectSources(TableRef& ref, Scope& scope) {
    switch (ref.kind) {
      case TableRef::Kind::Table: {
        Source s = TableSource(ref.name, ref.alias);
        ref.info = s.table;
        scope.sources.push_back(std::move(s));
        return;
      }
      case TableRef::Kind::Derived: {
        AnalyzeSelect(*ref.derived, scope.outer, true);
        derived_columns_.push_back(std::make_unique<std::vector<ResultColumn>>());
        for (const SelectItem& item : ref.derived->items) {
          if (item.result) derived_columns_.back()->push_back(*item.result);
        }
        Source s;
        s.alias = ref.alias;
        s.derived = derived_columns_.back().get();
        scope.sources.push_back(std::move(s));
        return;
      }
      case TableRef::Kind::Join:
        CollectSources(*ref.left, scope);
        CollectSources(*ref.right, scope);
        return;
    }
  }

  void AnalyzeJoinConditions(TableRef& ref, const Scope& scope) {
    if (ref.kind != TableRef::Kind::Join) return;
    AnalyzeJoinConditions(*ref.left, scope);
    AnalyzeJoinConditions(*ref.right, scope);
    if (ref.on) AnalyzeExpr(ref.on, scope);
  }

  // `*` and `t.*` become the tables' columns, so that every result column has the name
  // and kind the recordset reports. A star over a table the catalogue does not know stays.
  void ExpandStars(Select& sel, const Scope& scope) {
    std::vector<SelectItem> out;
    for (SelectItem& item : sel.items) {
      if (item.expr->kind != ExprKind::Star) {
        out.push_back(std::move(item));
        continue;
      }
      std::vector<const Source*> chosen;
      for (const Source& s : scope.sources) {
        if (item.expr->qualifier.empty() || EqualsNoCase(s.ref_name(), item.expr->qualifier) ||
            EqualsNoCase(s.name, item.expr->qualifier))
          chosen.push_back(&s);
      }
      bool all_known = !chosen.empty();
      for (const Source* s : chosen) all_known = all_known && s->known();
      if (!all_known) {
        unexpanded_star_ = true;
        out.push_back(std::move(item));
        continue;
      }
      for (const Source* s : chosen) {
        auto add = [&](const std::string& name, ColumnType type) {
          SelectItem col;
          col.expr = MakeExpr(ExprKind::Column, item.expr->pos, name);
          col.expr->qualifier = s->ref_name();
          col.expr->type = type;
          out.push_back(std::move(col));
        };
        if (s->table) {
          for (const ColumnInfo& c : s->table->columns) add(c.name, c.type);
        } else {
          for (const ResultColumn& c : *s->derived) add(c.name, c.type);
        }
      }
    }
    sel.items = std::move(out);
  }

  // The field names the source engine reports: the alias; a column's own name; for any
  // other expression Jet's generated "Expr1000", "Expr1001", ... (1000 plus the column's
  // position) and T-SQL's empty name. Jet names two same-named columns of different
  // tables "table.column".
  void NameResults(Select& sel) {
    for (std::size_t i = 0; i < sel.items.size(); ++i) {
      SelectItem& item = sel.items[i];
      if (item.expr->kind == ExprKind::Star) continue;
      ResultColumn rc;
      rc.type = item.expr->type;
      if (item.has_alias) {
        rc.name = item.alias;
      } else if (item.expr->kind == ExprKind::Column) {
        rc.name = item.expr->text;
      } else if (dialect_ == Dialect::Jet) {
        rc.name = "Expr" + std::to_string(1000 + i);
      }
      item.result = std::move(rc);
    }
    if (dialect_ != Dialect::Jet) return;
    for (std::size_t i = 0; i < sel.items.size(); ++i) {
      SelectItem& a = sel.items[i];
      if (!a.result || a.has_alias || a.expr->kind != ExprKind::Column) continue;
      bool clash = false;
      for (std::size_t j = 0; j < sel.items.size(); ++j) {
        const SelectItem& b = sel.items[j];
        if (j != i && b.result && !b.has_alias && b.expr->kind == ExprKind::Column &&
            EqualsNoCase(b.expr->text, a.expr->text) &&
            !EqualsNoCase(b.expr->qualifier, a.expr->qualifier))
          clash = true;
      }
      if (clash && !a.expr->qualifier.empty()) a.result->name = a.expr->qualifier + "." + a.expr->text;
    }
  }

  // ---- writes -----------------------------------------------------------------------

  void AnalyzeInsert(InsertStmt& ins) {
    Scope scope;
    scope.sources.push_back(TableSource(ins.table, {}));
    const TableInfo* table = scope.sources.front().table;
    std::vector<ColumnType> targets;
    if (table) {
      if (ins.columns.empty()) {
        for (const ColumnInfo& c : table->columns) targets.push_back(c.type);
      } else {
        for (const std::string& name : ins.columns) targets.push_back(LookUp(scope.sources.front(), name).type);
      }
    }
    for (auto& row : ins.rows) {
      for (std::size_t i = 0; i < row.size(); ++i) {
        AnalyzeExpr(row[i], scope);
        if (i < targets.size()) ToColumnValue(row[i], targets[i]);
      }
    }
    if (ins.select) {
      AnalyzeSelect(*ins.select, nullptr, true);
      for (std::size_t i = 0; i < ins.select->items.size() && i < targets.size(); ++i) {
        SelectItem& item = ins.select->items[i];
        if (item.expr->kind != ExprKind::Star) ToColumnValue(item.expr, targets[i]);
      }
    }
  }

  void AnalyzeUpdate(UpdateStmt& upd) {
    Scope scope;
    scope.sources.push_back(TableSource(upd.table, upd.alias));
    for (Assignment& a : upd.assignments) {
      AnalyzeExpr(a.value, scope);
      ToColumnValue(a.value, LookUp(scope.sources.front(), a.column).type);
    }
    if (upd.where) AnalyzeExpr(upd.where, scope);
  }

  void ToColumnValue(ExprPtr& e, ColumnType target) {
    if (target == ColumnType::Date) return ToDateValue(e);
    if (IsNumeric(target) || target == ColumnType::Boolean) ToNumberValue(e);
  }

  // A value written into a numeric column, converted as the source engines did: the empty
  // text is NULL, a numeric text is stored as its number, other text fails the statement
  // (nothing is written). Expressions known to give text are converted by the engine.
  void ToNumberValue(ExprPtr& e) {
    if (e->kind == ExprKind::String) {
      const int literal = e->literal;
      e = NumberLiteral(NumberOrFail(e->text, e->pos), e->pos);
      Mark(*e, literal, LiteralConversion::NumberWrite);
      return;
    }
    if (e->type != ColumnType::String) return;
    const std::size_t pos = e->pos;
    e = MakeCall(fn::kToNumber, pos, Args(std::move(e)), ColumnType::Double);
  }

  // T-SQL's isnull(n, x) has the kind of n: a text x in place of a NULL number is read as
  // the server converts text to a number ('' is 0), at translate time when it is a literal.
  void ToNumberInstead(ExprPtr& e, ColumnType target) {
    if (e->kind == ExprKind::String) {
      const int literal = e->literal;
      const bool integral = target != ColumnType::Double && target != ColumnType::Currency;
      e = NumberLiteral(InsteadOrFail(e->text, e->pos, integral), e->pos);
      Mark(*e, literal, integral ? LiteralConversion::IntegerInstead : LiteralConversion::NumberInstead);
      return;
    }
    if (e->kind == ExprKind::Null || IsNumeric(e->type) || e->type == ColumnType::Boolean) return;
    const std::size_t pos = e->pos;
    e = MakeCall(fn::kAsNumber, pos, Args(std::move(e)), ColumnType::Double);
  }

  // A converted value as a literal the engine reads back in the same kind.
  static ExprPtr NumberLiteral(const BoundValue& value, std::size_t pos) {
    if (std::holds_alternative<std::monostate>(value)) return MakeExpr(ExprKind::Null, pos);
    char buffer[64];
    const auto [end, ec] = std::holds_alternative<std::int64_t>(value)
                               ? std::to_chars(buffer, buffer + sizeof buffer, std::get<std::int64_t>(value))
                               : std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(value));
    std::string text(buffer, end);
    // The engine must read a real back as a real, not as an integer.
    if (std::holds_alternative<double>(value) && text.find_first_of(".eEn") == std::string::npos) {
      text += ".0";
    }
    auto e = MakeExpr(ExprKind::Number, pos, std::move(text));
    e->type = NumberLiteralType(e->text);
    return e;
  }

  // A value written into a date column, converted as the source engines did: the empty
  // text is no date (NULL), a date text is stored in canonical form, other text fails.
  void ToDateValue(ExprPtr& e) {
    switch (e->kind) {
      case ExprKind::String: {
        const int literal = e->literal;
        if (e->text.empty()) {
          e = MakeExpr(ExprKind::Null, e->pos);
        } else {
          e = MakeDate(IsoOrFail(e->text, e->pos), e->pos);
        }
        Mark(*e, literal, LiteralConversion::DateWrite);
        return;
      }
      case ExprKind::Null:
        return;
      default:
        if (e->type == ColumnType::Date) return;
        {
          const std::size_t pos = e->pos;
          e = MakeCall(fn::kToDate, pos, Args(std::move(e)), ColumnType::Date);
        }
        return;
    }
  }

  // ---- expressions --------------------------------------------------------------------

  void AnalyzeExpr(ExprPtr& e, const Scope& scope) {
    switch (e->kind) {
      case ExprKind::Number: e->type = NumberLiteralType(e->text); return;
      case ExprKind::String: e->type = ColumnType::String; return;
      case ExprKind::Null: return;
      case ExprKind::Date:
        if (!e->engine) {
          // #date# literals are read with the runtime's rules (month first).
          const auto iso = IsoOfText(e->text);
          if (!iso) throw SqlError("Syntax error in date in query expression '#" + e->text + "#'.", e->pos);
          e->text = *iso;
          e->engine = true;
          Mark(*e, e->literal, LiteralConversion::HashDate);
        }
        e->type = ColumnType::Date;
        return;
      case ExprKind::Column: AnalyzeColumn(*e, scope); return;
      case ExprKind::Star: return;
      case ExprKind::Unary:
        AnalyzeExpr(e->args[0], scope);
        e->type = e->text == "NOT" ? ColumnType::Boolean
                  : IsNumeric(e->args[0]->type) ? e->args[0]->type
                                                 : ColumnType::Unknown;
        return;
      case ExprKind::Binary: AnalyzeBinary(e, scope); return;
      case ExprKind::Between:
        for (auto& a : e->args) AnalyzeExpr(a, scope);
        if (e->args[0]->type == ColumnType::Date) {
          ToDateOperand(e->args[1]);
          ToDateOperand(e->args[2]);
        } else if (e->args[1]->type == ColumnType::Date || e->args[2]->type == ColumnType::Date) {
          ToDateOperand(e->args[0]);
        }
        e->fold_case = FoldsCase(*e->args[0]);
        e->type = ColumnType::Boolean;
        return;
      case ExprKind::Like:
        for (auto& a : e->args) AnalyzeExpr(a, scope);
        e->text = dialect_ == Dialect::Jet ? "J" : "T";
        e->type = ColumnType::Boolean;
        return;
      case ExprKind::IsNull:
        for (auto& a : e->args) AnalyzeExpr(a, scope);
        e->type = ColumnType::Boolean;
        return;
      case ExprKind::InList:
        for (auto& a : e->args) AnalyzeExpr(a, scope);
        if (e->args[0]->type == ColumnType::Date) {
          for (std::size_t i = 1; i < e->args.size(); ++i) ToDateOperand(e->args[i]);
        }
        e->fold_case = FoldsCase(*e->args[0]);
        e->type = ColumnType::Boolean;
        return;
      case ExprKind::InSubquery:
        AnalyzeExpr(e->args[0], scope);
        AnalyzeSelect(*e->subquery, &scope, false);
        e->type = ColumnType::Boolean;
        return;
      case ExprKind::Exists:
        AnalyzeSelect(*e->subquery, &scope, false);
        e->type = ColumnType::Boolean;
        return;
      case ExprKind::Subquery:
        AnalyzeSelect(*e->subquery, &scope, false);
        if (!e->subquery->items.empty() && e->subquery->items[0].result)
          e->type = e->subquery->items[0].result->type;
        return;
      case ExprKind::Function:
        for (auto& a : e->args) {
          if (a->kind != ExprKind::Star) AnalyzeExpr(a, scope);
        }
        if (!e->engine) MapFunction(e);
        return;
      case ExprKind::Case: {
        for (auto& a : e->args) AnalyzeExpr(a, scope);
        e->fold_case = e->case_operand && FoldsCase(*e->args[0]);
        // The kind of a CASE is its branches' kind when they agree.
        ColumnType t = ColumnType::Unknown;
        bool first = true;
        const std::size_t begin = e->case_operand ? 1 : 0;
        for (std::size_t i = begin; i < e->args.size(); ++i) {
          const bool is_value = e->case_else && i + 1 == e->args.size() ? true : (i - begin) % 2 == 1;
          if (!is_value || e->args[i]->kind == ExprKind::Null) continue;
          if (first) {
            t = e->args[i]->type;
            first = false;
          } else if (t != e->args[i]->type) {
            t = ColumnType::Unknown;
          }
        }
        e->type = t;
        return;
      }
    }
  }

  void AnalyzeColumn(Expr& e, const Scope& scope) {
    Resolved r = Resolve(scope, e.qualifier, e.text);
    // Jet reads [table.column] written as one bracketed name as the qualified column.
    if (!r.found && e.bracketed && e.qualifier.empty()) {
      const std::size_t dot = e.text.find('.');
      if (dot != std::string::npos && dot > 0 && dot + 1 < e.text.size()) {
        Resolved split = Resolve(scope, e.text.substr(0, dot), e.text.substr(dot + 1));
        if (split.found) {
          e.qualifier = e.text.substr(0, dot);
          e.text = e.text.substr(dot + 1);
          r = split;
        }
      }
    }
    if (r.found) {
      e.type = r.type;
      if (!r.name.empty()) e.text = r.name;
    }
  }

  // A text literal compared with a date is read as a date at translate time.
  void ToDateOperand(ExprPtr& e) {
    if (e->kind != ExprKind::String) return;
    const int literal = e->literal;
    e = MakeDate(IsoOrFail(e->text, e->pos), e->pos);
    Mark(*e, literal, LiteralConversion::DateText);
  }

  // A literal node now carries a converted source value: the translation cache converts
  // each later text's value the same way instead of translating it again.
  void Mark(Expr& e, int literal, LiteralConversion conversion) {
    e.literal = literal;
    if (literal < 0) return;
    e.conversion = conversion;
    e.check = ++checks_;
  }

  void AnalyzeBinary(ExprPtr& e, const Scope& scope) {
    const std::string& op = e->text;
    if (op == "AND" || op == "OR") {  // any number of operands
      for (auto& a : e->args) AnalyzeExpr(a, scope);
      e->type = ColumnType::Boolean;
      return;
    }
    AnalyzeExpr(e->args[0], scope);
    AnalyzeExpr(e->args[1], scope);
    const ColumnType a = e->args[0]->type;
    const ColumnType b = e->args[1]->type;
    if (op == "=" || op == "<>" || op == "<" || op == "<=" || op == ">" || op == ">=") {
      if (a == ColumnType::Date) ToDateOperand(e->args[1]);
      if (b == ColumnType::Date) ToDateOperand(e->args[0]);
      e->fold_case = FoldsCase(*e->args[0], *e->args[1]);
      e->type = ColumnType::Boolean;
      return;
    }
    if (op == "&" || op == "||") {
      const std::size_t pos = e->pos;
      e = MakeCall(fn::kConcat, pos, Args(std::move(e->args[0]), std::move(e->args[1])),
                   ColumnType::String);
      return;
    }
    if ((op == "+" || op == "-") && (a == ColumnType::Date || b == ColumnType::Date)) {
      // A date plus a number (or numeric text) is that many days later; a date plus a
      // time is that date at that time; a date minus a date is the days between them.
      const bool between = op == "-" && a == ColumnType::Date && b == ColumnType::Date;
      if (between && dialect_ != Dialect::Jet) {
        e->type = ColumnType::Unknown;
        return;
      }
      const std::size_t pos = e->pos;
      auto code = MakeExpr(ExprKind::String, pos, op == "+" ? "+" : between ? "d" : "-");
      e = MakeCall(fn::kDateCalc, pos, Args(std::move(e->args[0]), std::move(e->args[1]), std::move(code)),
                   between ? ColumnType::Double : ColumnType::Date);
      return;
    }
    if (op == "+") {
      if (IsNumeric(a) && IsNumeric(b)) {
        e->type = ArithmeticType(a, b);
        return;
      }
      // T-SQL converts a text added to a known number to that number's type (the number's
      // type takes precedence), so the sum keeps the number's kind; a text that is no
      // number is refused by the conversion.
      if (dialect_ != Dialect::Jet && (a == ColumnType::String || b == ColumnType::String) &&
          (IsNumeric(a) || IsNumeric(b))) {
        ExprPtr& text = a == ColumnType::String ? e->args[0] : e->args[1];
        const ColumnType number = a == ColumnType::String ? b : a;
        const std::size_t at = text->pos;
        text = MakeCall(fn::kToNumber, at, Args(std::move(text)), number);
        e->type = ArithmeticType(number, number);
        return;
      }
      // Texts join, anything else adds: only the stored values can tell.
      const std::size_t pos = e->pos;
      const ColumnType t = a == ColumnType::String && b == ColumnType::String ? ColumnType::String
                                                                               : ColumnType::Unknown;
      e = MakeCall(fn::kAdd, pos, Args(std::move(e->args[0]), std::move(e->args[1])), t);
      return;
    }
    if (op == "/") {
      e->type = ColumnType::Double;
      return;
    }
    e->type = IsNumeric(a) && IsNumeric(b) ? ArithmeticType(a, b) : ColumnType::Unknown;
  }

  // Texts compare without regard to case unless a column takes part, whose own collation
  // decides (text columns ignore case; the password column compares exactly).
  static bool MayBeText(const Expr& e) {
    return e.kind != ExprKind::Column && e.kind != ExprKind::Number &&
           (e.type == ColumnType::String || e.type == ColumnType::Unknown);
  }
  static bool FoldsCase(const Expr& a, const Expr& b) {
    return MayBeText(a) && MayBeText(b) && a.kind != ExprKind::Null && b.kind != ExprKind::Null;
  }
  static bool FoldsCase(const Expr& a) { return MayBeText(a); }

  void CheckArgs(const Expr& e, std::size_t min, std::size_t max) {
    if (e.args.size() < min || e.args.size() > max)
      throw SqlError("Wrong number of arguments used with function in query expression '" + e.text + "'.",
                     e.pos);
  }

  void Rename(Expr& e, const char* name, ColumnType type) {
    e.text = name;
    e.engine = true;
    e.type = type;
  }

  // Source functions to engine functions; a name not listed passes through unchanged.
  void MapFunction(ExprPtr& e) {
    const std::string name = Upper(e->text);
    const std::size_t pos = e->pos;
    auto& args = e->args;
    if (name == "CDATE" || name == "DATEVALUE") {
      CheckArgs(*e, 1, 1);
      const bool date_only = name == "DATEVALUE";
      // A literal date is converted once here; a text that is no date fails the statement
      // as the source engines rejected it.
      if (args[0]->kind == ExprKind::String || args[0]->kind == ExprKind::Date) {
        const bool text = args[0]->kind == ExprKind::String;
        std::string iso = text ? IsoOrFail(args[0]->text, args[0]->pos) : args[0]->text;
        if (date_only) iso = iso.substr(0, 10);
        const int literal = args[0]->literal;
        // A #date# was checked where it was read; its check keeps that place.
        const std::size_t checked = args[0]->check;
        e = MakeDate(std::move(iso), pos);
        if (text) {
          Mark(*e, literal, date_only ? LiteralConversion::DateTextDateOnly : LiteralConversion::DateText);
        } else if (literal >= 0) {
          e->literal = literal;
          e->conversion = date_only ? LiteralConversion::HashDateDateOnly : LiteralConversion::HashDate;
          e->check = checked;
        }
        return;
      }
      Rename(*e, date_only ? fn::kDateValue : fn::kCDate, ColumnType::Date);
      return;
    }
    if (name == "GETDATE" || name == "NOW") {
      CheckArgs(*e, 0, 0);
      Rename(*e, fn::kNow, ColumnType::Date);
      return;
    }
    if (name == "DATE") {
      CheckArgs(*e, 0, 0);
      Rename(*e, fn::kToday, ColumnType::Date);
      return;
    }
    if (name == "ISNULL") {
      CheckArgs(*e, 1, 2);
      if (args.size() == 2) {  // T-SQL: the first value that is not NULL, in the first one's kind
        const ColumnType first = args[0]->type;
        ColumnType t = first;
        if (IsNumeric(first) || first == ColumnType::Boolean) {
          ToNumberInstead(args[1], first);
        } else if (first == ColumnType::Date) {
          // A text in place of a NULL date is read as a date.
          ToDateOperand(args[1]);
          if (args[1]->kind != ExprKind::Null && args[1]->type != ColumnType::Date) {
            const std::size_t at = args[1]->pos;
            args[1] = MakeCall(fn::kCDate, at, Args(std::move(args[1])), ColumnType::Date);
          }
        } else if (first != ColumnType::String && args[1]->type != first) {
          t = ColumnType::Unknown;  // a date, or a kind only the stored value tells
        }
        Rename(*e, "coalesce", t);
        return;
      }
      // Jet: a test whether the value is NULL.
      auto test = MakeExpr(ExprKind::IsNull, pos);
      test->args.push_back(std::move(args[0]));
      test->type = ColumnType::Boolean;
      e = std::move(test);
      return;
    }
    if (name == "NZ") {
      CheckArgs(*e, 1, 2);
      if (args.size() == 1) {
        auto empty = MakeExpr(ExprKind::String, pos);
        empty->type = ColumnType::String;
        args.push_back(std::move(empty));
      }
      const ColumnType t = args[0]->type == args[1]->type ? args[0]->type : ColumnType::Unknown;
      Rename(*e, "coalesce", t);
      return;
    }
    if (name == "LEN") {
      CheckArgs(*e, 1, 1);
      if (dialect_ == Dialect::TSql) {
        // T-SQL's len() does not count trailing blanks.
        auto blank = MakeExpr(ExprKind::String, pos, " ");
        args[0] = MakeCall("rtrim", pos, Args(std::move(args[0]), std::move(blank)), ColumnType::String);
      }
      Rename(*e, "length", ColumnType::Long);
      return;
    }
    if (name == "YEAR" || name == "MONTH" || name == "DAY") {
      CheckArgs(*e, 1, 1);
      // Jet's date parts are Integers; the server's are ints (Long).
      Rename(*e, name == "YEAR" ? fn::kYear : name == "MONTH" ? fn::kMonth : fn::kDay,
             dialect_ == Dialect::Jet ? ColumnType::Integer : ColumnType::Long);
      return;
    }
    if (name == "UCASE" || name == "UPPER" || name == "LCASE" || name == "LOWER") {
      CheckArgs(*e, 1, 1);
      Rename(*e, name == "UCASE" || name == "UPPER" ? "upper" : "lower", ColumnType::String);
      return;
    }
    if (name == "TRIM" || name == "LTRIM" || name == "RTRIM") {
      CheckArgs(*e, 1, 1);
      // The runtime trims blanks only, not the other white space.
      args.push_back(MakeExpr(ExprKind::String, pos, " "));
      Rename(*e, name == "TRIM" ? "trim" : name == "LTRIM" ? "ltrim" : "rtrim", ColumnType::String);
      return;
    }
    if (name == "LEFT") {
      CheckArgs(*e, 2, 2);
      args.insert(args.begin() + 1, MakeExpr(ExprKind::Number, pos, "1"));
      Rename(*e, "substr", ColumnType::String);
      return;
    }
    if (name == "RIGHT") {
      CheckArgs(*e, 2, 2);
      Rename(*e, fn::kRight, ColumnType::String);
      return;
    }
    if (name == "MID" || name == "SUBSTRING") {
      CheckArgs(*e, name == "MID" ? 2 : 3, 3);
      if (args.size() == 2) args.push_back(MakeExpr(ExprKind::Null, pos));
      args.push_back(Text(dialect_ == Dialect::Jet ? "J" : "T", pos));
      Rename(*e, fn::kMid, ColumnType::String);
      return;
    }
    if (MapMoreFunction(e, name)) return;
    if (name == "IIF") {
      CheckArgs(*e, 3, 3);
      auto c = MakeExpr(ExprKind::Case, pos);
      c->case_else = true;
      c->type = args[1]->type == args[2]->type ? args[1]->type : ColumnType::Unknown;
      c->args = std::move(args);
      e = std::move(c);
      return;
    }
    if (name == "COUNT") {
      Rename(*e, "count", ColumnType::Long);
      return;
    }
    if (name == "AVG") {
      Rename(*e, "avg", ColumnType::Double);
      return;
    }
    if (name == "MIN" || name == "MAX") {
      Rename(*e, name == "MIN" ? "min" : "max", args.size() == 1 ? args[0]->type : ColumnType::Unknown);
      return;
    }
    if (name == "SUM") {
      Rename(*e, "sum", ColumnType::Unknown);
      return;
    }
  }


  static ExprPtr Text(std::string text, std::size_t pos) {
    auto e = MakeExpr(ExprKind::String, pos, std::move(text));
    e->type = ColumnType::String;
    return e;
  }

  // The letter ks_convert and ks_format take for what the analysis knows of a value.
  static const char* KindLetter(ColumnType t) {
    switch (t) {
      case ColumnType::Date: return "D";
      case ColumnType::Boolean: return "B";
      case ColumnType::Integer:
      case ColumnType::Long:
      case ColumnType::Double:
      case ColumnType::Currency: return "N";
      case ColumnType::String: return "S";
      case ColumnType::Unknown: return "U";
    }
    return "U";
  }

  // A date part as Jet's interval text. T-SQL names the part with a bare word (parsed as
  // a column name); Jet passes a text, checked when the statement runs.
  void ToInterval(ExprPtr& part) {
    if (part->kind != ExprKind::Column || !part->qualifier.empty()) return;
    static constexpr std::pair<std::string_view, std::string_view> kParts[] = {
        {"YEAR", "yyyy"},   {"YY", "yyyy"},   {"YYYY", "yyyy"}, {"QUARTER", "q"}, {"QQ", "q"},
        {"Q", "q"},         {"MONTH", "m"},   {"MM", "m"},      {"M", "m"},       {"DAYOFYEAR", "y"},
        {"DY", "y"},        {"Y", "y"},       {"DAY", "d"},     {"DD", "d"},      {"D", "d"},
        {"WEEK", "ww"},     {"WK", "ww"},     {"WW", "ww"},     {"WEEKDAY", "w"}, {"DW", "w"},
        {"W", "w"},         {"HOUR", "h"},    {"HH", "h"},      {"MINUTE", "n"},  {"MI", "n"},
        {"N", "n"},         {"SECOND", "s"},  {"SS", "s"},      {"S", "s"}};
    const std::string word = Upper(part->text);
    for (const auto& [name, code] : kParts) {
      if (word == name) {
        part = Text(std::string(code), part->pos);
        return;
      }
    }
    throw SqlError("Date part '" + part->text + "' is not supported", part->pos);
  }

  // Conversions, text search, date arithmetic and the other scalar functions pages use.
  bool MapMoreFunction(ExprPtr& e, const std::string& name) {
    const std::size_t pos = e->pos;
    auto& args = e->args;
    const bool jet = dialect_ == Dialect::Jet;
    static constexpr std::pair<std::string_view, ColumnType> kJetConversions[] = {
        {"CSTR", ColumnType::String},  {"CINT", ColumnType::Integer},  {"CLNG", ColumnType::Long},
        {"CDBL", ColumnType::Double},  {"CSNG", ColumnType::Double},   {"CBOOL", ColumnType::Boolean},
        {"CCUR", ColumnType::Currency}, {"CVAR", ColumnType::Unknown}};
    for (const auto& [fname, type] : kJetConversions) {
      if (name != fname) continue;
      CheckArgs(*e, 1, 1);
      const char* kind = KindLetter(args[0]->type);
      std::string target = Upper(name);
      for (char& c : target) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      args.insert(args.begin(), Text(target, pos));
      args.push_back(Text(kind, pos));
      args.push_back(MakeExpr(ExprKind::Null, pos));
      Rename(*e, fn::kConvert, type == ColumnType::Unknown ? args[1]->type : type);
      return true;
    }
    if (name == "CAST" || name == "CONVERT") {
      CheckArgs(*e, 2, 3);
      const ColumnType type = ServerType(args[0]->text, args[0]->pos);
      args.insert(args.begin() + 2, Text(KindLetter(args[1]->type), pos));
      if (args.size() == 3) args.push_back(MakeExpr(ExprKind::Null, pos));
      Rename(*e, fn::kConvert, type);
      return true;
    }
    if (name == "INSTR") {
      CheckArgs(*e, 2, 4);
      if (args.size() == 2) args.insert(args.begin(), MakeExpr(ExprKind::Number, pos, "1"));
      if (args.size() == 3) args.push_back(MakeExpr(ExprKind::Number, pos, "1"));
      Rename(*e, fn::kInStr, ColumnType::Long);
      return true;
    }
    if (name == "CHARINDEX") {
      CheckArgs(*e, 2, 3);
      ExprPtr start = args.size() == 3 ? std::move(args[2]) : MakeExpr(ExprKind::Number, pos, "1");
      start = MakeCall("max", pos, Args(std::move(start), MakeExpr(ExprKind::Number, pos, "1")), ColumnType::Long);
      args = Args(std::move(start), std::move(args[1]), std::move(args[0]), MakeExpr(ExprKind::Number, pos, "1"));
      Rename(*e, fn::kInStr, ColumnType::Long);
      return true;
    }
    if (name == "INSTRREV") {
      CheckArgs(*e, 2, 4);
      if (args.size() == 2) args.push_back(MakeExpr(ExprKind::Number, pos, "-1"));
      if (args.size() == 3) args.push_back(MakeExpr(ExprKind::Number, pos, "1"));
      Rename(*e, fn::kInStrRev, ColumnType::Long);
      return true;
    }
    if (name == "DATEADD" || name == "DATEDIFF" || name == "DATEPART" || name == "DATENAME") {
      const bool add = name == "DATEADD", diff = name == "DATEDIFF";
      CheckArgs(*e, add || diff ? 3 : 2, jet && !add ? (diff ? 5 : 4) : (add || diff ? 3 : 2));
      ToInterval(args[0]);
      args.resize(add || diff ? 3 : 2);  // first day of week and year: the US defaults only
      Rename(*e, add ? fn::kDateAdd : diff ? fn::kDateDiff : name == "DATEPART" ? fn::kDatePart : fn::kDateName,
             add ? ColumnType::Date : name == "DATENAME" ? ColumnType::String
                 : jet && !diff ? ColumnType::Integer : ColumnType::Long);
      return true;
    }
    if (name == "HOUR" || name == "MINUTE" || name == "SECOND") {
      CheckArgs(*e, 1, 1);
      args.insert(args.begin(), Text(name == "HOUR" ? "h" : name == "MINUTE" ? "n" : "s", pos));
      Rename(*e, fn::kDatePart, ColumnType::Integer);
      return true;
    }
    if (name == "WEEKDAY") {
      CheckArgs(*e, 1, 2);
      if (args.size() == 1) args.push_back(MakeExpr(ExprKind::Number, pos, "1"));
      Rename(*e, fn::kWeekday, ColumnType::Integer);
      return true;
    }
    if (name == "DATESERIAL") {
      CheckArgs(*e, 3, 3);
      Rename(*e, fn::kDateSerial, ColumnType::Date);
      return true;
    }
    if (name == "VAL") {
      CheckArgs(*e, 1, 1);
      Rename(*e, fn::kVal, ColumnType::Double);
      return true;
    }
    if (name == "ISNUMERIC" || name == "ISDATE") {
      CheckArgs(*e, 1, 1);
      // Jet answers a Boolean (True is -1), the server an int 1 or 0.
      args.push_back(Text(KindLetter(args[0]->type), pos));
      args.push_back(MakeExpr(ExprKind::Number, pos, jet ? "-1" : "1"));
      Rename(*e, name == "ISNUMERIC" ? fn::kIsNumeric : fn::kIsDate, jet ? ColumnType::Boolean : ColumnType::Long);
      return true;
    }
    if (name == "STRCOMP") {
      CheckArgs(*e, 2, 3);
      if (args.size() == 2) args.push_back(MakeExpr(ExprKind::Number, pos, "1"));
      Rename(*e, fn::kStrComp, ColumnType::Integer);
      return true;
    }
    if (name == "REPLACE") {
      CheckArgs(*e, 3, 3);
      Rename(*e, jet ? "replace" : fn::kReplaceText, ColumnType::String);
      return true;
    }
    if (name == "REPLICATE" || name == "SPACE") {
      CheckArgs(*e, name == "SPACE" ? 1 : 2, name == "SPACE" ? 1 : 2);
      if (name == "SPACE") args.insert(args.begin(), Text(" ", pos));
      Rename(*e, fn::kReplicate, ColumnType::String);
      return true;
    }
    if (name == "DATALENGTH") {
      CheckArgs(*e, 1, 1);
      Rename(*e, fn::kDataLength, ColumnType::Long);
      return true;
    }
    if (name == "FORMAT") {
      CheckArgs(*e, 1, 2);
      if (args.size() == 1) args.push_back(Text("", pos));
      args.push_back(Text(KindLetter(args[0]->type), pos));
      Rename(*e, fn::kFormat, ColumnType::String);
      return true;
    }
    return false;
  }

  // The kind a CAST or CONVERT gives; a type the engine functions cannot produce fails.
  static ColumnType ServerType(const std::string& type, std::size_t pos) {
    const std::string base = type.substr(0, type.find('('));
    static constexpr std::pair<std::string_view, ColumnType> kTypes[] = {
        {"int", ColumnType::Long},         {"integer", ColumnType::Long},    {"bigint", ColumnType::Double},
        {"smallint", ColumnType::Integer}, {"tinyint", ColumnType::Integer}, {"bit", ColumnType::Boolean},
        {"float", ColumnType::Double},     {"real", ColumnType::Double},     {"decimal", ColumnType::Double},
        {"numeric", ColumnType::Double},   {"money", ColumnType::Currency},  {"smallmoney", ColumnType::Currency},
        {"varchar", ColumnType::String},   {"nvarchar", ColumnType::String}, {"char", ColumnType::String},
        {"nchar", ColumnType::String},     {"text", ColumnType::String},     {"ntext", ColumnType::String},
        {"datetime", ColumnType::Date},    {"smalldatetime", ColumnType::Date}, {"date", ColumnType::Date},
        {"datetime2", ColumnType::Date}};
    for (const auto& [name, kind] : kTypes) {
      if (base == name) return kind;
    }
    throw SqlError("Conversion to type '" + type + "' is not supported", pos);
  }

  Dialect dialect_;
  const SchemaCatalog& catalog_;
  std::size_t checks_ = 0;
  std::vector<std::unique_ptr<std::vector<ResultColumn>>> derived_columns_;

 public:
  bool unexpanded_star_ = false;
};

}  // namespace

ColumnType NumberLiteralType(std::string_view text) {
  std::int64_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc() && ptr == text.data() + text.size() && value <= 2147483647)
    return ColumnType::Long;
  return ColumnType::Double;
}

BoundValue LiteralValue(TokenKind kind, std::string value, std::size_t pos,
                        LiteralConversion conversion) {
  if (kind == TokenKind::Date && conversion == LiteralConversion::None)
    conversion = LiteralConversion::HashDate;
  switch (conversion) {
    case LiteralConversion::None:
      break;
    case LiteralConversion::DateText:
      return IsoOrFail(value, pos);
    case LiteralConversion::DateTextDateOnly:
      return IsoOrFail(value, pos).substr(0, 10);
    case LiteralConversion::DateWrite:
      if (value.empty()) return std::monostate{};
      return IsoOrFail(value, pos);
    case LiteralConversion::NumberWrite:
      return NumberOrFail(value, pos);
    case LiteralConversion::NumberInstead:
    case LiteralConversion::IntegerInstead:
      return InsteadOrFail(value, pos, conversion == LiteralConversion::IntegerInstead);
    case LiteralConversion::HashDate:
    case LiteralConversion::HashDateDateOnly: {
      auto iso = IsoOfText(value);
      if (!iso) throw SqlError("Syntax error in date in query expression '#" + value + "#'.", pos);
      if (conversion == LiteralConversion::HashDateDateOnly) iso->resize(std::min<std::size_t>(iso->size(), 10));
      return std::move(*iso);
    }
  }
  if (kind != TokenKind::Number) return value;
  // The value the engine would have read from the literal: digits that fit 64 bits are an
  // integer, anything else (a fraction, an exponent, a larger number) a real.
  const char* begin = value.data();
  const char* end = begin + value.size();
  std::int64_t integer = 0;
  if (auto [ptr, ec] = std::from_chars(begin, end, integer); ec == std::errc() && ptr == end)
    return integer;
  double real = 0;
  std::from_chars(begin, end, real);
  return real;
}

void Analyze(Statement& statement, Dialect dialect, const SchemaCatalog& catalog) {
  Analyzer(dialect, catalog).Run(statement);
}

}  // namespace ksmain::sql
