// Step lists and step resources against fixture databases.
#include <gtest/gtest.h>

#include <algorithm>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/odd_arguments.h"
#include "support/fixture.h"

namespace ksmain {
namespace {

using testing::RowCell;
using testing::TempDb;

class Steps : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Exec(
        "INSERT INTO ProjectSteps (ID, StepName, ProjectID, Status, EstStartDate, EstCost) VALUES"
        " (11, 'late in the day', 1, 1, '2026-05-02 17:00:00', 12.5),"
        " (12, 'deleted', 1, 6, '2026-05-01', NULL),"
        " (13, 'early in the day', 1, 2, '2026-05-02 08:00:00', NULL),"
        " (14, 'other project', 2, 1, '2026-01-01', NULL);"
        "INSERT INTO Department (id, departmentname) VALUES (1, 'Ops');"
        "INSERT INTO Resource (ID, FirstName, LastName, Department) VALUES"
        " (1, 'Ann', 'Young', 1), (2, 'Bob', 'Abel', 8);"
        "INSERT INTO ProjectStepResources (ID, ProjectStepID, ResourceID, misc1) VALUES"
        " (1, 11, 1, 'x'), (2, 11, 2, 'y'), (3, 11, 77, 'z'), (4, 12, 1, NULL);");
  }
  std::vector<int> Ids() {
    std::vector<int> out;
    for (int r = 1; r <= RowCell(grid, 0, 0).AsInteger(); ++r) out.push_back(vb::CLng(RowCell(grid, r, 0)));
    return out;
  }
  TempDb db{TempDb::Kind::Portfolio};
  Kestrel k;
  Variant grid, connect = db.connect();
};

TEST_F(Steps, Filters) {
  struct Case {
    const char* name;
    bool not_deleted;
    Variant project, step, status;
    std::vector<int> ids;  // empty with count Empty when `fails`
    bool fails;
  };
  const Case cases[] = {
      {"1 all but deleted", true, Variant(1), Variant(""), Variant(""), {11, 13}, false},
      {"2 all", false, Variant(1), Variant(""), Variant(""), {11, 12, 13}, false},
      {"3 status given, deleted list", true, Variant(1), Variant("%"), Variant("6"), {12}, false},
      {"4 status given, full list", false, Variant(1), Variant("%"), Variant(2), {13}, false},
      {"5 one step", false, Variant("1"), Variant(13), Variant(""), {13}, false},
      {"6 project without steps", false, Variant(3), Variant(""), Variant(""), {}, false},
      {"7 empty project", false, Variant(""), Variant(""), Variant(""), {}, true},
      {"8 project with a condition", false, Variant("1 or 1=1"), Variant(""), Variant(""), {}, true},
      {"9 apostrophe in the step", false, Variant(1), Variant("1' or '1'='1"), Variant(""), {}, false},
  };
  for (const Case& c : cases) {
    Variant project = c.project, step = c.step, status = c.status;
    if (c.not_deleted) {
      k.Get_ProjectStepsNotDeleted(grid, project, step, connect, status);
    } else {
      k.Get_ProjectSteps(grid, project, step, connect, status);
    }
    ASSERT_EQ(grid.AsArray().bound(0).upper, 70) << c.name;
    ASSERT_EQ(grid.AsArray().bound(1).upper, 18) << c.name;
    if (c.fails) {
      EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty()) << c.name;
    } else {
      // Steps on the same day keep the engine's order, so compare as sets.
      std::vector<int> ids = Ids();
      std::sort(ids.begin(), ids.end());
      EXPECT_EQ(ids, c.ids) << c.name;
    }
    // An empty step key becomes "%" in the caller's variable, whatever follows.
    EXPECT_EQ(step, vb::TextEquals(c.step, "") ? Variant("%") : c.step) << c.name;
  }
}

TEST_F(Steps, StartDateKeepsOnlyItsDatePart) {
  Variant project = 1, step = "", status = "";
  k.Get_ProjectSteps(grid, project, step, connect, status);
  ASSERT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{3}));
  // By the date alone the 8:00 step is no earlier than the 17:00 one; both follow 5/1.
  EXPECT_EQ(RowCell(grid, 1, 0), Variant(12));
  const int late_row = RowCell(grid, 2, 0) == Variant(11) ? 2 : 3;
  EXPECT_EQ(RowCell(grid, late_row, 8), Variant::FromDate(*vb::ParseIso("2026-05-02")));
  EXPECT_EQ(RowCell(grid, late_row, 6), Variant::FromCurrency(125000));
  EXPECT_EQ(RowCell(grid, late_row, 1), Variant("late in the day"));
  EXPECT_TRUE(RowCell(grid, late_row, 17).IsEmpty());
}

TEST_F(Steps, StopsAtSeventyRows) {
  db.Exec(
      "WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < 169)"
      " INSERT INTO ProjectSteps (ID, ProjectID, Status, EstStartDate) SELECT i, 5, 1, '2026-01-01' FROM n;");
  Variant project = 5, step = "", status = "";
  k.Get_ProjectSteps(grid, project, step, connect, status);
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{70}));
  db.Exec("INSERT INTO ProjectSteps (ID, ProjectID, Status, EstStartDate) VALUES (170, 5, 1, '2026-01-02');");
  k.Get_ProjectSteps(grid, project, step, connect, status);
  EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty());
  EXPECT_FALSE(RowCell(grid, 70, 0).IsEmpty());
}

TEST_F(Steps, StepResources) {
  struct Case {
    const char* name;
    Variant step;
    Variant count;
    Variant written_back;
  };
  const Case cases[] = {
      {"1 listed with department, missing resource and department left out", Variant(11), Variant(std::int16_t{1}), Variant(11)},
      {"2 no assignments", Variant("99"), Variant(std::int16_t{0}), Variant("99")},
      {"3 empty key becomes a refused %", Variant(""), Variant(), Variant("%")},
      {"4 key with a condition", Variant("11 or 1=1"), Variant(), Variant("11 or 1=1")},
  };
  for (const Case& c : cases) {
    Variant step = c.step;
    k.Get_ProjectStepsResources(grid, step, connect);
    ASSERT_EQ(grid.AsArray().bound(1).upper, 9) << c.name;
    EXPECT_EQ(RowCell(grid, 0, 0), c.count) << c.name;
    EXPECT_EQ(step, c.written_back) << c.name;
  }
  Variant step = 11;
  k.Get_ProjectStepsResources(grid, step, connect);
  const Variant expected[] = {Variant(1), Variant(11), Variant(1), Variant("x"), Variant::Null(),
                              Variant(1), Variant("Ann"), Variant("Young"), Variant(1), Variant("Ops")};
  for (int c = 0; c <= 9; ++c) EXPECT_EQ(RowCell(grid, 1, c), expected[c]) << c;
}

TEST_F(Steps, OddArgumentsNeverEscape) {
  using testing::ProbeWithOddArguments;
  ProbeWithOddArguments("Get_ProjectStepsNotDeleted",
                        [&](std::vector<Variant>& a) { k.Get_ProjectStepsNotDeleted(a[0], a[1], a[2], a[3], a[4]); },
                        {Variant(), Variant(1), Variant(""), connect, Variant("")});
  ProbeWithOddArguments("Get_ProjectSteps",
                        [&](std::vector<Variant>& a) { k.Get_ProjectSteps(a[0], a[1], a[2], a[3], a[4]); },
                        {Variant(), Variant(1), Variant(""), connect, Variant("")});
  ProbeWithOddArguments("Get_ProjectStepsResources",
                        [&](std::vector<Variant>& a) { k.Get_ProjectStepsResources(a[0], a[1], a[2]); },
                        {Variant(), Variant(11), connect});
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM ProjectSteps"), "4");
}

}  // namespace
}  // namespace ksmain
