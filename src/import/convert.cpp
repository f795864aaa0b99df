// Value conversion for the import (see convert.h).
#include "import/convert.h"

#include <cmath>
#include <cstdio>
#include <cstdint>

#include "frame/vb_runtime.h"
#include "ksmain/error.h"

namespace ksmain::import {
namespace {

// Currency reaches the engine as a double; beyond 2^53 ten-thousandths a double no longer
// holds every amount exactly.
constexpr std::int64_t kExactCurrency = std::int64_t{1} << 53;

std::string Shown(const Variant& value) {
  if (value.IsString()) {
    std::string text = value.AsString();
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    return "'" + text + "'";
  }
  try {
    return vb::CStr(value);
  } catch (const VbError&) {
    return "(value)";
  }
}

bool IsText(ColumnKind kind) { return kind == ColumnKind::Text || kind == ColumnKind::Memo; }

VarKind VariantKindOf(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Boolean: return VarKind::Boolean;
    case ColumnKind::Integer: return VarKind::Integer;
    case ColumnKind::Long: return VarKind::Long;
    case ColumnKind::Double: return VarKind::Double;
    case ColumnKind::Currency: return VarKind::Currency;
    case ColumnKind::Date: return VarKind::Date;
    case ColumnKind::Text:
    case ColumnKind::Memo:
    case ColumnKind::Blob: return VarKind::String;
  }
  return VarKind::String;
}

}  // namespace

const char* KindName(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Boolean: return "yes/no";
    case ColumnKind::Integer: return "integer";
    case ColumnKind::Long: return "long integer";
    case ColumnKind::Double: return "number";
    case ColumnKind::Currency: return "currency";
    case ColumnKind::Date: return "date";
    case ColumnKind::Text: return "text";
    case ColumnKind::Memo: return "memo";
    case ColumnKind::Blob: return "binary";
  }
  return "value";
}

std::string DateText(double serial, const std::string& column) {
  if (!std::isfinite(serial) || serial <= -657435.0 || serial >= 2958466.0) {
    throw ValueError(column, "the day number " + std::to_string(serial) +
                                 " lies outside the dates 1/1/100 to 12/31/9999");
  }
  const double whole = std::trunc(serial);
  const std::int64_t millis = std::llround(std::fabs(serial - whole) * 86400000.0);
  if (millis % 1000 == 0) return vb::ToIso(serial);
  // The date part from the day number, the time from the rounded milliseconds (the day
  // number's fraction counts forward from midnight, also before 1899).
  const vb::DateParts day = vb::SplitDate(whole);
  const std::int64_t seconds = millis / 1000;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", day.year, day.month,
                day.day, static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60), static_cast<int>(millis % 1000));
  return buf;
}

Converted ConvertValue(const Variant& value, ColumnKind kind, const std::string& column) {
  if (value.IsNull() || value.IsEmpty()) return {Variant::Null(), false};
  // An empty text has no number or date in it; the engine's own rule stores it as Null.
  if (value.IsString() && value.AsString().empty() && !IsText(kind) && kind != ColumnKind::Blob) {
    return {Variant::Null(), true};
  }
  const bool changed = value.kind() != VariantKindOf(kind);
  try {
    switch (kind) {
      case ColumnKind::Boolean: return {Variant(vb::CBool(value)), changed};
      case ColumnKind::Integer: return {Variant(vb::CInt(value)), changed};
      case ColumnKind::Long: return {Variant(vb::CLng(value)), changed};
      case ColumnKind::Double: {
        const double d = vb::CDbl(value);
        if (!std::isfinite(d)) throw ValueError(column, "the number " + Shown(value) + " is not finite");
        return {Variant(d), changed};
      }
      case ColumnKind::Currency: {
        const std::int64_t scaled = vb::CCur(value);
        if (scaled > kExactCurrency || scaled < -kExactCurrency) {
          throw ValueError(column, "the amount " + Shown(value) + " is larger than the destination holds exactly");
        }
        return {Variant::FromCurrency(scaled), changed};
      }
      case ColumnKind::Date: {
        double serial;
        if (value.kind() == VarKind::Date) {
          serial = value.AsDate();
        } else if (value.IsString()) {
          auto parsed = vb::ParseIso(value.AsString());
          if (!parsed) parsed = vb::ParseDate(value.AsString());
          if (!parsed) throw ValueError(column, "the value " + Shown(value) + " is not a date");
          serial = *parsed;
        } else {
          serial = vb::CDate(value);
        }
        return {Variant(DateText(serial, column)), changed};
      }
      case ColumnKind::Text:
      case ColumnKind::Memo:
        if (value.kind() == VarKind::Date) return {Variant(vb::CStr(value)), true};
        return {Variant(vb::CStr(value)), changed};
      case ColumnKind::Blob:
        if (value.IsString()) return {value, false};
        throw ValueError(column, "the value " + Shown(value) + " is not binary data");
    }
  } catch (const VbError& e) {
    throw ValueError(column, "the value " + Shown(value) + " does not convert to " +
                                 KindName(kind) + " (" + e.description() + ")");
  }
  return {value, false};
}

}  // namespace ksmain::import
