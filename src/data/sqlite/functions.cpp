// The ks_* functions of translated statements, implemented with the runtime's rules.
//
// Dates inside the engine are canonical ISO text (sql/engine_functions.h); these
// functions read values with the same CDate and number rules the members use, so a date
// typed on a page, stored by a member and compared inside a statement are read alike. A
// value that does not convert fails the statement with the message the source engines
// gave for it.
#include "data/sqlite/functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/vb_runtime.h"
#include "sql/engine_functions.h"

namespace ksmain::data::sqlite {
namespace {

constexpr const char* kMismatch = "Data type mismatch in criteria expression.";

std::string TextOf(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string();
}

// The serial of a value read as CDate reads it; nullopt when it is no date.
std::optional<double> SerialOf(sqlite3_value* v) {
  try {
    switch (sqlite3_value_type(v)) {
      case SQLITE_INTEGER:
      case SQLITE_FLOAT: {
        const double serial = sqlite3_value_double(v);
        vb::ToIso(serial);  // rejects serials outside the calendar
        return serial;
      }
      default: {
        const std::string text = TextOf(v);
        if (auto iso = vb::ParseIso(text)) return iso;
        return vb::ParseDate(text);
      }
    }
  } catch (const VbError&) {
    return std::nullopt;
  }
}

void ResultIso(sqlite3_context* ctx, double serial, bool date_only) {
  // The clock functions give the same instant to every statement run within one second
  // (a member's sibling call per row each runs one): its text is printed once and kept.
  struct Printed {
    double serial = 0;
    bool date_only = false;
    bool known = false;
    std::string iso;
  };
  thread_local Printed last;
  if (!last.known || last.date_only != date_only ||
      std::memcmp(&last.serial, &serial, sizeof serial) != 0) {
    std::string iso;
    try {
      iso = vb::ToIso(serial);
    } catch (const VbError&) {
      sqlite3_result_error(ctx, kMismatch, -1);
      return;
    }
    if (date_only && iso.size() > 10) iso.resize(10);
    last.known = false;
    last.iso = std::move(iso);
    last.serial = serial;
    last.date_only = date_only;
    last.known = true;
  }
  sqlite3_result_text(ctx, last.iso.c_str(), static_cast<int>(last.iso.size()), SQLITE_TRANSIENT);
}

// The value's text when it already is a date in the canonical form, which is what every
// DATETIME column holds: the conversion would give the same text back, so the functions
// of a statement that scans a date column per row return it as it is, without reading it
// into a serial and printing it again.
std::optional<std::string_view> CanonicalDateText(sqlite3_value* v) {
  if (sqlite3_value_type(v) != SQLITE_TEXT) return std::nullopt;
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  if (p == nullptr) return std::nullopt;
  const std::string_view text(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
  if (text.size() == 19) {
    // Midnight is written without its time.
    if (text[10] != ' ' || text.substr(11) == "00:00:00") return std::nullopt;
  } else if (text.size() != 10) {
    return std::nullopt;
  }
  if (!vb::ParseIso(text)) return std::nullopt;
  return text;
}

void CDateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (CanonicalDateText(argv[0])) return sqlite3_result_value(ctx, argv[0]);
  const auto serial = SerialOf(argv[0]);
  if (!serial) return sqlite3_result_error(ctx, kMismatch, -1);
  ResultIso(ctx, *serial, false);
}

void DateValueFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (const auto text = CanonicalDateText(argv[0])) {
    return sqlite3_result_text(ctx, text->data(), 10, SQLITE_TRANSIENT);
  }
  const auto serial = SerialOf(argv[0]);
  if (!serial) return sqlite3_result_error(ctx, kMismatch, -1);
  ResultIso(ctx, *serial, true);
}

void ToDateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (type == SQLITE_TEXT && sqlite3_value_bytes(argv[0]) == 0) return sqlite3_result_null(ctx);
  const auto serial = SerialOf(argv[0]);
  if (!serial) return sqlite3_result_error(ctx, kMismatch, -1);
  ResultIso(ctx, *serial, false);
}

// ks_tonumber (EmptyIsZero false): "" is no number, NULL. ks_asnumber (true): text that
// is empty or blank stands for 0, as the server converts it.
template <bool EmptyIsZero>
void ToNumberFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (type != SQLITE_TEXT && type != SQLITE_BLOB) return sqlite3_result_value(ctx, argv[0]);
  const std::string text = TextOf(argv[0]);
  if (EmptyIsZero && text.find_first_not_of(' ') == std::string::npos) return sqlite3_result_int(ctx, 0);
  if (text.empty()) return sqlite3_result_null(ctx);
  std::optional<double> number;
  try {
    number = vb::ParseNumber(text);
  } catch (const VbError&) {
    number.reset();
  }
  if (!number || !std::isfinite(*number)) return sqlite3_result_error(ctx, kMismatch, -1);
  if (std::trunc(*number) == *number && std::fabs(*number) < 9.2e18) {
    return sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(*number));
  }
  sqlite3_result_double(ctx, *number);
}

void NowFn(sqlite3_context* ctx, int, sqlite3_value**) { ResultIso(ctx, vb::Now(), false); }
void TodayFn(sqlite3_context* ctx, int, sqlite3_value**) { ResultIso(ctx, vb::Today(), true); }

template <int Part>
void DatePartFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const auto serial = SerialOf(argv[0]);
  if (!serial) return sqlite3_result_error(ctx, kMismatch, -1);
  const vb::DateParts p = vb::SplitDate(*serial);
  sqlite3_result_int(ctx, Part == 0 ? p.year : Part == 1 ? p.month : p.day);
}

// A number as the source engines read an operand of "+": integers stay exact.
struct Number {
  bool integral = false;
  sqlite3_int64 i = 0;
  double d = 0;
};

std::optional<Number> NumberOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return Number{true, sqlite3_value_int64(v), 0};
    case SQLITE_FLOAT: return Number{false, 0, sqlite3_value_double(v)};
    default: {
      const auto d = vb::ParseNumber(TextOf(v));
      if (!d) return std::nullopt;
      if (std::nearbyint(*d) == *d && std::fabs(*d) < 9.0e15)
        return Number{true, static_cast<sqlite3_int64>(*d), 0};
      return Number{false, 0, *d};
    }
  }
}

void AddFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int ta = sqlite3_value_type(argv[0]);
  const int tb = sqlite3_value_type(argv[1]);
  if (ta == SQLITE_NULL || tb == SQLITE_NULL) return sqlite3_result_null(ctx);
  const auto is_text = [](int t) { return t == SQLITE_TEXT || t == SQLITE_BLOB; };
  if (is_text(ta) && is_text(tb)) {
    const std::string joined = TextOf(argv[0]) + TextOf(argv[1]);
    return sqlite3_result_text(ctx, joined.c_str(), static_cast<int>(joined.size()), SQLITE_TRANSIENT);
  }
  const auto a = NumberOf(argv[0]);
  const auto b = NumberOf(argv[1]);
  if (!a || !b) return sqlite3_result_error(ctx, kMismatch, -1);
  // Two numbers add in their own kind; a text read as a number makes the sum a Double,
  // as the runtime's "+" of a String and a number is.
  if (a->integral && b->integral && !is_text(ta) && !is_text(tb)) {
    sqlite3_int64 sum = 0;
    if (!__builtin_add_overflow(a->i, b->i, &sum)) return sqlite3_result_int64(ctx, sum);
  }
  const double x = a->integral ? static_cast<double>(a->i) : a->d;
  const double y = b->integral ? static_cast<double>(b->i) : b->d;
  sqlite3_result_double(ctx, x + y);
}

std::string ConcatPiece(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return std::to_string(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return vb::DoubleText(sqlite3_value_double(v));
    default: return TextOf(v);
  }
}

void ConcatFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::string out;
  for (int i = 0; i < argc; ++i) out += ConcatPiece(argv[i]);
  sqlite3_result_text(ctx, out.c_str(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void RightFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_error(ctx, "Invalid use of Null", -1);
  const sqlite3_int64 n = sqlite3_value_int64(argv[1]);
  if (n < 0) return sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
  const std::string s = ConcatPiece(argv[0]);
  // Count characters, not bytes: step back over UTF-8 continuation bytes.
  std::size_t start = s.size();
  for (sqlite3_int64 taken = 0; taken < n && start > 0; ++taken) {
    do {
      --start;
    } while (start > 0 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80);
  }
  sqlite3_result_text(ctx, s.c_str() + start, static_cast<int>(s.size() - start), SQLITE_TRANSIENT);
}


// ---- values as the runtime sees them ------------------------------------------------

// A value as a Variant of the kind the analysis gave it (sql/engine_functions.h letters):
// dates are ISO text inside the engine and become Date variants again here, so CStr,
// Format and the conversions print and read them as the members do.
Variant VariantOf(sqlite3_value* v, char kind) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return Variant::Null();
    case SQLITE_INTEGER: {
      const sqlite3_int64 i = sqlite3_value_int64(v);
      if (kind == 'B') return Variant(i != 0);
      if (i >= INT32_MIN && i <= INT32_MAX) return Variant(static_cast<std::int32_t>(i));
      return Variant(static_cast<double>(i));
    }
    case SQLITE_FLOAT:
      if (kind == 'B') return Variant(sqlite3_value_double(v) != 0.0);
      return Variant(sqlite3_value_double(v));
    default: {
      std::string text = TextOf(v);
      if (kind == 'D') {
        if (auto serial = vb::ParseIso(text)) return Variant::FromDate(*serial);
      }
      return Variant(std::move(text));
    }
  }
}

void ResultVariant(sqlite3_context* ctx, const Variant& v) {
  switch (v.kind()) {
    case VarKind::Empty:
    case VarKind::Null: return sqlite3_result_null(ctx);
    case VarKind::Integer: return sqlite3_result_int(ctx, v.AsInteger());
    case VarKind::Long: return sqlite3_result_int(ctx, v.AsLong());
    case VarKind::Double: return sqlite3_result_double(ctx, v.AsDouble());
    case VarKind::Currency: return sqlite3_result_double(ctx, static_cast<double>(v.AsCurrency()) / 10000.0);
    case VarKind::Boolean: return sqlite3_result_int(ctx, v.AsBoolean() ? -1 : 0);
    case VarKind::Date: return ResultIso(ctx, v.AsDate(), false);
    case VarKind::String:
      return sqlite3_result_text(ctx, v.AsString().c_str(), static_cast<int>(v.AsString().size()),
                                 SQLITE_TRANSIENT);
    case VarKind::Array: return sqlite3_result_error(ctx, "Type mismatch", -1);
  }
}

char KindOf(sqlite3_value* v) {
  const std::string k = TextOf(v);
  return k.empty() ? 'U' : k[0];
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// Runs a function body that converts with the runtime; its errors fail the statement
// with the runtime's message.
template <class Body>
void Guarded(sqlite3_context* ctx, Body body) {
  try {
    body();
  } catch (const VbError& e) {
    sqlite3_result_error(ctx, e.description().c_str(), -1);
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  }
}

[[noreturn]] void InvalidArgument() { throw VbError(5, "Invalid procedure call or argument"); }

// ---- text ---------------------------------------------------------------------------

// Characters of UTF-8 text: the byte offset where each one starts.
std::vector<std::size_t> CharStarts(const std::string& s) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  return starts;
}

std::size_t CharIndexOf(const std::vector<std::size_t>& starts, std::size_t byte) {
  return static_cast<std::size_t>(std::lower_bound(starts.begin(), starts.end(), byte) - starts.begin());
}

// LIKE as both source engines read it through their providers: "%" any run, "_" one
// character, "[...]" a class ("[!...]" negated in Jet, "[^...]" in T-SQL) or an escape of
// one character ("[%]", "[[]"), compared without regard to case. Jet's "*", "?" and "#" are
// wildcards only in its interactive mode; the pages' statements reach it through the
// provider, where they are plain characters, so a page value holding them finds itself.
class LikeMatcher {
 public:
  LikeMatcher(std::string pattern, bool jet, int escape)
      : pattern_(vb::UCase(pattern)), jet_(jet), escape_(escape),
        any_(pattern_.find_first_not_of('%') == std::string::npos && !pattern_.empty()) {}

  bool Matches(const std::string& text) const { return any_ || Match(vb::UCase(text), 0, 0, 0); }

 private:
  static std::size_t CharLength(const std::string& s, std::size_t i) {
    std::size_t n = 1;
    while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
    return n;
  }

  // Does the class starting at pattern_[p] ('[') hold text's character c? Sets `end` past ']'.
  bool InClass(std::size_t p, std::string_view c, std::size_t& end) const {
    std::size_t i = p + 1;
    bool negate = false;
    if (i < pattern_.size() && (pattern_[i] == '^' || (jet_ && pattern_[i] == '!')) && i + 1 < pattern_.size() &&
        pattern_[i + 1] != ']') {
      negate = true;
      ++i;
    }
    bool found = false;
    bool first = true;
    while (i < pattern_.size() && (pattern_[i] != ']' || first)) {
      first = false;
      const std::size_t len = CharLength(pattern_, i);
      std::string_view low(pattern_.data() + i, len);
      i += len;
      if (i + 1 < pattern_.size() && pattern_[i] == '-' && pattern_[i + 1] != ']') {
        const std::size_t hlen = CharLength(pattern_, i + 1);
        std::string_view high(pattern_.data() + i + 1, hlen);
        i += 1 + hlen;
        if (c >= low && c <= high) found = true;
      } else if (c == low) {
        found = true;
      }
    }
    if (i >= pattern_.size()) throw VbError(93, "Invalid pattern string");
    end = i + 1;
    return found != negate;
  }

  // Iterative matching with one backtrack point per "any run": linear in practice and
  // never deeper than one frame, whatever the pattern.
  bool Match(const std::string& s, std::size_t p, std::size_t i, int) const {
    std::size_t star_p = std::string::npos, star_i = 0;
    for (;;) {
      if (p < pattern_.size() && pattern_[p] == '%') {
        star_p = ++p;
        star_i = i;
        continue;
      }
      if (p == pattern_.size() && i == s.size()) return true;
      bool step = false;
      std::size_t next_p = p;
      if (p < pattern_.size() && i < s.size()) {
        const std::size_t clen = CharLength(s, i);
        const std::string_view c(s.data() + i, clen);
        const char pc = pattern_[p];
        if (escape_ >= 0 && static_cast<unsigned char>(pc) == escape_ && p + 1 < pattern_.size()) {
          const std::size_t plen = CharLength(pattern_, p + 1);
          step = std::string_view(pattern_.data() + p + 1, plen) == c;
          next_p = p + 1 + plen;
        } else if (pc == '_') {
          step = true;
          next_p = p + 1;
        } else if (pc == '[') {
          step = InClass(p, c, next_p);
        } else {
          const std::size_t plen = CharLength(pattern_, p);
          step = std::string_view(pattern_.data() + p, plen) == c;
          next_p = p + plen;
        }
        if (step) {
          p = next_p;
          i += clen;
          continue;
        }
      }
      if (star_p == std::string::npos || star_i >= s.size()) {
        // A pattern that cannot match still has its classes checked for form.
        return false;
      }
      star_i += CharLength(s, star_i);
      i = star_i;
      p = star_p;
    }
  }

  std::string pattern_;
  bool jet_;
  int escape_;
  // Only "%" signs: every text matches. The pages send "%" for every filter left empty,
  // so most rows of a filtered list take this path.
  bool any_;
};

void LikeFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  Guarded(ctx, [&] {
    int escape = -1;
    if (argc > 3 && sqlite3_value_type(argv[3]) != SQLITE_NULL) {
      const std::string e = TextOf(argv[3]);
      if (e.size() != 1) throw VbError(5, "The escape of LIKE must be one character");
      escape = static_cast<unsigned char>(e[0]);
    }
    // The pattern is the same for every row of a statement: read it once and keep the
    // matcher with the statement while the pattern's value stays.
    // The engine may free what it keeps at any time, even inside set_auxdata, so a new
    // matcher is used first and handed over last.
    if (const auto* kept = static_cast<const LikeMatcher*>(sqlite3_get_auxdata(ctx, 1))) {
      return sqlite3_result_int(ctx, kept->Matches(ConcatPiece(argv[0])) ? 1 : 0);
    }
    auto made = std::make_unique<LikeMatcher>(ConcatPiece(argv[1]), KindOf(argv[2]) == 'J', escape);
    sqlite3_result_int(ctx, made->Matches(ConcatPiece(argv[0])) ? 1 : 0);
    sqlite3_set_auxdata(ctx, 1, made.release(), [](void* m) { delete static_cast<LikeMatcher*>(m); });
  });
}

// InStr(start, s, find, compare): the runtime's rules, positions in characters.
void InStrFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int i = 1; i < 3; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  Guarded(ctx, [&] {
    const sqlite3_int64 start = sqlite3_value_int64(argv[0]);
    if (start < 1) InvalidArgument();
    const bool text = sqlite3_value_int64(argv[3]) != 0;
    const std::string s = text ? vb::UCase(ConcatPiece(argv[1])) : ConcatPiece(argv[1]);
    const std::string f = text ? vb::UCase(ConcatPiece(argv[2])) : ConcatPiece(argv[2]);
    const auto starts = CharStarts(s);
    if (static_cast<std::size_t>(start) > starts.size()) return sqlite3_result_int(ctx, 0);
    if (f.empty()) return sqlite3_result_int64(ctx, start);
    const std::size_t at = s.find(f, starts[static_cast<std::size_t>(start) - 1]);
    sqlite3_result_int64(ctx, at == std::string::npos ? 0 : static_cast<sqlite3_int64>(CharIndexOf(starts, at) + 1));
  });
}

// InStrRev(s, find, start, compare): start -1 is the end.
void InStrRevFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int i = 0; i < 3; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  Guarded(ctx, [&] {
    const bool text = sqlite3_value_int64(argv[3]) != 0;
    const std::string s = text ? vb::UCase(ConcatPiece(argv[0])) : ConcatPiece(argv[0]);
    const std::string f = text ? vb::UCase(ConcatPiece(argv[1])) : ConcatPiece(argv[1]);
    sqlite3_int64 start = sqlite3_value_int64(argv[2]);
    if (start == 0 || start < -1) InvalidArgument();
    const auto starts = CharStarts(s);
    if (start == -1) start = static_cast<sqlite3_int64>(starts.size());
    if (static_cast<std::size_t>(start) > starts.size()) return sqlite3_result_int(ctx, 0);
    if (f.empty()) return sqlite3_result_int64(ctx, start);
    // The match must end at or before character `start`.
    const std::size_t limit = static_cast<std::size_t>(start) < starts.size() ? starts[static_cast<std::size_t>(start)] : s.size();
    if (f.size() > limit) return sqlite3_result_int(ctx, 0);
    const std::size_t at = s.rfind(f, limit - f.size());
    sqlite3_result_int64(ctx, at == std::string::npos ? 0 : static_cast<sqlite3_int64>(CharIndexOf(starts, at) + 1));
  });
}

// Mid (Jet) and SUBSTRING (T-SQL), in characters.
void MidFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  Guarded(ctx, [&] {
    const bool jet = KindOf(argv[3]) == 'J';
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) throw VbError(94, "Invalid use of Null");
    const bool to_end = sqlite3_value_type(argv[2]) == SQLITE_NULL;
    sqlite3_int64 start = sqlite3_value_int64(argv[1]);
    sqlite3_int64 length = to_end ? INT32_MAX : sqlite3_value_int64(argv[2]);
    if (length < 0) {
      if (jet) InvalidArgument();
      throw VbError(5, "Invalid length parameter passed to the substring function.");
    }
    if (jet && start < 1) InvalidArgument();
    const std::string s = ConcatPiece(argv[0]);
    const auto starts = CharStarts(s);
    // The server counts the characters before the first as taken.
    sqlite3_int64 end = start > INT32_MAX - length ? INT64_MAX : start + length;
    if (start < 1) start = 1;
    const std::size_t n = starts.size();
    const std::size_t first = std::min<std::size_t>(static_cast<std::size_t>(start) - 1, n);
    const std::size_t last = end <= start ? first : std::min<std::size_t>(static_cast<std::size_t>(end - 1), n);
    const std::size_t b = first < n ? starts[first] : s.size();
    const std::size_t e = last < n ? starts[last] : s.size();
    ResultText(ctx, s.substr(b, e > b ? e - b : 0));
  });
}

void ReplaceTextFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int i = 0; i < 3; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const std::string s = ConcatPiece(argv[0]);
  const std::string f = vb::UCase(ConcatPiece(argv[1]));
  const std::string w = ConcatPiece(argv[2]);
  if (f.empty()) return ResultText(ctx, s);
  // UCase keeps every character's length, so offsets in the folded text hold in s.
  const std::string folded = vb::UCase(s);
  std::string out;
  std::size_t from = 0;
  for (std::size_t at; (at = folded.find(f, from)) != std::string::npos; from = at + f.size()) {
    out.append(s, from, at - from);
    out += w;
  }
  out.append(s, from, std::string::npos);
  ResultText(ctx, out);
}

void ReplicateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  const sqlite3_int64 n = sqlite3_value_int64(argv[1]);
  if (n < 0) return sqlite3_result_null(ctx);
  const std::string s = ConcatPiece(argv[0]);
  // The server caps a text at 8000 bytes; so does this, so no input can exhaust memory.
  if (s.empty() || n == 0) return ResultText(ctx, "");
  const std::size_t copies = std::min<std::size_t>(static_cast<std::size_t>(n), 8000 / s.size() + 1);
  std::string out;
  for (std::size_t i = 0; i < copies && out.size() + s.size() <= 8000; ++i) out += s;
  ResultText(ctx, out);
}

void DataLengthFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: return sqlite3_result_null(ctx);
    case SQLITE_INTEGER: return sqlite3_result_int(ctx, 4);
    case SQLITE_FLOAT: return sqlite3_result_int(ctx, 8);
    default: return sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0]));
  }
}

void StrCompFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  const bool text = sqlite3_value_int64(argv[2]) != 0;
  std::string a = ConcatPiece(argv[0]), b = ConcatPiece(argv[1]);
  if (text) {
    a = vb::UCase(a);
    b = vb::UCase(b);
  }
  const int c = a.compare(b);
  sqlite3_result_int(ctx, c < 0 ? -1 : c > 0 ? 1 : 0);
}

// Val: the leading number of a text, blanks ignored, 0 when there is none.
void ValFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return sqlite3_result_error(ctx, "Invalid use of Null", -1);
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) return sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
  std::string digits;
  const std::string s = TextOf(argv[0]);
  bool point = false, exponent = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits += c;
    } else if ((c == '-' || c == '+') && (digits.empty() || (exponent && (digits.back() == 'E')))) {
      digits += c;
    } else if (c == '.' && !point && !exponent) {
      point = true;
      digits += c;
    } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && !exponent && !digits.empty() &&
               std::isdigit(static_cast<unsigned char>(digits.back()))) {
      exponent = true;
      digits += 'E';
    } else {
      break;
    }
  }
  while (!digits.empty() && !std::isdigit(static_cast<unsigned char>(digits.back()))) {
    if (digits.back() == '.') break;
    digits.pop_back();
  }
  const double value = digits.empty() || digits == "." || digits == "-" || digits == "+" ? 0.0 : std::strtod(digits.c_str(), nullptr);
  sqlite3_result_double(ctx, std::isfinite(value) ? value : 0.0);
}

void IsNumericFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Guarded(ctx, [&] {
    sqlite3_result_int64(ctx, vb::IsNumeric(VariantOf(argv[0], KindOf(argv[1]))) ? sqlite3_value_int64(argv[2]) : 0);
  });
}

void IsDateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Guarded(ctx, [&] {
    sqlite3_result_int64(ctx, vb::IsDate(VariantOf(argv[0], KindOf(argv[1]))) ? sqlite3_value_int64(argv[2]) : 0);
  });
}

// ---- conversions ----------------------------------------------------------------------

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// A date in one of CONVERT's styles; style 0/100 (and none) "Jan  1 2017 12:00AM".
std::string StyledDate(double serial, int style) {
  const vb::DateParts p = vb::SplitDate(serial);
  const std::string y = std::to_string(p.year);
  switch (style) {
    case 101: return TwoDigits(p.month) + "/" + TwoDigits(p.day) + "/" + y;
    case 103: return TwoDigits(p.day) + "/" + TwoDigits(p.month) + "/" + y;
    case 112: return y + TwoDigits(p.month) + TwoDigits(p.day);
    case 120:
    case 121: {
      std::string out = y + "-" + TwoDigits(p.month) + "-" + TwoDigits(p.day) + " " + TwoDigits(p.hour) + ":" +
                        TwoDigits(p.minute) + ":" + TwoDigits(p.second);
      return style == 121 ? out + ".000" : out;
    }
    case 0:
    case 100: {
      static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
      const int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
      std::string day = std::to_string(p.day);
      std::string h = std::to_string(hour12);
      return std::string(kMonths[p.month - 1]) + " " + (day.size() == 1 ? " " : "") + day + " " + y + " " +
             (h.size() == 1 ? " " : "") + h + ":" + TwoDigits(p.minute) + (p.hour < 12 ? "AM" : "PM");
    }
    default: throw VbError(5, "CONVERT style " + std::to_string(style) + " is not supported");
  }
}

// A text read as a date in one of CONVERT's styles; the other styles read as CDate does.
double StyledDateOf(const std::string& text, int style) {
  const std::string t = vb::Trim(text);
  auto number = [&](std::size_t at, std::size_t n) {
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
      if (i >= t.size() || !std::isdigit(static_cast<unsigned char>(t[i]))) throw VbError(13, "Conversion failed when converting date and/or time from character string.");
      v = v * 10 + (t[i] - '0');
    }
    return v;
  };
  // yyyymmdd reads the same in every style.
  if (t.size() == 8 && t.find_first_not_of("0123456789") == std::string::npos) {
    return vb::DateSerial({number(0, 4), number(4, 2), number(6, 2), 0, 0, 0});
  }
  if (style == 103) {
    // dd/mm/yyyy: read as CDate reads m/d/yyyy with the first two swapped.
    const std::size_t a = t.find('/'), b = a == std::string::npos ? a : t.find('/', a + 1);
    if (b != std::string::npos) {
      const std::string swapped = t.substr(a + 1, b - a - 1) + "/" + t.substr(0, a) + t.substr(b);
      if (auto serial = vb::ParseDate(swapped)) return *serial;
    }
    throw VbError(13, "Conversion failed when converting date and/or time from character string.");
  }
  if (auto serial = vb::ParseIso(t)) return *serial;
  if (auto serial = vb::ParseDate(t)) return *serial;
  throw VbError(13, "Conversion failed when converting date and/or time from character string.");
}

// Whole number as the server reads text for an integer type: optional sign and digits.
double ServerInteger(const Variant& v, double low, double high) {
  double d;
  if (v.IsString()) {
    const std::string t = vb::Trim(v.AsString());
    std::size_t i = t.empty() ? 0 : (t[0] == '-' || t[0] == '+');
    const bool digits = i < t.size() && t.find_first_not_of("0123456789", i) == std::string::npos;
    if (!digits && !t.empty()) throw VbError(13, "Conversion failed when converting the varchar value '" + v.AsString() + "' to data type int.");
    d = t.empty() ? 0 : std::strtod(t.c_str(), nullptr);
  } else if (v.kind() == VarKind::Date) {
    d = std::floor(v.AsDate() + 0.5) - 2.0;  // the server counts days from 1/1/1900
  } else {
    d = std::trunc(vb::CDbl(v));
  }
  if (d < low || d > high) throw VbError(6, "Arithmetic overflow error converting expression to data type int.");
  return d;
}

Variant Convert(std::string target, const Variant& v, std::optional<int> style) {
  if (v.IsNull()) return Variant::Null();
  if (target == "cstr") return Variant(vb::CStr(v));
  if (target == "cint") return Variant(vb::CInt(v));
  if (target == "clng") return Variant(vb::CLng(v));
  if (target == "cdbl" || target == "csng") return Variant(vb::CDbl(v));
  if (target == "cbool") return Variant(vb::CBool(v));
  if (target == "ccur") return Variant::FromCurrency(vb::CCur(v));
  if (target == "cvar") return v;
  const std::size_t paren = target.find('(');
  const std::string base = target.substr(0, paren);
  if (base == "int" || base == "integer") return Variant(static_cast<std::int32_t>(ServerInteger(v, INT32_MIN, INT32_MAX)));
  if (base == "smallint") return Variant(static_cast<std::int16_t>(ServerInteger(v, -32768, 32767)));
  if (base == "tinyint") return Variant(static_cast<std::int16_t>(ServerInteger(v, 0, 255)));
  if (base == "bigint") return Variant(ServerInteger(v, -9.2e18, 9.2e18));
  if (base == "bit") {
    if (v.IsString()) {
      const std::string t = vb::LCase(vb::Trim(v.AsString()));
      if (t == "true") return Variant(true);
      if (t == "false") return Variant(false);
    }
    return Variant(vb::CDbl(v) != 0.0);
  }
  if (base == "float" || base == "real" || base == "decimal" || base == "numeric") {
    if (v.IsString() && !vb::ParseNumber(v.AsString()))
      throw VbError(13, "Error converting data type varchar to numeric.");
    double d = vb::CDbl(v);
    // decimal(p, s) rounds to s places (0 when not given).
    if (base == "decimal" || base == "numeric") {
      int scale = 0;
      if (const std::size_t comma = target.find(','); comma != std::string::npos) scale = std::atoi(target.c_str() + comma + 1);
      const double f = std::pow(10.0, std::clamp(scale, 0, 15));
      d = std::round(d * f) / f;
    }
    return Variant(d);
  }
  if (base == "money" || base == "smallmoney") return Variant::FromCurrency(vb::CCur(v));
  if (base == "datetime" || base == "smalldatetime" || base == "date" || base == "datetime2") {
    double serial;
    if (v.IsString()) {
      serial = StyledDateOf(v.AsString(), style.value_or(0));
    } else if (v.kind() == VarKind::Date) {
      serial = v.AsDate();
    } else {
      serial = vb::CDbl(v) + 2.0;  // the server's day 0 is 1/1/1900
    }
    if (base == "date") serial = std::floor(serial);
    return Variant::FromDate(serial);
  }
  // Texts: dates in the requested style, numbers as the server prints them.
  std::string text;
  if (v.kind() == VarKind::Date) {
    text = StyledDate(v.AsDate(), style.value_or(0));
  } else if (v.kind() == VarKind::Boolean) {
    text = v.AsBoolean() ? "1" : "0";
  } else {
    text = vb::CStr(v);
  }
  if (paren != std::string::npos && target.compare(paren, 5, "(max)") != 0) {
    const long limit = std::atol(target.c_str() + paren + 1);
    const auto starts = CharStarts(text);
    if (limit >= 0 && static_cast<std::size_t>(limit) < starts.size()) text.resize(starts[static_cast<std::size_t>(limit)]);
  }
  return Variant(std::move(text));
}

void ConvertFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Guarded(ctx, [&] {
    std::optional<int> style;
    if (sqlite3_value_type(argv[3]) != SQLITE_NULL) style = sqlite3_value_int(argv[3]);
    ResultVariant(ctx, Convert(TextOf(argv[0]), VariantOf(argv[1], KindOf(argv[2])), style));
  });
}

// ---- dates ------------------------------------------------------------------------------

// A side of date arithmetic: a date's serial, a number, or numeric text.
std::optional<double> SerialOrNumber(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) {
    const std::string text = TextOf(v);
    if (auto iso = vb::ParseIso(text)) return iso;
    try {
      if (auto n = vb::ParseNumber(text)) return n;
    } catch (const VbError&) {
      return std::nullopt;
    }
  }
  return SerialOf(v);
}

void DateCalcFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  const auto a = SerialOrNumber(argv[0]);
  const auto b = SerialOrNumber(argv[1]);
  if (!a || !b) return sqlite3_result_error(ctx, kMismatch, -1);
  switch (KindOf(argv[2])) {
    case '+': return ResultIso(ctx, *a + *b, false);
    case '-': return ResultIso(ctx, *a - *b, false);
    default: return sqlite3_result_double(ctx, *a - *b);
  }
}

double DateOrFail(sqlite3_value* v) {
  const auto serial = SerialOf(v);
  if (!serial) throw VbError(13, kMismatch);
  return *serial;
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval IntervalOf(sqlite3_value* v) {
  const std::string t = vb::LCase(TextOf(v));
  static constexpr std::pair<std::string_view, Interval> kIntervals[] = {
      {"yyyy", Interval::Year}, {"q", Interval::Quarter}, {"m", Interval::Month},  {"y", Interval::DayOfYear},
      {"d", Interval::Day},     {"w", Interval::Weekday}, {"ww", Interval::Week},  {"h", Interval::Hour},
      {"n", Interval::Minute},  {"s", Interval::Second}};
  for (const auto& [name, interval] : kIntervals) {
    if (t == name) return interval;
  }
  InvalidArgument();
}

// Day number of a serial (its integer part, as the runtime counts days) and weekday 1-7
// from Sunday.
std::int64_t DayOf(double serial) { return static_cast<std::int64_t>(std::floor(serial + 1e-9)); }
int WeekdayOf(double serial, int first_day) {
  // 12/30/1899 (day 0) was a Saturday (7).
  const std::int64_t sunday_based = ((DayOf(serial) + 6) % 7 + 7) % 7 + 1;
  return static_cast<int>((sunday_based - first_day + 7) % 7 + 1);
}

void DateAddFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  Guarded(ctx, [&] {
    const Interval interval = IntervalOf(argv[0]);
    const double number = std::trunc(sqlite3_value_double(argv[1]));
    if (!(std::fabs(number) < 4e6)) throw VbError(6, "Overflow");
    const double serial = DateOrFail(argv[2]);
    vb::DateParts p = vb::SplitDate(serial);
    const int n = static_cast<int>(number);
    double result = serial;
    switch (interval) {
      case Interval::Year:
      case Interval::Quarter:
      case Interval::Month: {
        const int months = interval == Interval::Year ? n * 12 : interval == Interval::Quarter ? n * 3 : n;
        const int total = p.year * 12 + (p.month - 1) + months;
        if (total < 100 * 12 || total >= 10000 * 12) throw VbError(5, "Invalid procedure call or argument");
        vb::DateParts q = p;
        q.year = total / 12;
        q.month = total % 12 + 1;
        // The day stays, or becomes the month's last when the month is shorter.
        const double first = vb::DateSerial({q.year, q.month, 1, 0, 0, 0});
        const int last = vb::SplitDate(vb::DateSerial({q.year, q.month + 1, 1, 0, 0, 0}) - 1).day;
        q.day = std::min(p.day, last);
        result = first + (q.day - 1) + (serial - std::floor(serial));
        if (serial < 0) result = vb::DateSerial(q);
        break;
      }
      case Interval::DayOfYear:
      case Interval::Day:
      case Interval::Weekday: result = serial + n; break;
      case Interval::Week: result = serial + 7.0 * n; break;
      case Interval::Hour: result = serial + n / 24.0; break;
      case Interval::Minute: result = serial + n / 1440.0; break;
      case Interval::Second: result = serial + n / 86400.0; break;
    }
    ResultIso(ctx, result, false);
  });
}

// DateDiff: boundaries of the interval crossed from a to b.
void DateDiffFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  Guarded(ctx, [&] {
    const Interval interval = IntervalOf(argv[0]);
    const double a = DateOrFail(argv[1]), b = DateOrFail(argv[2]);
    const vb::DateParts p = vb::SplitDate(a), q = vb::SplitDate(b);
    const auto seconds = [](double s) {
      return static_cast<std::int64_t>(std::floor(s * 86400.0 + 0.5));
    };
    std::int64_t r = 0;
    switch (interval) {
      case Interval::Year: r = q.year - p.year; break;
      case Interval::Quarter: r = (q.year * 4 + (q.month - 1) / 3) - (p.year * 4 + (p.month - 1) / 3); break;
      case Interval::Month: r = (q.year * 12 + q.month) - (p.year * 12 + p.month); break;
      case Interval::DayOfYear:
      case Interval::Day: r = vb::DateDiffDays(a, b); break;
      case Interval::Weekday: r = vb::DateDiffDays(a, b) / 7; break;
      case Interval::Week: {
        // Sundays crossed.
        const auto week = [](double s) {
          const std::int64_t d = DayOf(s) + 6;  // days from a Sunday
          return d >= 0 ? d / 7 : -((-d + 6) / 7);
        };
        r = week(b) - week(a);
        break;
      }
      case Interval::Hour: r = seconds(b) / 3600 - seconds(a) / 3600; break;
      case Interval::Minute: r = seconds(b) / 60 - seconds(a) / 60; break;
      case Interval::Second: r = seconds(b) - seconds(a); break;
    }
    sqlite3_result_int64(ctx, r);
  });
}

int DatePartOf(Interval interval, double serial) {
  const vb::DateParts p = vb::SplitDate(serial);
  switch (interval) {
    case Interval::Year: return p.year;
    case Interval::Quarter: return (p.month - 1) / 3 + 1;
    case Interval::Month: return p.month;
    case Interval::DayOfYear: return static_cast<int>(DayOf(serial) - DayOf(vb::DateSerial({p.year, 1, 1, 0, 0, 0}))) + 1;
    case Interval::Day: return p.day;
    case Interval::Weekday: return WeekdayOf(serial, 1);
    case Interval::Week: {
      // Week 1 holds January 1; weeks start on Sunday.
      const double jan1 = vb::DateSerial({p.year, 1, 1, 0, 0, 0});
      return static_cast<int>((DayOf(serial) - DayOf(jan1) + WeekdayOf(jan1, 1) - 1) / 7) + 1;
    }
    case Interval::Hour: return p.hour;
    case Interval::Minute: return p.minute;
    case Interval::Second: return p.second;
  }
  return 0;
}

void DatePartFnOf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  Guarded(ctx, [&] { sqlite3_result_int(ctx, DatePartOf(IntervalOf(argv[0]), DateOrFail(argv[1]))); });
}

constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

void DateNameFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  Guarded(ctx, [&] {
    const Interval interval = IntervalOf(argv[0]);
    const int part = DatePartOf(interval, DateOrFail(argv[1]));
    if (interval == Interval::Month) return ResultText(ctx, kMonthNames[part - 1]);
    if (interval == Interval::Weekday) return ResultText(ctx, kDayNames[part - 1]);
    ResultText(ctx, std::to_string(part));
  });
}

void WeekdayFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  Guarded(ctx, [&] {
    const sqlite3_int64 first = sqlite3_value_int64(argv[1]);
    if (first < 0 || first > 7) InvalidArgument();
    sqlite3_result_int(ctx, WeekdayOf(DateOrFail(argv[0]), first == 0 ? 1 : static_cast<int>(first)));
  });
}

void DateSerialFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int i = 0; i < 3; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  Guarded(ctx, [&] {
    int parts[3];
    for (int i = 0; i < 3; ++i) {
      const double d = std::nearbyint(sqlite3_value_double(argv[i]));
      if (!(std::fabs(d) <= 32767)) throw VbError(6, "Overflow");
      parts[i] = static_cast<int>(d);
    }
    ResultIso(ctx, vb::DateSerial({parts[0], parts[1], parts[2], 0, 0, 0}), false);
  });
}

// ---- Format ---------------------------------------------------------------------------

std::string Pad2(int n) { return TwoDigits(n); }

// A date through a custom pattern: y yy yyyy, m mm mmm mmmm (minutes right after an hour),
// d dd ddd dddd, h hh, n nn, s ss, q, w, ww, AM/PM am/pm A/P; "quoted" and \escaped
// characters as they are.
std::string FormatDate(double serial, const std::string& f) {
  const vb::DateParts p = vb::SplitDate(serial);
  const std::string folded = vb::LCase(f);
  const bool twelve = folded.find("am/pm") != std::string::npos || folded.find("a/p") != std::string::npos;
  std::string out;
  bool after_hour = false;
  for (std::size_t i = 0; i < f.size();) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(f[i])));
    std::size_t run = 1;
    while (i + run < f.size() && std::tolower(static_cast<unsigned char>(f[i + run])) == c) ++run;
    const std::string lower = vb::LCase(f.substr(i, 5));
    if (lower.rfind("am/pm", 0) == 0) {
      const bool upper = f[i] == 'A';
      out += p.hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
      i += 5;
      continue;
    }
    if (lower.rfind("a/p", 0) == 0) {
      const bool upper = f[i] == 'A';
      out += p.hour < 12 ? (upper ? "A" : "a") : (upper ? "P" : "p");
      i += 3;
      continue;
    }
    if (f[i] == '"') {
      const std::size_t close = f.find('"', i + 1);
      out += f.substr(i + 1, (close == std::string::npos ? f.size() : close) - i - 1);
      i = close == std::string::npos ? f.size() : close + 1;
      continue;
    }
    if (f[i] == '\\' && i + 1 < f.size()) {
      out += f[i + 1];
      i += 2;
      continue;
    }
    const int hour = twelve ? (p.hour % 12 == 0 ? 12 : p.hour % 12) : p.hour;
    switch (c) {
      case 'y':
        if (run >= 3) out += std::to_string(p.year);
        else if (run == 2) out += Pad2(p.year % 100);
        else out += std::to_string(DatePartOf(Interval::DayOfYear, serial));
        break;
      case 'm':
        if (after_hour && run <= 2) out += run == 2 ? Pad2(p.minute) : std::to_string(p.minute);
        else if (run >= 4) out += kMonthNames[p.month - 1];
        else if (run == 3) out += std::string(kMonthNames[p.month - 1]).substr(0, 3);
        else out += run == 2 ? Pad2(p.month) : std::to_string(p.month);
        break;
      case 'd':
        if (run >= 4) out += kDayNames[WeekdayOf(serial, 1) - 1];
        else if (run == 3) out += std::string(kDayNames[WeekdayOf(serial, 1) - 1]).substr(0, 3);
        else out += run == 2 ? Pad2(p.day) : std::to_string(p.day);
        break;
      case 'h': out += run >= 2 ? Pad2(hour) : std::to_string(hour); break;
      case 'n': out += run >= 2 ? Pad2(p.minute) : std::to_string(p.minute); break;
      case 's': out += run >= 2 ? Pad2(p.second) : std::to_string(p.second); break;
      case 'q': out += std::to_string(DatePartOf(Interval::Quarter, serial)); break;
      case 'w':
        out += std::to_string(run >= 2 ? DatePartOf(Interval::Week, serial) : WeekdayOf(serial, 1));
        break;
      default: out.append(f, i, run); break;
    }
    if (c != ' ' && c != ':') after_hour = c == 'h';
    i += run;
  }
  return out;
}

// A number through a custom pattern: 0 a digit always shown, # one shown when needed,
// "." the decimal point, "," in the whole part groups thousands, % a percentage; what
// stands before the first and after the last placeholder is kept as written.
std::string FormatCustomNumber(double value, const std::string& f) {
  const std::size_t first = f.find_first_of("0#");
  if (first == std::string::npos) return f;
  const std::size_t last = f.find_last_of("0#");
  const std::string body = f.substr(first, last - first + 1);
  const std::string prefix = f.substr(0, first), suffix = f.substr(last + 1);
  if ((prefix + suffix).find('%') != std::string::npos) value *= 100;
  const std::size_t point = body.find('.');
  const std::string whole = body.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : body.substr(point + 1);
  const int shown = static_cast<int>(std::count(fraction.begin(), fraction.end(), '0'));
  const int most = static_cast<int>(std::count(fraction.begin(), fraction.end(), '0') +
                                    std::count(fraction.begin(), fraction.end(), '#'));
  const bool grouping = whole.find(',') != std::string::npos;
  const int whole_zeros = static_cast<int>(std::count(whole.begin(), whole.end(), '0'));
  std::string text = vb::FormatNumber(std::fabs(value), most, whole_zeros > 0, grouping);
  // Optional decimals that are zero are dropped.
  if (const std::size_t dot = text.find('.'); dot != std::string::npos) {
    std::size_t keep = text.size();
    while (keep > dot + 1 + static_cast<std::size_t>(shown) && text[keep - 1] == '0') --keep;
    if (keep == dot + 1) --keep;
    text.resize(keep);
  }
  // Leading zeros the pattern asks for.
  const std::size_t digits_before = text.find('.') == std::string::npos ? text.size() : text.find('.');
  if (!grouping && static_cast<int>(digits_before) < whole_zeros) text.insert(0, static_cast<std::size_t>(whole_zeros) - digits_before, '0');
  if (whole_zeros == 0 && text.rfind("0", 0) == 0 && text.size() > 1 && text[1] == '.') text.erase(0, 1);
  const bool negative = value < 0 && text.find_first_of("123456789") != std::string::npos;
  return (negative ? "-" : "") + prefix + text + suffix;
}

std::optional<std::string> NamedFormat(const Variant& v, const std::string& name) {
  const std::string n = vb::LCase(name);
  auto serial = [&] { return vb::CDate(v); };
  if (n == "general date") return vb::CStr(Variant::FromDate(serial()));
  if (n == "long date") return FormatDate(serial(), "dddd, mmmm d, yyyy");
  if (n == "medium date") return FormatDate(serial(), "d-mmm-yy");
  if (n == "short date") return FormatDate(serial(), "m/d/yyyy");
  if (n == "long time") return FormatDate(serial(), "h:nn:ss AM/PM");
  if (n == "medium time") return FormatDate(serial(), "hh:nn AM/PM");
  if (n == "short time") return FormatDate(serial(), "hh:nn");
  if (n == "general number") return vb::DoubleText(vb::CDbl(v));
  if (n == "currency") {
    const double d = vb::CDbl(v);
    const std::string text = "$" + vb::FormatNumber(std::fabs(d), 2, true, true);
    return d < 0 && text.find_first_of("123456789") != std::string::npos ? "(" + text + ")" : text;
  }
  if (n == "fixed") return vb::FormatNumber(vb::CDbl(v), 2, true, false);
  if (n == "standard") return vb::FormatNumber(vb::CDbl(v), 2, true, true);
  if (n == "percent") return vb::FormatNumber(vb::CDbl(v) * 100, 2, true, true) + "%";
  if (n == "yes/no") return std::string(vb::CBool(v) ? "Yes" : "No");
  if (n == "true/false") return std::string(vb::CBool(v) ? "True" : "False");
  if (n == "on/off") return std::string(vb::CBool(v) ? "On" : "Off");
  return std::nullopt;
}

void FormatFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  Guarded(ctx, [&] {
    const Variant v = VariantOf(argv[0], KindOf(argv[2]));
    const std::string f = ConcatPiece(argv[1]);
    if (f.empty()) return ResultText(ctx, vb::CStr(v));
    if (auto named = NamedFormat(v, f)) return ResultText(ctx, *named);
    // A pattern of date parts formats a date (or a date text); digits a number.
    const bool date_pattern = vb::LCase(f).find_first_of("ymdhns") != std::string::npos &&
                              f.find_first_of("0#") == std::string::npos;
    if (date_pattern && (v.kind() == VarKind::Date || vb::IsDate(v) || vb::IsNumeric(v)))
      return ResultText(ctx, FormatDate(vb::CDate(v.IsString() && vb::IsNumeric(v) ? Variant(vb::CDbl(v)) : v), f));
    if (!date_pattern && vb::IsNumeric(v)) return ResultText(ctx, FormatCustomNumber(vb::CDbl(v), f));
    ResultText(ctx, vb::CStr(v));
  });
}

void Register(sqlite3* db, const char* name, int args, bool deterministic,
              void (*fn)(sqlite3_context*, int, sqlite3_value**)) {
  const int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
  sqlite3_create_function_v2(db, name, args, flags, nullptr, fn, nullptr, nullptr, nullptr);
}

}  // namespace

void RegisterEngineFunctions(sqlite3* db) {
  namespace fn = sql::fn;
  Register(db, fn::kCDate, 1, true, CDateFn);
  Register(db, fn::kDateValue, 1, true, DateValueFn);
  Register(db, fn::kToDate, 1, true, ToDateFn);
  Register(db, fn::kToNumber, 1, true, ToNumberFn<false>);
  Register(db, fn::kAsNumber, 1, true, ToNumberFn<true>);
  // The clock is read once per run of a statement, not once per row it scans: registered
  // as deterministic, a call without arguments is a constant the engine evaluates when the
  // statement starts (again at every run), as the source engines read getdate() and now()
  // once per statement.
  Register(db, fn::kNow, 0, true, NowFn);
  Register(db, fn::kToday, 0, true, TodayFn);
  Register(db, fn::kYear, 1, true, DatePartFn<0>);
  Register(db, fn::kMonth, 1, true, DatePartFn<1>);
  Register(db, fn::kDay, 1, true, DatePartFn<2>);
  Register(db, fn::kAdd, 2, true, AddFn);
  Register(db, fn::kConcat, -1, true, ConcatFn);
  Register(db, fn::kRight, 2, true, RightFn);
  Register(db, fn::kLike, 3, true, LikeFn);
  Register(db, fn::kLike, 4, true, LikeFn);
  Register(db, fn::kDateCalc, 3, true, DateCalcFn);
  Register(db, fn::kInStr, 4, true, InStrFn);
  Register(db, fn::kInStrRev, 4, true, InStrRevFn);
  Register(db, fn::kMid, 4, true, MidFn);
  Register(db, fn::kReplaceText, 3, true, ReplaceTextFn);
  Register(db, fn::kReplicate, 2, true, ReplicateFn);
  Register(db, fn::kDataLength, 1, true, DataLengthFn);
  Register(db, fn::kStrComp, 3, true, StrCompFn);
  Register(db, fn::kVal, 1, true, ValFn);
  Register(db, fn::kIsNumeric, 3, true, IsNumericFn);
  Register(db, fn::kIsDate, 3, true, IsDateFn);
  Register(db, fn::kConvert, 4, true, ConvertFn);
  Register(db, fn::kDateAdd, 3, true, DateAddFn);
  Register(db, fn::kDateDiff, 3, true, DateDiffFn);
  Register(db, fn::kDatePart, 2, true, DatePartFnOf);
  Register(db, fn::kDateName, 2, true, DateNameFn);
  Register(db, fn::kWeekday, 2, true, WeekdayFn);
  Register(db, fn::kDateSerial, 3, true, DateSerialFn);
  Register(db, fn::kFormat, 3, true, FormatFn);
}

}  // namespace ksmain::data::sqlite
