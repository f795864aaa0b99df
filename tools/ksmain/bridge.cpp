// The late-bound bridge: settings, object creation, member resolution by name or DISPID,
// and the response with every parameter's value after each call.
#include "bridge.h"

#include <iostream>
#include <iterator>
#include <limits>
#include <new>
#include <string>

#include "data/datalink.h"
#include "json_variant.h"
#include "ksmain/dispatch.h"

namespace ksmain::bridge {
namespace {

using nlohmann::json;

struct Call {
  json member;
  std::vector<Variant> args;
};

// Deployment settings, checked in full before any is applied: a misspelt key is refused
// rather than silently leaving the default in force.
void ApplySettings(const json& settings) {
  if (!settings.is_object()) throw BadRequest("\"settings\" must be an object");
  for (const auto& [key, value] : settings.items()) {
    if (key != "catalogue_host" && key != "servers") throw BadRequest("unknown setting \"" + key + "\"");
  }
  if (settings.contains("catalogue_host") && !settings["catalogue_host"].is_string()) {
    throw BadRequest("\"catalogue_host\" must be a string");
  }
  if (settings.contains("servers")) {
    const json& servers = settings["servers"];
    if (!servers.is_object()) throw BadRequest("\"servers\" must be an object");
    for (const auto& [name, dir] : servers.items()) {
      if (!dir.is_string()) throw BadRequest("server \"" + name + "\" must map to a directory");
    }
  }
  if (settings.contains("catalogue_host")) data::SetCatalogueHost(settings["catalogue_host"].get<std::string>());
  if (settings.contains("servers")) {
    for (const auto& [name, dir] : settings["servers"].items()) data::SetDataSource(name, dir.get<std::string>());
  }
}

std::vector<Call> ReadCalls(const json& request) {
  if (!request.contains("calls") || !request["calls"].is_array()) {
    throw BadRequest("\"calls\" must be an array");
  }
  std::vector<Call> calls;
  for (const json& c : request["calls"]) {
    if (!c.is_object() || !c.contains("member")) throw BadRequest("each call needs a \"member\"");
    const json& member = c["member"];
    if (!member.is_string() && !member.is_number_integer()) {
      throw BadRequest("\"member\" must be a name or a DISPID");
    }
    // A DISPID is 32 bits; a wider number must not wrap onto another member.
    if (member.is_number_integer()) {
      const bool fits = member.is_number_unsigned()
                            ? member.get<std::uint64_t>() <= std::numeric_limits<std::int32_t>::max()
                            : member.get<std::int64_t>() >= std::numeric_limits<std::int32_t>::min() &&
                                  member.get<std::int64_t>() <= std::numeric_limits<std::int32_t>::max();
      if (!fits) throw BadRequest("\"member\" DISPID " + member.dump() + " is out of range");
    }
    Call call{member, {}};
    if (c.contains("args")) {
      if (!c["args"].is_array()) throw BadRequest("\"args\" must be an array");
      for (const json& a : c["args"]) call.args.push_back(FromJson(a));
    }
    calls.push_back(std::move(call));
  }
  return calls;
}

json ErrorJson(const VbError& e) { return json{{"number", e.number()}, {"description", e.description()}}; }

json RunOne(DispatchObject& object, Call& call) {
  json result{{"return", nullptr}, {"args", json::array()}, {"error", nullptr}};
  try {
    const std::int32_t dispid = call.member.is_string()
                                    ? object.GetIdOfName(call.member.get<std::string>())
                                    : static_cast<std::int32_t>(call.member.get<std::int64_t>());
    std::vector<Variant*> pointers;
    for (Variant& a : call.args) pointers.push_back(&a);
    result["return"] = ToJson(object.Invoke(dispid, pointers));
  } catch (const VbError& e) {
    result["error"] = ErrorJson(e);
  } catch (const std::exception& e) {
    result["error"] = ErrorJson(VbError(err::kDatabaseError, e.what()));
  }
  for (const Variant& a : call.args) result["args"].push_back(ToJson(a));
  return result;
}

}  // namespace

json RunRequest(const json& request) {
  if (!request.is_object()) throw BadRequest("the request must be a JSON object");
  if (!request.contains("object") || !request["object"].is_string()) {
    throw BadRequest("\"object\" must name a class");
  }
  const std::string progid = request["object"].get<std::string>();
  std::vector<Call> calls = ReadCalls(request);
  // Settings are applied only once every call has decoded, so a refused request changes
  // nothing.
  if (request.contains("settings")) ApplySettings(request["settings"]);

  json response{{"results", json::array()}};
  std::unique_ptr<DispatchObject> object;
  try {
    object = CreateObject(progid);
  } catch (const VbError& e) {
    // The page's CreateObject failed: every call reports it.
    for (Call& call : calls) {
      json r{{"return", nullptr}, {"args", json::array()}, {"error", ErrorJson(e)}};
      for (const Variant& a : call.args) r["args"].push_back(ToJson(a));
      response["results"].push_back(std::move(r));
    }
  }
  if (object) {
    for (Call& call : calls) response["results"].push_back(RunOne(*object, call));
  }
  return response;
}

std::string ResponseText(const json& response) {
  return response.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

int RunCall(std::istream& in, std::ostream& out, std::ostream& err) {
  json response;
  try {
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    response = RunRequest(ParseRequest(text));
  } catch (const std::bad_alloc&) {
    // A request whose values do not fit in memory is refused like any other that cannot be
    // served, with the reason, before any call has run.
    err << "ksmain call: request refused: not enough memory to read it\n";
    return 2;
  } catch (const json::exception& e) {
    err << "ksmain call: malformed request: " << e.what() << "\n";
    return 2;
  } catch (const BadRequest& e) {
    err << "ksmain call: malformed request: " << e.what() << "\n";
    return 2;
  }
  out << ResponseText(response);
  return 0;
}

}  // namespace ksmain::bridge
