// Kaizen events: the percentage texts of the project page and of the period report, the
// kind list, attaching a kind, the counters and the page's own statement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/odd_arguments.h"
#include "support/fixture.h"

namespace ksmain {
namespace {

using testing::RowCell;
using testing::TempDb;

class Kaizen : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Exec(
        "INSERT INTO Resource (ID, FirstName, LastName) VALUES (1, 'Ann', 'Young');"
        "INSERT INTO Status (id, description) VALUES (1, 'Active');"
        "INSERT INTO ProjectMaster (ID, NameOfProject, Status) VALUES (12, 'Press line', 1),"
        " (13, 'Paint shop', 1), (14, 'Empty', 1);"
        "INSERT INTO KaizenEvents (ID, KaizenEvent, Units) VALUES (1, 'Scrap', 'kg'),"
        " (2, 'Lead time', 'h'), (3, 'Floor space', 'm2');");
  }
  // One result row of project 12 whose improvement and verification figures are the same
  // pair, so that both texts of both members come from one (before, after).
  void AddResult(int id, const std::string& before, const std::string& after, const char* created = "2026-03-10") {
    db.Exec("INSERT INTO KaizenResults (ID, ProjectID, KaizenEventID, ImpBefore, ImpAfter, VerifiedBefore,"
            " VerifiedAfter, VerifiedBy, DateTimeValue) VALUES (" + std::to_string(id) + ", 12, 1, " +
            before + ", " + after + ", " + before + ", " + after + ", " + (id % 2 ? "1" : "NULL") + ", '" +
            created + "')");
  }

  TempDb db{TempDb::Kind::Portfolio};
  Kestrel k;
  Variant grid, connect = db.connect();
};

TEST_F(Kaizen, PercentTextsOfPageAndReport) {
  struct Case {
    const char* before;
    const char* after;
    const char* page_improvement;
    const char* page_verification;
    const char* report;
  };
  const Case cases[] = {
      {"50", "75", "50%", "50%", "50%"},
      {"200", "150", "-25%", "-25%", "-25%"},
      {"3", "4", "33%", "33%", "33%"},
      {"10", "10", "0%", "0%", "0%"},
      {"1", "12345", "1,234,400%", "1,234,400%", "1,234,400%"},
      {"0", "5", "", "", ""},
      {"NULL", "5", "", "", ""},
      {"''", "5", "", "", ""},
      {"20", "''", "", "0", "0"},
      // An after-figure still awaited does not fail the report.
      {"20", "NULL", "", "0", "0"},
  };
  int id = 1;
  for (const Case& c : cases) AddResult(id++, c.before, c.after);

  Variant project = 12;
  k.GetKaizenResults(grid, project, connect);
  ASSERT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{10}));
  Variant b = "3/1/2026", e = "3/31/2026", kind = "";
  Variant report;
  ASSERT_NO_THROW(k.Get_rptKaizenEvents(report, connect, kind, b, e));
  ASSERT_EQ(RowCell(report, 0, 0), Variant(std::int16_t{10}));
  EXPECT_EQ(kind, Variant("%"));

  for (int r = 1; r <= 10; ++r) {
    const Case& c = cases[RowCell(grid, r, 0).AsLong() - 1];
    const std::string name = std::string(c.before) + " -> " + c.after;
    EXPECT_EQ(RowCell(grid, r, 4), Variant(c.page_improvement)) << name;
    EXPECT_EQ(RowCell(grid, r, 7), Variant(c.page_verification)) << name;
    // The report orders by kind and project only: find the row by its figures.
    bool found = false;
    for (int q = 1; q <= 10 && !found; ++q) {
      if (RowCell(report, q, 5) == RowCell(grid, r, 2) && RowCell(report, q, 6) == RowCell(grid, r, 3)) {
        found = true;
        EXPECT_EQ(RowCell(report, q, 13), Variant(c.report)) << name;
        EXPECT_EQ(RowCell(report, q, 14), Variant(c.report)) << name;
      }
    }
    EXPECT_TRUE(found) << name;
  }
  // The sub-selects: kind name, units, and the verifier's name joined as text.
  EXPECT_EQ(RowCell(grid, 1, 12), Variant("Scrap"));
  EXPECT_EQ(RowCell(grid, 1, 15), Variant("kg"));
  EXPECT_EQ(RowCell(grid, 1, 13), Variant(1));
  EXPECT_EQ(RowCell(grid, 1, 14), Variant("Young Ann"));
  EXPECT_TRUE(RowCell(grid, 2, 14).IsNull());
  EXPECT_TRUE(RowCell(grid, 0, 2).IsEmpty());
  // A result without a verifier is reported with empty names.
  int unverified = 0;
  for (int q = 1; q <= 10; ++q) unverified += RowCell(report, q, 11).IsNull() && RowCell(report, q, 12).IsNull();
  EXPECT_EQ(unverified, 5);
}

TEST_F(Kaizen, NonNumericFiguresEndPageQuietlyAndRaiseFromReport) {
  AddResult(1, "50", "75");
  AddResult(2, "'lots'", "75");
  Variant project = 12;
  k.GetKaizenResults(grid, project, connect);
  EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty());
  EXPECT_EQ(RowCell(grid, 1, 4), Variant("50%"));

  Variant b = "3/1/2026", e = "3/31/2026", kind = "1";
  int number = 0;
  try {
    k.Get_rptKaizenEvents(grid, connect, kind, b, e);
  } catch (const VbError& failure) {
    number = failure.number();
  }
  EXPECT_EQ(number, err::kTypeMismatch);
  EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty());
  EXPECT_TRUE(RowCell(grid, 0, 1).IsString());
}

TEST_F(Kaizen, ReportPeriodAndKindFilters) {
  AddResult(1, "50", "75", "2026-03-01");
  AddResult(2, "50", "75", "2026-03-31 18:00:00");
  AddResult(3, "50", "75", "2026-04-01");
  db.Exec("UPDATE KaizenResults SET KaizenEventID = 2 WHERE ID = 1");
  struct Case {
    const char* name;
    Variant kind, beg, end;
    int count;
    int error;
  };
  const Case cases[] = {
      {"1 both ends", Variant(""), Variant("3/1/2026"), Variant("3/31/2026 23:59:59"), 2, 0},
      {"2 one kind", Variant("2"), Variant("3/1/2026"), Variant("3/31/2026 23:59:59"), 1, 0},
      {"3 apostrophe in kind", Variant("2' or ''='"), Variant("3/1/2026"), Variant("4/30/2026"), 0, 0},
      {"4 period the database cannot read", Variant(""), Variant("never"), Variant("4/30/2026"), -1, 13},
  };
  for (const Case& c : cases) {
    Variant kind = c.kind, b = c.beg, e = c.end;
    int error = 0;
    try {
      k.Get_rptKaizenEvents(grid, connect, kind, b, e);
    } catch (const VbError& failure) {
      error = failure.number();
    }
    EXPECT_EQ(error != 0, c.error != 0) << c.name;
    if (c.count >= 0) EXPECT_EQ(RowCell(grid, 0, 0), Variant(static_cast<std::int16_t>(c.count))) << c.name;
    EXPECT_TRUE(RowCell(grid, 0, 1).IsString()) << c.name;
  }
}

TEST_F(Kaizen, KindsAndCounters) {
  AddResult(1, "1", "2");
  db.Exec("INSERT INTO KaizenResults (ProjectID, KaizenEventID) VALUES (12, 3);"
          "INSERT INTO ProjectSteps (ProjectID, Status) VALUES (13, 1), (13, 2), (13, 6), (13, 2);");
  struct Case {
    const char* name;
    Variant project;
    std::vector<std::string> kinds;
  };
  const Case cases[] = {
      {"1 every kind by name", Variant(""), {"Floor space", "Lead time", "Scrap"}},
      {"2 Null is no project", Variant::Null(), {"Floor space", "Lead time", "Scrap"}},
      {"3 kinds the project lacks", Variant(12), {"Lead time"}},
      {"4 key not a number", Variant("12) or (1=1"), {}},
  };
  for (const Case& c : cases) {
    Variant project = c.project;
    k.Get_KaizenNames(grid, connect, project);
    std::vector<std::string> got;
    for (std::size_t r = 1; r <= c.kinds.size(); ++r) got.push_back(vb::ConcatText(RowCell(grid, static_cast<int>(r), 1)));
    EXPECT_EQ(got, c.kinds) << c.name;
    if (c.kinds.empty()) EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty()) << c.name;
    else EXPECT_EQ(RowCell(grid, 0, 0), Variant(static_cast<std::int16_t>(c.kinds.size()))) << c.name;
  }

  struct Count {
    const char* name;
    Variant pid;
    Variant results, total, active;
  };
  const Count counts[] = {
      {"1 results, no steps", Variant(12), Variant(2), Variant("0"), Variant("0")},
      {"2 steps, no results", Variant(13), Variant(0), Variant(4), Variant(1)},
      {"3 key not a number: untouched", Variant(""), Variant("kept"), Variant("kept"), Variant("kept")},
  };
  for (const Count& c : counts) {
    Variant pid = c.pid, kcount = "kept", total = "kept", active = "kept";
    k.CountKaizenEvents(kcount, pid, connect);
    k.CountProjectSteps(total, active, pid, connect);
    EXPECT_EQ(kcount, c.results) << c.name;
    EXPECT_EQ(total, c.total) << c.name;
    EXPECT_EQ(active, c.active) << c.name;
  }
}

TEST_F(Kaizen, AttachingAKind) {
  Variant project = 12, kind = 3;
  k.InsertKaizenEventsToProject(project, kind, connect);
  EXPECT_EQ(project, Variant("OK"));
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM KaizenResults WHERE ProjectID = 12 AND KaizenEventID = 3"
                      " AND ImpBefore IS NULL AND DateTimeValue = date('now', 'localtime')"),
            "1");

  project = 12;
  kind = "3); DELETE FROM KaizenEvents; --";
  k.InsertKaizenEventsToProject(project, kind, connect);
  EXPECT_EQ(project, Variant(12));
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM KaizenEvents"), "3");
}

TEST_F(Kaizen, PageStatements) {
  struct Case {
    const char* name;
    const char* statement;
    bool ok;
    const char* check;  // SQLite query whose answer shows the effect
    const char* expected;
  };
  const Case cases[] = {
      {"1 update in the page's dialect", "UPDATE KaizenEvents SET Units = 'lb' & '' WHERE ID = 1", true,
       "SELECT Units FROM KaizenEvents WHERE ID = 1", "lb"},
      {"2 insert with a date", "insert into KaizenResults (ProjectID, KaizenEventID, VerifiedDate) values (14, 1, '3/5/2026')",
       true, "SELECT VerifiedDate FROM KaizenResults WHERE ProjectID = 14", "2026-03-05"},
      {"3 a query runs too", "SELECT * FROM KaizenEvents", true, "SELECT count(*) FROM KaizenEvents", "3"},
      {"4 failing statement", "UPDATE NoSuchTable SET x = 1", false, "SELECT count(*) FROM KaizenEvents", "3"},
      {"5 second statement refused, first not run", "DELETE FROM KaizenEvents WHERE ID = 2; DELETE FROM KaizenEvents",
       false, "SELECT count(*) FROM KaizenEvents", "3"},
      {"6 date that does not convert", "UPDATE KaizenResults SET VerifiedDate = 'soon'", false,
       "SELECT VerifiedDate FROM KaizenResults WHERE ProjectID = 14", "2026-03-05"},
  };
  for (const Case& c : cases) {
    Variant statement = c.statement, result = "preset";
    k.ManageKaizenEvents(statement, connect, result);
    EXPECT_EQ(result, Variant(c.ok ? "OK" : "preset")) << c.name;
    EXPECT_EQ(db.Scalar(c.check), c.expected) << c.name;
  }
}

TEST_F(Kaizen, OddArgumentsNeverEscape) {
  using testing::ProbeWithOddArguments;
  AddResult(1, "50", "75");
  ProbeWithOddArguments("Get_KaizenNames", [&](std::vector<Variant>& a) {
    k.Get_KaizenNames(a[0], a[1], a[2]);
  }, {Variant(), connect, Variant(12)});
  ProbeWithOddArguments("InsertKaizenEventsToProject", [&](std::vector<Variant>& a) {
    k.InsertKaizenEventsToProject(a[0], a[1], a[2]);
  }, {Variant(13), Variant(2), connect});
  ProbeWithOddArguments("GetKaizenResults", [&](std::vector<Variant>& a) {
    k.GetKaizenResults(a[0], a[1], a[2]);
  }, {Variant(), Variant(12), connect});
  ProbeWithOddArguments("CountKaizenEvents", [&](std::vector<Variant>& a) {
    k.CountKaizenEvents(a[0], a[1], a[2]);
  }, {Variant(), Variant(12), connect});
  ProbeWithOddArguments("CountProjectSteps", [&](std::vector<Variant>& a) {
    k.CountProjectSteps(a[0], a[1], a[2], a[3]);
  }, {Variant(), Variant(), Variant(12), connect});
  ProbeWithOddArguments("ManageKaizenEvents", [&](std::vector<Variant>& a) {
    k.ManageKaizenEvents(a[0], a[1], a[2]);
  }, {Variant("SELECT * FROM KaizenEvents"), connect, Variant()});
  // The report has no trap: a failure reaches the caller as a run-time error, never as
  // anything else.
  ProbeWithOddArguments("Get_rptKaizenEvents", [&](std::vector<Variant>& a) {
    try {
      k.Get_rptKaizenEvents(a[0], a[1], a[2], a[3], a[4]);
    } catch (const VbError&) {
    }
  }, {Variant(), connect, Variant(""), Variant("3/1/2026"), Variant("3/31/2026")});
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM KaizenEvents"), "3");
}

}  // namespace
}  // namespace ksmain
