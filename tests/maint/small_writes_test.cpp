// The step form, ranks, meetings, step resources and Gantt chart moves, against fixture
// databases.
#include <gtest/gtest.h>

#include <mutex>

#include "frame/app_log.h"
#include "frame/vb_runtime.h"
#include "ksmain/ksmaint.h"
#include "maint/maint_fixture.h"
#include "maint/statements.h"
#include "sql/member_statements.h"
#include "support/fixture.h"

namespace ksmain {
namespace {

using testing::Form;
using testing::IsoDate;
using testing::Stored;

Variant StepForm(Variant action, Variant id) {
  return Form({action, id, "Weld (frame)", 12, 4, "8", "", "150", "", "2/1/2026", "", "2/9/2026",
               "", 1, "a", "", "Use jig/fixture", "25"});
}

// The statements of the project, step, rank and Gantt forms, as the pages read them back;
// shared with the statement shapes every engine runs.
TEST(SmallWriteStatements, TextsOfTheForms) {
  using sql::testing::Shape;
  Variant form = testing::ProjectForm(Variant(12));
  EXPECT_EQ(maint::PlanProjectSave(form).save, Shape("UPD_ProjectMasterALL update"));
  form = testing::ProjectForm(Variant());
  EXPECT_EQ(maint::PlanProjectSave(form).save, Shape("UPD_ProjectMasterALL insert"));
  form = StepForm("INS", "");
  EXPECT_EQ(maint::StepSaveStatement(form), Shape("INS_UPD_ProjectSteps INS"));
  form = StepForm("UPD", 3);
  EXPECT_EQ(maint::StepSaveStatement(form), Shape("INS_UPD_ProjectSteps UPD"));
  EXPECT_EQ(form.AsArray().at({16}), Variant("Use jig&#47;fixture"));

  form = Form({"12", 1, 2, 3, 4, 5});
  EXPECT_EQ(maint::RankStatement(form), Shape("UPD_ProjectRank"));
  form = Form({"12", 1, 1, 1, 1, 0});
  EXPECT_TRUE(maint::RankStatement(form).starts_with("Update ProjectMaster Set ( ProjectRank = .8,"));

  form = Form({12, "2/1/2026", "7/31/2026", 4});
  EXPECT_EQ(maint::GanttStatement(maint::GanttBar::Project, form), Shape("UPD_ProjectGanttChart"));
}

class SmallWrites : public testing::MaintPage {};

TEST_P(SmallWrites, StepInsertUpdateAndRefusals) {
  Variant rc = "preset", form = StepForm("INS", "");
  m.INS_UPD_ProjectSteps(form, connect, rc);
  ASSERT_EQ(rc, Variant("OK"));
  const std::pair<const char*, Variant> columns[] = {
      {"ProjectID", Variant(12)}, {"EstTime", Variant(8.0)}, {"EstCost", Variant::FromCurrency(1500000)},
      {"EstStartDate", IsoDate("2026-02-01")}, {"ActStartDate", Variant::Null()},
  };
  for (const auto& [column, value] : columns)
    EXPECT_EQ(Stored(connect, std::string("SELECT ") + column + " FROM ProjectSteps"), value) << column;

  form = StepForm("UPD", 1);
  form.MutableArray().at({10}) = "2/3/2026";
  m.INS_UPD_ProjectSteps(form, connect, rc);
  EXPECT_EQ(Stored(connect, "SELECT ActStartDate FROM ProjectSteps"), IsoDate("2026-02-03"));

  struct Case {
    const char* name;
    Variant action, id;
    int element;
    Variant value;
  };
  const Case refusals[] = {
      {"1 lower-case insert", "ins", "", 2, "x"},
      {"2 update without key", "UPD", "", 2, "x"},
      {"3 status with a condition", "UPD", 1, 13, "1 or 1=1"},
  };
  for (const Case& c : refusals) {
    Variant f = StepForm(c.action, c.id), rc2 = "preset";
    f.MutableArray().at({c.element}) = c.value;
    m.INS_UPD_ProjectSteps(f, connect, rc2);
    EXPECT_EQ(rc2, Variant("preset")) << c.name;
  }
  EXPECT_EQ(db.Read("SELECT StepName FROM ProjectSteps"), "Weld &#40;frame&#41;");
}

TEST_P(SmallWrites, RankWrittenAndFailuresLogged) {
  db.Exec("INSERT INTO ProjectMaster (ID, ProjectRank) VALUES (12, 9)");
  std::mutex guard;
  std::vector<std::string> log;
  SetApplicationLogSink([&](std::string_view m) {
    std::lock_guard lock(guard);
    log.emplace_back(m);
  });
  struct Case {
    const char* name;
    std::vector<Variant> form;
    const char* stored;
    bool ok;
  };
  const Case cases[] = {
      {"1 scores 1 to 5", {"12", 1, 2, 3, 4, 5}, "3", true},
      {"2 score that is no number", {12, "x", 1, 1, 1, 1}, "3", false},
      {"3 key with a second statement", {"12; delete from ProjectMaster", 1, 1, 1, 1, 1}, "3", false},
  };
  for (const Case& c : cases) {
    log.clear();
    Variant f = Form(c.form), rc = "preset";
    m.UPD_ProjectRank(f, connect, rc);
    EXPECT_EQ(rc, Variant(c.ok ? "OK" : "preset")) << c.name;
    EXPECT_EQ(db.Read("SELECT ProjectRank FROM ProjectMaster"), c.stored) << c.name;
    EXPECT_EQ(log.size(), c.ok ? 0u : 1u) << c.name;
  }
  SetApplicationLogSink({});
}

// The two members whose action code picks the statement, each run through its codes in
// turn on one table; `rows` is the table after the call.
TEST_P(SmallWrites, ActionCodesInTurn) {
  db.Exec("INSERT INTO Attendees (AttendeeID, PlannedReviewDate, ActualReviewDate) VALUES (7, '4/1/2026', '')");
  using Member = Variant (KsMaint::*)(Variant&, Variant&, Variant&, Variant&);
  const Member meetings = &KsMaint::UpDateMeetingDates, resources = &KsMaint::UpDateStepResources;
  const char* const kMeetings = "SELECT AttendeeID, PlannedReviewDate, ActualReviewDate FROM Attendees ORDER BY ID";
  const char* const kResources = "SELECT ProjectStepID, ResourceID FROM ProjectStepResources ORDER BY ID";
  struct Case {
    const char* name;
    Member member;
    std::vector<Variant> form;
    Variant action;
    bool ok;
    const char* rows;  // meetings: AttendeeID:Planned:Actual; resources: ProjectStepID:ResourceID
  };
  const Case cases[] = {
      {"meeting-1 record attendee", meetings, {"3/15/2026", "", 4}, "3", true, "7:4/1/2026:|4:3/15/2026:"},
      {"meeting-2 no attendee", meetings, {"3/15/2026", ""}, "3", false, "7:4/1/2026:|4:3/15/2026:"},
      {"meeting-3 set actual date", meetings, {"3/15/2026", "3/16/2026"}, 1, true,
       "7:4/1/2026:|4:3/15/2026:3/16/2026"},
      {"meeting-4 unknown action", meetings, {"3/15/2026", ""}, "5", false, "7:4/1/2026:|4:3/15/2026:3/16/2026"},
      {"meeting-5 delete meeting", meetings, {"3/15/2026", ""}, "2", true, "7:4/1/2026:"},
      {"meeting-6 clear all", meetings, {"", ""}, "4", true, ""},
      {"resource-1 assign, blanks around keys", resources, {" 9 ", "junk", " 4 "}, "3", true, "9:4"},
      {"resource-2 no resource", resources, {9, "", ""}, "3", false, "9:4"},
      {"resource-3 move to step 10", resources, {" 9", " 10 ", "junk"}, "1", true, "10:4"},
      {"resource-4 unknown action", resources, {10, "", 4}, "4", false, "10:4"},
      {"resource-5 key with a condition", resources, {"10 or 1=1", "", ""}, "2", false, "10:4"},
      {"resource-6 delete the step's", resources, {"10 ", "", ""}, "2", true, ""},
  };
  for (const Case& c : cases) {
    Variant f = Form(c.form), rc = "preset", action = c.action;
    (m.*c.member)(f, connect, rc, action);
    EXPECT_EQ(rc, Variant(c.ok ? "OK" : "preset")) << c.name;
    EXPECT_EQ(db.Read(c.member == meetings ? kMeetings : kResources), c.rows) << c.name;
  }
}

TEST_P(SmallWrites, GanttProjectAndStepBars) {
  db.Exec("INSERT INTO ProjectMaster (ID, EstDateCompleted) VALUES (12, '2026-06-30');"
          "INSERT INTO ProjectSteps (ID) VALUES (12);");
  struct Case {
    const char* name;
    Variant key;
    bool ok;
  };
  const Case cases[] = {{"1 no key", "", false}, {"2 unknown key", 99, true}, {"3 key", "12", true}};
  for (const Case& c : cases) {
    Variant f = Form({c.key, "2/1/2026", "2026-07-31", "4"}), rc = "preset";
    m.UPD_ProjectGanttChart(f, connect, rc);
    EXPECT_EQ(rc, Variant(c.ok ? "OK" : "preset")) << c.name;
    rc = "preset";
    m.UPD_StepGanttChart(f, connect, rc);
    EXPECT_EQ(rc, Variant(c.ok ? "OK" : "preset")) << c.name;
  }
  EXPECT_EQ(Stored(connect, "SELECT EstDateCompleted FROM ProjectMaster"), IsoDate("2026-07-31"));
  EXPECT_EQ(Stored(connect, "SELECT ProjectOwner FROM ProjectMaster"), Variant(4));
  EXPECT_EQ(Stored(connect, "SELECT EstStartDate FROM ProjectSteps"), IsoDate("2026-02-01"));
  EXPECT_EQ(Stored(connect, "SELECT ResourceID FROM ProjectSteps"), Variant(4));
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM projectRevisedDates"), "0");
}

KSMAIN_ON_BOTH_ENGINES(SmallWrites);

}  // namespace
}  // namespace ksmain
