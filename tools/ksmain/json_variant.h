// Variants as JSON, both ways, for the late-bound bridge.
//
// null = Empty; a string = String; true/false = Boolean; an integer = Long (Double when it
// does not fit); any other number = Double; {"$":"null"} = Null; {"$":"i2","v":5} = Integer;
// {"$":"i4","v":5} = Long; {"$":"r8","v":2.5} = Double; {"$":"cy","v":"12.3400"} =
// Currency; {"$":"date","v":"2026-12-06T14:30:00"} = Date; a JSON array = a one-dimensional
// array from 0; {"$":"array","lbound":[..],"ubound":[..],"v":[[..],..]} = any array, v
// nested by dimension. Output uses the plain forms where a kind has one (Long, String,
// Empty, Boolean, arrays from 0 in one dimension, Date as "YYYY-MM-DDTHH:MM:SS") and the
// tagged form for the rest. A Double the runtime cannot print (an infinity, NaN) travels as
// {"$":"r8","v":"Infinity"|"-Infinity"|"NaN"}, a Date outside 1/1/100 .. 12/31/9999 as
// {"$":"date","v":serial}; both forms are read back.
//
// Decoding refuses what it cannot hold exactly (a fraction or an out-of-range value for an
// integral kind, a currency beyond 64 bits) instead of wrapping it, and checks an array's
// shape against its bounds before allocating the array.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "ksmain/variant.h"

namespace ksmain::bridge {

// A request that does not follow the encoding.
class BadRequest : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How deeply a request may nest (objects and arrays, the request itself included). Every
// step below is bounded by it, so any input is either decoded or refused with a reason on
// a small thread stack: sixty array dimensions inside a call still fit.
inline constexpr int kMaxDepth = 100;

// Parses a request, refusing one nested deeper than kMaxDepth before it is built.
// Raises BadRequest for the depth and nlohmann::json::exception for malformed text.
nlohmann::json ParseRequest(const std::string& text);

// Raise BadRequest for a value that does not follow the encoding or nests deeper than
// kMaxDepth; ToJson's output never nests deeper than the value it came from.
Variant FromJson(const nlohmann::json& j);
nlohmann::json ToJson(const Variant& v);

}  // namespace ksmain::bridge
