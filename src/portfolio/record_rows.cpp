// The counter-keeping copy loop shared by the resource list, meetings and settings grids.
#include "portfolio/record_rows.h"

#include "frame/vb_runtime.h"

namespace ksmain::portfolio {

void CopyRecords(ResultGrid& grid, RecordSource& records, std::span<const FieldColumn> mapping,
                 std::int16_t& row, const RowHook& before) {
  while (!records.AtEof()) {
    try {
      if (before) before(row, records);
      for (const FieldColumn& m : mapping) grid.Set(row, m.column, records.Field(m.field));
    } catch (const VbError&) {
      LogGridOverflow(grid, records, row);
      throw;
    }
    row = vb::AddInteger(row, 1);
    records.MoveNext();
  }
}

}  // namespace ksmain::portfolio
