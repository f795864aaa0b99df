// The query half of the standard fill procedure: open a DataLink on the caller's
// connection string, run one query, copy its records into the grid, close.
//
// Members are then their SQL text and their field-to-column mapping.
#pragma once

#include <string_view>

#include "frame/result_grid.h"
#include "sql/translate.h"

namespace ksmain::data {

// Returns the count written into (0, 0). A failure propagates at once (the member's trap
// decides what follows), leaving the connection to be released, not closed.
std::int16_t QueryIntoGrid(ResultGrid& grid, const Variant& strconnect, sql::Dialect dialect,
                           std::string_view sql, std::span<const FieldColumn> mapping,
                           const RowHook& hook = {});

}  // namespace ksmain::data
