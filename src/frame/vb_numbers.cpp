// Numbers: text read as a number the way the runtime reads it, the conversions to Double,
// Integer, Long, Currency and Boolean, 16-bit arithmetic with its overflow check, and
// FormatNumber's fixed decimals.
//
// Numbers format from their 15-significant-digit decimal form, as the runtime does, so
// 2.675 formats to "2.68"; the binary residue of a double never reaches a page.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "frame/vb_internal.h"

namespace ksmain::vb {
using namespace detail;

namespace detail {
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
}  // namespace detail

namespace {

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

// The symbols that may stand around the digits, each at most once: a sign, the currency
// sign "$" and an opening parenthesis before them (in any order, blanks between), and
// after them blanks, a sign or "$" that did not already stand in front, and the closing
// parenthesis. A minus or the parentheses make the number negative.
struct NumberFrame {
  bool plus = false, minus = false, currency = false, open = false, closed = false;
};

// Consumes leading (`before`) or trailing symbols from s[i]; returns where they end.
std::size_t SkipSymbols(std::string_view s, std::size_t i, NumberFrame& f, bool before) {
  while (i < s.size()) {
    const char c = s[i];
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    bool* flag = c == '+' ? &f.plus : c == '-' ? &f.minus : c == '$' ? &f.currency : nullptr;
    if (flag == nullptr && before && c == '(') flag = &f.open;
    if (flag == nullptr && !before && c == ')' && f.open) flag = &f.closed;
    if (flag == nullptr || *flag) return i;
    *flag = true;
    ++i;
  }
  return i;
}

std::optional<ScannedNumber> ScanNumber(std::string_view text) {
  std::string_view s = StripBlanks(text);
  if (s.empty()) return std::nullopt;
  if (s[0] == '&') return ScanRadix(s);

  ScannedNumber n;
  NumberFrame frame;
  std::size_t i = SkipSymbols(s, 0, frame, true);
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
  if (SkipSymbols(s, i, frame, false) != s.size() || frame.open != frame.closed) return std::nullopt;
  n.negative = frame.minus || frame.open;

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

}  // namespace

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
    // "#TRUE#" and "#FALSE#" are the runtime's own file form of a Boolean.
    if (EqualsNoCase(s, "true") || EqualsNoCase(s, "#true#")) return true;
    if (EqualsNoCase(s, "false") || EqualsNoCase(s, "#false#")) return false;
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

}  // namespace ksmain::vb
