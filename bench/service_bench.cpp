// The service under load: requests per second and p50/p99 latency of POST /call through
// HTTP keep-alive with 1, 2 and 8 clients, for Get_StatusAll and Get_ProjectListAll,
// beside the same request answered in-process (the bridge without HTTP).
//
// service_bench KSMAIN_TOOL [SECONDS]: makes the demo portfolio in a scratch folder, starts
// `KSMAIN_TOOL serve` on a free loopback port, measures, stops it with SIGTERM.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "bridge.h"
#include "ksmain/dispatch.h"
#include "ksmain/library.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
  double per_second;
  double p50_ms;
  double p99_ms;
};

Figures Summarise(std::vector<double>& ms, double seconds) {
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms.empty() ? 0 : ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))]; };
  return {ms.size() / seconds, at(0.50), at(0.99)};
}

Figures OverHttp(int port, const std::string& body, int clients, double seconds) {
  std::vector<std::vector<double>> lat(clients);
  std::atomic<bool> failed{false};
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", port);
      client.set_keep_alive(true);
      client.set_tcp_nodelay(true);
      while (Clock::now() < end) {
        const auto t0 = Clock::now();
        auto res = client.Post("/call", body, "application/json");
        if (!res || res->status != 200) failed = true;
        lat[c].push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      }
    });
  }
  for (auto& t : threads) t.join();
  if (failed) std::fprintf(stderr, "some requests failed\n");
  std::vector<double> all;
  for (auto& l : lat) all.insert(all.end(), l.begin(), l.end());
  return Summarise(all, seconds);
}

Figures InProcess(const std::string& body, double seconds) {
  const nlohmann::json request = nlohmann::json::parse(body);
  std::vector<double> ms;
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) {
    const auto t0 = Clock::now();
    const std::string text = ksmain::bridge::ResponseText(ksmain::bridge::RunRequest(request));
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  return Summarise(ms, seconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: service_bench KSMAIN_TOOL [SECONDS]\n");
    return 2;
  }
  const std::string tool = argv[1];
  const double seconds = argc > 2 ? std::atof(argv[2]) : 3.0;
  const auto dir = std::filesystem::temp_directory_path() / ("ksmain-service-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string db = (dir / "portfolio.db").string();
  if (std::system((tool + " init portfolio " + db + " --demo >/dev/null").c_str()) != 0) return 1;

  int out[2];
  if (pipe(out) != 0) return 1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    execl(tool.c_str(), tool.c_str(), "serve", "--listen", "127.0.0.1:0", "--data", dir.c_str(), nullptr);
    _exit(127);
  }
  close(out[1]);
  char line[256] = {};
  FILE* from_service = fdopen(out[0], "r");
  if (!std::fgets(line, sizeof line, from_service)) return 1;
  const int port = std::atoi(std::strrchr(std::strchr(line + 14, ':'), ':') + 1);

  const std::string connect = "Data Source=" + db;
  const std::pair<const char*, std::string> requests[] = {
      {"Get_StatusAll", R"({"object":"KsMain.Kestrel","calls":[{"member":"Get_StatusAll","args":[null,")" +
                            connect + R"(",null,""]}]})"},
      {"Get_ProjectListAll",
       R"({"object":"KsMain.Kestrel","calls":[{"member":"Get_ProjectListAll","args":[null,")" + connect +
           R"(",null,"","","","","",""]}]})"},
  };
  DllRegisterServer();
  std::printf("%-20s %-12s %10s %9s %9s\n", "member", "path", "req/s", "p50 ms", "p99 ms");
  for (const auto& [name, body] : requests) {
    const Figures f = InProcess(body, seconds);
    std::printf("%-20s %-12s %10.0f %9.3f %9.3f\n", name, "in-process", f.per_second, f.p50_ms, f.p99_ms);
    for (int clients : {1, 2, 8}) {
      const Figures h = OverHttp(port, body, clients, seconds);
      std::printf("%-20s http x%-6d %10.0f %9.3f %9.3f\n", name, clients, h.per_second, h.p50_ms, h.p99_ms);
    }
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  ksmain::Shutdown();
  std::filesystem::remove_all(dir);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
