// Joining page values into SQL text without letting them change what the statement does.
//
// Members build their SQL by concatenation, as pages expect to read it back. A value that
// goes between quotes has its apostrophes doubled (for values without one the text is
// exactly what it always was); a value that goes in bare must be a number; a sort text
// must be an order list. A value that breaks these rules fails the member the way
// rejected SQL does (SqlError), before anything reaches the engine.
#pragma once

#include <string>
#include <string_view>

#include "ksmain/variant.h"

namespace ksmain::sql {

// The value's text (Null and Empty as ""), apostrophes doubled, for use between quotes.
std::string Quoted(const Variant& value);

// The value's text, which must be a plain number (optional blanks and sign, digits, one
// decimal point, an exponent); anything else raises SqlError.
std::string Bare(const Variant& value);

// The value's text, which must be an ORDER BY list: names (plain, dotted or bracketed)
// or function calls of names, each optionally followed by ASC or DESC, separated by
// commas; anything else (a subquery, a second statement, a comment) raises SqlError.
// The empty text is accepted (the engine then rejects the statement as it always did).
std::string OrderList(const Variant& value);

// Raises SqlError when the text holds more than one statement (a trailing ";" is fine).
void RequireSingleStatement(std::string_view text);

}  // namespace ksmain::sql
