// The HTTP side of the service: routes, the bearer token, the worker pool, signals.
#include "serve.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <httplib.h>
#include <iostream>
#include <thread>

#include "data/datalink.h"
#include "data/statement_limit.h"
#include "ksmain/library.h"
#include "serve_request.h"

namespace ksmain::serve {
namespace {

// Runs over the whole expected token whatever the caller sent, so the time taken tells a
// caller nothing about how much of a guessed token was right.
bool SameSecret(std::string_view given, std::string_view expected) {
  unsigned char diff = given.size() == expected.size() ? 0 : 1;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const char g = i < given.size() ? given[i] : '\0';
    diff |= static_cast<unsigned char>(g ^ expected[i]);
  }
  return diff == 0;
}

bool Authorised(const httplib::Request& req, const std::string& token) {
  if (token.empty()) return true;
  const std::string header = req.get_header_value("Authorization");
  constexpr std::string_view kScheme = "Bearer ";
  if (header.size() <= kScheme.size() || header.compare(0, kScheme.size(), kScheme) != 0) return false;
  return SameSecret(std::string_view(header).substr(kScheme.size()), token);
}

void Reply(httplib::Response& res, int status, std::string body, const char* type = "application/json") {
  res.status = status;
  res.set_content(std::move(body), type);
}

// The signals that end the service are taken by one thread with sigwait, so the handlers
// of the HTTP workers never run in signal context.
sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

int WorkerCount(const Config& config) {
  if (config.threads > 0) return config.threads;
  // A worker stays with one keep-alive connection until it closes, so the pool is several
  // times the cores: the cores bound the work, the workers bound the open connections.
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return std::max(8, 4 * cores);
}

}  // namespace

std::string DefaultWebFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const auto installed = exe.parent_path().parent_path() / "share" / "ksmain" / "web";
    if (std::filesystem::is_directory(installed / "", ec)) return installed.string();
  }
  return KSMAIN_WEB_SOURCE_DIR;
}

int Run(Config config, std::ostream& out, std::ostream& err) {
  try {
    Validate(config);
  } catch (const std::exception& e) {
    err << "ksmain serve: " << e.what() << "\n";
    return 1;
  }
  if (config.web.empty()) config.web = DefaultWebFolder();

  // Deployment settings, set once before the first request and never from one.
  data::ClearDataSources();
  for (const auto& [name, target] : config.servers) data::SetDataSource(name, target);
  if (!config.catalogue_host.empty()) data::SetCatalogueHost(config.catalogue_host);
  // The catalogue listings always name the catalogue host; unless the deployment maps it
  // elsewhere, its databases are those of the (first) data folder.
  if (!config.servers.contains(data::CatalogueHost())) data::SetDataSource(data::CatalogueHost(), config.data.front());
  data::SetAllowedFolders(config.data);
  data::SetStatementTimeLimit(config.limits.statement_seconds);

  const sigset_t stop_signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  httplib::Server server;
  Metrics metrics;
  const int workers = WorkerCount(config);
  server.new_task_queue = [workers] { return new httplib::ThreadPool(static_cast<std::size_t>(workers)); };
  server.set_payload_max_length(config.limits.body_bytes);
  server.set_keep_alive_max_count(1000);
  server.set_keep_alive_timeout(5);
  server.set_read_timeout(10);
  server.set_write_timeout(10);
  server.set_tcp_nodelay(true);
  server.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                              {"Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'"},
                              {"Cache-Control", "no-store"}});

  server.Post("/call", [&](const httplib::Request& req, httplib::Response& res) {
    const auto start = std::chrono::steady_clock::now();
    ++metrics.in_flight();
    Answer answer;
    if (!Authorised(req, config.token)) {
      res.set_header("WWW-Authenticate", "Bearer");
      answer = {401, ErrorBody("a valid bearer token is required")};
    } else {
      answer = AnswerCall(req.body, config.limits, metrics);
    }
    Reply(res, answer.status, std::move(answer.body));
    --metrics.in_flight();
    metrics.ObserveLatency(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  });
  server.Get("/health", [](const httplib::Request&, httplib::Response& res) {
    Reply(res, 200, "{\"status\":\"ok\"}\n");
  });
  server.Get("/metrics", [&](const httplib::Request& req, httplib::Response& res) {
    if (!Authorised(req, config.token)) {
      res.set_header("WWW-Authenticate", "Bearer");
      return Reply(res, 401, ErrorBody("a valid bearer token is required"));
    }
    Reply(res, 200, metrics.Text(), "text/plain; version=0.0.4");
  });
  if (!server.set_mount_point("/", config.web)) {
    err << "ksmain serve: the pages' folder \"" << config.web << "\" is not a folder\n";
    return 1;
  }
  server.set_logger([&](const httplib::Request&, const httplib::Response& res) { metrics.CountRequest(res.status); });
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
    std::string what = "internal error";
    try {
      std::rethrow_exception(ep);
    } catch (const std::exception& e) {
      what = std::string("internal error: ") + e.what();
    } catch (...) {
    }
    Reply(res, 500, ErrorBody(what));
  });
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) {
      Reply(res, res.status, ErrorBody(res.status == 413 ? "the request body is too large"
                                                         : "HTTP " + std::to_string(res.status)));
    }
  });

  int port = config.port;
  const bool bound = port == 0 ? (port = server.bind_to_any_port(config.host)) >= 0
                               : server.bind_to_port(config.host, port);
  if (!bound) {
    err << "ksmain serve: cannot listen on " << config.host << ":" << config.port << "\n";
    return 1;
  }
  const bool v6 = config.host.find(':') != std::string::npos;
  out << "listening on http://" << (v6 ? "[" + config.host + "]" : config.host) << ":" << port << "/ ("
      << workers << " workers)" << std::endl;

  std::thread stopper([&server, stop_signals] {
    int signal = 0;
    sigwait(&stop_signals, &signal);
    server.stop();
  });
  // Returns once stop() has closed the listening socket and every worker has finished the
  // request it was answering.
  server.listen_after_bind();
  // Should the server end on its own (a failed accept), the stopper still waits: wake it.
  // Once it has taken its signal this one stays pending, blocked, until the process ends.
  kill(getpid(), SIGTERM);
  stopper.join();
  ksmain::Shutdown();
  out << "stopped" << std::endl;
  return 0;
}

}  // namespace ksmain::serve
