// Running statements on a server database through ODBC: translation for the server's
// dialect, one prepared statement per parameterised text, values bound as parameters,
// rows read back in the kinds a recordset delivers, the server's procedures as functions.
#include "data/odbc/odbc_session.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <unistd.h>

#include "frame/vb_runtime.h"
#include "ksmain/error.h"
#include "sql/translate.h"

namespace ksmain::data::odbc {
namespace {

// Prepared statements kept per connection, as in the embedded session.
constexpr std::size_t kMaxCachedStatements = 128;

// One environment for the process, never freed: connections still pooled at exit must not
// outlive it.
SQLHENV Environment() {
  static SQLHENV env = [] {
    SQLHENV h = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h))) {
      throw VbError(err::kDatabaseError, "The ODBC driver manager could not be initialised.");
    }
    SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    return h;
  }();
  return env;
}

// ---- UTF-8 <-> UTF-16 (the wide calls' SQLWCHAR) ------------------------------------------

std::basic_string<SQLWCHAR> Wide(std::string_view utf8) {
  std::basic_string<SQLWCHAR> out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t n = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 6 && i + 1 < utf8.size()) {
      cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      n = 2;
    } else if ((c >> 4) == 14 && i + 2 < utf8.size()) {
      cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
           (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
      n = 3;
    } else if ((c >> 3) == 30 && i + 3 < utf8.size()) {
      cp = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 12) |
           ((static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu) << 6) |
           (static_cast<unsigned char>(utf8[i + 3]) & 0x3Fu);
      n = 4;
    }
    i += n;
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out += static_cast<SQLWCHAR>(0xD800 + (cp >> 10));
      out += static_cast<SQLWCHAR>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<SQLWCHAR>(cp > 0xFFFF ? 0xFFFD : cp);
    }
  }
  return out;
}

std::string Narrow(const SQLWCHAR* w, std::size_t n) {
  std::string out;
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t cp = w[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// The diagnostics of a handle: the server's messages (without the driver's bracketed
// prefixes) and the first SQLSTATE.
struct Diagnostic {
  std::string state;
  std::string message;
};

Diagnostic ReadDiagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  Diagnostic d;
  for (SQLSMALLINT record = 1; record <= 4; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR text[1024];
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, text, 1024, &length);
    if (!SQL_SUCCEEDED(rc)) break;
    if (d.state.empty()) d.state = Narrow(state, 5);
    std::string message = Narrow(text, std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0), 1023));
    // "[unixODBC][Driver]ERROR: ..." -> "ERROR: ..."
    while (!message.empty() && message[0] == '[') {
      std::size_t close = message.find(']');
      if (close == std::string::npos) break;
      message.erase(0, close + 1);
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == ';' || message.back() == ' '))
      message.pop_back();
    if (message.rfind("ERROR:", 0) == 0) message.erase(0, 6);
    while (!message.empty() && message[0] == ' ') message.erase(0, 1);
    if (message.empty()) continue;
    if (!d.message.empty()) d.message += "\n";
    d.message += message;
  }
  if (d.message.empty()) d.message = "The server reported an error without a description.";
  return d;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::uint64_t Fnv1a(std::uint64_t hash, std::string_view text) {
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  hash ^= 0xff;
  hash *= 1099511628211ULL;
  return hash;
}

// Exact decimal text to Currency (scaled by 10,000, rounded half away from zero at the
// fifth decimal); nullopt for text that is not a plain decimal or does not fit.
std::optional<std::int64_t> CurrencyOf(std::string_view text) {
  bool negative = false;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  __int128 value = 0;
  int decimals = -1;
  bool round_up = false;
  bool digits = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && decimals < 0) {
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    digits = true;
    if (decimals >= 4) {
      if (decimals == 4) round_up = c >= '5';
      ++decimals;
      continue;
    }
    value = value * 10 + (c - '0');
    if (decimals >= 0) ++decimals;
    if (value > (static_cast<__int128>(1) << 80)) return std::nullopt;
  }
  if (!digits) return std::nullopt;
  for (int d = std::max(decimals, 0); d < 4; ++d) value *= 10;
  if (round_up) ++value;
  if (negative) value = -value;
  if (value > INT64_MAX || value < INT64_MIN) return std::nullopt;
  return static_cast<std::int64_t>(value);
}

// The process's time zone by name, so the server's "now" is this host's local time, as
// the embedded engine's is (pages compare stored local times with getdate()).
std::string LocalZoneName() {
  if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
    std::string name = tz[0] == ':' ? tz + 1 : tz;
    if (name.rfind("/usr/share/zoneinfo/", 0) == 0) name.erase(0, 20);
    if (name.find('/') == std::string::npos || name[0] != '/') return name;
  }
  char link[512];
  ssize_t n = ::readlink("/etc/localtime", link, sizeof link - 1);
  if (n > 0) {
    std::string target(link, static_cast<std::size_t>(n));
    std::size_t at = target.find("zoneinfo/");
    if (at != std::string::npos) return target.substr(at + 9);
  }
  // No name to be had: the current offset (POSIX sign convention is the reverse of ISO).
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  long offset = local.tm_gmtoff;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%+03ld:%02ld", offset / 3600, std::labs(offset % 3600) / 60);
  return buffer;
}

}  // namespace

// ---- Parameters ------------------------------------------------------------------------

struct OdbcSession::Bindings {
  // One slot per parameter; the vectors are sized before any pointer is taken.
  std::vector<std::basic_string<SQLWCHAR>> texts;
  std::vector<std::int64_t> integers;
  std::vector<double> reals;
  std::vector<SQLLEN> indicators;

  explicit Bindings(std::size_t n) : texts(n), integers(n), reals(n), indicators(n) {}

  void BindNull(SQLHSTMT stmt, std::size_t i) {
    indicators[i] = SQL_NULL_DATA;
    SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                     SQL_WVARCHAR, 1, 0, nullptr, 0, &indicators[i]);
  }
  // Text goes to the server untyped, so it takes the type of what it meets: a date column,
  // a number, a case-insensitive text.
  void BindText(SQLHSTMT stmt, std::size_t i, std::string_view utf8) {
    texts[i] = Wide(utf8);
    indicators[i] = static_cast<SQLLEN>(texts[i].size() * sizeof(SQLWCHAR));
    SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                     SQL_WVARCHAR, std::max<SQLULEN>(texts[i].size(), 1), 0, texts[i].data(),
                     indicators[i], &indicators[i]);
  }
  void BindInteger(SQLHSTMT stmt, std::size_t i, std::int64_t v) {
    integers[i] = v;
    indicators[i] = 0;
    const bool small = v >= INT32_MIN && v <= INT32_MAX;
    SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_SBIGINT,
                     small ? SQL_INTEGER : SQL_BIGINT, 0, 0, &integers[i], 0, &indicators[i]);
  }
  void BindReal(SQLHSTMT stmt, std::size_t i, double v) {
    reals[i] = v;
    indicators[i] = 0;
    SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_DOUBLE,
                     SQL_DOUBLE, 0, 0, &reals[i], 0, &indicators[i]);
  }
};

// ---- Cursor ----------------------------------------------------------------------------

// The result columns of a prepared statement, described once and bound to buffers that
// take a block of rows per fetch: reading cell by cell (one driver call per value, each
// converting the value again) cost more than the server's own work. Text comes as the
// server's UTF-8 bytes, timestamps as their parts, numbers and money as their text, and
// is converted here; a value longer than its cell is read whole from the driver.
struct OdbcSession::ResultBlock {
  static constexpr SQLULEN kRows = 32;
  // Bytes per cell: most texts of a page fit; longer ones take the slower path.
  static constexpr SQLLEN kTextWidth = 256;
  static constexpr SQLLEN kValueWidth = 48;

  struct Column {
    std::string name;  // as the server describes it
    SQLSMALLINT sql_type = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT c_type = SQL_C_CHAR;
    SQLLEN width = 0;
    std::vector<char> cells;
    std::vector<SQLLEN> lengths;
  };
  std::vector<Column> columns;
  SQLULEN fetched = 0;

  static bool IsText(SQLSMALLINT t) {
    return t == SQL_CHAR || t == SQL_VARCHAR || t == SQL_LONGVARCHAR || t == SQL_WCHAR ||
           t == SQL_WVARCHAR || t == SQL_WLONGVARCHAR;
  }

  static bool IsStamp(SQLSMALLINT t) {
    return t == SQL_TYPE_TIMESTAMP || t == SQL_TYPE_DATE || t == SQL_TIMESTAMP || t == SQL_DATE;
  }

  // Describes and binds the statement's columns unless done for this statement already
  // (the same prepared text gives the same columns); false when the driver refuses.
  bool Bind(SQLHSTMT stmt, SQLSMALLINT count) {
    if (columns.size() == static_cast<std::size_t>(count) && !columns.empty()) return true;
    SQLFreeStmt(stmt, SQL_UNBIND);
    columns.assign(static_cast<std::size_t>(count), Column{});
    for (SQLSMALLINT i = 1; i <= count; ++i) {
      Column& c = columns[static_cast<std::size_t>(i - 1)];
      SQLWCHAR name[256];
      SQLSMALLINT name_length = 0, nullable = 0;
      SQLULEN size = 0;
      if (!SQL_SUCCEEDED(SQLDescribeColW(stmt, i, name, 256, &name_length, &c.sql_type, &size, &c.digits,
                                         &nullable))) {
        columns.clear();
        return false;
      }
      c.name = Narrow(name, static_cast<std::size_t>(std::clamp<SQLSMALLINT>(name_length, 0, 255)));
      // Text and every other value the driver describes as text (a boolean, an extension
      // type such as citext) come as narrow text: on a connection made through the narrow
      // entry point that is the server's own UTF-8, with no round trip through UTF-16.
      // Numbers and money come as their text, which is ASCII.
      c.c_type = SQL_C_CHAR;
      c.width = IsText(c.sql_type) ? kTextWidth : kValueWidth;
      if (IsStamp(c.sql_type)) {
        // The driver reads a timestamp into its parts in any case; as text it would write
        // them out again for us to read back.
        c.c_type = SQL_C_TYPE_TIMESTAMP;
        c.width = sizeof(SQL_TIMESTAMP_STRUCT);
      }
      c.cells.resize(static_cast<std::size_t>(c.width) * kRows);
      c.lengths.resize(kRows);
      if (!SQL_SUCCEEDED(SQLBindCol(stmt, static_cast<SQLUSMALLINT>(i), c.c_type, c.cells.data(), c.width,
                                    c.lengths.data()))) {
        columns.clear();
        SQLFreeStmt(stmt, SQL_UNBIND);
        return false;
      }
    }
    SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRows), 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    return true;
  }
};

namespace {

class OdbcCursor final : public Cursor {
 public:
  OdbcCursor(OdbcSession& session, OdbcSession::Lease lease,
             std::shared_ptr<const sql::Translation> translation)
      : session_(session), lease_(std::move(lease)), block_(*lease_.block) {
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(lease_.stmt, &count))) Fail();
    if (!block_.Bind(lease_.stmt, count)) Fail();
    const bool by_translation =
        translation && static_cast<int>(translation->columns.size()) == count;
    for (std::size_t i = 0; i < block_.columns.size(); ++i) {
      const auto& column = block_.columns[i];
      sql::ColumnType type = sql::ColumnType::Unknown;
      if (by_translation) {
        names_.push_back(translation->columns[i].name);
        type = translation->columns[i].type;
      } else {
        names_.push_back(column.name);
      }
      mixed_.push_back(by_translation && type == sql::ColumnType::Unknown);
      if (type == sql::ColumnType::Unknown) type = FromSqlType(column.sql_type);
      // Money is kept with four decimals (the currency domain); a result column the
      // statement could not type (a procedure's) is known by that scale.
      if (!by_translation && (column.sql_type == SQL_NUMERIC || column.sql_type == SQL_DECIMAL) &&
          column.digits == 4)
        type = sql::ColumnType::Currency;
      types_.push_back(type);
    }
    row_.resize(names_.size());
  }
  ~OdbcCursor() override { session_.Return(lease_); }

  int ColumnCount() const override { return static_cast<int>(names_.size()); }
  const std::string& ColumnName(int column) const override { return names_.at(column); }
  bool HasRow() const override { return has_row_; }
  Variant Value(int column) const override { return row_.at(static_cast<std::size_t>(column)); }

  void Next() override {
    if (++position_ >= block_.fetched) {
      block_.fetched = 0;
      position_ = 0;
      SQLRETURN rc = SQLFetch(lease_.stmt);
      if (rc == SQL_NO_DATA || (SQL_SUCCEEDED(rc) && block_.fetched == 0)) {
        has_row_ = false;
        return;
      }
      if (!SQL_SUCCEEDED(rc)) {
        has_row_ = false;
        Fail();
      }
    }
    has_row_ = true;
    // Every column at once: a member may read a field several times.
    for (std::size_t i = 0; i < row_.size(); ++i) row_[i] = Read(i);
  }

 private:
  [[noreturn]] void Fail() { session_.Raise(SQL_HANDLE_STMT, lease_.stmt); }

  static sql::ColumnType FromSqlType(SQLSMALLINT t) {
    switch (t) {
      case SQL_SMALLINT:
      case SQL_TINYINT: return sql::ColumnType::Integer;
      case SQL_INTEGER:
      case SQL_BIGINT: return sql::ColumnType::Long;
      case SQL_REAL:
      case SQL_FLOAT:
      case SQL_DOUBLE:
      case SQL_NUMERIC:
      case SQL_DECIMAL: return sql::ColumnType::Double;
      case SQL_BIT: return sql::ColumnType::Boolean;
      case SQL_TYPE_DATE:
      case SQL_TYPE_TIME:
      case SQL_TYPE_TIMESTAMP:
      case SQL_DATE:
      case SQL_TIMESTAMP: return sql::ColumnType::Date;
      default: return sql::ColumnType::String;
    }
  }

  // The current row's value of a column as text (UTF-8); nullopt for NULL. A value longer
  // than its cell is read whole from the driver at this row.
  std::optional<std::string_view> Text(std::size_t i) {
    const auto& c = block_.columns[i];
    const SQLLEN length = c.lengths[position_];
    if (length == SQL_NULL_DATA) return std::nullopt;
    if (c.c_type == SQL_C_TYPE_TIMESTAMP) {
      // A date the statement reads as text: as the driver writes it.
      const SQL_TIMESTAMP_STRUCT ts = Stamp(i);
      char buffer[40];
      int n = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", ts.year, ts.month, ts.day);
      if (c.sql_type != SQL_TYPE_DATE && c.sql_type != SQL_DATE) {
        n += std::snprintf(buffer + n, sizeof buffer - static_cast<std::size_t>(n), " %02d:%02d:%02d", ts.hour,
                           ts.minute, ts.second);
        if (ts.fraction != 0) {
          n += std::snprintf(buffer + n, sizeof buffer - static_cast<std::size_t>(n), ".%06u",
                             static_cast<unsigned>(ts.fraction / 1000));
          while (buffer[n - 1] == '0') --n;
        }
      }
      long_.assign(buffer, static_cast<std::size_t>(n));
      return std::string_view(long_);
    }
    // The driver writes a terminator after the text.
    if (length != SQL_NO_TOTAL && length >= 0 && length < c.width)
      return std::string_view(c.cells.data() + static_cast<std::size_t>(c.width) * position_,
                              static_cast<std::size_t>(length));
    if (!SQL_SUCCEEDED(SQLSetPos(lease_.stmt, static_cast<SQLSETPOSIROW>(position_ + 1), SQL_POSITION,
                                 SQL_LOCK_NO_CHANGE)))
      Fail();
    long_.clear();
    char piece[4096];
    const std::size_t piece_room = sizeof piece - 1;
    for (;;) {
      SQLLEN indicator = 0;
      SQLRETURN rc = SQLGetData(lease_.stmt, static_cast<SQLUSMALLINT>(i + 1), c.c_type, piece, sizeof piece,
                                &indicator);
      if (rc == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(rc)) Fail();
      if (indicator == SQL_NULL_DATA) return std::nullopt;
      std::size_t got = piece_room;
      if (indicator != SQL_NO_TOTAL && indicator >= 0 && static_cast<std::size_t>(indicator) < piece_room)
        got = static_cast<std::size_t>(indicator);
      long_.append(piece, got);
      if (rc == SQL_SUCCESS) break;  // SQL_SUCCESS_WITH_INFO: more to come
    }
    return std::string_view(long_);
  }

  SQL_TIMESTAMP_STRUCT Stamp(std::size_t i) const {
    const auto& c = block_.columns[i];
    SQL_TIMESTAMP_STRUCT ts{};
    std::memcpy(&ts, c.cells.data() + static_cast<std::size_t>(c.width) * position_, sizeof ts);
    return ts;
  }

  Variant Read(std::size_t i) {
    const SQLSMALLINT sql_type = block_.columns[i].sql_type;
    const bool text_type = ResultBlock::IsText(sql_type);
    switch (types_[i]) {
      case sql::ColumnType::Integer:
      case sql::ColumnType::Long: {
        auto text = Text(i);
        if (!text) return Variant::Null();
        std::int64_t v = 0;
        const char* b = text->data();
        const char* e = b + text->size();
        if (sql_type == SQL_NUMERIC || sql_type == SQL_DECIMAL || sql_type == SQL_DOUBLE || sql_type == SQL_FLOAT ||
            sql_type == SQL_REAL) {
          // The server computed it in a wider type (a whole number standing in for a NULL
          // Integer column): a whole value keeps the statement's kind, a fraction its own.
          double real = 0;
          if (auto [p, ec] = std::from_chars(b, e, real); ec != std::errc() || p != e || std::trunc(real) != real ||
                                                          std::fabs(real) > 9.0e15)
            break;
          v = static_cast<std::int64_t>(real);
        } else if (auto [p, ec] = std::from_chars(b, e, v); ec != std::errc() || p != e) {
          // Text in a number's place (a procedure's untyped column): its own kind.
          break;
        }
        if (types_[i] == sql::ColumnType::Integer && v >= INT16_MIN && v <= INT16_MAX)
          return Variant(static_cast<std::int16_t>(v));
        if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<std::int32_t>(v));
        return Variant(static_cast<double>(v));
      }
      case sql::ColumnType::Double: {
        auto text = Text(i);
        if (!text) return Variant::Null();
        double v = 0;
        const char* b = text->data();
        const char* e = b + text->size();
        if (auto [p, ec] = std::from_chars(b, e, v); ec == std::errc() && p == e) return Variant(v);
        break;
      }
      case sql::ColumnType::Currency: {
        auto text = Text(i);
        if (!text) return Variant::Null();
        if (auto scaled = CurrencyOf(*text)) return Variant::FromCurrency(*scaled);
        return Variant(std::string(*text));
      }
      case sql::ColumnType::Boolean: {
        auto text = Text(i);
        if (!text) return Variant::Null();
        const std::string t = Lower(*text);
        return Variant(t == "1" || t == "t" || t == "true" || t == "-1" || t == "y" || t == "yes");
      }
      case sql::ColumnType::Date: {
        if (block_.columns[i].c_type != SQL_C_TYPE_TIMESTAMP) {
          // A date held as text (a procedure's untyped column): the runtime's rules, and
          // the text itself when it is no date, as the embedded engine does.
          auto text = Text(i);
          if (!text) return Variant::Null();
          if (auto serial = vb::ParseIso(*text)) return Variant::FromDate(*serial);
          if (auto serial = vb::ParseDate(*text)) return Variant::FromDate(*serial);
          return Variant(std::string(*text));
        }
        if (block_.columns[i].lengths[position_] == SQL_NULL_DATA) return Variant::Null();
        const SQL_TIMESTAMP_STRUCT ts = Stamp(i);
        if (ts.year < 100 || ts.year > 9999) return Variant::Null();
        vb::DateParts parts;
        parts.year = ts.year;
        parts.month = ts.month;
        parts.day = ts.day;
        parts.hour = ts.hour;
        parts.minute = ts.minute;
        parts.second = ts.second;
        return Variant::FromDate(vb::DateSerial(parts));
      }
      case sql::ColumnType::String:
      case sql::ColumnType::Unknown: break;
    }
    auto text = Text(i);
    if (!text) return Variant::Null();
    // A column of mixed kinds (coalesce of a number and a text, printed as text for the
    // server): a whole number written canonically was a number, as the embedded engine,
    // which keeps each value's own kind, returns it.
    if (mixed_[i] && !text->empty() && text->size() < 11 && (text->size() == 1 || (*text)[0] != '0') &&
        (*text)[0] != '+') {
      std::int32_t whole = 0;
      const char* b = text->data();
      const char* e = b + text->size();
      if (auto [p, ec] = std::from_chars(b, e, whole); ec == std::errc() && p == e && (*text)[0] != '-')
        return Variant(whole);
    }
    // A column whose kind neither the statement nor the server says: numbers stay numbers.
    if (types_[i] != sql::ColumnType::String && !text_type) {
      std::int64_t integer = 0;
      const char* b = text->data();
      const char* e = b + text->size();
      if (auto [p, ec] = std::from_chars(b, e, integer); ec == std::errc() && p == e) {
        if (integer >= INT32_MIN && integer <= INT32_MAX) return Variant(static_cast<std::int32_t>(integer));
        return Variant(static_cast<double>(integer));
      }
      double real = 0;
      if (auto [p, ec] = std::from_chars(b, e, real); ec == std::errc() && p == e) return Variant(real);
    }
    return Variant(std::string(*text));
  }

  using ResultBlock = OdbcSession::ResultBlock;

  OdbcSession& session_;
  OdbcSession::Lease lease_;
  ResultBlock& block_;  // kept alive by the lease
  std::vector<std::string> names_;
  std::vector<sql::ColumnType> types_;
  std::vector<bool> mixed_;  // the statement could not give the column one kind
  std::vector<Variant> row_;
  SQLULEN position_ = ResultBlock::kRows;  // row within the fetched block
  std::string long_;                       // a value longer than its cell
  bool has_row_ = false;
};

}  // namespace

// ---- Session ---------------------------------------------------------------------------

OdbcSession::OdbcSession(const std::string& connect, int timeout_seconds) : timeout_(timeout_seconds) {
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &dbc_))) {
    throw VbError(err::kDatabaseError, "The ODBC driver manager could not allocate a connection.");
  }
  try {
    SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(std::clamp(timeout_seconds, 1, 3600))), 0);
    // Connected through the narrow entry point, the driver hands narrow text over as the
    // server's UTF-8 whatever the process's locale (through the wide one it would convert
    // to that locale's character set); statements and parameters still go wide.
    std::string text = connect;
    SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                    static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
      Diagnostic d = ReadDiagnostic(SQL_HANDLE_DBC, dbc_);
      throw VbError(err::kDatabaseError, d.message);
    }
    SQLWCHAR name[128] = {};
    SQLSMALLINT length = 0;
    SQLGetInfoW(dbc_, SQL_DBMS_NAME, name, sizeof name, &length);
    const std::string dbms = Narrow(name, std::clamp<SQLSMALLINT>(length, 0, 254) / sizeof(SQLWCHAR));
    if (Lower(dbms) != "postgresql") {
      SQLDisconnect(dbc_);
      throw VbError(err::kDatabaseError, "No SQL dialect is known for the server '" + dbms + "'.");
    }
    // The session speaks the host's local time and reads texts month first, as the
    // embedded engine's date functions do.
    ExecDirect("SET TIME ZONE '" + LocalZoneName() + "'");
    ExecDirect("SET DateStyle = 'ISO, MDY'");
    RefreshCatalog();
  } catch (...) {
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    throw;
  }
}

OdbcSession::~OdbcSession() {
  for (auto& [text, cached] : statements_) {
    if (!cached.in_use) SQLFreeHandle(SQL_HANDLE_STMT, cached.stmt);
  }
  SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
}

void OdbcSession::SetTimeout(int seconds) { timeout_ = std::max(seconds, 0); }

void OdbcSession::Raise(SQLSMALLINT handle_type, SQLHANDLE handle) {
  Diagnostic d = ReadDiagnostic(handle_type, handle);
  // Class 08 is a broken connection; 57P0x the server shutting down or terminating it.
  if (d.state.rfind("08", 0) == 0 || d.state.rfind("57P", 0) == 0) broken_ = true;
  throw VbError(err::kDatabaseError, d.message);
}

void OdbcSession::ExecDirect(std::string_view text) {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) Raise(SQL_HANDLE_DBC, dbc_);
  std::basic_string<SQLWCHAR> wide = Wide(text);
  SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_)), 0);
  SQLRETURN rc = SQLExecDirectW(stmt, wide.data(), static_cast<SQLINTEGER>(wide.size()));
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
    Diagnostic d = ReadDiagnostic(SQL_HANDLE_STMT, stmt);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (d.state.rfind("08", 0) == 0) broken_ = true;
    throw VbError(err::kDatabaseError, d.message);
  }
  while (SQL_SUCCEEDED(SQLMoreResults(stmt))) {
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

void OdbcSession::ExecuteScript(std::string_view script) { ExecDirect(script); }

OdbcSession::Lease OdbcSession::Prepare(std::string_view text) {
  auto it = statements_.find(std::string(text));
  if (it != statements_.end() && !it->second.in_use) {
    it->second.in_use = true;
    it->second.last_use = ++use_clock_;
    return Lease{it->second.stmt, true, it->first, it->second.block};
  }
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) Raise(SQL_HANDLE_DBC, dbc_);
  std::basic_string<SQLWCHAR> wide = Wide(text);
  if (!SQL_SUCCEEDED(SQLPrepareW(stmt, wide.data(), static_cast<SQLINTEGER>(wide.size())))) {
    Diagnostic d = ReadDiagnostic(SQL_HANDLE_STMT, stmt);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    throw VbError(err::kDatabaseError, d.message);
  }
  auto block = std::make_shared<ResultBlock>();
  if (it != statements_.end()) return Lease{stmt, false, std::string(text), block};
  if (statements_.size() >= kMaxCachedStatements) {
    auto victim = statements_.end();
    for (auto e = statements_.begin(); e != statements_.end(); ++e) {
      if (!e->second.in_use && (victim == statements_.end() || e->second.last_use < victim->second.last_use))
        victim = e;
    }
    if (victim == statements_.end()) return Lease{stmt, false, std::string(text), block};
    SQLFreeHandle(SQL_HANDLE_STMT, victim->second.stmt);
    statements_.erase(victim);
  }
  statements_.emplace(std::string(text), CachedStatement{stmt, true, ++use_clock_, block});
  return Lease{stmt, true, std::string(text), block};
}

void OdbcSession::Return(Lease& lease) noexcept {
  if (lease.stmt == SQL_NULL_HSTMT) return;
  SQLFreeStmt(lease.stmt, SQL_CLOSE);
  SQLFreeStmt(lease.stmt, SQL_RESET_PARAMS);
  if (lease.cached) {
    auto it = statements_.find(lease.text);
    if (it != statements_.end() && it->second.stmt == lease.stmt) {
      it->second.in_use = false;
      lease.stmt = SQL_NULL_HSTMT;
      return;
    }
  }
  SQLFreeHandle(SQL_HANDLE_STMT, lease.stmt);
  lease.stmt = SQL_NULL_HSTMT;
}

// The column types of every table and view of the current schema, by the server's own
// type names: text and citext are String, int2 Integer, int4/int8 Long, numeric (and the
// currency domain on it) Currency, timestamps and dates Date.
void OdbcSession::RefreshCatalog() {
  Lease lease = Prepare(
      "SELECT c.table_name::text, c.column_name::text, c.udt_name::text, "
      "coalesce(c.domain_name::text, '') FROM information_schema.columns AS c "
      "WHERE c.table_schema = current_schema() ORDER BY 1, c.ordinal_position");
  ReturnOnExit returned{*this, lease};
  SQLSetStmtAttr(lease.stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_)), 0);
  if (!SQL_SUCCEEDED(SQLExecute(lease.stmt))) Raise(SQL_HANDLE_STMT, lease.stmt);
  std::vector<sql::TableInfo> tables;
  std::uint64_t hash = 14695981039346656037ULL;
  for (;;) {
    SQLRETURN rc = SQLFetch(lease.stmt);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) Raise(SQL_HANDLE_STMT, lease.stmt);
    std::string fields[4];
    for (SQLUSMALLINT i = 0; i < 4; ++i) {
      char buffer[256];
      SQLLEN indicator = 0;
      if (!SQL_SUCCEEDED(SQLGetData(lease.stmt, i + 1, SQL_C_CHAR, buffer, sizeof buffer, &indicator)))
        Raise(SQL_HANDLE_STMT, lease.stmt);
      if (indicator > 0) fields[i].assign(buffer, std::min<std::size_t>(static_cast<std::size_t>(indicator), 255));
    }
    if (tables.empty() || tables.back().name != fields[0]) {
      tables.push_back(sql::TableInfo{fields[0], {}});
      hash = Fnv1a(hash, "\x01" + fields[0]);
    }
    hash = Fnv1a(Fnv1a(Fnv1a(hash, fields[1]), fields[2]), fields[3]);
    const std::string& udt = fields[2];
    sql::ColumnType type = sql::ColumnType::Unknown;
    // Exact decimals are money to a recordset: the currency domain and any other numeric
    // (a database made outside `ksmain init` declares its money columns that way).
    if (Lower(fields[3]) == "currency" || udt == "numeric") {
      type = sql::ColumnType::Currency;
    } else if (udt == "int2") {
      type = sql::ColumnType::Integer;
    } else if (udt == "int4" || udt == "int8") {
      type = sql::ColumnType::Long;
    } else if (udt == "float4" || udt == "float8") {
      type = sql::ColumnType::Double;
    } else if (udt == "bool") {
      type = sql::ColumnType::Boolean;
    } else if (udt == "timestamp" || udt == "timestamptz" || udt == "date") {
      type = sql::ColumnType::Date;
    } else if (udt == "citext" || udt == "text" || udt == "varchar" || udt == "bpchar") {
      type = sql::ColumnType::String;
    }
    tables.back().columns.push_back(sql::ColumnInfo{fields[1], type});
  }
  if (catalog_ && catalog_->version() == hash) return;
  auto catalog = std::make_shared<sql::MemoryCatalog>(hash, sql::Target::PostgreSql);
  for (auto& table : tables) catalog->Add(std::move(table));
  catalog_ = std::move(catalog);
}

bool OdbcSession::HasTables() {
  Lease lease = Prepare(
      "SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema()");
  ReturnOnExit returned{*this, lease};
  if (!SQL_SUCCEEDED(SQLExecute(lease.stmt))) Raise(SQL_HANDLE_STMT, lease.stmt);
  if (!SQL_SUCCEEDED(SQLFetch(lease.stmt))) Raise(SQL_HANDLE_STMT, lease.stmt);
  std::int64_t count = 0;
  SQLLEN indicator = 0;
  SQLGetData(lease.stmt, 1, SQL_C_SBIGINT, &count, 0, &indicator);
  return count > 0;
}

std::unique_ptr<Cursor> OdbcSession::Run(Lease lease, Bindings& bindings,
                                         std::shared_ptr<const sql::Translation> translation,
                                         std::int64_t* affected) {
  (void)bindings;  // holds the parameter buffers until the statement has run
  SQLSetStmtAttr(lease.stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_)), 0);
  SQLRETURN rc = SQLExecute(lease.stmt);
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
    Diagnostic d = ReadDiagnostic(SQL_HANDLE_STMT, lease.stmt);
    Return(lease);
    if (d.state.rfind("08", 0) == 0 || d.state.rfind("57P", 0) == 0) broken_ = true;
    // The query time-out, reported in the embedded engine's words.
    if (d.state == "HYT00" || d.state == "57014") d.message = "Query timeout expired";
    throw VbError(err::kDatabaseError, d.message);
  }
  SQLSMALLINT columns = 0;
  SQLNumResultCols(lease.stmt, &columns);
  if (columns > 0) {
    auto cursor = std::make_unique<OdbcCursor>(*this, std::move(lease), std::move(translation));
    cursor->Next();
    return cursor;
  }
  if (affected != nullptr) {
    SQLLEN rows = -1;
    SQLRowCount(lease.stmt, &rows);
    *affected = rows;
  }
  Return(lease);
  return nullptr;
}

std::unique_ptr<Cursor> OdbcSession::Execute(std::string_view text, sql::Dialect dialect,
                                             std::int64_t* affected) {
  if (affected != nullptr) *affected = -1;
  for (int attempt = 0;; ++attempt) {
    try {
      std::shared_ptr<const sql::BoundStatement> bound = sql::TranslateBoundShared(text, dialect, *catalog_);
      const sql::Translation& t = *bound->translation;
      if (t.kind == sql::StatementKind::ProcedureCall) return RunProcedure(t);
      Lease lease = Prepare(bound->engine_text());
      Bindings bindings(bound->values.size());
      for (std::size_t i = 0; i < bound->values.size(); ++i) {
        const sql::BoundValue& v = bound->values[i];
        if (std::holds_alternative<std::monostate>(v)) {
          bindings.BindNull(lease.stmt, i);
        } else if (const auto* n = std::get_if<std::int64_t>(&v)) {
          bindings.BindInteger(lease.stmt, i, *n);
        } else if (const auto* d = std::get_if<double>(&v)) {
          bindings.BindReal(lease.stmt, i, *d);
        } else {
          bindings.BindText(lease.stmt, i, std::get<std::string>(v));
        }
      }
      return Run(std::move(lease), bindings, bound->translation, affected);
    } catch (const sql::SqlError&) {
      throw;
    } catch (const VbError&) {
      // A table changed since the catalogue was read: read it again and retry once.
      if (attempt == 0 && !broken_) {
        const auto before = catalog_;
        RefreshCatalog();
        if (catalog_ != before) continue;
      }
      throw;
    }
  }
}

// The catalogue's procedures are server functions returning their rows; a call's arguments
// are the texts the page wrote, as the source server received them.
std::unique_ptr<Cursor> OdbcSession::RunProcedure(const sql::Translation& t) {
  std::string text = "SELECT * FROM \"" + Lower(t.procedure) + "\"(";
  for (std::size_t i = 0; i < t.arguments.size(); ++i) text += i == 0 ? "?" : ", ?";
  text += ")";
  Lease lease = Prepare(text);
  Bindings bindings(t.arguments.size());
  for (std::size_t i = 0; i < t.arguments.size(); ++i) bindings.BindText(lease.stmt, i, t.arguments[i]);
  try {
    return Run(std::move(lease), bindings, nullptr, nullptr);
  } catch (const VbError& e) {
    if (e.description().find("does not exist") != std::string::npos) {
      throw VbError(err::kDatabaseError, "Could not find stored procedure '" + t.procedure + "'.");
    }
    throw;
  }
}

std::unique_ptr<Cursor> OdbcSession::ExecuteNative(std::string_view text, std::span<const Variant> params,
                                                   std::int64_t* affected) {
  if (affected != nullptr) *affected = -1;
  Lease lease = Prepare(text);
  Bindings bindings(params.size());
  try {
    for (std::size_t i = 0; i < params.size(); ++i) {
      const Variant& v = params[i];
      switch (v.kind()) {
        case VarKind::Empty:
        case VarKind::Null: bindings.BindNull(lease.stmt, i); break;
        case VarKind::Integer: bindings.BindInteger(lease.stmt, i, v.AsInteger()); break;
        case VarKind::Long: bindings.BindInteger(lease.stmt, i, v.AsLong()); break;
        case VarKind::Double: bindings.BindReal(lease.stmt, i, v.AsDouble()); break;
        case VarKind::Currency: {
          const std::int64_t c = v.AsCurrency();
          std::string digits = std::to_string(c < 0 ? -(c / 10000) : c / 10000);
          std::string frac = std::to_string(c < 0 ? -(c % 10000) : c % 10000);
          bindings.BindText(lease.stmt, i, (c < 0 ? "-" : "") + digits + "." + std::string(4 - frac.size(), '0') + frac);
          break;
        }
        case VarKind::Boolean: bindings.BindText(lease.stmt, i, v.AsBoolean() ? "true" : "false"); break;
        case VarKind::Date: bindings.BindText(lease.stmt, i, vb::ToIso(v.AsDate())); break;
        case VarKind::String: bindings.BindText(lease.stmt, i, v.AsString()); break;
        case VarKind::Array: throw VbError(err::kTypeMismatch);
      }
    }
  } catch (...) {
    Return(lease);
    throw;
  }
  return Run(std::move(lease), bindings, nullptr, affected);
}

}  // namespace ksmain::data::odbc
