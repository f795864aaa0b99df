// Result grids and the standard fill procedure of the query members.
#include "frame/result_grid.h"

#include <string>

#include "frame/app_log.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"

namespace ksmain {

ResultGrid ResultGrid::Create(Variant& target, Orientation orientation, std::int32_t row_bound,
                              std::int32_t column_bound) {
  target = orientation == Orientation::RowFirst ? VarArray::Grid(row_bound, column_bound)
                                                : VarArray::Grid(column_bound, row_bound);
  return ResultGrid(target, orientation);
}

ResultGrid ResultGrid::Adopt(Variant& target, Orientation orientation) {
  if (!target.IsArray() || target.AsArray().dims() != 2) throw VbError(err::kTypeMismatch);
  return ResultGrid(target, orientation);
}

bool ResultGrid::IsGrid() const {
  return target_->IsArray() && target_->AsArray().dims() == 2;
}

std::int32_t ResultGrid::row_bound() const {
  return target_->AsArray().bound(orientation_ == Orientation::RowFirst ? 0 : 1).upper;
}

std::int32_t ResultGrid::column_bound() const {
  return target_->AsArray().bound(orientation_ == Orientation::RowFirst ? 1 : 0).upper;
}

Variant& ResultGrid::Cell(std::int32_t row, std::int32_t column) {
  // The page may have replaced its variable through another by-ref parameter; the grid
  // then no longer exists and the write fails like any other out-of-range write.
  if (!target_->IsArray()) throw VbError(err::kSubscript);
  VarArray& cells = target_->MutableArray();
  const std::int32_t first = orientation_ == Orientation::RowFirst ? row : column;
  const std::int32_t second = orientation_ == Orientation::RowFirst ? column : row;
  // A grid has two dimensions (the array's own indexing decides for anything else): the
  // cell is found here with the same bound checks, without a general index walk.
  const std::vector<ArrayBound>& bounds = cells.bounds();
  if (bounds.size() != 2) return cells.at({first, second});
  const ArrayBound& b0 = bounds[0];
  const ArrayBound& b1 = bounds[1];
  if (first < b0.lower || first > b0.upper || second < b1.lower || second > b1.upper) {
    throw VbError(err::kSubscript);
  }
  const auto offset = static_cast<std::size_t>(std::int64_t{first} - b0.lower) *
                          static_cast<std::size_t>(b1.count()) +
                      static_cast<std::size_t>(std::int64_t{second} - b1.lower);
  return cells.cells()[offset];
}

MappedFields::MappedFields(std::span<const FieldColumn> mapping) : mapping_(mapping) {
  fields_.reserve(mapping.size());
  for (const FieldColumn& m : mapping) fields_.emplace_back(m.field);
}

void MappedFields::CopyRow(ResultGrid& grid, std::int32_t row, const RecordSource& record) {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    grid.Set(row, mapping_[i].column, fields_[i].Read(record));
  }
}

void LogGridOverflow(const ResultGrid& grid, RecordSource& records, std::int32_t row) noexcept {
  try {
    if (!grid.IsGrid() || row <= grid.row_bound()) return;
    // The rows copied, and the current record and those after it.
    std::int64_t rows = row - 1;
    bool counted = true;
    try {
      rows += records.CountToEnd();
    } catch (const VbError&) {
      counted = false;  // the rest could not be read: at least as many as seen
    }
    std::string name = MemberCall::CurrentName();
    if (name.empty()) name = "A list";
    LogApplicationMessage(name + ": " + (counted ? "" : "more than ") + std::to_string(rows) +
                          " rows do not fit its grid of " + std::to_string(grid.row_bound()) +
                          " rows; the list was not returned.");
  } catch (...) {
    // The log is a courtesy; the member's own failure goes on regardless.
  }
}

std::int16_t FillGrid(ResultGrid& grid, RecordSource& records,
                      std::span<const FieldColumn> mapping, const RowHook& hook) {
  std::int16_t row = 1;
  if (records.AtBof() || records.AtEof()) {
    grid.Set(0, 0, std::int16_t{0});
    return 0;
  }
  MappedFields fields(mapping);
  while (!records.AtEof()) {
    try {
      fields.CopyRow(grid, row, records);
      if (hook) hook(row, records);
    } catch (const VbError&) {
      LogGridOverflow(grid, records, row);
      throw;
    }
    row = vb::AddInteger(row, 1);
    records.MoveNext();
  }
  const auto count = static_cast<std::int16_t>(row - 1);
  grid.Set(0, 0, count);
  return count;
}

}  // namespace ksmain
