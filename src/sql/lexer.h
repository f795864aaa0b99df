// Tokens of the SQL both source dialects write.
//
// One lexer serves Jet and T-SQL text: quoted texts with doubled quotes, [bracketed] names,
// #date# literals, numbers, the operators and punctuation both dialects use, and comments.
// Two spellings differ by dialect: Jet reads "text" as a text literal and has no `--`
// comments (`30--7` is 30 minus -7); T-SQL reads "name" as a quoted name, `--` starts a
// comment to the end of the line, and N'text' is a text literal. Keywords are ordinary identifiers here; the parser compares
// them without regard to case, so a bracketed or quoted name is never taken for a keyword.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sql/translate.h"

namespace ksmain::sql {

enum class TokenKind {
  End,
  Identifier,        // plain word: a name or a keyword
  QuotedIdentifier,  // [name] or "name"; text holds the name without delimiters
  String,            // 'text'; text holds the value, doubled quotes undone
  Number,            // 12, 1.5, .5, 1E+20
  Date,              // #12/6/2026#; text holds what stands between the hashes
  Operator,          // = <> != < <= > >= + - * / & % ||
  Comma,
  LParen,
  RParen,
  Dot,
  Semicolon,
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;
  std::size_t pos = 0;  // 1-based offset of the token's first character

  bool Is(TokenKind k) const { return kind == k; }
  bool IsOp(std::string_view op) const { return kind == TokenKind::Operator && text == op; }
  // A plain word equal to `word` without regard to case (`word` given in upper case).
  bool IsWord(std::string_view word) const;
};

// Where one token stands in the text: [begin, end), 0-based, delimiters included.
struct TokenSpan {
  TokenKind kind = TokenKind::End;
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Reads the next token at or after `i` and moves `i` past it; End at the end of the text.
// The one tokenizer behind Lex() and the literal scan of the translation cache, so both
// always agree on where each literal stands. Raises SqlError as Lex() does.
TokenSpan ScanToken(std::string_view text, std::size_t& i, Dialect dialect = Dialect::TSql);

// The token's text as Lex() gives it: delimiters dropped and doubled quotes undone.
std::string TokenValue(std::string_view text, const TokenSpan& token);

// Splits a statement into tokens, ending with one End token. Raises SqlError with the
// 1-based position of an unterminated quote, bracket, date or comment, or of a character
// that belongs to no token.
std::vector<Token> Lex(std::string_view text, Dialect dialect = Dialect::TSql);

// ASCII upper-casing for keyword and name comparison; names are ASCII in both schemas.
std::string Upper(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace ksmain::sql
