// Checks on page values before they are joined into SQL text.
//
// The checks reuse the statement lexer and parser, so "what counts as one number", "what
// counts as an order list" and "where a statement ends" mean the same here as when the
// statement itself is read.
#include "sql/safety.h"

#include "frame/vb_runtime.h"
#include "sql/ast.h"
#include "sql/lexer.h"
#include "sql/translate.h"

namespace ksmain::sql {
namespace {

bool IsPlainName(const Expr& e) { return e.kind == ExprKind::Column; }

// An order term may be a name or a call whose arguments are names or calls of names
// ("cdate(EstDateCompleted)"), nothing that could reach another table.
bool IsOrderTerm(const Expr& e) {
  if (IsPlainName(e)) return true;
  if (e.kind != ExprKind::Function || e.distinct) return false;
  for (const ExprPtr& a : e.args) {
    if (!IsOrderTerm(*a)) return false;
  }
  return true;
}

}  // namespace

std::string Quoted(const Variant& value) {
  const std::string text = vb::ConcatText(value);
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out;
}

std::string Bare(const Variant& value) {
  std::string text = vb::ConcatText(value);
  // A key as members join it (digits, perhaps a minus) is one number whatever the lexer
  // makes of the rest; such a text is let through without lexing it, once per row.
  const std::size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
  if (text.size() > sign && text.find_first_not_of("0123456789", sign) == std::string::npos) {
    return text;
  }
  std::vector<Token> tokens;
  try {
    tokens = Lex(text);
  } catch (const SqlError&) {
    throw SqlError("Syntax error in number '" + text + "'", 1);
  }
  std::size_t i = 0;
  if (tokens[i].IsOp("-") || tokens[i].IsOp("+")) ++i;
  // The lexer drops comments; a number never has one.
  const bool ok = tokens[i].Is(TokenKind::Number) && tokens[i + 1].Is(TokenKind::End) &&
                  text.find("--") == std::string::npos && text.find("/*") == std::string::npos;
  if (!ok) throw SqlError("Syntax error in number '" + text + "'", 1);
  return text;
}

std::string OrderList(const Variant& value) {
  const std::string text = vb::ConcatText(value);
  if (text.find("--") != std::string::npos || text.find("/*") != std::string::npos)
    throw SqlError("Syntax error in ORDER BY clause", 1);
  for (const OrderItem& item : ParseOrderList(text)) {
    if (!IsOrderTerm(*item.expr)) throw SqlError("Syntax error in ORDER BY clause", item.expr->pos);
  }
  return text;
}

void RequireSingleStatement(std::string_view text) {
  const std::vector<Token> tokens = Lex(text);
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (tokens[i].Is(TokenKind::Semicolon) && !tokens[i + 1].Is(TokenKind::End))
      throw SqlError("Characters found after end of SQL statement", tokens[i + 1].pos);
  }
}

}  // namespace ksmain::sql
