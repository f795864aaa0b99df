// The automation runtime's value rules under en-US: how values print, how text reads as a
// number or a date, how two variants compare, how numbers are formatted with a fixed count
// of decimals, and the runtime's random-number generator.
//
// Numbers print and format from their 15-significant-digit decimal form, as the runtime
// does, so 0.1 + 0.2 prints "0.3" and 2.675 formats to "2.68"; the binary residue of a
// double never reaches a page. Dates are serials counted from 1899-12-30; for a negative
// serial the integer part counts days back and the fraction still counts the time of day
// forward from midnight, so -1.25 is 12/29/1899 6:00 AM.
#include "frame/vb_runtime.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <vector>

namespace ksmain::vb {
namespace {

[[noreturn]] void Raise(int number) { throw VbError(number); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view StripBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// ---- Decimal form of a double ------------------------------------------------------

// A double as the runtime sees it before printing: 15 significant digits d0.d1...d14
// times 10^exponent.
struct Decimal15 {
  bool negative = false;
  std::string digits;  // exactly 15 digits, all '0' for zero
  int exponent = 0;
};

Decimal15 ToDecimal15(double value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", value);
  Decimal15 d;
  const char* p = buf;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  for (; *p != 'e'; ++p) {
    if (IsDigit(*p)) d.digits.push_back(*p);
  }
  d.exponent = std::atoi(p + 1);
  if (d.digits.find_first_not_of('0') == std::string::npos) {
    d.negative = false;  // the runtime never prints a negative zero
    d.exponent = 0;
  }
  return d;
}

// ---- Numbers read from text --------------------------------------------------------

// Text that reads as a number: either a decimal significand (digits times 10^scale) or a
// hexadecimal/octal literal already reduced to its value.
struct ScannedNumber {
  bool negative = false;
  std::string digits;  // significant digits, no leading zeros; empty for zero
  int scale = 0;
  std::optional<std::int32_t> radix_value;
};

std::optional<ScannedNumber> ScanRadix(std::string_view s) {
  // "&H1F" and "&O17": the runtime's literal forms. A value that fits 16 bits reads as an
  // Integer and one that fits 32 bits as a Long, so "&HFFFF" is -1 like the literal.
  if (s.size() < 3) return std::nullopt;
  const char kind = AsciiLower(s[1]);
  const unsigned base = kind == 'h' ? 16 : kind == 'o' ? 8 : 0;
  if (base == 0) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : s.substr(2)) {
    const char l = AsciiLower(c);
    unsigned digit = 0;
    if (IsDigit(l)) {
      digit = static_cast<unsigned>(l - '0');
    } else if (l >= 'a' && l <= 'f') {
      digit = static_cast<unsigned>(l - 'a' + 10);
    } else {
      return std::nullopt;
    }
    if (digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  ScannedNumber n;
  n.radix_value = value <= 0xFFFF ? static_cast<std::int16_t>(static_cast<std::uint16_t>(value))
                                  : static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  return n;
}

std::optional<ScannedNumber> ScanNumber(std::string_view text) {
  std::string_view s = StripBlanks(text);
  if (s.empty()) return std::nullopt;
  if (s[0] == '&') return ScanRadix(s);

  ScannedNumber n;
  std::size_t i = 0;
  if (s[i] == '+' || s[i] == '-') n.negative = s[i++] == '-';
  std::string mantissa;
  int fraction_digits = 0;
  bool any_digit = false;
  // Integer part; grouping commas may stand anywhere after the first digit, as the runtime
  // does not check their spacing.
  for (; i < s.size() && (IsDigit(s[i]) || (s[i] == ',' && any_digit)); ++i) {
    if (s[i] == ',') continue;
    mantissa.push_back(s[i]);
    any_digit = true;
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && IsDigit(s[i]); ++i) {
      mantissa.push_back(s[i]);
      ++fraction_digits;
      any_digit = true;
    }
  }
  if (!any_digit) return std::nullopt;
  long exponent = 0;
  if (i < s.size() && std::string_view("eEdD").find(s[i]) != std::string_view::npos) {
    bool exp_negative = false;
    if (++i < s.size() && (s[i] == '+' || s[i] == '-')) exp_negative = s[i++] == '-';
    if (i >= s.size() || !IsDigit(s[i])) return std::nullopt;
    for (; i < s.size() && IsDigit(s[i]); ++i) {
      exponent = std::min(exponent * 10 + (s[i] - '0'), 100000L);
    }
    if (exp_negative) exponent = -exponent;
  }
  if (i != s.size()) return std::nullopt;

  const std::size_t first = mantissa.find_first_not_of('0');
  if (first != std::string::npos) n.digits = mantissa.substr(first);
  n.scale = static_cast<int>(exponent) - fraction_digits;
  return n;
}

double ToDouble(const ScannedNumber& n) {
  if (n.radix_value) return *n.radix_value;
  if (n.digits.empty()) return 0.0;
  const std::string text =
      (n.negative ? "-" : "") + n.digits + "e" + std::to_string(n.scale);
  const double d = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(d)) Raise(err::kOverflow);
  return d;
}

// Currency from decimal text, rounded exactly at the fourth decimal (halves to even), so
// "0.00005" is 0 and "922337203685477.5807" is the largest Currency.
std::int64_t CurrencyFromScanned(const ScannedNumber& n) {
  if (n.radix_value) return std::int64_t{*n.radix_value} * 10000;
  const int shift = n.scale + 4;  // digits * 10^shift is the scaled value
  std::string whole = n.digits;
  bool round_up = false;
  if (shift >= 0) {
    if (!whole.empty()) whole.append(static_cast<std::size_t>(std::min(shift, 40)), '0');
  } else {
    const std::size_t cut = static_cast<std::size_t>(-static_cast<long>(shift));
    std::string dropped;
    if (cut >= whole.size()) {
      dropped = std::string(cut - whole.size(), '0') + whole;
      whole.clear();
    } else {
      dropped = whole.substr(whole.size() - cut);
      whole.resize(whole.size() - cut);
    }
    const bool exact_half =
        dropped[0] == '5' && dropped.find_first_not_of('0', 1) == std::string::npos;
    const bool odd = !whole.empty() && (whole.back() - '0') % 2 == 1;
    round_up = exact_half ? odd : dropped[0] >= '5';
  }
  if (whole.size() > 19) Raise(err::kOverflow);  // 19 digits always fit 64 bits unsigned
  std::uint64_t magnitude = 0;
  for (char c : whole) magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
  if (round_up) ++magnitude;
  const std::uint64_t limit = n.negative ? (std::uint64_t{1} << 63) : (std::uint64_t{1} << 63) - 1;
  if (magnitude > limit) Raise(err::kOverflow);
  return n.negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

ScannedNumber ScanOrMismatch(const std::string& text) {
  auto n = ScanNumber(text);
  if (!n) Raise(err::kTypeMismatch);
  return *n;
}

// Halves to even, the rounding of every conversion to a whole number.
double RoundHalfEven(double d) { return std::nearbyint(d); }

template <typename Int>
Int WholeNumber(double d) {
  const double r = RoundHalfEven(d);
  if (!(r >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        r <= static_cast<double>(std::numeric_limits<Int>::max()))) {
    Raise(err::kOverflow);
  }
  return static_cast<Int>(r);
}

// Currency to a whole number without going through a double: halves to even.
std::int64_t CurrencyToWhole(std::int64_t scaled) {
  std::int64_t q = scaled / 10000;
  const std::int64_t r = scaled % 10000;
  const std::int64_t half = r < 0 ? -r : r;
  if (half > 5000 || (half == 5000 && q % 2 != 0)) q += r < 0 ? -1 : 1;
  return q;
}

template <typename Int>
Int ToWhole(const Variant& v) {
  if (v.kind() == VarKind::Currency) {
    const std::int64_t q = CurrencyToWhole(v.AsCurrency());
    if (q < std::numeric_limits<Int>::min() || q > std::numeric_limits<Int>::max()) {
      Raise(err::kOverflow);
    }
    return static_cast<Int>(q);
  }
  return WholeNumber<Int>(NumberOf(v));
}

// ---- Calendar -----------------------------------------------------------------------

constexpr std::int64_t kEpochShift = -25569;  // 1899-12-30 in days from 1970-01-01
constexpr std::int64_t kFirstDay = -657434;   // 1/1/100
constexpr std::int64_t kLastDay = 2958465;    // 12/31/9999
constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[static_cast<std::size_t>(m - 1)];
}

// The runtime's window for two-digit years.
int ExpandYear(int y) { return y < 30 ? 2000 + y : y < 100 ? 1900 + y : y; }

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// A serial as a calendar day (days from 1899-12-30) and the second of that day, the time
// rounded to the second.
struct DayAndSecond {
  std::int64_t day;
  std::int64_t second;
};

DayAndSecond SplitSerial(double serial) {
  if (!(serial > static_cast<double>(kFirstDay) - 1 && serial < static_cast<double>(kLastDay) + 1)) {
    Raise(err::kOverflow);
  }
  const double whole = std::trunc(serial);
  DayAndSecond ds{static_cast<std::int64_t>(whole),
                  std::llround(std::fabs(serial - whole) * kSecondsPerDay)};
  if (ds.second >= kSecondsPerDay) {  // 23:59:59.6 rounds into the next day
    ds.second -= kSecondsPerDay;
    ds.day += 1;
  }
  return ds;
}

double JoinSerial(std::int64_t day, double seconds) {
  const double fraction = seconds / kSecondsPerDay;
  return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

// ---- Date text ----------------------------------------------------------------------

std::string ShortDate(const DateParts& p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d/%d/%d", p.month, p.day, p.year);
  return buf;
}

std::string LongTime(const DateParts& p) {
  char buf[32];
  const int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", h12, p.minute, p.second,
                p.hour < 12 ? "AM" : "PM");
  return buf;
}

std::string DateText(double serial) {
  const DayAndSecond ds = SplitSerial(serial);
  const DateParts p = SplitDate(serial);
  // The day 12/30/1899 is the runtime's "no date": such a value prints as a time only.
  if (ds.day == 0) return LongTime(p);
  if (ds.second == 0) return ShortDate(p);
  return ShortDate(p) + " " + LongTime(p);
}

std::string CurrencyText(std::int64_t scaled) {
  const bool negative = scaled < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
  std::string text = std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(10000 + magnitude % 10000).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  return negative ? "-" + text : text;
}

// ---- Date text read back ------------------------------------------------------------

struct DateToken {
  enum class Kind { Number, Month, Meridiem, Separator } kind;
  int value = 0;      // number, month 1..12, 1 for PM
  int width = 0;      // digits of a number
  char sep = 0;       // separator character; '|' marks where a time stood
};

constexpr std::array<std::string_view, 12> kMonthNames{
    "january", "february", "march",     "april",   "may",      "june",
    "july",    "august",   "september", "october", "november", "december"};
constexpr std::array<std::string_view, 7> kDayNames{
    "sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};

// A month name or any abbreviation of three letters or more ("Jan", "Sept").
int MonthOfWord(std::string_view word) {
  if (word.size() < 3) return 0;
  for (std::size_t m = 0; m < kMonthNames.size(); ++m) {
    const std::string_view name = kMonthNames[m];
    if (word.size() <= name.size() && EqualsNoCase(word, name.substr(0, word.size()))) {
      return static_cast<int>(m) + 1;
    }
  }
  return 0;
}

bool IsDayName(std::string_view word) {
  if (word.size() < 3) return false;
  return std::any_of(kDayNames.begin(), kDayNames.end(), [&](std::string_view name) {
    return word.size() <= name.size() && EqualsNoCase(word, name.substr(0, word.size()));
  });
}

std::optional<std::vector<DateToken>> Tokenize(std::string_view s) {
  std::vector<DateToken> tokens;
  auto separator = [&](char c) {
    if (c == ' ' && !tokens.empty() && tokens.back().kind == DateToken::Kind::Separator &&
        tokens.back().sep == ' ') {
      return;
    }
    tokens.push_back({DateToken::Kind::Separator, 0, 0, c});
  };
  std::size_t i = 0;
  bool after_day_name = false;  // "Friday, January 2, 1970": the comma goes with the name
  while (i < s.size()) {
    const char c = s[i];
    if (c == ',' && after_day_name) {
      after_day_name = false;
      ++i;
      continue;
    }
    if (!IsBlank(c)) after_day_name = false;
    if (IsDigit(c)) {
      std::size_t j = i;
      int value = 0;
      for (; j < s.size() && IsDigit(s[j]); ++j) {
        if (j - i >= 9) return std::nullopt;
        value = value * 10 + (s[j] - '0');
      }
      tokens.push_back({DateToken::Kind::Number, value, static_cast<int>(j - i), 0});
      i = j;
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
      std::size_t j = i;
      while (j < s.size() && std::isalpha(static_cast<unsigned char>(s[j]))) ++j;
      const std::string_view word = s.substr(i, j - i);
      i = j;
      if (EqualsNoCase(word, "am") || EqualsNoCase(word, "pm")) {
        tokens.push_back({DateToken::Kind::Meridiem, AsciiLower(word[0]) == 'p', 0, 0});
      } else if (const int m = MonthOfWord(word)) {
        tokens.push_back({DateToken::Kind::Month, m, 0, 0});
      } else if (EqualsNoCase(word, "t") || IsDayName(word)) {
        separator(' ');  // ISO's date-time 'T'; a weekday name adds nothing
        after_day_name = !EqualsNoCase(word, "t");
      } else {
        return std::nullopt;
      }
    } else if (IsBlank(c)) {
      separator(' ');
      ++i;
    } else if (std::string_view("/-.,:").find(c) != std::string_view::npos) {
      separator(c);
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return tokens;
}

bool IsKind(const std::vector<DateToken>& t, std::size_t i, DateToken::Kind kind) {
  return i < t.size() && t[i].kind == kind;
}
bool IsSep(const std::vector<DateToken>& t, std::size_t i, char c) {
  return IsKind(t, i, DateToken::Kind::Separator) && t[i].sep == c;
}

// Takes the time of day out of the tokens ("14:05", "2:05:09 PM", "3 PM"), leaving a '|'
// marker in its place. Returns the seconds since midnight, 0 when there is no time, or
// nullopt when the time is not valid or appears twice.
std::optional<double> ExtractTime(std::vector<DateToken>& t, bool& found) {
  using K = DateToken::Kind;
  found = false;
  double seconds = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (!IsKind(t, i, K::Number)) continue;
    std::size_t end = i + 1;
    std::array<int, 3> hms{t[i].value, 0, 0};
    double fraction = 0;
    int fields = 1;
    while (fields < 3 && IsSep(t, end, ':') && IsKind(t, end + 1, K::Number)) {
      hms[static_cast<std::size_t>(fields++)] = t[end + 1].value;
      end += 2;
    }
    if (fields == 3 && IsSep(t, end, '.') && IsKind(t, end + 1, K::Number)) {
      fraction = t[end + 1].value / std::pow(10.0, t[end + 1].width);
      end += 2;
    }
    std::size_t after = end + (IsSep(t, end, ' ') ? 1 : 0);
    const bool meridiem = IsKind(t, after, K::Meridiem);
    if (fields == 1 && !meridiem) continue;  // a lone number belongs to the date
    if (found) return std::nullopt;
    found = true;
    if (meridiem) {
      if (hms[0] > 12) return std::nullopt;
      if (t[after].value == 1 && hms[0] < 12) hms[0] += 12;
      if (t[after].value == 0 && hms[0] == 12) hms[0] = 0;
      end = after + 1;
    }
    if (hms[0] > 23 || hms[1] > 59 || hms[2] > 59) return std::nullopt;
    seconds = hms[0] * 3600.0 + hms[1] * 60.0 + hms[2] + fraction;
    t.erase(t.begin() + static_cast<std::ptrdiff_t>(i), t.begin() + static_cast<std::ptrdiff_t>(end));
    t.insert(t.begin() + static_cast<std::ptrdiff_t>(i), DateToken{K::Separator, 0, 0, '|'});
  }
  return seconds;
}

struct DatePiece {
  int value;
  int width;  // digits; 0 for a month name
};

// Picks year, month and day out of the date's numbers and month name, trying the orders
// the runtime tries: month-day-year, then day-month-year, then year-month-day. A number of
// three or more digits can only be a year.
std::optional<DateParts> ResolveDate(const std::vector<DatePiece>& numbers, int month_name,
                                     int current_year) {
  struct Order {
    int y, m, d;  // index into numbers, -1 for "not given"
  };
  auto attempt = [&](Order o) -> std::optional<DateParts> {
    auto is_year_only = [&](int idx) { return idx >= 0 && numbers[static_cast<std::size_t>(idx)].width >= 3; };
    if (is_year_only(o.m) || is_year_only(o.d)) return std::nullopt;
    DateParts p;
    p.year = o.y < 0 ? current_year : ExpandYear(numbers[static_cast<std::size_t>(o.y)].value);
    p.month = o.m < 0 ? month_name : numbers[static_cast<std::size_t>(o.m)].value;
    p.day = o.d < 0 ? 1 : numbers[static_cast<std::size_t>(o.d)].value;
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12) return std::nullopt;
    if (p.day < 1 || p.day > DaysInMonth(p.year, p.month)) return std::nullopt;
    return p;
  };
  std::vector<Order> orders;
  const std::size_t n = numbers.size();
  if (month_name != 0) {
    if (n == 1) orders = {{-1, -1, 0}, {0, -1, -1}};
    if (n == 2) orders = {{1, -1, 0}, {0, -1, 1}};
  } else {
    if (n == 2) orders = {{-1, 0, 1}, {-1, 1, 0}, {1, 0, -1}, {0, 1, -1}};
    if (n == 3) orders = {{2, 0, 1}, {2, 1, 0}, {0, 1, 2}};
  }
  for (const Order& o : orders) {
    if (auto p = attempt(o)) return p;
  }
  return std::nullopt;
}

}  // namespace

// ---- Text ---------------------------------------------------------------------------

std::string DoubleText(double d) {
  if (!std::isfinite(d)) Raise(err::kOverflow);
  const Decimal15 dec = ToDecimal15(d);
  std::string sig = dec.digits;
  while (sig.size() > 1 && sig.back() == '0') sig.pop_back();
  if (sig == "0") return "0";
  const int e = dec.exponent;
  std::string text;
  if (e < -4 || e >= 15) {
    text = sig.substr(0, 1);
    if (sig.size() > 1) text += "." + sig.substr(1);
    char exp[16];
    std::snprintf(exp, sizeof exp, "E%c%02d", e < 0 ? '-' : '+', e < 0 ? -e : e);
    text += exp;
  } else if (e < 0) {
    text = "0." + std::string(static_cast<std::size_t>(-e - 1), '0') + sig;
  } else {
    const auto int_digits = static_cast<std::size_t>(e + 1);
    if (sig.size() <= int_digits) {
      text = sig + std::string(int_digits - sig.size(), '0');
    } else {
      text = sig.substr(0, int_digits) + "." + sig.substr(int_digits);
    }
  }
  return dec.negative ? "-" + text : text;
}

std::string CStr(const Variant& v) {
  switch (v.kind()) {
    case VarKind::Empty: return "";
    case VarKind::Null: Raise(err::kInvalidNull);
    case VarKind::Integer: return std::to_string(v.AsInteger());
    case VarKind::Long: return std::to_string(v.AsLong());
    case VarKind::Double: return DoubleText(v.AsDouble());
    case VarKind::Currency: return CurrencyText(v.AsCurrency());
    case VarKind::Boolean: return v.AsBoolean() ? "True" : "False";
    case VarKind::Date: return DateText(v.AsDate());
    case VarKind::String: return v.AsString();
    case VarKind::Array: Raise(err::kTypeMismatch);
  }
  Raise(err::kTypeMismatch);
}

std::string ConcatText(const Variant& v) { return v.IsNull() ? std::string() : CStr(v); }

std::string LTrim(std::string_view s) {
  const std::size_t first = s.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string() : std::string(s.substr(first));
}

std::string RTrim(std::string_view s) {
  const std::size_t last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(s.substr(0, last + 1));
}

std::string Trim(std::string_view s) { return LTrim(RTrim(s)); }

namespace {
// Case mapping of ASCII and of the Latin-1 letters (UTF-8 C3 80..9E / C3 A0..BE), the
// letters pages of this system carry; other characters pass unchanged.
std::string MapCase(std::string_view s, bool upper) {
  std::string out(s);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto& c = reinterpret_cast<unsigned char&>(out[i]);
    if (upper && c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 32);
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
    if (c == 0xC3 && i + 1 < out.size()) {
      auto& n = reinterpret_cast<unsigned char&>(out[++i]);
      if (upper && n >= 0xA0 && n <= 0xBE && n != 0xB7) n = static_cast<unsigned char>(n - 0x20);
      if (!upper && n >= 0x80 && n <= 0x9E && n != 0x97) n = static_cast<unsigned char>(n + 0x20);
    }
  }
  return out;
}
}  // namespace

std::string UCase(std::string_view s) { return MapCase(s, true); }
std::string LCase(std::string_view s) { return MapCase(s, false); }

std::string Replace(std::string_view s, std::string_view find, std::string_view with) {
  if (find.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  std::size_t pos = 0;
  for (std::size_t hit; (hit = s.find(find, pos)) != std::string_view::npos; pos = hit + find.size()) {
    out.append(s.substr(pos, hit - pos));
    out.append(with);
  }
  out.append(s.substr(pos));
  return out;
}

// ---- Numbers ------------------------------------------------------------------------

bool IsNumeric(const Variant& v) {
  switch (v.kind()) {
    case VarKind::Empty:
    case VarKind::Integer:
    case VarKind::Long:
    case VarKind::Double:
    case VarKind::Currency:
    case VarKind::Boolean:
      return true;
    case VarKind::String:
      return ScanNumber(v.AsString()).has_value();
    case VarKind::Null:
    case VarKind::Date:
    case VarKind::Array:
      return false;
  }
  return false;
}

std::optional<double> ParseNumber(std::string_view text) {
  const auto n = ScanNumber(text);
  if (!n) return std::nullopt;
  return ToDouble(*n);
}

double NumberOf(const Variant& v) {
  switch (v.kind()) {
    case VarKind::Empty: return 0.0;
    case VarKind::Null: Raise(err::kInvalidNull);
    case VarKind::Integer: return v.AsInteger();
    case VarKind::Long: return v.AsLong();
    case VarKind::Double: return v.AsDouble();
    case VarKind::Currency: return static_cast<double>(v.AsCurrency()) / 10000.0;
    case VarKind::Boolean: return v.AsBoolean() ? -1.0 : 0.0;
    case VarKind::Date: return v.AsDate();
    case VarKind::String: return ToDouble(ScanOrMismatch(v.AsString()));
    case VarKind::Array: Raise(err::kTypeMismatch);
  }
  Raise(err::kTypeMismatch);
}

double CDbl(const Variant& v) { return NumberOf(v); }
std::int16_t CInt(const Variant& v) { return ToWhole<std::int16_t>(v); }
std::int32_t CLng(const Variant& v) { return ToWhole<std::int32_t>(v); }

std::int64_t CCur(const Variant& v) {
  switch (v.kind()) {
    case VarKind::Currency: return v.AsCurrency();
    case VarKind::String: return CurrencyFromScanned(ScanOrMismatch(v.AsString()));
    default: break;
  }
  const double scaled = RoundHalfEven(NumberOf(v) * 10000.0);
  // 2^63 itself is out of range; every double below it converts exactly.
  if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) {
    Raise(err::kOverflow);
  }
  return static_cast<std::int64_t>(scaled);
}

bool CBool(const Variant& v) {
  if (v.IsString()) {
    const std::string_view s = StripBlanks(v.AsString());
    if (EqualsNoCase(s, "true")) return true;
    if (EqualsNoCase(s, "false")) return false;
  }
  if (v.kind() == VarKind::Currency) return v.AsCurrency() != 0;
  return NumberOf(v) != 0.0;
}

namespace {
std::int16_t CheckedInteger(std::int32_t value) {
  if (value < INT16_MIN || value > INT16_MAX) Raise(err::kOverflow);
  return static_cast<std::int16_t>(value);
}
}  // namespace

std::int16_t AddInteger(std::int16_t a, std::int16_t b) { return CheckedInteger(std::int32_t{a} + b); }
std::int16_t SubInteger(std::int16_t a, std::int16_t b) { return CheckedInteger(std::int32_t{a} - b); }

std::string FormatNumber(double value, int decimals, bool leading_zero, bool grouping) {
  if (!std::isfinite(value)) Raise(err::kOverflow);
  if (decimals < 0) decimals = 2;  // -1: the regional default
  if (decimals > 99) Raise(err::kIllegalCall);
  const Decimal15 dec = ToDecimal15(value);

  // Keep the digits down to 10^-decimals and round the rest half away from zero; `kept`
  // then holds |value| * 10^decimals as a whole number.
  const int keep = dec.exponent + decimals + 1;
  std::string kept;
  bool round_up = false;
  if (keep <= 0) {
    round_up = keep == 0 && dec.digits[0] >= '5';
  } else if (keep >= static_cast<int>(dec.digits.size())) {
    kept = dec.digits + std::string(static_cast<std::size_t>(keep) - dec.digits.size(), '0');
  } else {
    kept = dec.digits.substr(0, static_cast<std::size_t>(keep));
    round_up = dec.digits[static_cast<std::size_t>(keep)] >= '5';
  }
  if (round_up) {
    std::size_t i = kept.size();
    while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
    if (i == 0) {
      kept.insert(kept.begin(), '1');
    } else {
      ++kept[i - 1];
    }
  }
  const auto frac_digits = static_cast<std::size_t>(decimals);
  if (kept.size() < frac_digits + 1) kept.insert(0, frac_digits + 1 - kept.size(), '0');
  std::string whole = kept.substr(0, kept.size() - frac_digits);
  const std::string fraction = kept.substr(kept.size() - frac_digits);
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
  const bool is_zero = kept.find_first_not_of('0') == std::string::npos;

  std::string text;
  if (whole == "0" && !leading_zero && decimals > 0) whole.clear();
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (grouping && i > 0 && (whole.size() - i) % 3 == 0) text.push_back(',');
    text.push_back(whole[i]);
  }
  if (decimals > 0) text += "." + fraction;
  // A value that rounds to zero prints without a sign.
  return dec.negative && !is_zero ? "-" + text : text;
}

// ---- Dates --------------------------------------------------------------------------

double DateSerial(const DateParts& parts) {
  const std::int64_t year = parts.year >= 0 && parts.year < 100 ? ExpandYear(parts.year) : parts.year;
  // Months and days outside their range carry into the next unit, as the runtime allows
  // (month 13 is January of the next year, day 0 the last day of the month before).
  const std::int64_t month0 = year * 12 + (std::int64_t{parts.month} - 1);
  const std::int64_t y = FloorDiv(month0, 12);
  if (y < 0 || y > 20000) Raise(err::kOverflow);
  const int m = static_cast<int>(month0 - y * 12) + 1;
  const std::int64_t seconds =
      std::int64_t{parts.hour} * 3600 + std::int64_t{parts.minute} * 60 + parts.second;
  const std::int64_t day = DaysFromCivil(y, m, 1) - kEpochShift + (std::int64_t{parts.day} - 1) +
                           FloorDiv(seconds, kSecondsPerDay);
  if (day < kFirstDay || day > kLastDay) Raise(err::kOverflow);
  return JoinSerial(day, static_cast<double>(seconds - FloorDiv(seconds, kSecondsPerDay) * kSecondsPerDay));
}

DateParts SplitDate(double serial) {
  const DayAndSecond ds = SplitSerial(serial);
  DateParts p;
  CivilFromDays(ds.day + kEpochShift, p.year, p.month, p.day);
  p.hour = static_cast<int>(ds.second / 3600);
  p.minute = static_cast<int>(ds.second / 60 % 60);
  p.second = static_cast<int>(ds.second % 60);
  return p;
}

std::optional<double> ParseDate(std::string_view text) {
  using K = DateToken::Kind;
  auto tokens = Tokenize(text);
  if (!tokens) return std::nullopt;
  bool has_time = false;
  const auto seconds = ExtractTime(*tokens, has_time);
  if (!seconds) return std::nullopt;

  // What is left is the date: numbers and at most one month name, each pair separated by
  // blanks and at most one of / - . , (a month name may also carry an abbreviation's dot).
  std::vector<DatePiece> numbers;
  int month_name = 0;
  int pending = 0;             // non-blank separators since the last element
  bool after_element = false;  // an element was seen
  bool marker_pending = false;
  for (const DateToken& t : *tokens) {
    switch (t.kind) {
      case K::Meridiem: return std::nullopt;
      case K::Separator:
        if (t.sep == ':') return std::nullopt;
        if (t.sep == '|') {
          marker_pending = after_element;
        } else if (t.sep != ' ') {
          if (!after_element) return std::nullopt;
          ++pending;
        }
        continue;
      case K::Number:
      case K::Month:
        break;
    }
    if (marker_pending || pending > (month_name != 0 && t.kind == K::Number ? 2 : 1)) {
      return std::nullopt;
    }
    if (t.kind == K::Month) {
      if (month_name != 0) return std::nullopt;
      month_name = t.value;
    } else {
      numbers.push_back({t.value, t.width});
    }
    pending = 0;
    after_element = true;
  }
  if (pending > (month_name != 0 ? 1 : 0)) return std::nullopt;

  std::int64_t day = 0;
  if (!numbers.empty() || month_name != 0) {
    if (numbers.size() + (month_name != 0) > 3) return std::nullopt;
    const int current_year = numbers.size() + (month_name != 0) < 3 ? SplitDate(Today()).year : 0;
    const auto parts = ResolveDate(numbers, month_name, current_year);
    if (!parts) return std::nullopt;
    day = DaysFromCivil(parts->year, parts->month, parts->day) - kEpochShift;
  } else if (!has_time) {
    return std::nullopt;
  }
  return JoinSerial(day, *seconds);
}

double CDate(const Variant& v) {
  switch (v.kind()) {
    case VarKind::Null: Raise(err::kInvalidNull);
    case VarKind::Array: Raise(err::kTypeMismatch);
    case VarKind::Date: return v.AsDate();
    case VarKind::String: {
      const auto serial = ParseDate(v.AsString());
      if (!serial) Raise(err::kTypeMismatch);
      return *serial;
    }
    default: {
      const double serial = NumberOf(v);
      SplitSerial(serial);  // range check: 1/1/100 to 12/31/9999
      return serial;
    }
  }
}

bool IsDate(const Variant& v) {
  if (v.kind() == VarKind::Date) return true;
  return v.IsString() && ParseDate(v.AsString()).has_value();
}

double DateValue(const Variant& v) {
  return static_cast<double>(SplitSerial(CDate(v)).day);
}

double Now() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return DateSerial({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                     local.tm_min, std::min(local.tm_sec, 59)});
}

double Today() { return static_cast<double>(SplitSerial(Now()).day); }

std::int32_t DateDiffDays(double a, double b) {
  return static_cast<std::int32_t>(SplitSerial(b).day - SplitSerial(a).day);
}

std::string ToIso(double serial) {
  const DateParts p = SplitDate(serial);
  char buf[40];
  if (p.hour == 0 && p.minute == 0 && p.second == 0) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
  } else {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day,
                  p.hour, p.minute, p.second);
  }
  return buf;
}

std::optional<double> ParseIso(std::string_view s) {
  // Fixed-width fields: "YYYY-MM-DD", then optionally ' ' or 'T', "HH:MM", ":SS", ".fff".
  auto field = [&](std::size_t pos, std::size_t width) -> std::optional<int> {
    if (pos + width > s.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = pos; i < pos + width; ++i) {
      if (!IsDigit(s[i])) return std::nullopt;
      value = value * 10 + (s[i] - '0');
    }
    return value;
  };
  const auto y = field(0, 4), mo = field(5, 2), d = field(8, 2);
  if (!y || !mo || !d || s[4] != '-' || s[7] != '-') return std::nullopt;
  if (*y < 100 || *mo < 1 || *mo > 12 || *d < 1 || *d > DaysInMonth(*y, *mo)) return std::nullopt;
  const std::int64_t day = DaysFromCivil(*y, *mo, *d) - kEpochShift;
  if (s.size() == 10) return JoinSerial(day, 0);

  if (s[10] != ' ' && s[10] != 'T') return std::nullopt;
  const auto h = field(11, 2), mi = field(14, 2);
  if (!h || !mi || s[13] != ':' || *h > 23 || *mi > 59) return std::nullopt;
  double seconds = *h * 3600.0 + *mi * 60.0;
  if (s.size() == 16) return JoinSerial(day, seconds);
  const auto sec = field(17, 2);
  if (!sec || s[16] != ':' || *sec > 59) return std::nullopt;
  seconds += *sec;
  if (s.size() == 19) return JoinSerial(day, seconds);
  if (s[19] != '.' || s.size() == 20) return std::nullopt;
  double scale = 0.1;
  for (std::size_t i = 20; i < s.size(); ++i, scale /= 10) {
    if (!IsDigit(s[i])) return std::nullopt;
    seconds += (s[i] - '0') * scale;
  }
  return JoinSerial(day, seconds);
}

// ---- Comparisons ---------------------------------------------------------------------

bool TextEquals(const Variant& v, std::string_view text) {
  switch (v.kind()) {
    case VarKind::Null: return false;
    case VarKind::Empty: return text.empty();
    case VarKind::String: return v.AsString() == text;
    default: return CStr(v) == text;
  }
}

std::optional<int> Compare(const Variant& a, const Variant& b) {
  if (a.IsArray() || b.IsArray()) Raise(err::kTypeMismatch);
  if (a.IsNull() || b.IsNull()) return std::nullopt;
  auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };

  // Empty takes the kind of the other side: "" against text, 0 against anything else.
  const bool a_text = a.IsString() || (a.IsEmpty() && b.IsString());
  const bool b_text = b.IsString() || (b.IsEmpty() && a.IsString());
  if (a_text && b_text) {
    const std::string_view x = a.IsString() ? std::string_view(a.AsString()) : std::string_view();
    const std::string_view y = b.IsString() ? std::string_view(b.AsString()) : std::string_view();
    return sign(x.compare(y), 0);  // byte order of UTF-8 is character-code order
  }
  // A date against a text that holds a date compares as two dates (a saved estimate
  // against the page's text of it); any other text is greater than a number or date.
  if (a.kind() == VarKind::Date && b.IsString()) {
    if (auto d = ParseDate(b.AsString())) return sign(a.AsDate(), *d);
  }
  if (b.kind() == VarKind::Date && a.IsString()) {
    if (auto d = ParseDate(a.AsString())) return sign(*d, b.AsDate());
  }
  if (a_text) return 1;
  if (b_text) return -1;
  if (a.kind() == VarKind::Currency && b.kind() == VarKind::Currency) {
    return sign(a.AsCurrency(), b.AsCurrency());
  }
  return sign(NumberOf(a), NumberOf(b));
}

bool SortGreater(const Variant& a, const Variant& b) { return Compare(a, b) == 1; }

// ---- Random numbers -----------------------------------------------------------------

namespace {
constexpr std::uint32_t kRndStart = 0x50000;
std::atomic<std::uint32_t> rnd_state{kRndStart};
}  // namespace

float Rnd() {
  std::uint32_t current = rnd_state.load(std::memory_order_relaxed);
  std::uint32_t next = 0;
  do {
    next = (current * 1140671485u + 12820163u) & 0xFFFFFFu;
  } while (!rnd_state.compare_exchange_weak(current, next, std::memory_order_relaxed));
  return static_cast<float>(next) / 16777216.0f;
}

void ResetRnd() { rnd_state.store(kRndStart, std::memory_order_relaxed); }

}  // namespace ksmain::vb
