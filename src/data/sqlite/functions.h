// The ks_* SQL functions that translated statements call (sql/engine_functions.h),
// registered on one SQLite connection.
#pragma once

struct sqlite3;

namespace ksmain::data::sqlite {

// Registers every ks_* function on `db`. Call once per connection, right after opening.
void RegisterEngineFunctions(sqlite3* db);

}  // namespace ksmain::data::sqlite
