// The tool from outside: creating databases, the SQL command, and the JSON bridge on demo
// databases made by `ksmain init --demo`, for what only the tool shows (exit statuses,
// deployment settings, the demo session). A request's calls on one instance, and untrapped
// failures amid trapped ones: BridgeCall; what each member returns: its own suite.
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
namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::filesystem::path ScratchDir() {
  static std::atomic<int> n{0};
  auto dir = std::filesystem::temp_directory_path() /
             ("ksmain-acceptance-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
  std::filesystem::create_directories(dir);
  return dir;
}

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Runs `ksmain ARGS` with `input` on standard input; `shell_prefix` runs before it in the
// same shell (a resource limit, say).
ToolRun RunTool(const std::string& args, const std::string& input = "",
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

nlohmann::json Call(std::string member, nlohmann::json args) {
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
using nlohmann::json;
using ToolTest = DemoSuite;
using MembersTest = DemoSuite;

TEST_F(ToolTest, LookupListsThroughTheBridge) {
  const std::string connect = "Data Source=" + portfolio_;
  const json r = Run("KsMain.Kestrel", {Call("Get_StatusAll", {nullptr, connect, nullptr, "ignored"}),
                                        Call("get_typeall", {nullptr, connect, nullptr, nullptr})});
  ASSERT_EQ(r.size(), 2u);
  const json& statuses = r[0]["args"][0];
  EXPECT_EQ(statuses["ubound"], json::parse("[50,3]"));
  const int count = statuses["v"][0][0]["v"].get<int>();
  EXPECT_GT(count, 0);
  EXPECT_TRUE(statuses["v"][count][1].is_string());
  EXPECT_TRUE(statuses["v"][count + 1][0].is_null()) << "rows after the last stay Empty";
  EXPECT_EQ(r[0]["args"][3], "ignored");
  // Descriptions come back in ascending order.
  const json& types = r[1]["args"][0]["v"];
  for (int i = 2; i <= types[0][0]["v"].get<int>(); ++i) {
    EXPECT_LE(types[i - 1][2].get<std::string>(), types[i][2].get<std::string>());
  }
}

TEST_F(ToolTest, MalformedRequestExitsTwoWithTheReason) {
  ToolRun run = RunTool("call", "{\"object\": 5}");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("object"), std::string::npos);
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory does not start under a memory limit";
#else
  // A few bytes of request must not size a huge array before its elements are checked.
  run = RunTool("call", R"({"object":"KsMain.Kestrel","calls":[{"member":"setProgressBarTarget",
                "args":[{"$":"array","lbound":[0,0],"ubound":[8191,8191],"v":[]}]}]})",
                "ulimit -v 1000000; ");
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("does not match its bounds"), std::string::npos) << run.err;
#endif
}

TEST_F(ToolTest, SqlShowsTheEngineTextOrThePositionOfAnError) {
  ToolRun ok = RunTool("sql --dialect tsql", "SELECT isnull(a, 'x') FROM t");
  EXPECT_EQ(ok.status, 0);
  EXPECT_NE(ok.out.find("coalesce"), std::string::npos) << ok.out;
  ToolRun bad = RunTool("sql --dialect jet", "SELECT a FROM t WHERE (b = 1");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("error at"), std::string::npos) << bad.out;
  // Rows keep the select order and every column, a repeated name included.
  ToolRun rows = RunTool("sql --dialect jet --db " + portfolio_ + " --run",
                         "SELECT 2 AS n, count(*) AS a, 3 AS n FROM status");
  ASSERT_EQ(rows.status, 0) << rows.out;
  const json result = json::parse(rows.out);
  EXPECT_EQ(result["columns"], json::parse(R"(["n","a","n"])"));
  ASSERT_EQ(result["rows"].size(), 1u);
  EXPECT_EQ(result["rows"][0][0], 2);
  EXPECT_GT(result["rows"][0][1].get<int>(), 0);
  EXPECT_EQ(result["rows"][0][2], 3);
}

TEST_F(MembersTest, CatalogueListingThroughDeploymentSettings) {
  MakeDatabase("catalogue", "veldaSQL.db");
  const json settings = {{"catalogue_host", "dbhost"}, {"servers", {{"dbhost", dir_->string()}}}};
  const json r = Run("KsMain.InsertTable_summary",
                     {Call("Get_entriesList", {nullptr, "", nullptr, "1", "", "", "", "", "", "", "", ""}),
                      Call("ValidateClientLogin", {json::array({"", "client1", "Secret1", "", "", "", ""}),
                                                   "server=dbhost;Database=VELDASQL", "not checked"})},
                     settings);
  ASSERT_EQ(r.size(), 2u);
  const std::string fixed = r[0]["args"][1].get<std::string>();
  EXPECT_NE(fixed.find("server=dbhost;Database=veldaSQL"), std::string::npos) << fixed;
  // The listing read the mapped host's database. (Its grid and rows: ListingsTest.)
  EXPECT_GT(r[0]["args"][0]["v"][0][0]["v"].get<int>(), 1);
  EXPECT_EQ(r[1]["args"][2], "OK");
}

TEST_F(ToolTest, DemoRunsEverySectionAndNeitherItNorInitOverwritesUnasked) {
  const auto dir = ScratchDir();
  const std::string demo = (dir / "demo").string();
  std::filesystem::create_directories(demo);
  std::ofstream(dir / "demo" / "veldaSQL.db") << "someone's data";
  const ToolRun init = RunTool("init portfolio " + portfolio_);
  EXPECT_NE(init.status, 0);
  EXPECT_FALSE(init.err.empty());
  const ToolRun refused = RunTool("demo " + demo);
  EXPECT_NE(refused.status, 0);
  EXPECT_NE(refused.err.find("--replace"), std::string::npos) << refused.err;
  EXPECT_EQ(Slurp(dir / "demo" / "veldaSQL.db"), "someone's data");
  EXPECT_FALSE(std::filesystem::exists(dir / "demo" / "portfolio.db")) << "nothing is made when one is refused";
  const ToolRun run = RunTool("demo --replace " + demo);
  std::filesystem::remove_all(dir);
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* title : {"# Portfolio", "# Save and reload", "# Reports", "# Catalogue"}) {
    EXPECT_NE(run.out.find(title), std::string::npos) << title;
  }
  EXPECT_EQ(run.out.find("(this section stopped"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("automation error"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace ksmain::acceptance
