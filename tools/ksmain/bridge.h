// `ksmain call`: one JSON request in, one instance, the calls in order, one JSON response out.
#pragma once

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

namespace ksmain::bridge {

// Returns the process exit status: 0 once a response was printed (also when members
// raised), 2 for a malformed request (the reason goes to `err`).
int RunCall(std::istream& in, std::ostream& out, std::ostream& err);

// The same for a request already parsed (the service reads its own): the response as a
// JSON value. A malformed request raises BadRequest or nlohmann::json::exception before
// any member has run, except that "settings" are applied first.
nlohmann::json RunRequest(const nlohmann::json& request);
// The response exactly as `ksmain call` prints it, final newline included.
std::string ResponseText(const nlohmann::json& response);

}  // namespace ksmain::bridge
