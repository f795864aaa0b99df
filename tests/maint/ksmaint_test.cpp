// KsMaint against fixture databases: the step form, ranks, meetings, step resources and
// Gantt chart moves; saving the project form and the history of revised estimates; and two
// pages saving at once through separate instances (each its own session).
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "frame/app_log.h"
#include "frame/vb_runtime.h"
#include "ksmain/ksmaint.h"
#include "maint/maint_fixture.h"
#include "maint/statements.h"
#include "sql/member_statements.h"
#include "support/fixture.h"

namespace ksmain {
namespace {

using testing::Cell;
using testing::Form;
using testing::IsoDate;
using testing::ProjectForm;
using testing::Stored;

Variant StepForm(Variant action, Variant id) {
  return Form({action, id, "Weld (frame)", 12, 4, "8", "", "150", "", "2/1/2026", "", "2/9/2026",
               "", 1, "a", "", "Use jig/fixture", "25"});
}

// The statements of the project, step, rank and Gantt forms, as the pages read them back;
// shared with the statement shapes every engine runs.
TEST(SmallWriteStatements, TextsOfTheForms) {
  using sql::testing::Shape;
  Variant form = ProjectForm(Variant(12));
  EXPECT_EQ(maint::PlanProjectSave(form).save, Shape("UPD_ProjectMasterALL update"));
  form = ProjectForm(Variant());
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

// Every case that writes runs on each engine; the read-backs are SQL both engines accept.
class KsMaintPage : public testing::MaintPage {};

TEST_P(KsMaintPage, StepInsertUpdateAndRefusals) {
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

TEST_P(KsMaintPage, RankWrittenAndFailuresLogged) {
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
TEST_P(KsMaintPage, ActionCodesInTurn) {
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

TEST_P(KsMaintPage, GanttProjectAndStepBars) {
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

std::string TodayText() { return vb::CStr(Variant::FromDate(vb::Today())); }

TEST(ProjectSave, RulesWorkedOutBeforeAnythingRuns) {
  const std::string close = "update projectsteps set status='2' where projectid =12";
  const std::string today = "ActDateCompleted = '" + TodayText() + "'";
  struct Case {
    const char* name;
    std::vector<std::pair<int, Variant>> set;
    bool fails;
    std::vector<std::string> in_save;
    std::string close_steps;
  };
  const Case cases[] = {
      {"1 sum of scores", {}, false, {"ProjectRank = '15.0'"}, ""},
      {"2 type 22 fixes scores", {{12, "22"}, {17, ""}}, false,
       {"ProjectRank = '25.0'", "SuccessRank = '5', CostRank = '5'"}, ""},
      {"3 empty score", {{19, ""}}, true, {}, ""},
      {"4 score beyond 16 bits", {{17, "32767"}}, true, {}, ""},
      {"5 closing a saved project", {{10, Variant(2)}}, false, {"PercentCompleted = '100'", today}, close},
      {"6 closing with a completion date", {{10, "2"}, {7, "3/1/2026"}}, false,
       {"PercentCompleted = '40'", "ActDateCompleted = '3/1/2026'"}, ""},
      {"7 closing with an unconvertible score", {{10, "2"}, {21, "x"}}, true, {}, ""},
      {"8 closing a new project", {{10, "2"}, {30, ""}}, false, {",'100',7,", TodayText()}, ""},
      {"9 key that is no number", {{30, "12 or 1=1"}}, true, {}, ""},
      {"10 apostrophe in a quoted value", {{2, "P'17"}}, false, {"ProjectNo = 'P''17'"}, ""},
      {"11 estimate that is no date", {{10, "2"}, {6, "1; DROP TABLE ProjectMaster"}}, true, {}, ""},
      {"12 cost that is no number", {{15, "lots"}}, true, {}, ""},
      {"13 empty and Null dates and costs", {{4, ""}, {16, Variant::Null()}, {14, ""}}, false,
       {"EstDateStarted  = ''", "ReviewDate = ''"}, ""},
  };
  for (const Case& c : cases) {
    Variant form = ProjectForm(Variant(12));
    for (const auto& [i, v] : c.set) form.MutableArray().at({i}) = v;
    if (c.fails) {
      EXPECT_THROW(maint::PlanProjectSave(form), std::exception) << c.name;
      continue;
    }
    const maint::ProjectSave plan = maint::PlanProjectSave(form);
    for (const std::string& part : c.in_save)
      EXPECT_NE(plan.save.find(part), std::string::npos) << c.name << ": " << part;
    EXPECT_EQ(plan.close_steps, c.close_steps) << c.name;
  }
}

TEST_P(KsMaintPage, NewProjectReadsBackColumnByColumn) {
  Variant form = ProjectForm(Variant()), rc = "preset";
  m.UPD_ProjectMasterALL(form, connect, rc);
  ASSERT_EQ(rc, Variant("OK"));
  struct Case {
    const char* column;
    Variant value;
  };
  const Case cases[] = {
      {"NameOfProject", Variant("Line 4 &#40;east&#41;")}, {"Priority", Variant(0)},
      {"Department", Variant(2)},                          {"EstDateStarted", IsoDate("2026-01-05")},
      {"ActDateStarted", Variant::Null()},                 {"ActDateCompleted", Variant::Null()},
      {"ProjectRank", Variant(15.0)},                      {"PercentCompleted", Variant(40)},
      {"EstProjectCost", Variant::FromCurrency(12005000)}, {"SuccessRank", Variant(std::int16_t{1})},
      {"misc5", Variant("m5")},                            {"Benefits", Variant("Cost  and  time")},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Stored(connect, std::string("SELECT ") + c.column + " FROM ProjectMaster"), c.value)
        << c.column;
  // The encoded cells come back rewritten; the others as the page sent them.
  EXPECT_EQ(Cell(form, 0), Variant("Line 4 &#40;east&#41;"));
  EXPECT_EQ(Cell(form, 27), Variant("its late"));
  EXPECT_EQ(Cell(form, 1), Variant("3"));
  EXPECT_EQ(Cell(form, 13), Variant("99"));
}

TEST_P(KsMaintPage, UpdateRecordsHistoryClosesStepsOrWritesNothing) {
  db.Exec("INSERT INTO ProjectMaster (ID, NameOfProject, EstDateCompleted) VALUES (12, 'Old', '2026-06-30');"
          "INSERT INTO ProjectSteps (ID, ProjectID, Status) VALUES (1, 12, 1), (2, 13, 1);");
  struct Case {
    const char* name;
    int element;
    Variant value, connect;
  };
  // Each save closes project 12 with a new estimate; the refused ones change nothing.
  const Case refused[] = {
      {"1 closing with an empty score", 18, "", db.connect()},
      {"2 key with a condition", 30, "12 or 1=1", db.connect()},
      {"3 no database", 0, "x", Variant("Data Source=/nonexistent/dir/p.db")},
  };
  for (const Case& c : refused) {
    Variant form = ProjectForm(Variant(12)), rc = "preset", target = c.connect;
    form.MutableArray().at({6}) = "7/31/2026";
    form.MutableArray().at({10}) = "2";
    form.MutableArray().at({c.element}) = c.value;
    m.UPD_ProjectMasterALL(form, target, rc);
    EXPECT_EQ(rc, Variant("preset")) << c.name;
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM ProjectMaster"), "1") << c.name;
    EXPECT_EQ(db.Scalar("SELECT NameOfProject FROM ProjectMaster"), "Old") << c.name;
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM ProjectSteps WHERE Status = 1"), "2") << c.name;
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM projectRevisedDates"), "0") << c.name;
  }
  Variant form = ProjectForm(Variant("12")), rc = "preset";
  form.MutableArray().at({6}) = "7/31/2026";
  form.MutableArray().at({10}) = "2";
  m.UPD_ProjectMasterALL(form, connect, rc);
  ASSERT_EQ(rc, Variant("OK"));
  EXPECT_EQ(Stored(connect, "SELECT RevisedEstCompDate FROM projectRevisedDates"), IsoDate("2026-06-30"));
  EXPECT_EQ(Stored(connect, "SELECT EstDateCompleted FROM ProjectMaster"), IsoDate("2026-07-31"));
  EXPECT_EQ(Stored(connect, "SELECT ActDateCompleted FROM ProjectMaster"), Variant::FromDate(vb::Today()));
  EXPECT_EQ(Stored(connect, "SELECT PercentCompleted FROM ProjectMaster"), Variant(100));
  EXPECT_EQ(db.Scalar("SELECT Status FROM ProjectSteps WHERE ID = 1"), "2");
  EXPECT_EQ(db.Scalar("SELECT Status FROM ProjectSteps WHERE ID = 2"), "1");
}

TEST_P(KsMaintPage, RevisedDatesRecordsOnlyAChangedEstimate) {
  db.Exec("INSERT INTO ProjectMaster (ID, EstDateCompleted) VALUES (12, '2026-06-30'), (13, NULL);");
  struct Case {
    const char* name;
    Variant project, estimate, action;
    bool recorded;
  };
  const Case cases[] = {
      {"1 new estimate", 12, "7/31/2026", "1", true},
      {"2 same date as iso text", 12, "2026-06-30", "1", false},
      {"3 other action", 12, "7/31/2026", "2", false},
      {"4 no stored estimate", 13, "7/31/2026", "1", false},
      {"5 unknown project", 99, "7/31/2026", "1", false},
  };
  for (Case c : cases) {
    db.Exec("DELETE FROM projectRevisedDates");
    const double before = vb::Now();
    m.Update_ProjectRevisedCompDates(c.project, c.estimate, c.action, connect);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM projectRevisedDates"), c.recorded ? "1" : "0") << c.name;
    if (c.recorded) {
      EXPECT_EQ(Stored(connect, "SELECT RevisedEstCompDate FROM projectRevisedDates WHERE ProjectID = 12"),
                IsoDate("2026-06-30"))
          << c.name;
      // The row's timestamp is the database's default: the statement names no such column.
      EXPECT_NEAR(Stored(connect, "SELECT DateTimeValue FROM projectRevisedDates").AsDate(), before, 5.0 / 86400);
    }
  }
}

TEST_P(KsMaintPage, TwoPagesSavingAtOnceLoseNothing) {
  db.Exec("INSERT INTO ProjectMaster (ID, EstDateCompleted) VALUES (1, '2026-06-30'), (2, '2026-06-30');");
  constexpr int kSaves = 15;
  auto page = [&](int project) {
    KsMaint own;  // each page its own instance and session
    Variant target = connect;
    for (int i = 1; i <= kSaves; ++i) {
      Variant form = ProjectForm(Variant(project)), rc = "preset";
      form.MutableArray().at({6}) = "1/" + std::to_string(i) + "/2027";
      own.UPD_ProjectMasterALL(form, target, rc);
      Variant step = Form({"INS", "", "Step", project, 4, "1", "", "", "", "", "", "", "", 1, "", "", "", "0"});
      Variant rc2 = "preset";
      own.INS_UPD_ProjectSteps(step, target, rc2);
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
    // Each page's last save stands.
    EXPECT_EQ(db.Read(std::string("SELECT EstDateCompleted FROM ProjectMaster WHERE ID = ") + project),
              "1/" + std::to_string(kSaves) + "/2027");
  }
}

KSMAIN_ON_BOTH_ENGINES(KsMaintPage);

}  // namespace
}  // namespace ksmain
