// `ksmain import SRC DEST [--schema portfolio|catalogue] [--append]`.
#pragma once

#include <iosfwd>
#include <string>

namespace ksmain::tool {

// Prints the summary on `out`, the failure on `err`; a progress line goes to `err` when it
// is a terminal. Returns the exit code: 0 when every table came in, 1 otherwise.
int Import(const std::string& source, const std::string& destination, const std::string& schema,
           bool append, std::ostream& out, std::ostream& err, bool progress);

}  // namespace ksmain::tool
