// The date reader: text a user types read as a date (CDate, IsDate, DateValue), by the
// runtime's rule for en-US: a time is numbers joined by ":" or ".", or a number with AM/PM;
// the numbers and month name left over make the date, before or after the time, never
// around it.
#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "frame/vb_internal.h"

namespace ksmain::vb {
using namespace detail;

namespace {

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

// The blanks beyond ASCII that text pasted from other systems carries between a date and
// its time: the no-break space U+00A0 and the ideographic space U+3000 (UTF-8 bytes).
std::size_t WideBlank(std::string_view s) {
  if (s.substr(0, 2) == "\xC2\xA0") return 2;
  if (s.substr(0, 3) == "\xE3\x80\x80") return 3;
  return 0;
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
    if (const std::size_t width = WideBlank(s.substr(i))) {
      separator(' ');
      i += width;
      continue;
    }
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
      if (EqualsNoCase(word, "am") || EqualsNoCase(word, "pm") || EqualsNoCase(word, "a") ||
          EqualsNoCase(word, "p")) {
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

// Takes the time of day out of the tokens, leaving a '|' marker in its place. A time is two
// or three numbers joined by ':' or '.' (en-US reads the decimal point as a time separator,
// so "2.5" is 2:05 AM, "1.5.2" 1:05:02 AM, and "02.01.1970" is no date at all), or a lone
// number followed by AM/PM ("3 PM"). AM/PM ("PM", "p") counts only up to 12 o'clock:
// "13:00 AM" is 1:00 PM. Returns the seconds since midnight, 0 when there is no time, or
// nullopt when the time is out of range, has more than three parts ("02:04:12.017") or
// appears twice.
std::optional<double> ExtractTime(std::vector<DateToken>& t, bool& found) {
  using K = DateToken::Kind;
  found = false;
  double seconds = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (!IsKind(t, i, K::Number)) continue;
    std::size_t end = i + 1;
    std::vector<int> hms{t[i].value};
    while ((IsSep(t, end, ':') || IsSep(t, end, '.')) && IsKind(t, end + 1, K::Number)) {
      hms.push_back(t[end + 1].value);
      end += 2;
    }
    if (hms.size() > 3) return std::nullopt;
    const std::size_t after = end + (IsSep(t, end, ' ') ? 1 : 0);
    const bool meridiem = IsKind(t, after, K::Meridiem);
    if (hms.size() == 1 && !meridiem) continue;  // a lone number belongs to the date
    if (found) return std::nullopt;
    found = true;
    hms.resize(3, 0);
    if (meridiem) {
      const bool pm = t[after].value == 1;
      if (pm && hms[0] < 12) hms[0] += 12;
      if (!pm && hms[0] == 12) hms[0] = 0;
      end = after + 1;
    }
    if (hms[0] > 23 || hms[1] > 59 || hms[2] > 59) return std::nullopt;
    seconds = hms[0] * 3600.0 + hms[1] * 60.0 + hms[2];
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
// the runtime tries. Two numbers: month-day, day-month, month-year, year-month. Three: the
// locale's month-day-year, then year-month-day, then day-month-year, so "14 2 3" is
// 2/3/2014 and "13-1-1970" (no year 13 has a day 1970) 1/13/1970. A number of three or
// more digits can only be a year.
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
    if (n == 3) orders = {{2, 0, 1}, {0, 1, 2}, {2, 1, 0}};
  }
  for (const Order& o : orders) {
    if (auto p = attempt(o)) return p;
  }
  return std::nullopt;
}


}  // namespace

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

}  // namespace ksmain::vb
