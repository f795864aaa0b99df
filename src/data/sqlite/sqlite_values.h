// Moving values between the engine and Variants.
//
// Reading gives each value the kind a recordset delivers for its column's type: the type
// the front end worked out for a result column, else the column's declared type, else the
// value's own storage class. Dates are stored as ISO text and come back as Date variants;
// text in a date column that is not ISO (written before the conversions existed, or by
// another tool) is read with the runtime's CDate rules, and left as text when it is not a
// date at all, so one odd row never makes a whole listing fail.
#pragma once

#include <sqlite3.h>

#include "ksmain/variant.h"
#include "sql/translate.h"

namespace ksmain::data::sqlite {

Variant ReadColumn(sqlite3_stmt* stmt, int column, sql::ColumnType type);

// Binds a Variant as a statement parameter (1-based): Empty and Null as NULL, dates as
// their ISO text, Booleans as 1/0, Currency as its decimal value. An array raises 13.
void BindValue(sqlite3_stmt* stmt, int index, const Variant& value);

// Binds a literal's value from a translated statement (1-based).
void BindBoundValue(sqlite3_stmt* stmt, int index, const sql::BoundValue& value);

}  // namespace ksmain::data::sqlite
