// Value kinds for the embedded engine's columns and parameters.
#include "data/sqlite/sqlite_values.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "frame/vb_runtime.h"
#include "ksmain/error.h"

namespace ksmain::data::sqlite {
namespace {

// Each column is read through its value handle: one look-up of the column, then the
// storage class, number or text straight from it. A session is used by one thread at a
// time, which is what reading a column's value this way asks for.
std::string_view TextOf(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  if (text == nullptr) return {};
  return std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(value)));
}

// The kind of a value by its storage class alone: integers that fit in 32 bits are Long,
// larger ones Double (the variant has no 64-bit integer), reals Double, text String.
Variant ByStorage(sqlite3_value* value, int storage) {
  switch (storage) {
    case SQLITE_INTEGER: {
      sqlite3_int64 v = sqlite3_value_int64(value);
      if (v >= std::numeric_limits<std::int32_t>::min() &&
          v <= std::numeric_limits<std::int32_t>::max()) {
        return Variant(static_cast<std::int32_t>(v));
      }
      return Variant(static_cast<double>(v));
    }
    case SQLITE_FLOAT:
      return Variant(sqlite3_value_double(value));
    case SQLITE_NULL:
      return Variant::Null();
    default:
      return Variant(std::string(TextOf(value)));
  }
}

bool IsNumericStorage(int storage) { return storage == SQLITE_INTEGER || storage == SQLITE_FLOAT; }

Variant AsDate(sqlite3_value* value, int storage) {
  if (IsNumericStorage(storage)) return Variant::FromDate(sqlite3_value_double(value));
  std::string_view text = TextOf(value);
  if (auto serial = vb::ParseIso(text)) return Variant::FromDate(*serial);
  if (auto serial = vb::ParseDate(text)) return Variant::FromDate(*serial);
  return Variant(std::string(text));
}

Variant AsCurrency(sqlite3_value* value, int storage) {
  double number;
  if (IsNumericStorage(storage)) {
    number = sqlite3_value_double(value);
  } else {
    auto parsed = vb::ParseNumber(TextOf(value));
    if (!parsed) return ByStorage(value, storage);
    number = *parsed;
  }
  // Currency holds 64-bit ten-thousandths; a value beyond that is left as a Double.
  double scaled = std::round(number * 10000.0);
  if (!(std::fabs(scaled) < 9.2e18)) return Variant(number);
  return Variant::FromCurrency(static_cast<std::int64_t>(scaled));
}

Variant AsBoolean(sqlite3_value* value, int storage) {
  if (IsNumericStorage(storage)) return Variant(sqlite3_value_double(value) != 0.0);
  std::string_view text = TextOf(value);
  std::string lower = vb::LCase(vb::Trim(text));
  if (lower == "true") return Variant(true);
  if (lower == "false") return Variant(false);
  if (auto number = vb::ParseNumber(text)) return Variant(*number != 0.0);
  return Variant(std::string(text));
}

Variant AsInteger(sqlite3_value* value, int storage, std::int64_t low, std::int64_t high) {
  if (storage != SQLITE_INTEGER) return ByStorage(value, storage);
  sqlite3_int64 v = sqlite3_value_int64(value);
  if (v < low || v > high) return ByStorage(value, storage);
  if (high == std::numeric_limits<std::int16_t>::max()) {
    return Variant(static_cast<std::int16_t>(v));
  }
  return Variant(static_cast<std::int32_t>(v));
}

}  // namespace

Variant ReadColumn(sqlite3_stmt* stmt, int column, sql::ColumnType type) {
  sqlite3_value* value = sqlite3_column_value(stmt, column);
  const int storage = sqlite3_value_type(value);
  if (storage == SQLITE_NULL) return Variant::Null();
  switch (type) {
    case sql::ColumnType::Unknown:
      return ByStorage(value, storage);
    case sql::ColumnType::Integer:
      return AsInteger(value, storage, std::numeric_limits<std::int16_t>::min(),
                       std::numeric_limits<std::int16_t>::max());
    case sql::ColumnType::Long:
      return AsInteger(value, storage, std::numeric_limits<std::int32_t>::min(),
                       std::numeric_limits<std::int32_t>::max());
    case sql::ColumnType::Double:
      if (IsNumericStorage(storage)) return Variant(sqlite3_value_double(value));
      return ByStorage(value, storage);
    case sql::ColumnType::Currency:
      return AsCurrency(value, storage);
    case sql::ColumnType::Boolean:
      return AsBoolean(value, storage);
    case sql::ColumnType::Date:
      return AsDate(value, storage);
    case sql::ColumnType::String:
      return Variant(std::string(TextOf(value)));
  }
  return ByStorage(value, storage);
}

void BindValue(sqlite3_stmt* stmt, int index, const Variant& value) {
  int rc = SQLITE_OK;
  switch (value.kind()) {
    case VarKind::Empty:
    case VarKind::Null:
      rc = sqlite3_bind_null(stmt, index);
      break;
    case VarKind::Integer:
      rc = sqlite3_bind_int(stmt, index, value.AsInteger());
      break;
    case VarKind::Long:
      rc = sqlite3_bind_int(stmt, index, value.AsLong());
      break;
    case VarKind::Double:
      rc = sqlite3_bind_double(stmt, index, value.AsDouble());
      break;
    case VarKind::Currency:
      rc = sqlite3_bind_double(stmt, index, static_cast<double>(value.AsCurrency()) / 10000.0);
      break;
    case VarKind::Boolean:
      rc = sqlite3_bind_int(stmt, index, value.AsBoolean() ? 1 : 0);
      break;
    case VarKind::Date: {
      std::string iso = vb::ToIso(value.AsDate());
      rc = sqlite3_bind_text(stmt, index, iso.data(), static_cast<int>(iso.size()),
                             SQLITE_TRANSIENT);
      break;
    }
    case VarKind::String: {
      const std::string& s = value.AsString();
      rc = sqlite3_bind_text(stmt, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      break;
    }
    case VarKind::Array:
      throw VbError(err::kTypeMismatch);
  }
  if (rc != SQLITE_OK) {
    throw VbError(err::kDatabaseError, sqlite3_errmsg(sqlite3_db_handle(stmt)));
  }
}

void BindBoundValue(sqlite3_stmt* stmt, int index, const sql::BoundValue& value) {
  int rc = SQLITE_OK;
  if (const auto* integer = std::get_if<std::int64_t>(&value)) {
    rc = sqlite3_bind_int64(stmt, index, *integer);
  } else if (const auto* real = std::get_if<double>(&value)) {
    rc = sqlite3_bind_double(stmt, index, *real);
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    rc = sqlite3_bind_text64(stmt, index, text->data(), text->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  } else {
    rc = sqlite3_bind_null(stmt, index);
  }
  if (rc != SQLITE_OK) throw VbError(err::kDatabaseError, sqlite3_errstr(rc));
}

}  // namespace ksmain::data::sqlite
