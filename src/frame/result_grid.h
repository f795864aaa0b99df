// Result grids: the two-dimensional arrays that query members hand back to pages.
//
// A grid has lower bounds 0 and fixed upper bounds; row 0 is the header (cell (0, 0)
// holds the row count as an Integer), data rows start at 1. Row-first grids keep row r,
// column c at element (r, c), column-first grids at (c, r). The grid lives in the
// caller's own variable, so every cell written before a failure stays written.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "frame/record_source.h"
#include "ksmain/variant.h"

namespace ksmain {

enum class Orientation { RowFirst, ColumnFirst };

class ResultGrid {
 public:
  // Replaces whatever `target` held with a fresh grid (every cell Empty) of the given row
  // and column bounds.
  static ResultGrid Create(Variant& target, Orientation orientation, std::int32_t row_bound,
                           std::int32_t column_bound);
  // Works on the two-dimensional array the page passed in, keeping its content; anything
  // else raises 13.
  static ResultGrid Adopt(Variant& target, Orientation orientation);

  // False once the page has replaced its variable with something else.
  bool IsGrid() const;
  std::int32_t row_bound() const;
  std::int32_t column_bound() const;
  // Cell of row r, column c; outside the bounds raises 9.
  Variant& Cell(std::int32_t row, std::int32_t column);
  void Set(std::int32_t row, std::int32_t column, Variant value) {
    Cell(row, column) = std::move(value);
  }

 private:
  ResultGrid(Variant& target, Orientation orientation) : target_(&target), orientation_(orientation) {}
  Variant* target_;
  Orientation orientation_;
};

// One mapped field: the result field (named as the member asks for it) and its column.
struct FieldColumn {
  std::int32_t column;
  std::string_view field;
};

// One field read from every record of one source: found by name on the first record read,
// by position on the records after it.
class RecordField {
 public:
  constexpr explicit RecordField(std::string_view name) noexcept : name_(name) {}
  Variant Read(const RecordSource& record) {
    if (index_ == kUnresolved) index_ = record.FieldIndex(name_);
    return index_ >= 0 ? record.FieldAt(index_) : record.Field(name_);
  }

 private:
  static constexpr int kUnresolved = -2;
  std::string_view name_;
  int index_ = kUnresolved;
};

// The mapped fields of one fill, each read as a RecordField. Each is found when the first
// record reaches it, so a name the result lacks fails where reading it by name fails: at
// that field of the first record, after the fields before it were copied; an empty result
// finds none.
class MappedFields {
 public:
  explicit MappedFields(std::span<const FieldColumn> mapping);
  // Copies the current record's mapped fields into `row`, in mapping order.
  void CopyRow(ResultGrid& grid, std::int32_t row, const RecordSource& record);

 private:
  std::span<const FieldColumn> mapping_;
  std::vector<RecordField> fields_;
};

// Called after the mapped fields of a row were copied, for the columns a member computes.
using RowHook = std::function<void(std::int16_t row, const RecordSource& record)>;

// The standard fill procedure once the query is open: the 16-bit row counter starts at 1;
// a recordset at BOF or EOF writes 0 into (0, 0); otherwise each record's mapped fields go
// into the counter's row in mapping order, then the hook runs, the counter grows (error 6
// past 32767) and the recordset moves on. At the end (0, 0) receives counter - 1.
// A failure ends the procedure at once, leaving (0, 0) as it was. Returns the count.
// For a fill loop whose write into `row` failed: when that row is past the grid's last,
// writes to the application log which member's list did not fit and how many rows it had
// (the records from the current one on are counted, which moves the recordset to its
// end). The failure itself is the caller's to pass on, unchanged.
void LogGridOverflow(const ResultGrid& grid, RecordSource& records, std::int32_t row) noexcept;

std::int16_t FillGrid(ResultGrid& grid, RecordSource& records,
                      std::span<const FieldColumn> mapping, const RowHook& hook = {});

}  // namespace ksmain
