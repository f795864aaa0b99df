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

TokenSpan ScanToken(std::string_view text, std::size_t& i, Dialect dialect) {
  const bool jet = dialect == Dialect::Jet;
  const std::size_t n = text.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t start = i;
    auto span = [&](TokenKind kind, std::size_t length) {
      i = start + length;
      return TokenSpan{kind, start, i};
    };
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (!jet && c == '-' && i + 1 < n && text[i + 1] == '-') {
      while (i < n && text[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && text[i + 1] == '*') {
      const std::size_t close = text.find("*/", i + 2);
      if (close == std::string_view::npos) throw SqlError("Unterminated comment", start + 1);
      i = close + 2;
      continue;
    }
    // T-SQL's N'text' is a text like any other; the engine's texts are all Unicode.
    const bool national = !jet && (c == 'N' || c == 'n') && i + 1 < n && text[i + 1] == '\'';
    if (c == '\'' || c == '"' || national) {
      // Texts and double-quoted names both double their delimiter to contain it.
      const char quote = national ? '\'' : static_cast<char>(c);
      const bool is_text = quote == '\'' || jet;
      std::size_t j = i + 1 + (national ? 1 : 0);
      for (;;) {
        const std::size_t close = text.find(quote, j);
        if (close == std::string_view::npos) {
          throw SqlError(is_text ? "Unterminated string" : "Unterminated quoted name", start + 1);
        }
        if (close + 1 < n && text[close + 1] == quote) {
          j = close + 2;
          continue;
        }
        return span(is_text ? TokenKind::String : TokenKind::QuotedIdentifier, close + 1 - start);
      }
    }
    if (c == '[') {
      const std::size_t close = text.find(']', i + 1);
      if (close == std::string_view::npos) throw SqlError("Unterminated bracketed name", start + 1);
      return span(TokenKind::QuotedIdentifier, close + 1 - start);
    }
    if (c == '#') {
      const std::size_t close = text.find('#', i + 1);
      if (close == std::string_view::npos) throw SqlError("Unterminated date literal", start + 1);
      return span(TokenKind::Date, close + 1 - start);
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
      return TokenSpan{TokenKind::Number, start, i};
    }
    if (IsWordStart(c)) {
      while (i < n && IsWordChar(static_cast<unsigned char>(text[i]))) ++i;
      return TokenSpan{TokenKind::Identifier, start, i};
    }
    auto two = [&](std::string_view op) { return text.substr(i, 2) == op; };
    if (two("<>") || two("!=") || two("<=") || two(">=") || two("||")) return span(TokenKind::Operator, 2);
    switch (c) {
      case '=': case '<': case '>': case '+': case '-': case '*': case '/': case '&': case '%':
        return span(TokenKind::Operator, 1);
      case ',': return span(TokenKind::Comma, 1);
      case '(': return span(TokenKind::LParen, 1);
      case ')': return span(TokenKind::RParen, 1);
      case '.': return span(TokenKind::Dot, 1);
      case ';': return span(TokenKind::Semicolon, 1);
      default:
        throw SqlError("Unexpected character '" + std::string(1, static_cast<char>(c)) + "'",
                       start + 1);
    }
  }
  return TokenSpan{TokenKind::End, n, n};
}

std::string TokenValue(std::string_view text, const TokenSpan& token) {
  const std::string_view raw = text.substr(token.begin, token.end - token.begin);
  switch (token.kind) {
    case TokenKind::String:
    case TokenKind::QuotedIdentifier:
    case TokenKind::Date: {
      const std::string_view inner = raw.substr(1, raw.size() - 2);
      if (raw[0] == '[' || raw[0] == '#') return std::string(inner);
      if (raw[0] == 'N' || raw[0] == 'n') return TokenValue(text, {token.kind, token.begin + 1, token.end});
      const char quote = raw[0];
      std::string value;
      value.reserve(inner.size());
      for (std::size_t k = 0; k < inner.size(); ++k) {
        value += inner[k];
        if (inner[k] == quote) ++k;  // the second of a doubled delimiter
      }
      return value;
    }
    default: return std::string(raw);
  }
}

std::vector<Token> Lex(std::string_view text, Dialect dialect) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  for (;;) {
    const TokenSpan span = ScanToken(text, i, dialect);
    if (span.kind == TokenKind::End) break;
    tokens.push_back(Token{span.kind, TokenValue(text, span), span.begin + 1});
  }
  tokens.push_back(Token{TokenKind::End, "", text.size() + 1});
  return tokens;
}

}  // namespace ksmain::sql
