// Running the ksmain tool as a separate process: arguments, standard input, and what it
// printed and returned; and a suite's demo databases made by the tool itself.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

namespace ksmain::acceptance {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::filesystem::path ScratchDir() {
  static std::atomic<int> n{0};
  auto dir = std::filesystem::temp_directory_path() /
             ("ksmain-acceptance-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Runs `ksmain ARGS` with `input` on standard input; `shell_prefix` runs before it in the
// same shell (a resource limit, say).
inline ToolRun RunTool(const std::string& args, const std::string& input = "",
                       const std::string& shell_prefix = "") {
  const auto dir = ScratchDir();
  {
    std::ofstream(dir / "in") << input;
  }
  const std::string command = shell_prefix + std::string(KSMAIN_TOOL) + " " + args + " <" + (dir / "in").string() +
                              " >" + (dir / "out").string() + " 2>" + (dir / "err").string();
  ToolRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = Slurp(dir / "out");
  run.err = Slurp(dir / "err");
  std::filesystem::remove_all(dir);
  return run;
}

inline nlohmann::json Call(std::string member, nlohmann::json args) {
  return nlohmann::json{{"member", std::move(member)}, {"args", std::move(args)}};
}

// A folder per suite holding the demo portfolio, shared by the suite's cases.
class DemoSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new std::filesystem::path(ScratchDir());
    portfolio_ = MakeDatabase("portfolio", "portfolio.db");
  }
  static void TearDownTestSuite() {
    std::filesystem::remove_all(*dir_);
    delete dir_;
  }
  // `ksmain init KIND FILE --demo` for a file of the suite's folder; the file's path.
  static std::string MakeDatabase(const std::string& kind, const std::string& name) {
    const std::string file = (*dir_ / name).string();
    const ToolRun run = RunTool("init " + kind + " " + file + " --demo");
    EXPECT_EQ(run.status, 0) << run.err;
    return file;
  }
  // One `ksmain call` request, one instance; the results of its calls in order.
  static nlohmann::json Run(const std::string& object, nlohmann::json calls, nlohmann::json settings = nullptr) {
    nlohmann::json request{{"object", object}, {"calls", std::move(calls)}};
    if (!settings.is_null()) request["settings"] = std::move(settings);
    const ToolRun run = RunTool("call", request.dump());
    EXPECT_EQ(run.status, 0) << run.err;
    const nlohmann::json response = nlohmann::json::parse(run.out, nullptr, false);
    EXPECT_FALSE(response.is_discarded()) << run.out;
    return response.is_discarded() ? nlohmann::json::array() : response["results"];
  }
  static inline std::filesystem::path* dir_ = nullptr;
  static inline std::string portfolio_;  // the demo portfolio's file
};

}  // namespace ksmain::acceptance
