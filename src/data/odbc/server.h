// Server databases as a driver of the data layer, reached through unixODBC.
//
// This is the only header of the folder that code outside it includes; it names no ODBC
// type, so sql.h and its kin stay here.
#pragma once

#include <string>

#include "data/driver.h"

namespace ksmain::data {

// The process's ODBC driver. Locations are ODBC connection strings ("Driver=...;Server=
// ...;Database=..." or "DSN=..."), passed to the driver manager as written. Create() opens
// an existing database and refuses one that already holds tables of its own: servers
// create databases through their own administration, the library fills an empty one.
Driver& ServerDriver();

// The SQL dialect a server's DBMS name selects; false when no printer speaks it.
bool ServerDialectKnown(const std::string& dbms_name);

}  // namespace ksmain::data
