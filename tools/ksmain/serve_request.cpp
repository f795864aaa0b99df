// Checking and running one POST /call.
#include "serve_request.h"

#include <cctype>
#include <cstdint>

#include "bridge.h"
#include "json_variant.h"
#include "ksmain/dispatch.h"

namespace ksmain::serve {
namespace {

using nlohmann::json;

// The deepest nesting of arrays and objects in a JSON text, found before parsing so a
// deeply nested body costs one pass over its bytes and no recursion. Brackets inside
// strings do not count; the text need not be valid JSON (the parser judges that).
int NestingDepth(std::string_view text, int stop_at) {
  int depth = 0, deepest = 0;
  bool in_string = false, escaped = false;
  for (char c : text) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
      continue;
    }
    if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > deepest && (deepest = depth) > stop_at) return deepest;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

// Array cells an argument asks for: every element written out, and for the tagged form
// the cells its bounds declare (a few bytes of bounds can declare millions of cells).
// Saturates instead of overflowing.
std::uint64_t Cells(const json& j) {
  constexpr std::uint64_t kMax = UINT64_MAX / 4;
  auto add = [](std::uint64_t a, std::uint64_t b) { return a + b > kMax ? kMax : a + b; };
  std::uint64_t n = 0;
  if (j.is_array()) {
    n = j.size();
    for (const json& item : j) n = add(n, Cells(item));
  } else if (j.is_object()) {
    const auto tag = j.find("$");
    const auto lb = j.find("lbound"), ub = j.find("ubound");
    if (tag != j.end() && *tag == "array" && lb != j.end() && ub != j.end() && lb->is_array() &&
        ub->is_array()) {
      std::uint64_t declared = 1;
      for (std::size_t d = 0; d < lb->size() && d < ub->size(); ++d) {
        if (!(*lb)[d].is_number_integer() || !(*ub)[d].is_number_integer()) continue;
        const std::int64_t count = (*ub)[d].get<std::int64_t>() - (*lb)[d].get<std::int64_t>() + 1;
        if (count <= 0) continue;
        declared = declared > kMax / static_cast<std::uint64_t>(count) ? kMax : declared * count;
      }
      n = add(n, declared);
    }
    for (const auto& item : j) n = add(n, Cells(item));
  }
  return n;
}

// The member's label in the metrics: its name as the caller wrote it, in lower case
// (names match without regard to case), or "#DISPID".
std::string MemberLabel(const json& call) {
  if (!call.is_object()) return "(invalid)";
  const auto m = call.find("member");
  if (m == call.end()) return "(invalid)";
  if (m->is_string()) {
    std::string name = m->get<std::string>().substr(0, 64);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
  }
  if (m->is_number_integer()) return "#" + std::to_string(m->get<std::int64_t>());
  return "(invalid)";
}

Answer Refuse(int status, const std::string& message) { return {status, ErrorBody(message)}; }

}  // namespace

std::string ErrorBody(const std::string& message) {
  return json{{"error", message}}.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

Answer AnswerCall(std::string_view body, const Limits& limits, Metrics& metrics) {
  if (body.size() > limits.body_bytes) {
    return Refuse(413, "the request body is larger than " + std::to_string(limits.body_bytes) + " bytes");
  }
  if (NestingDepth(body, limits.json_depth) > limits.json_depth) {
    return Refuse(413, "the request nests deeper than " + std::to_string(limits.json_depth) + " levels");
  }
  json request;
  try {
    request = json::parse(body);
  } catch (const json::exception& e) {
    return Refuse(400, std::string("malformed request: ") + e.what());
  }
  if (!request.is_object()) return Refuse(400, "malformed request: the request must be a JSON object");
  // Where databases live is the deployment's decision; a caller may not remap it.
  if (request.contains("settings")) {
    return Refuse(403, "\"settings\" are not accepted here: the service's own configuration decides them");
  }
  const auto calls = request.find("calls");
  if (calls != request.end() && calls->is_array()) {
    if (calls->size() > limits.calls) {
      return Refuse(413, "the request has " + std::to_string(calls->size()) + " calls; at most " +
                             std::to_string(limits.calls) + " are accepted");
    }
    std::uint64_t cells = 0;
    for (const json& c : *calls) {
      if (c.is_object() && c.contains("args")) cells += Cells(c["args"]);
      if (cells > limits.cells) {
        return Refuse(413, "the request's arguments hold more than " + std::to_string(limits.cells) +
                               " array cells");
      }
    }
  }

  json response;
  try {
    response = bridge::RunRequest(request);
  } catch (const bridge::BadRequest& e) {
    return Refuse(400, std::string("malformed request: ") + e.what());
  } catch (const json::exception& e) {
    return Refuse(400, std::string("malformed request: ") + e.what());
  }

  const json& results = response["results"];
  for (std::size_t i = 0; i < results.size() && i < calls->size(); ++i) {
    const json& error = results[i]["error"];
    // Names no class has would otherwise fill the table with whatever callers invent.
    const bool unknown = error.is_object() && (error["number"] == err::kNoSuchMember || error["number"] == err::kCannotCreate);
    metrics.CountCall(unknown ? "(unknown)" : MemberLabel((*calls)[i]), !error.is_null());
  }
  return {200, bridge::ResponseText(response)};
}

}  // namespace ksmain::serve
