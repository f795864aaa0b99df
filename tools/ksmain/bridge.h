// `ksmain call`: one JSON request in, one instance, the calls in order, one JSON response out.
#pragma once

#include <iosfwd>

namespace ksmain::bridge {

// Returns the process exit status: 0 once a response was printed (also when members
// raised), 2 for a malformed request (the reason goes to `err`).
int RunCall(std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace ksmain::bridge
