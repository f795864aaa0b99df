// Loading and checking the service's settings.
#include "serve_config.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace ksmain::serve {
namespace {

using nlohmann::json;

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

std::string String(const json& j, const std::string& key) {
  if (!j.is_string()) Fail("\"" + key + "\" must be a string");
  return j.get<std::string>();
}

long long Positive(const json& j, const std::string& key, long long max) {
  if (!j.is_number_integer() || j.get<long long>() <= 0 || j.get<long long>() > max) {
    Fail("\"" + key + "\" must be a whole number from 1 to " + std::to_string(max));
  }
  return j.get<long long>();
}

void ReadLimits(const json& j, Limits& limits) {
  if (!j.is_object()) Fail("\"limits\" must be an object");
  for (const auto& [key, value] : j.items()) {
    if (key == "body_bytes") {
      limits.body_bytes = static_cast<std::size_t>(Positive(value, key, 1LL << 30));
    } else if (key == "json_depth") {
      limits.json_depth = static_cast<int>(Positive(value, key, 1000));
    } else if (key == "cells") {
      limits.cells = static_cast<std::size_t>(Positive(value, key, 100'000'000));
    } else if (key == "calls") {
      limits.calls = static_cast<std::size_t>(Positive(value, key, 100'000));
    } else if (key == "statement_seconds") {
      limits.statement_seconds = static_cast<int>(Positive(value, key, 360));
    } else {
      Fail("unknown limit \"" + key + "\"");
    }
  }
}

std::string RealFolder(const std::string& path, const std::string& what) {
  std::error_code ec;
  const auto real = std::filesystem::canonical(path, ec);
  if (ec || !std::filesystem::is_directory(real, ec)) Fail(what + " \"" + path + "\" is not a folder");
  return real.string();
}

}  // namespace

void ParseListen(const std::string& listen, Config& config) {
  const auto colon = listen.rfind(':');
  if (colon == std::string::npos) Fail("--listen wants HOST:PORT, got \"" + listen + "\"");
  std::string host = listen.substr(0, colon);
  const std::string port = listen.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty()) host = "127.0.0.1";
  if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(port) > 65535) {
    Fail("--listen wants a port from 0 to 65535, got \"" + port + "\"");
  }
  config.host = host;
  config.port = std::stoi(port);
}

Config LoadConfig(const std::string& path) {
  std::ifstream in(path);
  if (!in) Fail("cannot read config file \"" + path + "\"");
  json j;
  try {
    j = json::parse(in);
  } catch (const json::exception& e) {
    Fail("config file \"" + path + "\": " + e.what());
  }
  if (!j.is_object()) Fail("config file \"" + path + "\" must hold a JSON object");
  Config config;
  for (const auto& [key, value] : j.items()) {
    if (key == "listen") {
      ParseListen(String(value, key), config);
    } else if (key == "data") {
      if (value.is_string()) {
        config.data = {value.get<std::string>()};
      } else if (value.is_array()) {
        for (const json& d : value) config.data.push_back(String(d, "data"));
      } else {
        Fail("\"data\" must be a folder or a list of folders");
      }
    } else if (key == "token") {
      config.token = String(value, key);
    } else if (key == "servers") {
      if (!value.is_object()) Fail("\"servers\" must map server names to folders or ODBC strings");
      for (const auto& [name, dir] : value.items()) config.servers[name] = String(dir, "servers." + name);
    } else if (key == "catalogue_host") {
      config.catalogue_host = String(value, key);
    } else if (key == "threads") {
      config.threads = static_cast<int>(Positive(value, key, 1024));
    } else if (key == "web") {
      config.web = String(value, key);
    } else if (key == "limits") {
      ReadLimits(value, config.limits);
    } else {
      Fail("unknown setting \"" + key + "\" in \"" + path + "\"");
    }
  }
  return config;
}

void Validate(Config& config) {
  if (config.data.empty()) Fail("no data folder: give --data DIR or \"data\" in the config file");
  for (std::string& d : config.data) d = RealFolder(d, "data folder");
  for (auto& [name, target] : config.servers) {
    // A server mapped to an ODBC connection string names no folder of ours.
    std::string lower = target;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("driver=") != std::string::npos || lower.find("dsn=") != std::string::npos) continue;
    target = RealFolder(target, "folder of server \"" + name + "\"");
  }
}

}  // namespace ksmain::serve
