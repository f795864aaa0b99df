// Recursive-descent parser for the statements both source dialects send.
//
// The grammar is the union of what the Jet and T-SQL pages write: SELECT with DISTINCT,
// TOP, nested parenthesised joins and comma joins, subqueries; INSERT ... VALUES and
// INSERT ... SELECT; UPDATE with a plain or parenthesised SET list; DELETE with or without
// FROM; procedure calls (`db..name 'a', 'b'`, `EXEC name 'a'`). Expression precedence
// follows the source engines: arithmetic binds tighter than `&` concatenation, which
// binds tighter than comparisons, then NOT, AND, OR.
//
// Input of any length must end as a tree or as a statement error, never as an exhausted
// stack, on a host thread of 1 MB. Two bounds see to it: the parser's own recursion is
// bounded by the nesting of the text (kMaxDepth), and the height of the tree it builds by
// kMaxHeight, since a chain like `1 + 1 + ...` is read in a loop but becomes one level per
// operator, and every later pass walks the tree recursively. Chains of AND and OR, which
// a search builds from every word of its criteria, are one node with all their operands,
// so they cost no height at any length.
#include <array>
#include <cctype>
#include <string_view>

#include "sql/ast.h"
#include "sql/lexer.h"

namespace ksmain::sql {
namespace {

// Words that end a list item or start a clause, so they never read as an alias or a name.
constexpr std::array<std::string_view, 44> kReserved = {
    "SELECT", "FROM",  "WHERE",  "GROUP",  "ORDER",  "BY",     "HAVING", "AND",   "OR",
    "NOT",    "ON",    "INNER",  "LEFT",   "RIGHT",  "OUTER",  "JOIN",   "FULL",  "CROSS",
    "AS",     "UNION", "BETWEEN", "LIKE",  "IN",     "IS",     "NULL",   "DISTINCT", "TOP",
    "INSERT", "UPDATE", "DELETE", "SET",   "VALUES", "INTO",   "EXISTS", "CASE",  "WHEN",
    "THEN",   "ELSE",  "END",    "ASC",    "DESC",   "EXEC",   "EXECUTE", "LIMIT"};

bool IsReserved(const Token& t) {
  if (t.kind != TokenKind::Identifier || t.text.size() < 2 || t.text.size() > 8) return false;
  for (std::string_view w : kReserved) {
    if (w.size() == t.text.size() && EqualsNoCase(t.text, w)) return true;
  }
  return false;
}

class Parser {
 public:
  explicit Parser(std::string_view text, Dialect dialect = Dialect::TSql) : tokens_(Lex(text, dialect)) {
    // Each literal's place among the statement's literals, counted as the translation
    // cache's literal scan counts them, so a literal node knows which value it carries.
    int count = 0;
    literal_of_.reserve(tokens_.size());
    for (const Token& t : tokens_) {
      const bool literal = t.Is(TokenKind::String) || t.Is(TokenKind::Number) || t.Is(TokenKind::Date);
      literal_of_.push_back(literal ? count++ : -1);
    }
  }

  Statement ParseStatement() {
    Statement st;
    const Token& t = Peek();
    if (t.IsWord("SELECT")) {
      st.kind = StatementKind::Select;
      st.select = ParseSelect();
    } else if (t.IsWord("INSERT")) {
      st.kind = StatementKind::Insert;
      ParseInsert(st.insert);
    } else if (t.IsWord("UPDATE")) {
      st.kind = StatementKind::Update;
      ParseUpdate(st.update);
    } else if (t.IsWord("DELETE")) {
      st.kind = StatementKind::Delete;
      ParseDelete(st.del);
    } else if (t.IsWord("EXEC") || t.IsWord("EXECUTE")) {
      Next();
      st.kind = StatementKind::ProcedureCall;
      ParseCall(st.call);
    } else if ((t.Is(TokenKind::Identifier) && !IsReserved(t)) || t.Is(TokenKind::QuotedIdentifier)) {
      // A statement that starts with a name is a procedure call: "VeldaSQL..ESP_SP_x 'a'".
      st.kind = StatementKind::ProcedureCall;
      ParseCall(st.call);
    } else {
      Fail("Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'");
    }
    ExpectEnd();
    return st;
  }

  std::vector<OrderItem> ParseOrderListOnly() {
    std::vector<OrderItem> items;
    if (Peek().Is(TokenKind::End)) return items;
    items = ParseOrderItems();
    if (!Peek().Is(TokenKind::End)) Fail("Syntax error in ORDER BY clause");
    return items;
  }

 private:
  const Token& Peek(std::size_t ahead = 0) const {
    const std::size_t i = pos_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
  }
  const Token& Next() {
    const Token& t = Peek();
    if (pos_ < tokens_.size() - 1) ++pos_;
    return t;
  }
  bool AcceptWord(std::string_view w) {
    if (!Peek().IsWord(w)) return false;
    Next();
    return true;
  }
  bool Accept(TokenKind k) {
    if (!Peek().Is(k)) return false;
    Next();
    return true;
  }
  [[noreturn]] void Fail(const std::string& message) const { throw SqlError(message, Peek().pos); }
  [[noreturn]] void FailSyntax() const {
    const Token& t = Peek();
    if (t.Is(TokenKind::End)) Fail("Syntax error: unexpected end of statement");
    Fail("Syntax error near '" + t.text + "'");
  }
  void ExpectWord(std::string_view w) {
    if (!AcceptWord(w)) FailSyntax();
  }
  void Expect(TokenKind k) {
    if (!Accept(k)) FailSyntax();
  }
  void ExpectEnd() {
    if (Accept(TokenKind::Semicolon)) {
      if (!Peek().Is(TokenKind::End)) Fail("Characters found after end of SQL statement");
      return;
    }
    if (!Peek().Is(TokenKind::End)) FailSyntax();
  }

  bool IsName(const Token& t) const {
    return (t.Is(TokenKind::Identifier) && !IsReserved(t)) || t.Is(TokenKind::QuotedIdentifier);
  }
  std::string ExpectName() {
    if (!IsName(Peek())) FailSyntax();
    return Next().text;
  }

  // A possibly qualified object name: "t", "owner.t", "db.owner.t", "db..t". The object's
  // own name is what the embedded engine knows; the prefixes named a server database.
  std::string ParseObjectName() {
    std::string name = ExpectName();
    while (Peek().Is(TokenKind::Dot)) {
      Next();
      while (Accept(TokenKind::Dot)) {
      }
      name = ExpectName();
    }
    return name;
  }

  // ---- SELECT ---------------------------------------------------------------------

  std::unique_ptr<Select> ParseSelect() {
    ExpectWord("SELECT");
    auto sel = std::make_unique<Select>();
    if (AcceptWord("DISTINCT")) {
      sel->distinct = true;
    } else {
      AcceptWord("ALL");
    }
    if (AcceptWord("TOP")) {
      // T-SQL also writes the count in parentheses: TOP (5).
      const bool parenthesised = Accept(TokenKind::LParen);
      if (!Peek().Is(TokenKind::Number)) FailSyntax();
      sel->top = Next().text;
      if (parenthesised) Expect(TokenKind::RParen);
      if (Peek().IsWord("PERCENT")) Fail("TOP ... PERCENT is not supported");
      if (Peek().IsWord("WITH")) Fail("TOP ... WITH TIES is not supported");
    }
    do {
      sel->items.push_back(ParseSelectItem());
      Grow(sel->height, *sel->items.back().expr);
    } while (Accept(TokenKind::Comma));
    if (AcceptWord("FROM")) {
      do {
        sel->from.push_back(ParseJoinChain());
        Grow(sel->height, *sel->from.back());
      } while (Accept(TokenKind::Comma));
    }
    if (AcceptWord("WHERE")) {
      sel->where = ParseExpr();
      Grow(sel->height, *sel->where);
    }
    if (AcceptWord("GROUP")) {
      ExpectWord("BY");
      do {
        sel->group_by.push_back(ParseExpr());
        Grow(sel->height, *sel->group_by.back());
      } while (Accept(TokenKind::Comma));
    }
    if (AcceptWord("HAVING")) {
      sel->having = ParseExpr();
      Grow(sel->height, *sel->having);
    }
    if (AcceptWord("ORDER")) {
      ExpectWord("BY");
      sel->order_by = ParseOrderItems();
      for (const OrderItem& item : sel->order_by) Grow(sel->height, *item.expr);
    }
    if (Peek().IsWord("UNION")) Fail("UNION queries are not supported");
    return sel;
  }

  SelectItem ParseSelectItem() {
    SelectItem item;
    item.expr = ParseExpr();
    if (AcceptWord("AS")) {
      if (Peek().Is(TokenKind::String)) {
        item.alias = Next().text;  // T-SQL allows AS 'name'
      } else {
        item.alias = ExpectName();
      }
      item.has_alias = true;
    } else if (IsName(Peek())) {
      item.alias = Next().text;
      item.has_alias = true;
    }
    return item;
  }

  std::vector<OrderItem> ParseOrderItems() {
    std::vector<OrderItem> items;
    do {
      OrderItem item;
      item.expr = ParseExpr();
      if (AcceptWord("ASC")) {
        item.direction = OrderItem::Direction::Asc;
      } else if (AcceptWord("DESC")) {
        item.direction = OrderItem::Direction::Desc;
      }
      items.push_back(std::move(item));
    } while (Accept(TokenKind::Comma));
    return items;
  }

  std::unique_ptr<TableRef> ParseJoinChain() {
    auto left = ParseTablePrimary();
    for (;;) {
      JoinType type;
      const std::size_t pos = Peek().pos;
      if (AcceptWord("INNER")) {
        type = JoinType::Inner;
      } else if (AcceptWord("LEFT")) {
        AcceptWord("OUTER");
        type = JoinType::Left;
      } else if (AcceptWord("RIGHT")) {
        AcceptWord("OUTER");
        type = JoinType::Right;
      } else if (AcceptWord("CROSS")) {
        type = JoinType::Cross;
      } else if (Peek().IsWord("JOIN")) {
        type = JoinType::Inner;
      } else if (Peek().IsWord("FULL")) {
        Fail("FULL OUTER JOIN is not supported");
      } else {
        return left;
      }
      ExpectWord("JOIN");
      auto join = std::make_unique<TableRef>();
      join->kind = TableRef::Kind::Join;
      join->pos = pos;
      join->join = type;
      join->left = std::move(left);
      join->right = ParseTablePrimary();
      if (type != JoinType::Cross) {
        if (!AcceptWord("ON")) Fail("JOIN expression not supported");
        join->on = ParseExpr();
        Grow(join->height, *join->on);
      }
      Grow(join->height, *join->left);
      Grow(join->height, *join->right);
      left = std::move(join);
    }
  }

  std::unique_ptr<TableRef> ParseTablePrimary() {
    const std::size_t pos = Peek().pos;
    if (Accept(TokenKind::LParen)) {
      if (Peek().IsWord("SELECT")) {
        auto ref = std::make_unique<TableRef>();
        ref->kind = TableRef::Kind::Derived;
        ref->pos = pos;
        ref->derived = ParseSelect();
        Grow(ref->height, *ref->derived);
        Expect(TokenKind::RParen);
        ref->alias = ParseOptionalAlias();
        return ref;
      }
      Deeper();
      auto inner = ParseJoinChain();
      Shallower();
      Expect(TokenKind::RParen);
      return inner;
    }
    auto ref = std::make_unique<TableRef>();
    ref->kind = TableRef::Kind::Table;
    ref->pos = pos;
    ref->name = ParseObjectName();
    ref->alias = ParseOptionalAlias();
    return ref;
  }

  std::string ParseOptionalAlias() {
    if (AcceptWord("AS")) return ExpectName();
    if (IsName(Peek())) return Next().text;
    return {};
  }

  // ---- INSERT / UPDATE / DELETE / calls ----------------------------------------------

  void ParseInsert(InsertStmt& ins) {
    ExpectWord("INSERT");
    AcceptWord("INTO");
    ins.table = ParseObjectName();
    if (Peek().Is(TokenKind::LParen) && !Peek(1).IsWord("SELECT")) {
      Next();
      do {
        ins.columns.push_back(ParseColumnName().second);
      } while (Accept(TokenKind::Comma));
      Expect(TokenKind::RParen);
    }
    if (AcceptWord("VALUES")) {
      do {
        Expect(TokenKind::LParen);
        std::vector<ExprPtr> row;
        do {
          row.push_back(ParseExpr());
        } while (Accept(TokenKind::Comma));
        Expect(TokenKind::RParen);
        ins.rows.push_back(std::move(row));
      } while (Accept(TokenKind::Comma));
      return;
    }
    if (Peek().IsWord("SELECT")) {
      ins.select = ParseSelect();
      return;
    }
    if (Peek().Is(TokenKind::LParen) && Peek(1).IsWord("SELECT")) {
      Next();
      ins.select = ParseSelect();
      Expect(TokenKind::RParen);
      return;
    }
    FailSyntax();
  }

  std::pair<std::string, std::string> ParseColumnName() {
    std::string first = ExpectName();
    if (Accept(TokenKind::Dot)) return {first, ExpectName()};
    return {std::string(), first};
  }

  void ParseUpdate(UpdateStmt& upd) {
    ExpectWord("UPDATE");
    upd.table = ParseObjectName();
    if (!Peek().IsWord("SET")) upd.alias = ParseOptionalAlias();
    ExpectWord("SET");
    // Both "SET a = 1, b = 2" and "SET ( a = 1, b = 2 )" are written by the pages.
    const bool parenthesised = Accept(TokenKind::LParen);
    do {
      Assignment a;
      a.pos = Peek().pos;
      auto [qualifier, column] = ParseColumnName();
      a.qualifier = std::move(qualifier);
      a.column = std::move(column);
      if (!Peek().IsOp("=")) FailSyntax();
      Next();
      a.value = ParseExpr();
      upd.assignments.push_back(std::move(a));
    } while (Accept(TokenKind::Comma));
    if (parenthesised) Expect(TokenKind::RParen);
    if (AcceptWord("WHERE")) upd.where = ParseExpr();
  }

  void ParseDelete(DeleteStmt& del) {
    ExpectWord("DELETE");
    // Jet writes "DELETE * FROM t" and "DELETE t.* FROM t".
    if (Peek().IsOp("*")) {
      Next();
    } else if (IsName(Peek()) && Peek(1).Is(TokenKind::Dot) && Peek(2).IsOp("*")) {
      Next();
      Next();
      Next();
    }
    AcceptWord("FROM");
    del.table = ParseObjectName();
    if (AcceptWord("WHERE")) del.where = ParseExpr();
  }

  void ParseCall(CallStmt& call) {
    call.procedure = ParseObjectName();
    if (Peek().Is(TokenKind::End) || Peek().Is(TokenKind::Semicolon)) return;
    do {
      call.args.push_back(ParseExpr());
    } while (Accept(TokenKind::Comma));
  }

  // ---- Expressions ------------------------------------------------------------------

  ExprPtr Make(ExprKind kind, std::size_t pos, std::string text = {}) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->pos = pos;
    e->text = std::move(text);
    return e;
  }
  ExprPtr MakeBinary(std::string op, std::size_t pos, ExprPtr a, ExprPtr b) {
    auto e = Make(ExprKind::Binary, pos, std::move(op));
    e->args.push_back(std::move(a));
    e->args.push_back(std::move(b));
    return Sealed(std::move(e));
  }

  // One level deeper in the parser's own recursion; Shallower() when it returns.
  void Deeper() {
    if (++depth_ > kMaxDepth)
      Fail("Expression too complex: nested more than " + std::to_string(kMaxDepth) + " levels deep");
  }
  void Shallower() { --depth_; }

  // A node's height is one more than its highest child's.
  void Grow(std::uint32_t& height, std::uint32_t child) {
    if (child < height) return;
    height = child + 1;
    if (height > kMaxHeight)
      Fail("Expression too complex: more than " + std::to_string(kMaxHeight) +
           " operators, calls, joins and subqueries within one another");
  }
  void Grow(std::uint32_t& height, const Expr& child) { Grow(height, child.height); }
  void Grow(std::uint32_t& height, const TableRef& child) { Grow(height, child.height); }
  void Grow(std::uint32_t& height, const Select& child) { Grow(height, child.height); }
  ExprPtr Sealed(ExprPtr e) {
    for (const ExprPtr& a : e->args) Grow(e->height, *a);
    if (e->subquery) Grow(e->height, *e->subquery);
    return e;
  }

  ExprPtr ParseExpr() {
    Deeper();
    auto e = ParseOr();
    Shallower();
    return e;
  }

  // `a OR b OR c` (and the same with AND) is one node with every operand: both operators
  // are associative, so the chain needs no nesting to keep its meaning.
  template <class Operand>
  ExprPtr ParseChain(std::string_view word, Operand operand) {
    auto first = (this->*operand)();
    if (!Peek().IsWord(word)) return first;
    auto e = Make(ExprKind::Binary, Peek().pos, Upper(word));
    Grow(e->height, *first);
    e->args.push_back(std::move(first));
    while (AcceptWord(word)) {
      e->args.push_back((this->*operand)());
      Grow(e->height, *e->args.back());
    }
    return e;
  }

  ExprPtr ParseOr() { return ParseChain("OR", &Parser::ParseAnd); }

  ExprPtr ParseAnd() { return ParseChain("AND", &Parser::ParseNot); }

  ExprPtr ParseNot() {
    if (Peek().IsWord("NOT")) {
      Deeper();
      const std::size_t pos = Next().pos;
      auto e = Make(ExprKind::Unary, pos, "NOT");
      e->args.push_back(ParseNot());
      Shallower();
      return Sealed(std::move(e));
    }
    return ParsePredicate();
  }

  ExprPtr ParsePredicate() {
    auto left = ParseConcat();
    const Token& t = Peek();
    if (t.kind == TokenKind::Operator &&
        (t.text == "=" || t.text == "<>" || t.text == "!=" || t.text == "<" || t.text == "<=" ||
         t.text == ">" || t.text == ">=")) {
      const std::string op = t.text == "!=" ? "<>" : t.text;
      const std::size_t pos = Next().pos;
      return MakeBinary(op, pos, std::move(left), ParseConcat());
    }
    const std::size_t pos = t.pos;
    bool negated = false;
    if (t.IsWord("NOT") &&
        (Peek(1).IsWord("BETWEEN") || Peek(1).IsWord("LIKE") || Peek(1).IsWord("IN"))) {
      Next();
      negated = true;
    }
    if (AcceptWord("BETWEEN")) {
      auto e = Make(ExprKind::Between, pos);
      e->negated = negated;
      e->args.push_back(std::move(left));
      e->args.push_back(ParseConcat());
      ExpectWord("AND");
      e->args.push_back(ParseConcat());
      return Sealed(std::move(e));
    }
    if (AcceptWord("LIKE")) {
      auto e = Make(ExprKind::Like, pos);
      e->negated = negated;
      e->args.push_back(std::move(left));
      e->args.push_back(ParseConcat());
      if (AcceptWord("ESCAPE")) e->args.push_back(ParseConcat());
      return Sealed(std::move(e));
    }
    if (AcceptWord("IN")) {
      Expect(TokenKind::LParen);
      if (Peek().IsWord("SELECT")) {
        auto e = Make(ExprKind::InSubquery, pos);
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->subquery = ParseSelect();
        Expect(TokenKind::RParen);
        return Sealed(std::move(e));
      }
      auto e = Make(ExprKind::InList, pos);
      e->negated = negated;
      e->args.push_back(std::move(left));
      do {
        e->args.push_back(ParseExpr());
      } while (Accept(TokenKind::Comma));
      Expect(TokenKind::RParen);
      return Sealed(std::move(e));
    }
    if (AcceptWord("IS")) {
      auto e = Make(ExprKind::IsNull, pos);
      e->negated = AcceptWord("NOT");
      ExpectWord("NULL");
      e->args.push_back(std::move(left));
      return Sealed(std::move(e));
    }
    return left;
  }

  ExprPtr ParseConcat() {
    auto left = ParseAdditive();
    while (Peek().IsOp("&") || Peek().IsOp("||")) {
      const Token& op = Next();
      left = MakeBinary(op.text, op.pos, std::move(left), ParseAdditive());
    }
    return left;
  }

  ExprPtr ParseAdditive() {
    auto left = ParseMultiplicative();
    while (Peek().IsOp("+") || Peek().IsOp("-")) {
      const Token& op = Next();
      left = MakeBinary(op.text, op.pos, std::move(left), ParseMultiplicative());
    }
    return left;
  }

  ExprPtr ParseMultiplicative() {
    auto left = ParseUnary();
    while (Peek().IsOp("*") || Peek().IsOp("/") || Peek().IsOp("%")) {
      const Token& op = Next();
      left = MakeBinary(op.text, op.pos, std::move(left), ParseUnary());
    }
    return left;
  }

  ExprPtr ParseUnary() {
    if (Peek().IsOp("-") || Peek().IsOp("+")) {
      Deeper();
      const Token& op = Next();
      auto e = Make(ExprKind::Unary, op.pos, op.text);
      e->args.push_back(ParseUnary());
      Shallower();
      return Sealed(std::move(e));
    }
    return ParsePrimary();
  }

  ExprPtr ParsePrimary() {
    const Token& t = Peek();
    const std::size_t pos = t.pos;
    switch (t.kind) {
      case TokenKind::Number: return MakeLiteral(ExprKind::Number);
      case TokenKind::String: return MakeLiteral(ExprKind::String);
      case TokenKind::Date:
        // Kept as written until the analyzer converts it with the runtime's date rules.
        return MakeLiteral(ExprKind::Date);
      case TokenKind::LParen: {
        Next();
        if (Peek().IsWord("SELECT")) {
          auto e = Make(ExprKind::Subquery, pos);
          e->subquery = ParseSelect();
          Expect(TokenKind::RParen);
          return Sealed(std::move(e));
        }
        auto e = ParseExpr();
        Expect(TokenKind::RParen);
        return e;
      }
      case TokenKind::Operator:
        if (t.text == "*") {
          Next();
          return Make(ExprKind::Star, pos);
        }
        FailSyntax();
      case TokenKind::Identifier:
        if (t.IsWord("NULL")) {
          Next();
          return Make(ExprKind::Null, pos);
        }
        if (t.IsWord("EXISTS")) {
          Next();
          Expect(TokenKind::LParen);
          auto e = Make(ExprKind::Exists, pos);
          e->subquery = ParseSelect();
          Expect(TokenKind::RParen);
          return Sealed(std::move(e));
        }
        if (t.IsWord("CASE")) return ParseCase();
        if ((t.IsWord("CAST") || t.IsWord("CONVERT")) && Peek(1).Is(TokenKind::LParen)) return ParseConversion();
        // LEFT and RIGHT are join words but also the text functions left() and right().
        if ((t.IsWord("LEFT") || t.IsWord("RIGHT")) && Peek(1).Is(TokenKind::LParen))
          return ParseFunction();
        if (IsReserved(t)) FailSyntax();
        return ParseNameOrCall();
      case TokenKind::QuotedIdentifier: return ParseNameOrCall();
      default: FailSyntax();
    }
  }

  ExprPtr MakeLiteral(ExprKind kind) {
    const int literal = literal_of_[pos_];
    const Token& t = Next();
    auto e = Make(kind, t.pos, t.text);
    e->literal = literal;
    return e;
  }

  ExprPtr ParseFunction() {
    const Token& name = Next();
    auto e = Make(ExprKind::Function, name.pos, name.text);
    Expect(TokenKind::LParen);
    if (Accept(TokenKind::RParen)) return e;
    if (AcceptWord("DISTINCT")) e->distinct = true;
    do {
      e->args.push_back(ParseExpr());
    } while (Accept(TokenKind::Comma));
    Expect(TokenKind::RParen);
    return Sealed(std::move(e));
  }

  ExprPtr ParseNameOrCall() {
    if (Peek().Is(TokenKind::Identifier) && Peek(1).Is(TokenKind::LParen)) return ParseFunction();
    const std::size_t pos = Peek().pos;
    std::vector<const Token*> parts{&Next()};
    while (Peek().Is(TokenKind::Dot)) {
      Next();
      if (Peek().IsOp("*")) {
        Next();
        auto e = Make(ExprKind::Star, pos);
        e->qualifier = parts.back()->text;
        return e;
      }
      if (!IsName(Peek())) FailSyntax();
      parts.push_back(&Next());
    }
    auto e = Make(ExprKind::Column, pos, parts.back()->text);
    e->bracketed = parts.back()->kind == TokenKind::QuotedIdentifier;
    if (parts.size() >= 2) e->qualifier = parts[parts.size() - 2]->text;
    return e;
  }

  // CAST(x AS type) and CONVERT(type, x[, style]) become the function CAST or CONVERT with
  // the type's name as a text first argument: CAST(type, x), CONVERT(type, x[, style]).
  ExprPtr ParseConversion() {
    const Token& name = Next();
    const bool cast = name.IsWord("CAST");
    auto e = Make(ExprKind::Function, name.pos, Upper(name.text));
    Expect(TokenKind::LParen);
    ExprPtr value;
    if (cast) {
      value = ParseExpr();
      ExpectWord("AS");
    }
    e->args.push_back(ParseTypeName());
    if (cast) {
      e->args.push_back(std::move(value));
    } else {
      Expect(TokenKind::Comma);
      e->args.push_back(ParseExpr());
      if (Accept(TokenKind::Comma)) e->args.push_back(ParseExpr());
    }
    Expect(TokenKind::RParen);
    return Sealed(std::move(e));
  }

  // A type name as CAST and CONVERT write it: a word and an optional (length[, scale]),
  // read as lower-case text, "varchar(10)".
  ExprPtr ParseTypeName() {
    const std::size_t pos = Peek().pos;
    if (!Peek().Is(TokenKind::Identifier)) FailSyntax();
    std::string type = Next().text;
    for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (Accept(TokenKind::LParen)) {
      type += '(';
      do {
        if (Peek().IsWord("MAX")) {
          Next();
          type += "max";
        } else if (Peek().Is(TokenKind::Number)) {
          type += Next().text;
        } else {
          FailSyntax();
        }
        if (Peek().Is(TokenKind::Comma)) type += ',';
      } while (Accept(TokenKind::Comma));
      Expect(TokenKind::RParen);
      type += ')';
    }
    return Make(ExprKind::String, pos, std::move(type));
  }

  ExprPtr ParseCase() {
    auto e = Make(ExprKind::Case, Next().pos);
    if (!Peek().IsWord("WHEN")) {
      e->case_operand = true;
      e->args.push_back(ParseExpr());
    }
    if (!Peek().IsWord("WHEN")) FailSyntax();
    while (AcceptWord("WHEN")) {
      e->args.push_back(ParseExpr());
      ExpectWord("THEN");
      e->args.push_back(ParseExpr());
    }
    if (AcceptWord("ELSE")) {
      e->case_else = true;
      e->args.push_back(ParseExpr());
    }
    ExpectWord("END");
    return Sealed(std::move(e));
  }

  static constexpr int kMaxDepth = 100;
  static constexpr std::uint32_t kMaxHeight = 256;
  std::vector<Token> tokens_;
  std::vector<int> literal_of_;  // per token: its ordinal among the literals, or -1
  std::size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace

Statement Parse(std::string_view text, Dialect dialect) { return Parser(text, dialect).ParseStatement(); }

std::vector<OrderItem> ParseOrderList(std::string_view text) {
  return Parser(text).ParseOrderListOnly();
}

}  // namespace ksmain::sql
