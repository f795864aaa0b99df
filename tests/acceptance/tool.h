// Running the ksmain tool as a separate process: arguments, standard input, and what it
// printed and returned.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
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

}  // namespace ksmain::acceptance
