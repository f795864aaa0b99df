// The ks_* functions of translated statements, implemented with the runtime's rules.
//
// Dates inside the engine are canonical ISO text (sql/engine_functions.h); these
// functions read values with the same CDate and number rules the members use, so a date
// typed on a page, stored by a member and compared inside a statement are read alike. A
// value that does not convert fails the statement with the message the source engines
// gave for it.
#include "data/sqlite/functions.h"

#include <sqlite3.h>

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

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
  std::string iso;
  try {
    iso = vb::ToIso(serial);
  } catch (const VbError&) {
    sqlite3_result_error(ctx, kMismatch, -1);
    return;
  }
  if (date_only && iso.size() > 10) iso.resize(10);
  sqlite3_result_text(ctx, iso.c_str(), static_cast<int>(iso.size()), SQLITE_TRANSIENT);
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
  if (a->integral && b->integral) {
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
}

}  // namespace ksmain::data::sqlite
