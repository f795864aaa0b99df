// Two `ksmain call` processes writing through KsMaint to one PostgreSQL database at once:
// one reaches it through a mapped server name, the other through an ODBC string as
// written. Each process has its own connections, so the server alone keeps the writes
// apart; every write reported "OK" must be in the database, and nothing else.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "support/engines.h"
#include "tool.h"

namespace ksmain::acceptance {
namespace {

using nlohmann::json;
using ksmain::testing::ServerDatabase;

constexpr int kSaves = 20;

// A project form of a saved project (element 30 its key) with a new estimated completion.
json ProjectForm(int id, int day) {
  json form = {"Line 4 (east)", "3", "P-17", "2", "1/5/2026", "", "", "", "4", "5",
               "1", "40", "7", "99", "1200.5", "", "2/1/2026", "1", "2", "3", "4", "5", "m1",
               "m2", "m3", "m4", "m5", "late again", "Cost", "Less scrap.", id};
  form[6] = "1/" + std::to_string(day) + "/2027";
  return form;
}

json StepForm(const std::string& name, int project) {
  return {"INS", "", name, project, 4, "1", "", "", "", "", "", "", "", 1, "", "", "", "0"};
}

// One writer's request: every save adds a step to the shared project 1 and re-plans the
// writer's own project (each new estimate leaves a row in the revised-dates history).
json Writes(const std::string& tag, int own_project, const std::string& connect) {
  json calls = json::array();
  for (int i = 1; i <= kSaves; ++i) {
    calls.push_back(Call("INS_UPD_ProjectSteps", {StepForm(tag + std::to_string(i), 1), connect, "not saved"}));
    calls.push_back(Call("UPD_ProjectMasterALL", {ProjectForm(own_project, i), connect, "not saved"}));
  }
  return calls;
}

TEST(ServerWrites, TwoProcessesWritingAtOnceLoseNothing) {
  std::string why;
  if (!ksmain::testing::ServerString(&why)) GTEST_SKIP() << why;
  ServerDatabase db;
  ASSERT_EQ(RunTool("init portfolio \"" + db.connect() + "\"").status, 0);
  auto admin = data::EngineDatabase::Open(db.connect());
  admin.Run("INSERT INTO ProjectMaster (ID, EstDateCompleted) VALUES (1, '2026-06-30'), (2, '2026-06-30')");

  const json mapped = {{"object", "KsMain.KsMaint"},
                       {"calls", Writes("A", 1, "server=dbhost;Database=" + db.name())},
                       {"settings", {{"servers", {{"dbhost", db.server()}}}}}};
  const json direct = {{"object", "KsMain.KsMaint"}, {"calls", Writes("B", 2, db.connect())}};

  // Both in one shell, in the background, so they run side by side.
  const auto dir = ScratchDir();
  std::ofstream(dir / "a.in") << mapped.dump();
  std::ofstream(dir / "b.in") << direct.dump();
  const std::string tool = KSMAIN_TOOL;
  const std::string d = dir.string();
  const std::string command = tool + " call <" + d + "/a.in >" + d + "/a.out 2>" + d + "/a.err & " +
                              tool + " call <" + d + "/b.in >" + d + "/b.out 2>" + d + "/b.err & wait";
  ASSERT_EQ(std::system(command.c_str()), 0);

  std::set<std::string> steps_ok;
  std::map<int, int> saves_ok;
  for (const auto& [name, project] : {std::pair{"a", 1}, std::pair{"b", 2}}) {
    const json response = json::parse(Slurp(dir / (std::string(name) + ".out")), nullptr, false);
    ASSERT_TRUE(response.is_object()) << Slurp(dir / (std::string(name) + ".err"));
    const json& results = response["results"];
    ASSERT_EQ(results.size(), 2u * kSaves);
    // Calls alternate: the step i at 2(i-1), the project save after it.
    for (int i = 1; i <= kSaves; ++i) {
      if (results[2 * i - 2]["args"][2] == "OK") steps_ok.insert((name == std::string("a") ? "A" : "B") + std::to_string(i));
      if (results[2 * i - 1]["args"][2] == "OK") ++saves_ok[project];
    }
  }
  std::filesystem::remove_all(dir);
  // Every write of this test is valid: all of them must have been reported "OK".
  EXPECT_EQ(steps_ok.size(), 2u * kSaves);
  EXPECT_EQ(saves_ok[1], kSaves);
  EXPECT_EQ(saves_ok[2], kSaves);

  std::set<std::string> steps_stored;
  for (const auto& row : admin.Rows("SELECT StepName FROM ProjectSteps WHERE ProjectID = 1")) {
    steps_stored.insert(row[0].AsString());
  }
  EXPECT_EQ(steps_stored, steps_ok);
  EXPECT_EQ(admin.Scalar("SELECT CAST(count(*) AS INTEGER) FROM ProjectSteps").AsLong(),
            static_cast<std::int32_t>(steps_ok.size()));
  for (const int project : {1, 2}) {
    EXPECT_EQ(admin.Scalar("SELECT CAST(count(*) AS INTEGER) FROM projectRevisedDates WHERE ProjectID = ?",
                           {Variant(project)}).AsLong(),
              saves_ok[project])
        << "project " << project;
  }
  EXPECT_EQ(admin.Scalar("SELECT to_char(EstDateCompleted, 'YYYY-MM-DD') FROM ProjectMaster WHERE ID = 2").AsString(),
            "2027-01-" + std::to_string(kSaves))
      << "the last save of the direct writer stands";
}

}  // namespace
}  // namespace ksmain::acceptance
