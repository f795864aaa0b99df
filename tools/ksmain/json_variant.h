// Variants as JSON, both ways, for the late-bound bridge.
//
// null = Empty; a string = String; true/false = Boolean; an integer = Long (Double when it
// does not fit); any other number = Double; {"$":"null"} = Null; {"$":"i2","v":5} = Integer;
// {"$":"i4","v":5} = Long; {"$":"r8","v":2.5} = Double; {"$":"cy","v":"12.3400"} =
// Currency; {"$":"date","v":"2026-12-06T14:30:00"} = Date; a JSON array = a one-dimensional
// array from 0; {"$":"array","lbound":[..],"ubound":[..],"v":[[..],..]} = any array, v
// nested by dimension. Output uses the plain forms where a kind has one (Long, String,
// Empty, Boolean, arrays from 0 in one dimension, Date as "YYYY-MM-DDTHH:MM:SS") and the
// tagged form for the rest.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "ksmain/variant.h"

namespace ksmain::bridge {

// A request that does not follow the encoding.
class BadRequest : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Variant FromJson(const nlohmann::json& j);
nlohmann::json ToJson(const Variant& v);

}  // namespace ksmain::bridge
