// One POST /call: the checks a request passes before any member runs (size, depth, no
// deployment settings, calls and array cells within the limits), then the bridge.
#pragma once

#include <string>
#include <string_view>

#include "serve_config.h"
#include "serve_metrics.h"

namespace ksmain::serve {

struct Answer {
  int status = 200;
  std::string body;  // the bridge's response, or {"error": "..."} for a refusal
};

// Answers one request body. 400 for a body that is not a well-formed bridge request,
// 403 for one carrying "settings", 413 for one over a limit; member failures stay inside
// a 200 response, as `ksmain call` reports them.
Answer AnswerCall(std::string_view body, const Limits& limits, Metrics& metrics);

// The refusal body: {"error": message}.
std::string ErrorBody(const std::string& message);

}  // namespace ksmain::serve
