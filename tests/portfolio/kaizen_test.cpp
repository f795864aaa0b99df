// Kaizen events: the percentage texts of the project page and of the period report, the
// kind list, attaching a kind, the counters and the page's own statement.
#include <gtest/gtest.h>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/project_rows.h"

namespace ksmain {
namespace {

using testing::RowCell;

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
