// Turning a source value into a value of the destination column's kind.
//
// The runtime's rules decide (CDate, CInt, CCur, ...), so a date kept as text in an old
// file becomes the same date a page typing that text would get, and a rank kept as text
// becomes its number. What the destination cannot hold exactly is refused with a reason,
// never stored in a changed form.
#pragma once

#include "import/source.h"
#include "ksmain/variant.h"

namespace ksmain::import {

struct Converted {
  Variant value;       // what is bound for the destination column
  bool changed = false;  // the value's kind changed on the way (counted as converted)
};

// Raises ValueError naming `column` when the value does not fit the kind.
Converted ConvertValue(const Variant& value, ColumnKind kind, const std::string& column);

// The text a date is stored as: the engine's ISO form, with milliseconds added when the day
// number carries them (whole seconds keep the form every other date has).
std::string DateText(double serial, const std::string& column);

}  // namespace ksmain::import
