// Dates: serials and calendar parts, the clock, day differences and the ISO text in which
// the embedded engine stores dates.
//
// Dates are serials counted from 1899-12-30; for a negative serial the integer part counts
// days back and the fraction still counts the time of day forward from midnight, so -1.25
// is 12/29/1899 6:00 AM. Reading a date from the text a user types is vb_date_reader.cpp.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "frame/vb_internal.h"

namespace ksmain::vb {
using namespace detail;

namespace {

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

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Days from 1970-01-01 of a proleptic Gregorian date (month 1..12); inline here so that
// reading a stored date does not pay a call for it.
inline std::int64_t CivilDays(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The number in the two digits at `p`, or -1 when either is not a digit.
inline int TwoDigits(const char* p) {
  const unsigned tens = static_cast<unsigned char>(p[0]) - unsigned{'0'};
  const unsigned ones = static_cast<unsigned char>(p[1]) - unsigned{'0'};
  return tens <= 9 && ones <= 9 ? static_cast<int>(tens * 10 + ones) : -1;
}

inline int FourDigits(const char* p) {
  const int high = TwoDigits(p), low = TwoDigits(p + 2);
  return high < 0 || low < 0 ? -1 : high * 100 + low;
}

}  // namespace

namespace detail {

std::int64_t DaysFromCivil(std::int64_t y, int m, int d) { return CivilDays(y, m, d); }

int DaysInMonth(int y, int m) {
  static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[static_cast<std::size_t>(m - 1)];
}

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

}  // namespace detail

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

// Read for every date column of every row the engine returns, nearly always in one of the
// two shapes ToIso writes: each field is read once, straight from the text, and the month's
// length is looked up only for a day past the 28th.
std::optional<double> ParseIso(std::string_view s) {
  // Fixed-width fields: "YYYY-MM-DD", then optionally ' ' or 'T', "HH:MM", ":SS", ".fff".
  if (s.size() < 10 || s[4] != '-' || s[7] != '-') return std::nullopt;
  const char* p = s.data();
  const int y = FourDigits(p), mo = TwoDigits(p + 5), d = TwoDigits(p + 8);
  if (y < 100 || mo < 1 || mo > 12 || d < 1 || (d > 28 && d > DaysInMonth(y, mo))) {
    return std::nullopt;
  }
  const std::int64_t day = CivilDays(y, mo, d) - kEpochShift;
  if (s.size() == 10) return JoinSerial(day, 0);

  if ((s[10] != ' ' && s[10] != 'T') || s.size() < 16 || s[13] != ':') return std::nullopt;
  const int h = TwoDigits(p + 11), mi = TwoDigits(p + 14);
  if (h < 0 || h > 23 || mi < 0 || mi > 59) return std::nullopt;
  double seconds = h * 3600.0 + mi * 60.0;
  if (s.size() == 16) return JoinSerial(day, seconds);
  if (s.size() < 19 || s[16] != ':') return std::nullopt;
  const int sec = TwoDigits(p + 17);
  if (sec < 0 || sec > 59) return std::nullopt;
  seconds += sec;
  if (s.size() == 19) return JoinSerial(day, seconds);
  if (s[19] != '.' || s.size() == 20) return std::nullopt;
  double scale = 0.1;
  for (std::size_t i = 20; i < s.size(); ++i, scale /= 10) {
    if (!IsDigit(s[i])) return std::nullopt;
    seconds += (s[i] - '0') * scale;
  }
  return JoinSerial(day, seconds);
}

}  // namespace ksmain::vb
