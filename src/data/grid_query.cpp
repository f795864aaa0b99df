// Opening, filling and closing in the order the members' pages rely on.
#include "data/grid_query.h"

#include "data/datalink.h"

namespace ksmain::data {

std::int16_t QueryIntoGrid(ResultGrid& grid, const Variant& strconnect, sql::Dialect dialect,
                           std::string_view sql, std::span<const FieldColumn> mapping,
                           const RowHook& hook) {
  DataLink link(strconnect, dialect);
  // Rows past the grid's last are never copied: the first of them fails the fill, and
  // after it only their number matters (the overflow message counts them).
  Recordset& records =
      grid.IsGrid() && grid.row_bound() >= 0 ? link.Query(sql, std::int64_t{grid.row_bound()} + 1)
                                             : link.Query(sql);
  const std::int16_t count = FillGrid(grid, records, mapping, hook);
  link.Close();
  return count;
}

}  // namespace ksmain::data
