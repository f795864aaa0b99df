// Text: the display text of every kind of value (CStr) and the text functions Trim, UCase,
// LCase and Replace.
//
// A Double prints from its 15-significant-digit decimal form, as the runtime does, so
// 0.1 + 0.2 prints "0.3". A date prints in the short date and long time of en-US; the day
// 12/30/1899 is the runtime's "no date" and prints as a time only.
#include <cmath>
#include <cstdio>

#include "frame/vb_internal.h"

namespace ksmain::vb {
using namespace detail;

namespace {

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

}  // namespace

namespace detail {

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

}  // namespace detail

// ---- Text ---------------------------------------------------------------------------

std::string DoubleText(double d) {
  if (!std::isfinite(d)) Raise(err::kOverflow);
  const Decimal15 dec = ToDecimal15(d);
  std::string sig = dec.digits;
  while (sig.size() > 1 && sig.back() == '0') sig.pop_back();
  if (sig == "0") return "0";
  const int e = dec.exponent;
  std::string text;
  // Plain decimals while every significant digit stands within 15 decimal places
  // (5.6789E-11 prints "0.000000000056789", 5.6789E-12 does not); E notation from 1E+15 up.
  const bool fits = e >= 0 || static_cast<int>(sig.size()) - e - 1 <= 15;
  if (!fits || e >= 15) {
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
}  // namespace ksmain::vb
