// What the runtime's topic files share and callers do not: the character tests of the text
// readers, the error raise, the 15-digit decimal form of a double and the calendar arithmetic
// on serials. Only the vb_*.cpp files include this; callers include vb_runtime.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frame/vb_runtime.h"

namespace ksmain::vb::detail {

[[noreturn]] inline void Raise(int number) { throw VbError(number); }

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

inline std::string_view StripBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// A double as the runtime sees it before printing: 15 significant digits d0.d1...d14
// times 10^exponent.
struct Decimal15 {
  bool negative = false;
  std::string digits;  // exactly 15 digits, all '0' for zero
  int exponent = 0;
};
Decimal15 ToDecimal15(double value);

// ---- Calendar (vb_dates.cpp) ----------------------------------------------------------

constexpr std::int64_t kEpochShift = -25569;  // 1899-12-30 in days from 1970-01-01
constexpr std::int64_t kFirstDay = -657434;   // 1/1/100
constexpr std::int64_t kLastDay = 2958465;    // 12/31/9999
constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d);
int DaysInMonth(int y, int m);
// The runtime's window for two-digit years.
inline int ExpandYear(int y) { return y < 30 ? 2000 + y : y < 100 ? 1900 + y : y; }

// A serial as a calendar day (days from 1899-12-30) and the second of that day, the time
// rounded to the second; a serial outside 1/1/100 .. 12/31/9999 raises 6.
struct DayAndSecond {
  std::int64_t day;
  std::int64_t second;
};
DayAndSecond SplitSerial(double serial);
// The serial of a day and a time of day, the fraction counting forward from midnight.
double JoinSerial(std::int64_t day, double seconds);

// Display text of a date serial and of a Currency (vb_text.cpp).
std::string DateText(double serial);
std::string CurrencyText(std::int64_t scaled);

}  // namespace ksmain::vb::detail
