// Every KsMaint member fed odd Variants, in each parameter and in each input element, and
// two pages saving at once.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "frame/app_log.h"
#include "ksmain/ksmaint.h"
#include "maint/maint_fixture.h"
#include "portfolio/odd_arguments.h"
#include "support/fixture.h"

namespace ksmain {
namespace {

using testing::Form;
using testing::ProjectForm;
using testing::TempDb;

struct MemberUnderTest {
  const char* name;
  std::function<void(KsMaint&, std::vector<Variant>&)> call;
  std::vector<Variant> usual;  // arguments of an ordinary call; an input array comes first
};

TEST(KsMaintOddArguments, EveryMemberEveryParameterEveryElement) {
  TempDb db{TempDb::Kind::Portfolio};
  db.Exec("INSERT INTO ProjectMaster (ID, NameOfProject, EstDateCompleted) VALUES (12, 'Keep', '2026-06-30'), (13, 'Keep', NULL);"
          "INSERT INTO Resource (ID, FirstName) VALUES (4, 'Ann'), (5, 'Bob');"
          "INSERT INTO Attendees (AttendeeID, PlannedReviewDate) VALUES (4, '1/1/2026');");
  SetApplicationLogSink([](std::string_view) {});  // the rank member logs every refusal
  const Variant c = db.connect(), rc = "rc";
  const MemberUnderTest members[] = {
      {"UPD_ProjectMasterALL", [](KsMaint& m, auto& a) { m.UPD_ProjectMasterALL(a[0], a[1], a[2]); },
       {ProjectForm(Variant(12)), c, rc}},
      {"Update_ProjectRevisedCompDates",
       [](KsMaint& m, auto& a) { m.Update_ProjectRevisedCompDates(a[0], a[1], a[2], a[3]); },
       {Variant(12), "7/31/2026", "1", c}},
      {"INS_UPD_ProjectSteps", [](KsMaint& m, auto& a) { m.INS_UPD_ProjectSteps(a[0], a[1], a[2]); },
       {Form({"UPD", 1, "S", 12, 4, "1", "", "", "", "", "", "", "", 1, "", "", "", "0"}), c, rc}},
      {"UPD_ProjectRank", [](KsMaint& m, auto& a) { m.UPD_ProjectRank(a[0], a[1], a[2]); },
       {Form({12, 1, 2, 3, 4, 5}), c, rc}},
      {"UpDateMeetingDates", [](KsMaint& m, auto& a) { m.UpDateMeetingDates(a[0], a[1], a[2], a[3]); },
       {Form({"3/1/2026", "3/2/2026", 5}), c, rc, "3"}},
      {"UpDateStepResources", [](KsMaint& m, auto& a) { m.UpDateStepResources(a[0], a[1], a[2], a[3]); },
       {Form({1, 2, 5}), c, rc, "3"}},
      {"UPD_ProjectGanttChart", [](KsMaint& m, auto& a) { m.UPD_ProjectGanttChart(a[0], a[1], a[2]); },
       {Form({12, "2/1/2026", "7/31/2026", 4}), c, rc}},
      {"UPD_StepGanttChart", [](KsMaint& m, auto& a) { m.UPD_StepGanttChart(a[0], a[1], a[2]); },
       {Form({1, "2/1/2026", "7/31/2026", 4}), c, rc}},
  };
  KsMaint m;
  for (const MemberUnderTest& member : members) {
    testing::ProbeWithOddArguments(member.name, [&](std::vector<Variant>& a) { member.call(m, a); },
                                   member.usual);
    if (!member.usual[0].IsArray()) continue;
    for (const Variant& odd : testing::OddArguments()) {
      for (std::int32_t i = 0; i <= member.usual[0].AsArray().bound(0).upper; ++i) {
        std::vector<Variant> args = member.usual;
        args[0].MutableArray().at({i}) = odd;
        EXPECT_NO_THROW(member.call(m, args)) << member.name << " element " << i;
      }
    }
  }
  SetApplicationLogSink({});
  // Nothing a value carried reached beyond the rows the members address.
  EXPECT_EQ(db.Scalar("SELECT NameOfProject FROM ProjectMaster WHERE ID = 13"), "Keep");
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM Resource"), "2");
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM Attendees WHERE PlannedReviewDate = '1/1/2026'"), "1");
}

TEST(KsMaintConcurrency, TwoPagesSavingAtOnceLoseNothing) {
  TempDb db{TempDb::Kind::Portfolio};
  db.Exec("INSERT INTO ProjectMaster (ID, EstDateCompleted) VALUES (1, '2026-06-30'), (2, '2026-06-30');");
  constexpr int kSaves = 15;
  auto page = [&](int project) {
    KsMaint m;
    Variant connect = db.connect();
    for (int i = 1; i <= kSaves; ++i) {
      Variant form = ProjectForm(Variant(project)), rc = "preset";
      form.MutableArray().at({6}) = "1/" + std::to_string(i) + "/2027";
      m.UPD_ProjectMasterALL(form, connect, rc);
      Variant step = Form({"INS", "", "Step", project, 4, "1", "", "", "", "", "", "", "", 1, "", "", "", "0"});
      Variant rc2 = "preset";
      m.INS_UPD_ProjectSteps(step, connect, rc2);
      EXPECT_EQ(rc, Variant("OK"));
      EXPECT_EQ(rc2, Variant("OK"));
    }
  };
  std::thread a(page, 1), b(page, 2);
  a.join();
  b.join();
  for (const char* project : {"1", "2"}) {
    const std::string where = std::string(" WHERE ProjectID = ") + project;
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM projectRevisedDates" + where), std::to_string(kSaves));
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM ProjectSteps" + where), std::to_string(kSaves));
  }
}

}  // namespace
}  // namespace ksmain
