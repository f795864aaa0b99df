// Result grids and the standard fill procedure of the query members.
#include "frame/result_grid.h"

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
  return orientation_ == Orientation::RowFirst ? cells.at({row, column}) : cells.at({column, row});
}

std::int16_t FillGrid(ResultGrid& grid, RecordSource& records,
                      std::span<const FieldColumn> mapping, const RowHook& hook) {
  std::int16_t row = 1;
  if (records.AtBof() || records.AtEof()) {
    grid.Set(0, 0, std::int16_t{0});
    return 0;
  }
  while (!records.AtEof()) {
    for (const FieldColumn& m : mapping) grid.Set(row, m.column, records.Field(m.field));
    if (hook) hook(row, records);
    row = vb::AddInteger(row, 1);
    records.MoveNext();
  }
  const auto count = static_cast<std::int16_t>(row - 1);
  grid.Set(0, 0, count);
  return count;
}

}  // namespace ksmain
