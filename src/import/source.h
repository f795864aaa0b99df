// What an import reads: the tables of a source database, each with its columns and their
// kinds, and a reader that hands back one row at a time as Variants.
//
// Two sources exist today: an Access file (mdb/, the only place that sees mdbtools'
// headers) and an embedded database of our own. A server source would be a third,
// reading through the data layer's driver seam like the embedded one.
#pragma once

#include <cctype>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ksmain/variant.h"

namespace ksmain::import {

// Table and column names are matched without regard to case on every side.
inline std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// A table or column name as both engines quote it ("" doubles a quote inside), so names
// with blanks and non-ASCII letters come through as they are.
inline std::string Quote(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// The text of a catalogue value; anything else (a Null) reads as no text.
inline std::string TextOf(const Variant& v) { return v.IsString() ? v.AsString() : std::string(); }

// The kinds a column can have on either side. Text and Memo differ only in length;
// a Blob value travels as a String holding the bytes (the Variant has no byte array).
enum class ColumnKind { Boolean, Integer, Long, Double, Currency, Date, Text, Memo, Blob };

const char* KindName(ColumnKind kind);

struct Column {
  std::string name;
  ColumnKind kind = ColumnKind::Text;
  int size = 0;  // characters, for Text; 0 when the source gives none
};

struct TableShape {
  std::string name;
  std::vector<Column> columns;
};

// A value the source cannot read, or the destination cannot hold: the message names the
// column and the value; the import adds the table and the row.
class ValueError : public std::runtime_error {
 public:
  ValueError(std::string column, const std::string& message)
      : std::runtime_error(message), column_(std::move(column)) {}
  const std::string& column() const noexcept { return column_; }

 private:
  std::string column_;
};

class RowReader {
 public:
  virtual ~RowReader() = default;
  // Fills `row` (one value per column of the shape, Null for a missing value) and returns
  // true, or returns false after the last row. A value that cannot be read raises
  // ValueError.
  virtual bool Next(std::vector<Variant>& row) = 0;
};

class Source {
 public:
  virtual ~Source() = default;
  // The user tables, in the order the source keeps them.
  virtual std::vector<TableShape> Tables() = 0;
  virtual std::unique_ptr<RowReader> Read(const TableShape& table) = 0;
};

}  // namespace ksmain::import
