// The tool from outside: creating databases, the SQL command, and the JSON bridge on demo
// databases made by `ksmain init --demo`. Members of the three classes are driven through
// `ksmain call` for what only a whole request shows (an instance's state across its calls,
// an untrapped failure amid trapped ones, deployment settings); what each member returns is
// its own suite's concern.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tool.h"

namespace ksmain::acceptance {
namespace {

using nlohmann::json;

using ToolTest = DemoSuite;

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

json I2(int v) { return json{{"$", "i2"}, {"v", v}}; }

class MembersTest : public DemoSuite {
 protected:
  static void SetUpTestSuite() {
    DemoSuite::SetUpTestSuite();
    connect_ = "Data Source=" + portfolio_;
    MakeDatabase("catalogue", "veldaSQL.db");
  }
  static json ProjectList(json colour_calls) {
    colour_calls.push_back(Call("Get_ProjectListAll", {nullptr, connect_, nullptr, "", "Z", "", "", "", ""}));
    return Run("KsMain.Kestrel", colour_calls).back();
  }
  static inline std::string connect_;  // the demo portfolio's connection string
};

// The colours set by one call colour the bars of a later call on the same instance; a
// request's fresh instance has none, so its cells hold empty text. (The bar's cells
// themselves: ProjectList.DefaultsTextAndRows, BarGraphs.)
TEST_F(MembersTest, BarColoursLiveAsLongAsTheInstance) {
  const json coloured = ProjectList(json::array({Call("setProgressBarTarget", {"red"}),
                                                 Call("setProgressBarActual", {"blue"})}));
  const json fresh = ProjectList(json::array());
  int checked = 0, targets = 0;
  for (int row = 1; row <= coloured["args"][0]["v"][0][0]["v"].get<int>(); ++row) {
    const json& percent = coloured["args"][0]["v"][row][5];
    const std::string bar = coloured["args"][0]["v"][row][12].get<std::string>();
    if ((percent.is_number() ? percent.get<double>() : percent.value("v", 0.0)) > 0) {
      EXPECT_EQ(bar.rfind(",blue,", 0), 0u) << "row " << row << ": " << bar;
      ++checked;
    }
    targets += bar.find(",red") != std::string::npos;
    EXPECT_EQ(fresh["args"][0]["v"][row][12], std::string(10, ',')) << "row " << row;
  }
  EXPECT_GT(checked, 0);
  EXPECT_GT(targets, 0);
}

// A member without a trap fails to the caller with its number and description, its by-ref
// array as it stood; a trapped member after it still runs on the same instance.
TEST_F(MembersTest, MembersWithoutTrapRaiseAutomationErrors) {
  // Columns 0..1, rows 0..2: enough rows for the sort to compare something.
  const json grid = {{"$", "array"}, {"lbound", {0, 0}}, {"ubound", {1, 2}}, {"v", json::parse(R"([[3,1,2],["c","a","b"]])")}};
  const json r = Run("KsMain.Kestrel", {Call("SortArray", {grid, I2(7), I2(1)}),
                                        Call("Get_StatusAll", {nullptr, connect_, nullptr, ""})});
  ASSERT_EQ(r.size(), 2u);
  const json& error = r[0]["error"];
  ASSERT_TRUE(error.is_object()) << r[0];
  EXPECT_EQ(error["number"], 9);
  EXPECT_FALSE(error["description"].get<std::string>().empty());
  EXPECT_EQ(r[0]["args"][0], grid);
  EXPECT_TRUE(r[1]["error"].is_null());
  EXPECT_GT(r[1]["args"][0]["v"][0][0]["v"].get<int>(), 0);
}

TEST_F(MembersTest, CatalogueListingThroughDeploymentSettings) {
  const json settings = {{"catalogue_host", "dbhost"}, {"servers", {{"dbhost", dir_->string()}}}};
  const json r = Run("KsMain.InsertTable_summary",
                     {Call("Get_entriesList", {nullptr, "", nullptr, "1", "", "", "", "", "", "", "", ""}),
                      Call("ValidateClientLogin", {json::array({"", "client1", "Secret1", "", "", "", ""}),
                                                   "server=dbhost;Database=VELDASQL", "not checked"})},
                     settings);
  ASSERT_EQ(r.size(), 2u);
  const std::string fixed = r[0]["args"][1].get<std::string>();
  EXPECT_NE(fixed.find("server=dbhost;Database=veldaSQL"), std::string::npos) << fixed;
  const json& grid = r[0]["args"][0];
  EXPECT_EQ(grid["ubound"], json::parse("[251,30]"));
  // (The cells of a row and its sponsor flag: ListingsTest.)
  EXPECT_GT(grid["v"][0][0]["v"].get<int>(), 1) << "the header holds the row counter, one past the last row";
  EXPECT_EQ(r[1]["args"][2], "OK");
}

TEST_F(MembersTest, DemoRunsEverySectionAndNeitherItNorInitOverwritesUnasked) {
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
