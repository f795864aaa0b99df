// The raw side's own reading of SQLite values, shared by every benchmark that sets a
// member beside the C API: one conversion into the grid's kinds, so no raw side is cheaper
// or dearer than another by how it copies a cell.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "frame/vb_runtime.h"
#include "ksmain/variant.h"

namespace ksmain::bench {

// A column as the members' recordsets deliver it: integers as Long, reals as Double, NULL
// as Null, text as String, or as a Date when `date` and the text is an ISO date.
inline Variant ColumnValue(sqlite3_stmt* st, int i, bool date = false) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL: return Variant::Null();
    case SQLITE_INTEGER: return static_cast<std::int32_t>(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT: return sqlite3_column_double(st, i);
    default: {
      std::string text(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                       static_cast<std::size_t>(sqlite3_column_bytes(st, i)));
      if (date) {
        if (auto serial = vb::ParseIso(text)) return Variant::FromDate(*serial);
      }
      return Variant(std::move(text));
    }
  }
}

// What Get_Categories does, done with the C API: each category of `list` (ID, category)
// whose entry count from `counts` (bound to the ID) is above zero, copied into rows 1.. of
// the row-first grid `g`. Returns the number of rows; both statements are reset after.
inline int FillCategoryCounts(VarArray& g, sqlite3_stmt* list, sqlite3_stmt* counts) {
  int rows = 0;
  while (sqlite3_step(list) == SQLITE_ROW) {
    sqlite3_bind_int64(counts, 1, sqlite3_column_int64(list, 0));
    sqlite3_step(counts);
    const Variant n = ColumnValue(counts, 0);
    sqlite3_reset(counts);
    if (!n.IsNull() && vb::CDbl(n) > 0) {
      ++rows;
      g.at({rows, 0}) = ColumnValue(list, 0);
      g.at({rows, 1}) = ColumnValue(list, 1);
      g.at({rows, 2}) = n;
    }
  }
  sqlite3_reset(list);
  return rows;
}

}  // namespace ksmain::bench
