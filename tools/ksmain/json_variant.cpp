// The bridge's Variant encoding.
#include "json_variant.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string_view>

#include "frame/vb_runtime.h"

namespace ksmain::bridge {
namespace {

using nlohmann::json;

constexpr std::uint64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
// 2^63: the magnitude of the most negative currency value.
constexpr double kTwo63 = 9223372036854775808.0;

void CheckDepth(int depth) {
  if (depth > kMaxDepth) {
    throw BadRequest("value nested deeper than " + std::to_string(kMaxDepth) + " levels");
  }
}

// The integer a JSON number stands for; nullopt for a fraction, a non-number or a magnitude
// beyond 64 bits, so nothing is truncated or wrapped on the way to a narrower kind.
std::optional<std::int64_t> IntegralValue(const json& v) {
  if (v.is_number_unsigned()) {
    const auto u = v.get<std::uint64_t>();
    if (u > kInt64Max) return std::nullopt;
    return static_cast<std::int64_t>(u);
  }
  if (v.is_number_integer()) return v.get<std::int64_t>();
  if (v.is_number_float()) {
    const double d = v.get<double>();
    if (std::isfinite(d) && d == std::trunc(d) && d >= -kTwo63 && d < kTwo63) {
      return static_cast<std::int64_t>(d);
    }
  }
  return std::nullopt;
}

template <class Int>
Int CheckedIntegral(const json& v, const std::string& what) {
  const auto n = IntegralValue(v);
  if (!n || *n < std::numeric_limits<Int>::min() || *n > std::numeric_limits<Int>::max()) {
    throw BadRequest(what + " must be an integer from " +
                     std::to_string(std::numeric_limits<Int>::min()) + " to " +
                     std::to_string(std::numeric_limits<Int>::max()) + ", not " + v.dump(-1, ' ', false, json::error_handler_t::replace));
  }
  return static_cast<Int>(*n);
}

// Currency text read exactly: a double cannot carry every scaled 64-bit value, and the
// bridge writes the extremes ("-922337203685477.5808") that a caller must be able to send
// back. Digits past the fourth decimal round half to even, as the runtime's CCur does.
// nullopt when the text is not a plain decimal; a plain decimal out of range raises.
std::optional<std::int64_t> ParseCurrencyDecimal(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  const std::size_t point = s.find('.');
  const std::string_view whole = s.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
  if (whole.empty() && fraction.empty()) return std::nullopt;
  const auto all_digits = [](std::string_view t) {
    for (char c : t) {
      if (c < '0' || c > '9') return false;
    }
    return true;
  };
  if (!all_digits(whole) || !all_digits(fraction)) return std::nullopt;

  constexpr std::uint64_t kMaxWhole = 922337203685477;
  std::uint64_t scaled = 0;
  for (char c : whole) {
    scaled = scaled * 10 + static_cast<std::uint64_t>(c - '0');
    if (scaled > kMaxWhole) throw BadRequest("currency value out of range");
  }
  for (std::size_t i = 0; i < 4; ++i) {
    scaled = scaled * 10 + (i < fraction.size() ? static_cast<std::uint64_t>(fraction[i] - '0') : 0);
  }
  if (fraction.size() > 4) {
    const char first = fraction[4];
    const bool rest_zero = fraction.find_first_not_of('0', 5) == std::string_view::npos;
    if (first > '5' || (first == '5' && (!rest_zero || scaled % 2 == 1))) ++scaled;
  }
  const std::uint64_t limit = negative ? kInt64Max + 1 : kInt64Max;
  if (scaled > limit) throw BadRequest("currency value out of range");
  return negative ? static_cast<std::int64_t>(0 - scaled) : static_cast<std::int64_t>(scaled);
}

std::int64_t ScaleCurrency(double d) {
  const double scaled = std::nearbyint(d * 10000.0);
  if (!(scaled >= -kTwo63 && scaled < kTwo63)) throw BadRequest("currency value out of range");
  return static_cast<std::int64_t>(scaled);
}

std::int64_t ParseCurrency(const json& v) {
  if (v.is_number_integer()) {
    const auto n = IntegralValue(v);
    if (!n || *n > 922337203685477 || *n < -922337203685477) throw BadRequest("currency value out of range");
    return *n * 10000;
  }
  if (v.is_number()) return ScaleCurrency(v.get<double>());
  if (!v.is_string()) throw BadRequest("currency value must be a string or a number");
  const std::string& text = v.get_ref<const std::string&>();
  if (auto exact = ParseCurrencyDecimal(text)) return *exact;
  const auto n = vb::ParseNumber(text);
  if (!n) throw BadRequest("currency value is not a number");
  return ScaleCurrency(*n);
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

// JSON has no infinities or NaN; they travel under the names JavaScript prints for them.
json DoubleJson(double d) {
  if (std::isnan(d)) return json{{"$", "r8"}, {"v", "NaN"}};
  if (std::isinf(d)) return json{{"$", "r8"}, {"v", d > 0 ? "Infinity" : "-Infinity"}};
  return json{{"$", "r8"}, {"v", d}};
}

double ParseDouble(const json& v) {
  if (v.is_number()) {
    const double d = v.get<double>();
    // A literal such as 1e999 reads as an infinity; the runtime holds none.
    if (!std::isfinite(d)) throw BadRequest("r8 value out of range");
    return d;
  }
  if (v == "NaN") return std::numeric_limits<double>::quiet_NaN();
  if (v == "Infinity") return std::numeric_limits<double>::infinity();
  if (v == "-Infinity") return -std::numeric_limits<double>::infinity();
  throw BadRequest("r8 value must be a number");
}

// A date in the calendar's range as text; one outside it (or that rounds past 12/31/9999)
// as its serial, which is all such a value is.
json DateJson(double serial) {
  std::optional<vb::DateParts> parts;
  if (std::isfinite(serial)) {
    try {
      parts = vb::SplitDate(serial);
    } catch (const VbError&) {
    }
  }
  if (!parts || parts->year > 9999) {
    if (!std::isfinite(serial)) return json{{"$", "date"}, {"v", DoubleJson(serial)["v"]}};
    return json{{"$", "date"}, {"v", serial}};
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", parts->year, parts->month,
                parts->day, parts->hour, parts->minute, parts->second);
  return buf;
}

double ParseDate(const json& v) {
  if (!v.is_string()) return ParseDouble(v);
  const std::string& text = v.get_ref<const std::string&>();
  if (text == "NaN" || text == "Infinity" || text == "-Infinity") return ParseDouble(v);
  auto serial = vb::ParseIso(text);
  if (!serial) throw BadRequest("date value is not YYYY-MM-DDTHH:MM:SS");
  return *serial;
}

Variant Decode(const json& j, int depth);
json Encode(const Variant& v, int depth);

// Checks that `v` nests exactly as the bounds say, level by level, and returns its elements
// in index order (last dimension fastest). Nothing the size of the array is allocated until
// the elements are known to be there: the work and memory follow the request's own size.
std::vector<const json*> ShapedElements(const json& v, const std::vector<ArrayBound>& bounds) {
  std::vector<const json*> level{&v};
  for (std::size_t d = 0; d < bounds.size(); ++d) {
    std::vector<const json*> next;
    for (const json* node : level) {
      if (!node->is_array() || static_cast<std::int64_t>(node->size()) != bounds[d].count()) {
        throw BadRequest("array value does not match its bounds: dimension " + std::to_string(d + 1) +
                         " needs " + std::to_string(bounds[d].count()) + " element(s)");
      }
      for (const json& item : *node) next.push_back(&item);
    }
    level = std::move(next);
  }
  return level;
}

// Advances `index` to the next cell in index order; false after the last one.
bool NextIndex(std::vector<std::int32_t>& index, const std::vector<ArrayBound>& bounds) {
  for (std::size_t d = index.size(); d-- > 0;) {
    if (index[d] < bounds[d].upper) {
      ++index[d];
      return true;
    }
    index[d] = bounds[d].lower;
  }
  return false;
}

Variant DecodeArray(const json& j, int depth) {
  const json& lb = j.at("lbound");
  const json& ub = j.at("ubound");
  if (!lb.is_array() || !ub.is_array() || lb.size() != ub.size() || lb.empty()) {
    throw BadRequest("array bounds must be two arrays of equal length");
  }
  std::vector<ArrayBound> bounds;
  std::int64_t cells = 1;
  for (std::size_t d = 0; d < lb.size(); ++d) {
    bounds.push_back({CheckedIntegral<std::int32_t>(lb[d], "a lower bound"),
                      CheckedIntegral<std::int32_t>(ub[d], "an upper bound")});
    cells = bounds.back().count() == 0 ? 0 : cells;
  }
  // An empty array may leave out its (empty) elements.
  if (cells == 0 && !j.contains("v")) return Variant(VarArray(std::move(bounds)));
  CheckDepth(depth + static_cast<int>(bounds.size()));
  const std::vector<const json*> elements = ShapedElements(j.at("v"), bounds);
  VarArray a(bounds);
  std::vector<std::int32_t> index(bounds.size());
  for (std::size_t d = 0; d < bounds.size(); ++d) index[d] = bounds[d].lower;
  for (const json* item : elements) {
    a.at(std::span<const std::int32_t>(index)) = Decode(*item, depth + static_cast<int>(bounds.size()));
    NextIndex(index, bounds);
  }
  return Variant(std::move(a));
}

Variant DecodeTagged(const json& j, int depth) {
  const std::string tag = j.at("$").get<std::string>();
  if (tag == "null") return Variant::Null();
  if (tag == "array") return DecodeArray(j, depth);
  const json& v = j.at("v");
  if (tag == "i2") return Variant(CheckedIntegral<std::int16_t>(v, "an i2 value"));
  if (tag == "i4") return Variant(CheckedIntegral<std::int32_t>(v, "an i4 value"));
  if (tag == "r8") return Variant(ParseDouble(v));
  if (tag == "cy") return Variant::FromCurrency(ParseCurrency(v));
  if (tag == "date") return Variant::FromDate(ParseDate(v));
  throw BadRequest("unknown value tag \"" + tag + "\"");
}

// `depth` counts the containers this value sits in; a container adds one.
Variant Decode(const json& j, int depth) {
  switch (j.type()) {
    case json::value_t::null: return Variant();
    case json::value_t::string: return Variant(j.get<std::string>());
    case json::value_t::boolean: return Variant(j.get<bool>());
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: {
      const auto n = IntegralValue(j);
      if (n && *n >= std::numeric_limits<std::int32_t>::min() && *n <= std::numeric_limits<std::int32_t>::max()) {
        return Variant(static_cast<std::int32_t>(*n));
      }
      return Variant(j.get<double>());
    }
    case json::value_t::number_float: return Variant(ParseDouble(j));
    case json::value_t::array: {
      CheckDepth(depth + 1);
      std::vector<Variant> items;
      items.reserve(j.size());
      for (const json& item : j) items.push_back(Decode(item, depth + 1));
      return Variant(VarArray::Of(std::move(items)));
    }
    case json::value_t::object: CheckDepth(depth + 1); return DecodeTagged(j, depth + 1);
    default: throw BadRequest("value of an unsupported JSON type");
  }
}

// The cells in index order, nested by dimension. Iterative over the dimensions, so only
// arrays held inside cells add to the recursion.
json EncodeCells(const VarArray& a, int depth) {
  const std::vector<ArrayBound>& bounds = a.bounds();
  const std::size_t dims = bounds.size();
  if (a.size() == 0) return json::array();
  CheckDepth(depth + static_cast<int>(dims));
  std::vector<json> open(dims, json::array());
  std::vector<std::int32_t> index(dims);
  for (std::size_t d = 0; d < dims; ++d) index[d] = bounds[d].lower;
  for (;;) {
    open[dims - 1].push_back(Encode(a.at(std::span<const std::int32_t>(index)), depth + static_cast<int>(dims)));
    std::size_t d = dims;
    while (index[d - 1] == bounds[d - 1].upper) {
      index[d - 1] = bounds[d - 1].lower;
      if (--d == 0) return std::move(open[0]);
      open[d - 1].push_back(std::move(open[d]));
      open[d] = json::array();
    }
    ++index[d - 1];
  }
}

json Encode(const Variant& v, int depth) {
  switch (v.kind()) {
    case VarKind::Empty: return nullptr;
    case VarKind::Null: return json{{"$", "null"}};
    case VarKind::Integer: return json{{"$", "i2"}, {"v", v.AsInteger()}};
    case VarKind::Long: return v.AsLong();
    case VarKind::Double: return DoubleJson(v.AsDouble());
    case VarKind::Currency: return json{{"$", "cy"}, {"v", CurrencyText(v.AsCurrency())}};
    case VarKind::Boolean: return v.AsBoolean();
    case VarKind::Date: return DateJson(v.AsDate());
    case VarKind::String: return v.AsString();
    case VarKind::Array: {
      const VarArray& a = v.AsArray();
      if (a.dims() == 1 && a.bound(0).lower == 0) return EncodeCells(a, depth);
      CheckDepth(depth + 1);
      json lb = json::array(), ub = json::array();
      for (const ArrayBound& b : a.bounds()) {
        lb.push_back(b.lower);
        ub.push_back(b.upper);
      }
      return json{{"$", "array"}, {"lbound", lb}, {"ubound", ub}, {"v", EncodeCells(a, depth + 1)}};
    }
  }
  return nullptr;
}

}  // namespace

json ParseRequest(const std::string& text) {
  // The callback sees each container before it is built, with the number of containers
  // it sits in: the parser never builds (nor later walks or frees) anything deeper.
  const json::parser_callback_t limit = [](int depth, json::parse_event_t event, json&) {
    if ((event == json::parse_event_t::object_start || event == json::parse_event_t::array_start) &&
        depth >= kMaxDepth) {
      throw BadRequest("request nested deeper than " + std::to_string(kMaxDepth) + " levels");
    }
    return true;
  };
  return json::parse(text, limit);
}

Variant FromJson(const json& j) {
  try {
    return Decode(j, 0);
  } catch (const json::exception& e) {
    throw BadRequest(std::string("malformed value: ") + e.what());
  } catch (const VbError& e) {
    throw BadRequest("malformed value: " + e.description());
  }
}

json ToJson(const Variant& v) { return Encode(v, 0); }

}  // namespace ksmain::bridge
