// The time-period reports and the who-needs-help report against fixture databases (the
// report period of every case is March 2026), and Kaizen events with their own report.
#include <gtest/gtest.h>

#include <algorithm>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/project_rows.h"

namespace ksmain {
namespace {

using testing::IsoDate;
using testing::RowCell;
using Names = std::vector<std::string>;

class Reports : public testing::PortfolioPage {
 protected:
  void SetUp() override {
    PortfolioPage::SetUp();
    if (IsSkipped()) return;
    // Completions that are no date, where the engine can store them.
    const bool text = testing::StoresAnyText(GetParam());
    const std::string blank = text ? "''" : "NULL", undated = text ? "'soon'" : "NULL";
    db.Exec(
        "INSERT INTO Resource (ID, FirstName, LastName) VALUES (1, 'Ann', 'Young'), (2, 'Bob', 'Abel');"
        "INSERT INTO Department (id, departmentname) VALUES (1, 'Ops');"
        "INSERT INTO Type (id, typedescription) VALUES (1, 'Lean'), (3, 'Six Sigma');"
        "INSERT INTO Status (id, description) VALUES (1, 'Active'), (2, 'Closed'), (3, 'On hold');"
        "INSERT INTO ProjectMaster (ID, NameOfProject, Department, ProjectOwner, Status, ProjectType,"
        " EstDateStarted, EstDateCompleted, ActDateCompleted) VALUES"
        " (1, 'Inside', 1, 1, 1, 1, '2026-03-10', '2026-03-20', NULL),"
        " (2, 'Enclosing', 1, 1, 1, 3, '2026-02-01', '2026-05-01', NULL),"
        " (3, 'Before', 1, 1, 1, 1, '2026-01-01', '2026-02-28', NULL),"
        // Closed projects of type 1 alternate between skipped and reported ones.
        " (4, 'After', 1, 2, 2, 1, '2026-04-01', '2026-04-30', '2026-04-01'),"
        " (5, 'EndsOnLastDay', 1, 2, 2, 1, '2026-02-15', '2026-03-31', '2026-03-31'),"
        " (6, 'NoCompletion', 1, 2, 2, 1, '2026-03-01', '2026-03-02', " + blank + "),"
        " (7, 'StartsOnFirstDay', 1, 2, 2, 1, '2026-03-01', '2026-06-01', '2026-03-01'),"
        " (8, 'Undated', 1, 2, 2, 3, '2026-03-01', '2026-03-02', " + undated + "),"
        " (9, 'ClosedType3', 1, 2, 2, 3, '2026-03-01', '2026-03-02', '2026-03-15');"
        // Bob's steps in Ann's project 1 and in his own project 5.
        "INSERT INTO ProjectSteps (ID, StepName, ProjectID, ResourceID, Status, EstStartDate,"
        " EstCompletionDate) VALUES (11, 'Measure', 1, 2, 1, '2026-03-02', '2026-03-05'),"
        " (12, 'Analyse', 1, 2, 2, '2026-02-01', '2026-04-05'), (13, 'Wait', 1, 2, 3, '2026-03-02', '2026-03-05'),"
        " (14, 'Own', 5, 2, 1, '2026-03-02', '2026-03-05'), (15, 'Later', 1, 2, 1, '2026-05-02', '2026-05-05');"
        "INSERT INTO Attendees (AttendeeID, PlannedReviewDate, ActualReviewDate) VALUES"
        " (1, '3/5/2026', '3/6/2026'), (2, '3/5/2026', '3/6/2026'), (2, '3/20/2026', '3/21/2026'),"
        " (1, '4/20/2026', '4/21/2026');");
  }
  // Column c of rows 1..count as sorted text (the reports leave the order within a group
  // open); {"<failed>"} when the count cell is Empty.
  static Names Column(const Variant& grid, int c) {
    const Variant& count = RowCell(grid, 0, 0);
    if (count.IsEmpty()) return {"<failed>"};
    Names out;
    for (int r = 1; r <= count.AsInteger(); ++r) out.push_back(vb::ConcatText(RowCell(grid, r, c)));
    std::sort(out.begin(), out.end());
    return out;
  }
  static bool Has(const Variant& cell, const std::string& part) {
    return cell.IsString() && cell.AsString().find(part) != std::string::npos;
  }

  Variant beg = "3/1/2026", end = "3/31/2026", every = "";
};

TEST_P(Reports, ProjectsAndStepsOverlappingThePeriod) {
  const Names all{"ClosedType3", "Enclosing", "EndsOnLastDay", "Inside", "NoCompletion", "StartsOnFirstDay", "Undated"};
  struct Case {
    const char* name;
    Variant type;
    Names projects;
    const char* clause;  // nullptr: no statement in (0, 1)
  };
  const Case cases[] = {
      {"1 every type; touching first or last day, enclosing", Variant(""), all, " where (ProjectType like '%') "},
      {"2 Empty is every type", Variant(), all, " where (ProjectType like '%') "},
      {"3 type key, bare", Variant(3), {"ClosedType3", "Enclosing", "Undated"}, " where (ProjectType = 3)"},
      {"4 type not a number", Variant("3 or 1=1"), {"<failed>"}, nullptr},
  };
  for (const Case& c : cases) {
    Variant type = c.type;
    k.Get_rptProjectsByTimePeriod(grid, connect, type, beg, end);
    ASSERT_EQ(grid.AsArray().bound(0).upper, 500) << c.name;
    EXPECT_EQ(Column(grid, 0), c.projects) << c.name;
    EXPECT_EQ(Has(RowCell(grid, 0, 1), c.clause ? c.clause : "SELECT"), c.clause != nullptr) << c.name;
  }
  k.Get_rptProjectsByTimePeriod(grid, connect, every, beg, end);
  EXPECT_EQ(RowCell(grid, 7, 8), Variant("Six Sigma"));  // grouped by type description

  // Step status words compare exactly; anything else means active and closed.
  const std::pair<Variant, Names> steps[] = {
      {Variant("Active"), {"Measure", "Own"}}, {Variant("Closed"), {"Analyse"}},
      {Variant("active"), {"Analyse", "Measure", "Own"}}, {Variant::Null(), {"Analyse", "Measure", "Own"}}};
  for (const auto& [word, names] : steps) {
    Variant status = word;
    k.Get_rptActiveClosedStepsByproject(grid, connect, every, beg, end, status);
    EXPECT_EQ(Column(grid, 7), names) << word;
    EXPECT_TRUE(RowCell(grid, 1, 5).IsEmpty());
  }
}

TEST_P(Reports, StatementStoredFirstOnlyByTheStepAndClosedReports) {
  Variant bad = "Data Source=/nonexistent-dir/p.db", status = "";
  k.Get_rptActiveClosedStepsByproject(grid, bad, every, beg, end, status);
  EXPECT_TRUE(Has(RowCell(grid, 0, 1), " where ((ProjectType like '%') and (( status"));
  EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty());
  k.Get_rptClosedProjectsByTimePeriod(grid, bad, every, beg, end);
  EXPECT_TRUE(Has(RowCell(grid, 0, 1), " where    status=2 and  (ProjectType like '%')  Order by"));
  k.Get_rptProjectsByTimePeriod(grid, bad, every, beg, end);
  EXPECT_TRUE(RowCell(grid, 0, 1).IsEmpty());
}

TEST_P(Reports, ClosedProjectsFilteredRecordByRecord) {
  struct Case {
    const char* name;
    Variant type, beg, end;
    Names projects;
  };
  const Case cases[] = {
      // Empty and non-date completions and the day after the period take no row.
      {"1 first and last day included", Variant(1), beg, end, {"EndsOnLastDay", "StartsOnFirstDay"}},
      {"2 other type", Variant(3), beg, end, {"ClosedType3"}},
      {"3 other date forms", Variant(1), Variant("2026-03-02"), Variant("March 31, 2026"), {"EndsOnLastDay"}},
      {"4 period the runtime cannot read", Variant(1), Variant("someday"), end, {"<failed>"}},
  };
  for (const Case& c : cases) {
    Variant type = c.type, b = c.beg, e = c.end;
    k.Get_rptClosedProjectsByTimePeriod(grid, connect, type, b, e);
    EXPECT_EQ(Column(grid, 0), c.projects) << c.name;
    EXPECT_TRUE(RowCell(grid, static_cast<int>(c.projects.size()) + 1, 0).IsEmpty()) << c.name;
    EXPECT_TRUE(Has(RowCell(grid, 0, 1), "Order by TypeDescription ")) << c.name;
  }
}

TEST_P(Reports, MeetingAttendanceAsksPerMeeting) {
  Variant who = 1;
  k.Get_rptMeetingAttendance(grid, connect, who, beg, end);
  ASSERT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{2}));
  EXPECT_EQ(RowCell(grid, 1, 0), IsoDate("2026-03-05"));
  EXPECT_EQ(RowCell(grid, 1, 1), Variant("3/6/2026"));
  EXPECT_EQ(RowCell(grid, 1, 2), Variant("Y"));
  EXPECT_EQ(RowCell(grid, 2, 2), Variant("N"));
  Variant b = "1/1/2020", e = "1/31/2020";
  k.Get_rptMeetingAttendance(grid, connect, who, b, e);
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{0}));
  EXPECT_TRUE(Has(RowCell(grid, 0, 1), "between cdate('1/1/2020') and cdate('1/31/2020')"));
}

TEST_P(Reports, WhoNeedsHelpFrom) {
  struct Case {
    const char* name;
    Variant resource, project_status, step_status;
    Names steps;
    Variant project_status_after, step_status_after;
  };
  const Case cases[] = {
      {"1 every status; own project left out", Variant(2), Variant("Z"), Variant("Z"),
       {"Analyse", "Later", "Measure", "Wait"}, Variant("%"), Variant("%")},
      {"2 one status key", Variant(2), Variant("z"), Variant("1"), {"Later", "Measure"}, Variant("z"), Variant("1")},
      {"3 only own projects", Variant(1), Variant(), Variant("Z"), {}, Variant(), Variant("%")},
      {"4 no resource", Variant(""), Variant("Z"), Variant("Z"), {"<failed>"}, Variant("%"), Variant("%")},
  };
  for (const Case& c : cases) {
    Variant resource = c.resource, ps = c.project_status, ss = c.step_status;
    k.Get_rptWhoNeedsHelpFrom(grid, connect, resource, ps, ss);
    EXPECT_EQ(Column(grid, 1), c.steps) << c.name;
    EXPECT_EQ(ps, c.project_status_after) << c.name;
    EXPECT_EQ(ss, c.step_status_after) << c.name;
  }
  Variant resource = 2, ps = "", ss = "2";
  k.Get_rptWhoNeedsHelpFrom(grid, connect, resource, ps, ss);
  // The owner's name, last name first, and the step's status.
  const Variant columns_2_to_6[] = {Variant(12), Variant(1), "Young", "Ann", "Closed"};
  for (int c = 2; c <= 6; ++c) EXPECT_EQ(RowCell(grid, 1, c), columns_2_to_6[c - 2]) << c;
  EXPECT_TRUE(Has(RowCell(grid, 0, 1), "resourceid = 2  and projectsteps.status like '2'"));
}

KSMAIN_ON_BOTH_ENGINES(Reports);

// Kaizen events: the percentage texts of the project page and of the period report, the
// kind list, attaching a kind, the counters and the page's own statement.
class Kaizen : public testing::PortfolioPage {
 protected:
  void SetUp() override {
    PortfolioPage::SetUp();
    if (IsSkipped()) return;
    db.Exec("INSERT INTO Resource (ID, FirstName, LastName) VALUES (1, 'Ann', 'Young');"
            "INSERT INTO Status (id, description) VALUES (1, 'Active');"
            "INSERT INTO ProjectMaster (ID, NameOfProject, Status) VALUES (12, 'Press', 1), (13, 'Paint', 1);");
  }
  // Result n of project 12, of its own kind "kNN" (so the report's order is n's), with the
  // same pair as improvement and verification figures; odd ones have a verifier.
  void AddResult(int n, const std::string& before, const std::string& after) {
    const std::string id = std::to_string(n), name = (n < 10 ? "'k0" : "'k") + id + "'";
    db.Exec("INSERT INTO KaizenEvents (ID, KaizenEvent, Units) VALUES (" + id + ", " + name + ", 'kg');"
            "INSERT INTO KaizenResults (ID, ProjectID, KaizenEventID, ImpBefore, ImpAfter, VerifiedBefore,"
            " VerifiedAfter, VerifiedBy, DateTimeValue) VALUES (" + id + ", 12, " + id + ", " + before + ", " +
            after + ", " + before + ", " + after + ", " + (n % 2 ? "1" : "NULL") + ", '2026-03-10')");
  }
  void Report(Variant kind = "", Variant beg = "3/1/2026", Variant end = "3/31/2026") {
    k.Get_rptKaizenEvents(grid, connect, kind, beg, end);
  }

  Variant project = 12;
};

TEST_P(Kaizen, PercentTextsOfPageAndReport) {
  struct Case {
    const char *before, *after, *page_improvement, *page_verification, *report;
  };
  const Case cases[] = {
      {"50", "75", "50%", "50%", "50%"},      {"200", "150", "-25%", "-25%", "-25%"},
      {"3", "4", "33%", "33%", "33%"},        {"10", "10", "0%", "0%", "0%"},
      {"1", "12345", "1,234,400%", "1,234,400%", "1,234,400%"},
      {"0", "5", "", "", ""},                 {"NULL", "5", "", "", ""},
      {"20", "NULL", "", "0", "0"},  // an awaited after-figure does not fail the report
      {"''", "5", "", "", ""},                {"20", "''", "", "0", "0"},
  };
  // Figures stored as '' are text in a number column: the embedded engine's rows only.
  const int rows = testing::StoresAnyText(GetParam()) ? 10 : 7;
  for (int n = 1; n <= rows; ++n) AddResult(n, cases[n - 1].before, cases[n - 1].after);
  k.GetKaizenResults(grid, project, connect);
  Variant page = grid;
  ASSERT_NO_THROW(Report());
  ASSERT_EQ(RowCell(page, 0, 0), Variant(static_cast<std::int16_t>(rows)));
  ASSERT_EQ(RowCell(grid, 0, 0), Variant(static_cast<std::int16_t>(rows)));
  for (int r = 1; r <= rows; ++r) {
    const Case& c = cases[r - 1];
    const std::string name = std::string(c.before) + " -> " + c.after;
    EXPECT_EQ(RowCell(page, r, 4), Variant(c.page_improvement)) << name;
    EXPECT_EQ(RowCell(page, r, 7), Variant(c.page_verification)) << name;
    EXPECT_EQ(RowCell(grid, r, 13), Variant(c.report)) << name;
    EXPECT_EQ(RowCell(grid, r, 14), Variant(c.report)) << name;
    // Without a verifier the report still lists the result, with Null names.
    EXPECT_EQ(RowCell(grid, r, 12), r % 2 ? Variant("Young") : Variant::Null()) << name;
  }
  // The verifier's name is joined as text by the sub-select.
  EXPECT_EQ(RowCell(page, 1, 14), Variant("Young Ann"));
  EXPECT_EQ(RowCell(page, 1, 15), Variant("kg"));
}

TEST_P(Kaizen, ReportFailuresReachTheCaller) {
  AddResult(1, "50", "75");
  struct Case {
    const char* name;
    const char* before;  // of a second result
    Variant kind, beg;
    int error;
    Variant count;
  };
  const Case cases[] = {
      {"1 non-numeric figure", "'lots'", Variant(""), Variant("3/1/2026"), 13, Variant()},
      {"2 period the database cannot read", "2", Variant(""), Variant("never"), -1, Variant()},
      {"3 one kind", "2", Variant("1"), Variant("3/1/2026"), 0, Variant(std::int16_t{1})},
  };
  const bool text_figures = testing::StoresAnyText(GetParam());
  for (const Case& c : cases) {
    if (c.before[0] == '\'' && !text_figures) continue;
    db.Exec(std::string("DELETE FROM KaizenEvents WHERE ID = 2; DELETE FROM KaizenResults WHERE ID = 2;"));
    AddResult(2, c.before, "75");
    int error = 0;
    try {
      Report(c.kind, c.beg);
    } catch (const VbError& failure) {
      error = failure.number();
    }
    EXPECT_TRUE(c.error < 0 ? error != 0 : error == c.error) << c.name << ": " << error;
    EXPECT_EQ(RowCell(grid, 0, 0), c.count) << c.name;
    EXPECT_TRUE(RowCell(grid, 0, 1).IsString()) << c.name;
  }
  // The project page ends quietly at the same figure, keeping the row before it.
  if (!text_figures) return;
  db.Exec("UPDATE KaizenResults SET ImpBefore = 'lots' WHERE ID = 2");
  k.GetKaizenResults(grid, project, connect);
  EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty());
  EXPECT_EQ(RowCell(grid, 1, 4), Variant("50%"));
}

TEST_P(Kaizen, KindsCountersAndAttaching) {
  AddResult(1, "1", "2");
  AddResult(2, "1", "2");
  db.Exec("INSERT INTO KaizenEvents (ID, KaizenEvent) VALUES (3, 'Floor');"
          "INSERT INTO ProjectSteps (ProjectID, Status) VALUES (13, 1), (13, 2), (13, 6), (13, 2);");
  struct Case {
    const char* name;
    Variant pid;
    Variant first_kind, kind_count, results, total, active;
  };
  const Case cases[] = {
      {"1 no project: every kind by name", Variant(""), Variant("Floor"), Variant(std::int16_t{3}),
       Variant("kept"), Variant("kept"), Variant("kept")},
      {"2 Null is no project", Variant::Null(), Variant("Floor"), Variant(std::int16_t{3}),
       Variant("kept"), Variant("kept"), Variant("kept")},
      {"3 results, no steps", Variant(12), Variant("Floor"), Variant(std::int16_t{1}), Variant(2), Variant("0"), Variant("0")},
      {"4 steps, no results", Variant(13), Variant("Floor"), Variant(std::int16_t{3}), Variant(0), Variant(4), Variant(1)},
      {"5 key not a number", Variant("12) or (1=1"), Variant(), Variant(), Variant("kept"), Variant("kept"), Variant("kept")},
  };
  for (const Case& c : cases) {
    Variant pid = c.pid, kcount = "kept", total = "kept", active = "kept";
    k.Get_KaizenNames(grid, connect, pid);
    EXPECT_EQ(RowCell(grid, 1, 1), c.first_kind) << c.name;
    EXPECT_EQ(RowCell(grid, 0, 0), c.kind_count) << c.name;
    k.CountKaizenEvents(kcount, pid, connect);
    k.CountProjectSteps(total, active, pid, connect);
    EXPECT_EQ(kcount, c.results) << c.name;
    EXPECT_EQ(total, c.total) << c.name;
    EXPECT_EQ(active, c.active) << c.name;
  }

  Variant kind = 3;
  k.InsertKaizenEventsToProject(project, kind, connect);
  EXPECT_EQ(project, Variant("OK"));
  EXPECT_EQ(db.Read("SELECT DateTimeValue, ImpBefore FROM KaizenResults WHERE KaizenEventID = 3"),
            vb::CStr(Variant::FromDate(vb::Today())) + ":Null");
  project = 12;
  kind = "3); DELETE FROM KaizenEvents; --";
  k.InsertKaizenEventsToProject(project, kind, connect);
  EXPECT_EQ(project, Variant(12));
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM KaizenEvents"), "3");
}

TEST_P(Kaizen, PageStatements) {
  AddResult(1, "1", "2");
  struct Case {
    const char *name, *statement;
    bool ok;
    const char *check, *expected;  // a query showing the effect, and its answer
  };
  const Case cases[] = {
      {"1 update in the page's dialect", "UPDATE KaizenEvents SET Units = 'lb' & '' WHERE ID = 1", true,
       "SELECT Units FROM KaizenEvents", "lb"},
      {"2 date text converted", "UPDATE KaizenResults SET VerifiedDate = '3/5/2026'", true,
       "SELECT VerifiedDate FROM KaizenResults", "3/5/2026"},
      {"3 failing statement", "UPDATE NoSuchTable SET x = 1", false, "SELECT count(*) FROM KaizenEvents", "1"},
      {"4 second statement refused, first not run", "DELETE FROM KaizenResults; DELETE FROM KaizenEvents",
       false, "SELECT count(*) FROM KaizenResults", "1"},
      {"5 date that does not convert", "UPDATE KaizenResults SET VerifiedDate = 'soon'", false,
       "SELECT VerifiedDate FROM KaizenResults", "3/5/2026"},
  };
  for (const Case& c : cases) {
    Variant statement = c.statement, result = "preset";
    k.ManageKaizenEvents(statement, connect, result);
    EXPECT_EQ(result, Variant(c.ok ? "OK" : "preset")) << c.name;
    EXPECT_EQ(db.Read(c.check), c.expected) << c.name;
  }
}

KSMAIN_ON_BOTH_ENGINES(Kaizen);

}  // namespace
}  // namespace ksmain
