// Copying records into grid rows with a row counter the member keeps itself.
//
// Most members fill their grid with the standard FillGrid. A few keep the counter across
// two queries on one connection (the resource list puts "Unassigned" first), start it at
// row 0 (the settings row) or write a constant cell of the row before its fields; they
// share this loop so the counter still counts as the runtime's 16-bit Integer does.
#pragma once

#include <cstdint>
#include <span>

#include "frame/result_grid.h"

namespace ksmain::portfolio {

// Copies the records from the current one to the end into rows `row`, `row` + 1, ...:
// per record `before` runs (when given), then the mapped fields in mapping order; then
// the counter grows (error 6 past 32767) and the recordset moves on. `row` is left at
// the next free row, so the caller writes the count as `row` - 1 (or its own rule).
// A failure propagates at once with the rows copied so far kept.
void CopyRecords(ResultGrid& grid, RecordSource& records, std::span<const FieldColumn> mapping,
                 std::int16_t& row, const RowHook& before = {});

}  // namespace ksmain::portfolio
