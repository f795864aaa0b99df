// The bridge's Variant encoding.
#include "json_variant.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "frame/vb_runtime.h"

namespace ksmain::bridge {
namespace {

using nlohmann::json;

std::int64_t ParseCurrency(const json& v) {
  if (v.is_number()) return std::llround(v.get<double>() * 10000.0);
  if (!v.is_string()) throw BadRequest("currency value must be a string or a number");
  auto n = vb::ParseNumber(v.get<std::string>());
  if (!n || std::fabs(*n) > 922337203685477.0) throw BadRequest("currency value is not a number");
  return std::llround(*n * 10000.0);
}

std::string CurrencyText(std::int64_t scaled) {
  const bool negative = scaled < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", negative ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  return buf;
}

std::string DateText(double serial) {
  const vb::DateParts p = vb::SplitDate(serial);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return buf;
}

void FillArray(VarArray& out, const json& v, std::vector<std::int32_t>& index, std::size_t dim) {
  const ArrayBound& b = out.bounds()[dim];
  if (!v.is_array() || static_cast<std::int64_t>(v.size()) != b.count()) {
    throw BadRequest("array value does not match its bounds");
  }
  for (std::int64_t i = 0; i < b.count(); ++i) {
    index[dim] = static_cast<std::int32_t>(b.lower + i);
    const json& item = v[static_cast<std::size_t>(i)];
    if (dim + 1 == out.bounds().size()) {
      out.at(std::span<const std::int32_t>(index)) = FromJson(item);
    } else {
      FillArray(out, item, index, dim + 1);
    }
  }
}

json DumpArray(const VarArray& a, std::vector<std::int32_t>& index, std::size_t dim) {
  json out = json::array();
  const ArrayBound& b = a.bounds()[dim];
  for (std::int64_t i = 0; i < b.count(); ++i) {
    index[dim] = static_cast<std::int32_t>(b.lower + i);
    out.push_back(dim + 1 == a.bounds().size() ? ToJson(a.at(std::span<const std::int32_t>(index)))
                                               : DumpArray(a, index, dim + 1));
  }
  return out;
}

Variant FromTagged(const json& j) {
  const std::string tag = j.at("$").get<std::string>();
  if (tag == "null") return Variant::Null();
  if (tag == "array") {
    const json& lb = j.at("lbound");
    const json& ub = j.at("ubound");
    if (!lb.is_array() || !ub.is_array() || lb.size() != ub.size() || lb.empty()) {
      throw BadRequest("array bounds must be two arrays of equal length");
    }
    std::vector<ArrayBound> bounds;
    for (std::size_t d = 0; d < lb.size(); ++d) {
      bounds.push_back({lb[d].get<std::int32_t>(), ub[d].get<std::int32_t>()});
    }
    VarArray a(std::move(bounds));
    std::vector<std::int32_t> index(a.bounds().size());
    if (a.size() > 0) FillArray(a, j.at("v"), index, 0);
    return Variant(std::move(a));
  }
  const json& v = j.at("v");
  if (tag == "i2") {
    const auto n = v.get<std::int64_t>();
    if (n < -32768 || n > 32767) throw BadRequest("i2 value out of range");
    return Variant(static_cast<std::int16_t>(n));
  }
  if (tag == "i4") {
    const auto n = v.get<std::int64_t>();
    if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max()) {
      throw BadRequest("i4 value out of range");
    }
    return Variant(static_cast<std::int32_t>(n));
  }
  if (tag == "r8") return Variant(v.get<double>());
  if (tag == "cy") return Variant::FromCurrency(ParseCurrency(v));
  if (tag == "date") {
    auto serial = vb::ParseIso(v.get<std::string>());
    if (!serial) throw BadRequest("date value is not YYYY-MM-DDTHH:MM:SS");
    return Variant::FromDate(*serial);
  }
  throw BadRequest("unknown value tag \"" + tag + "\"");
}

}  // namespace

Variant FromJson(const json& j) {
  try {
    switch (j.type()) {
      case json::value_t::null: return Variant();
      case json::value_t::string: return Variant(j.get<std::string>());
      case json::value_t::boolean: return Variant(j.get<bool>());
      case json::value_t::number_integer:
      case json::value_t::number_unsigned: {
        if (j.is_number_unsigned() && j.get<std::uint64_t>() > 2147483647u) return Variant(j.get<double>());
        const auto n = j.get<std::int64_t>();
        if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max()) {
          return Variant(static_cast<double>(n));
        }
        return Variant(static_cast<std::int32_t>(n));
      }
      case json::value_t::number_float: return Variant(j.get<double>());
      case json::value_t::array: {
        std::vector<Variant> items;
        for (const json& item : j) items.push_back(FromJson(item));
        return Variant(VarArray::Of(std::move(items)));
      }
      case json::value_t::object: return FromTagged(j);
      default: throw BadRequest("value of an unsupported JSON type");
    }
  } catch (const json::exception& e) {
    throw BadRequest(std::string("malformed value: ") + e.what());
  } catch (const VbError& e) {
    throw BadRequest("malformed value: " + e.description());
  }
}

json ToJson(const Variant& v) {
  switch (v.kind()) {
    case VarKind::Empty: return nullptr;
    case VarKind::Null: return json{{"$", "null"}};
    case VarKind::Integer: return json{{"$", "i2"}, {"v", v.AsInteger()}};
    case VarKind::Long: return v.AsLong();
    case VarKind::Double: {
      const double d = v.AsDouble();
      // JSON has no infinities or NaN; they travel as text.
      if (!std::isfinite(d)) return json{{"$", "r8"}, {"v", vb::DoubleText(d)}};
      return json{{"$", "r8"}, {"v", d}};
    }
    case VarKind::Currency: return json{{"$", "cy"}, {"v", CurrencyText(v.AsCurrency())}};
    case VarKind::Boolean: return v.AsBoolean();
    case VarKind::Date: return DateText(v.AsDate());
    case VarKind::String: return v.AsString();
    case VarKind::Array: {
      const VarArray& a = v.AsArray();
      std::vector<std::int32_t> index(a.bounds().size());
      if (a.dims() == 1 && a.bound(0).lower == 0) {
        return a.size() == 0 ? json::array() : DumpArray(a, index, 0);
      }
      json lb = json::array(), ub = json::array();
      for (const ArrayBound& b : a.bounds()) {
        lb.push_back(b.lower);
        ub.push_back(b.upper);
      }
      return json{{"$", "array"}, {"lbound", lb}, {"ubound", ub},
                  {"v", a.size() == 0 ? json::array() : DumpArray(a, index, 0)}};
    }
  }
  return nullptr;
}

}  // namespace ksmain::bridge
