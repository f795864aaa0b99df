// A server database (an ODBC connection string) as an import's source and destination.
#pragma once

#include <memory>
#include <string>

#include "import/destination.h"
#include "import/source.h"

namespace ksmain::import {

std::unique_ptr<Source> OpenServerSource(const std::string& connect);
// The database must exist; the server creates databases through its own administration.
std::unique_ptr<Destination> OpenServerDestination(const std::string& connect);

}  // namespace ksmain::import
