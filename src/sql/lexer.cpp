// Tokenizer for the union of the Jet and T-SQL syntax the pages send.
#include "sql/lexer.h"

#include <cctype>

#include "sql/translate.h"

namespace ksmain::sql {
namespace {

bool IsWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == '@' || c >= 0x80; }
bool IsWordChar(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '@' || c == '$' || c >= 0x80;
}

}  // namespace

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool Token::IsWord(std::string_view word) const {
  return kind == TokenKind::Identifier && EqualsNoCase(text, word);
}

std::vector<Token> Lex(std::string_view text) {
  std::vector<Token> tokens;
  const std::size_t n = text.size();
  std::size_t i = 0;
  auto add = [&](TokenKind kind, std::string value, std::size_t start) {
    tokens.push_back(Token{kind, std::move(value), start + 1});
  };
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t start = i;
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < n && text[i + 1] == '-') {
      while (i < n && text[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && text[i + 1] == '*') {
      const std::size_t close = text.find("*/", i + 2);
      if (close == std::string_view::npos) throw SqlError("Unterminated comment", start + 1);
      i = close + 2;
      continue;
    }
    if (c == '\'' || c == '"') {
      // Texts and double-quoted names both double their delimiter to contain it.
      const char quote = static_cast<char>(c);
      std::string value;
      ++i;
      for (;;) {
        if (i >= n) {
          throw SqlError(quote == '\'' ? "Unterminated string" : "Unterminated quoted name",
                         start + 1);
        }
        if (text[i] == quote) {
          if (i + 1 < n && text[i + 1] == quote) {
            value += quote;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        value += text[i++];
      }
      add(quote == '\'' ? TokenKind::String : TokenKind::QuotedIdentifier, std::move(value), start);
      continue;
    }
    if (c == '[') {
      const std::size_t close = text.find(']', i + 1);
      if (close == std::string_view::npos) throw SqlError("Unterminated bracketed name", start + 1);
      add(TokenKind::QuotedIdentifier, std::string(text.substr(i + 1, close - i - 1)), start);
      i = close + 1;
      continue;
    }
    if (c == '#') {
      const std::size_t close = text.find('#', i + 1);
      if (close == std::string_view::npos) throw SqlError("Unterminated date literal", start + 1);
      add(TokenKind::Date, std::string(text.substr(i + 1, close - i - 1)), start);
      i = close + 1;
      continue;
    }
    if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
      while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      if (i < n && text[i] == '.') {
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      }
      if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) {
          i = j;
          while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        }
      }
      // "12abc" is no number and no name in either dialect.
      if (i < n && IsWordStart(static_cast<unsigned char>(text[i])))
        throw SqlError("Malformed number", start + 1);
      add(TokenKind::Number, std::string(text.substr(start, i - start)), start);
      continue;
    }
    if (IsWordStart(c)) {
      while (i < n && IsWordChar(static_cast<unsigned char>(text[i]))) ++i;
      add(TokenKind::Identifier, std::string(text.substr(start, i - start)), start);
      continue;
    }
    auto two = [&](std::string_view op) { return text.substr(i, 2) == op; };
    if (two("<>") || two("!=") || two("<=") || two(">=") || two("||")) {
      add(TokenKind::Operator, std::string(text.substr(i, 2)), start);
      i += 2;
      continue;
    }
    switch (c) {
      case '=': case '<': case '>': case '+': case '-': case '*': case '/': case '&': case '%':
        add(TokenKind::Operator, std::string(1, static_cast<char>(c)), start);
        ++i;
        continue;
      case ',': add(TokenKind::Comma, ",", start); ++i; continue;
      case '(': add(TokenKind::LParen, "(", start); ++i; continue;
      case ')': add(TokenKind::RParen, ")", start); ++i; continue;
      case '.': add(TokenKind::Dot, ".", start); ++i; continue;
      case ';': add(TokenKind::Semicolon, ";", start); ++i; continue;
      default:
        throw SqlError("Unexpected character '" + std::string(1, static_cast<char>(c)) + "'",
                       start + 1);
    }
  }
  tokens.push_back(Token{TokenKind::End, "", n + 1});
  return tokens;
}

}  // namespace ksmain::sql
