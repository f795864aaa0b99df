// The service's deployment settings: what `ksmain serve` listens on, which databases it may
// open, who may call it and how much one request may ask for. They come from the config
// file and the command line only, never from a request.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ksmain::serve {

// What one request may ask for. Every figure a caller controls has a ceiling here.
struct Limits {
  std::size_t body_bytes = 1 << 20;  // request body
  int json_depth = 32;               // nesting of arrays and objects in the body
  std::size_t cells = 200000;        // array cells across all arguments, declared or written
  std::size_t calls = 64;            // calls in one request
  int statement_seconds = 30;        // one statement's running time, busy waits included
};

struct Config {
  std::string host = "127.0.0.1";
  int port = 8080;
  std::vector<std::string> data;  // folders whose databases callers may open
  std::string token;              // bearer token; empty: no authentication
  std::map<std::string, std::string> servers;  // server= name -> folder of databases
  std::string catalogue_host;                  // empty: the library's default
  int threads = 0;                             // 0: sized from the cores
  std::string web;                             // the pages' folder; empty: the default
  Limits limits;
};

// Reads a config file (JSON object: listen, data, token, servers, catalogue_host, threads,
// web, limits). Unknown keys and wrong types are errors, so a misspelt setting never
// silently leaves a default in place. Raises std::runtime_error naming the problem.
Config LoadConfig(const std::string& path);

// "HOST:PORT", "[V6]:PORT" or ":PORT" into the config. Raises std::runtime_error.
void ParseListen(const std::string& listen, Config& config);

// Checks what the service needs before it starts: the data folders exist and are
// folders, the mapped server folders too. Rewrites them absolute and free of symbolic
// links, so confinement compares real paths. Raises std::runtime_error.
void Validate(Config& config);

}  // namespace ksmain::serve
