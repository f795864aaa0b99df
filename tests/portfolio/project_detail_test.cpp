// The project form's one-row grid, its steps and their resources, its revised completion
// dates, and the settings grid, against fixture databases.
#include <gtest/gtest.h>

#include <algorithm>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/project_rows.h"

namespace ksmain {
namespace {

using testing::IsoDate;
using testing::RowCell;

class ProjectPage : public testing::PortfolioPage {};

TEST_P(ProjectPage, OneProjectByItsId) {
  db.Exec(
      "INSERT INTO Resource (ID, LastName) VALUES (3, 'Baker');"
      "INSERT INTO ProjectMaster VALUES (7, 'Dock', 'P-7', 2, 4, 3, 3, 1, 5, 12.5, 40, '2026-01-05',"
      " '2026-01-06', '2026-06-30', NULL, 1000.25, 200, '2026-02-01 09:30:00', 1, 2, 3, 4, 5,"
      " 'm1', 'm2', 'm3', 'm4', 'm5', 'c', 'b', 'e');"
      "INSERT INTO ProjectMaster (ID, SubmittedBy) VALUES (8, NULL), (9, 99);");
  struct Case {
    const char* name;
    Variant id, count;
    bool submitter_null;
  };
  const Case cases[] = {
      {"1 found", Variant(7), Variant(std::int16_t{1}), false},
      {"2 no such project", Variant(1234), Variant(std::int16_t{0}), false},
      {"3 no submitter", Variant("8"), Variant(std::int16_t{1}), true},
      {"4 submitter gone", Variant(9.0), Variant(std::int16_t{1}), true},
      {"5 empty id", Variant(""), Variant(), false},
      {"6 id with a second condition", Variant("7 or 1=1"), Variant(), false},
  };
  for (const Case& c : cases) {
    Variant id = c.id;
    k.Get_ProjectSpecific(grid, connect, id);
    EXPECT_EQ(RowCell(grid, 0, 0), c.count) << c.name;
    EXPECT_EQ(RowCell(grid, 1, 10).IsNull(), c.submitter_null) << c.name;
  }
  Variant id = 7;
  k.Get_ProjectSpecific(grid, connect, id);
  EXPECT_EQ(grid.AsArray().bound(1).upper, 35);
  // Planned completion sits before the planned start; dates come back as dates.
  EXPECT_EQ(RowCell(grid, 1, 5), IsoDate("2026-06-30"));
  EXPECT_EQ(RowCell(grid, 1, 6), IsoDate("2026-01-05"));
  EXPECT_EQ(RowCell(grid, 1, 10), Variant("Baker"));
  EXPECT_EQ(RowCell(grid, 1, 30), Variant("e"));
  EXPECT_TRUE(RowCell(grid, 1, 31).IsEmpty());
}

TEST_P(ProjectPage, NewestEstimateFirstWhateverTheRecordingOrder) {
  db.Exec("INSERT INTO projectRevisedDates VALUES (1, 4, '2026-03-01', '2026-01-10 08:00:00'),"
          " (2, 4, '2026-12-01', '2026-01-05'), (3, 4, '2026-06-15', '2026-02-01'), (4, 5, '2027-01-01', NULL);");
  Variant unused;
  const std::pair<Variant, Variant> cases[] = {{Variant("9"), Variant(std::int16_t{0})},
                                               {Variant(""), Variant()},
                                               {Variant("4 or 1=1"), Variant()},
                                               {Variant(4), Variant(std::int16_t{3})}};
  for (const auto& [project, count] : cases) {
    Variant p = project;
    k.Get_ProjectRevisedCompDates(grid, connect, unused, p);
    EXPECT_EQ(RowCell(grid, 0, 0), count) << project;
  }
  EXPECT_EQ(RowCell(grid, 1, 0), Variant(2));
  EXPECT_EQ(RowCell(grid, 2, 0), Variant(3));
  EXPECT_EQ(RowCell(grid, 1, 1), IsoDate("2026-12-01"));
  EXPECT_EQ(RowCell(grid, 3, 2), IsoDate("2026-01-10 08:00:00"));
}

TEST_P(ProjectPage, GlobalVarsCounterStartsInRowZero) {
  const std::pair<int, Variant> cases[] = {{0, Variant(std::int16_t{-1})},
                                           {1, Variant(std::int16_t{0})},
                                           {2, Variant(std::int16_t{1})},
                                           {3, Variant()}};  // the third row does not fit
  for (const auto& [rows, count] : cases) {
    db.Exec("DELETE FROM globalvars");
    for (int i = 0; i < rows; ++i) db.Exec("INSERT INTO globalvars VALUES ('T" + std::to_string(i) + "', TRUE, 'S')");
    k.Get_GlobalVars(grid, connect);
    EXPECT_EQ(RowCell(grid, 0, 0), count) << rows;
    for (int r = 0; r <= 1; ++r) {
      EXPECT_EQ(RowCell(grid, r, 1), r < rows ? Variant("T" + std::to_string(r)) : Variant()) << rows;
      EXPECT_EQ(RowCell(grid, r, 2), r < rows ? Variant(true) : Variant()) << rows;
    }
    EXPECT_TRUE(RowCell(grid, 1, 0).IsEmpty());
  }
}

KSMAIN_ON_BOTH_ENGINES(ProjectPage);

// Step lists and step resources.
class Steps : public testing::PortfolioPage {
 protected:
  void SetUp() override {
    PortfolioPage::SetUp();
    if (IsSkipped()) return;
    db.Exec(
        "INSERT INTO ProjectSteps (ID, StepName, ProjectID, Status, EstStartDate) VALUES"
        " (11, 'late', 1, 1, '2026-05-02 17:00:00'), (12, 'deleted', 1, 6, '2026-05-01'),"
        " (13, 'early', 1, 2, '2026-05-02 08:00:00'), (14, 'other', 2, 1, '2026-01-01');"
        "INSERT INTO Department (id, departmentname) VALUES (1, 'Ops');"
        "INSERT INTO Resource (ID, FirstName, LastName, Department) VALUES (1, 'Ann', 'Young', 1), (2, 'Bob', 'Abel', 8);"
        "INSERT INTO ProjectStepResources (ID, ProjectStepID, ResourceID, misc1) VALUES"
        " (1, 11, 1, 'x'), (2, 11, 2, 'y'), (3, 11, 77, 'z'), (4, 12, 1, NULL);");
  }
};

TEST_P(Steps, Filters) {
  struct Case {
    bool not_deleted;
    Variant project, step, status;
    std::vector<int> ids;  // as a set; {-1}: the statement fails, no count
  };
  const Case cases[] = {
      {true, Variant(1), Variant(""), Variant(""), {11, 13}},
      {false, Variant(1), Variant(""), Variant(""), {11, 12, 13}},
      {true, Variant(1), Variant("%"), Variant("6"), {12}},
      {false, Variant("1"), Variant(13), Variant(""), {13}},
      {false, Variant(3), Variant(""), Variant(""), {}},
      {false, Variant(""), Variant(""), Variant(""), {-1}},
      {false, Variant("1 or 1=1"), Variant(""), Variant(""), {-1}},
      {false, Variant(1), Variant("1' or '1'='1"), Variant(""), {}},
  };
  for (const Case& c : cases) {
    Variant project = c.project, step = c.step, status = c.status;
    if (c.not_deleted) k.Get_ProjectStepsNotDeleted(grid, project, step, connect, status);
    else k.Get_ProjectSteps(grid, project, step, connect, status);
    std::vector<int> ids;
    if (RowCell(grid, 0, 0).IsEmpty()) ids.push_back(-1);
    for (int r = 1; !RowCell(grid, r, 0).IsEmpty(); ++r) ids.push_back(vb::CLng(RowCell(grid, r, 0)));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, c.ids) << c.project << " " << c.step << " " << c.status;
    // An empty step key becomes "%" in the caller's variable, whatever follows.
    EXPECT_EQ(step, vb::TextEquals(c.step, "") ? Variant("%") : c.step);
  }
}

TEST_P(Steps, OnlyTheDatePartOfTheStartCounts) {
  Variant project = 1, step = "", status = "";
  k.Get_ProjectSteps(grid, project, step, connect, status);
  EXPECT_EQ(RowCell(grid, 1, 0), Variant(12));
  // Had the time counted, the 8:00 step would come second for sure.
  const int late_row = RowCell(grid, 2, 0) == Variant(11) ? 2 : 3;
  EXPECT_EQ(RowCell(grid, late_row, 8), IsoDate("2026-05-02"));
  EXPECT_EQ(RowCell(grid, late_row, 1), Variant("late"));
  // 71 steps do not fit in 70 rows.
  db.Exec("WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < 170)"
          " INSERT INTO ProjectSteps (ID, ProjectID, Status, EstStartDate) SELECT i, 5, 1, '2026-01-01' FROM n;");
  project = 5;
  k.Get_ProjectSteps(grid, project, step, connect, status);
  EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty());
  EXPECT_FALSE(RowCell(grid, 70, 0).IsEmpty());
}

TEST_P(Steps, StepResources) {
  const std::pair<Variant, Variant> cases[] = {
      {Variant(11), Variant(std::int16_t{1})},  // gone resource and department left out
      {Variant("99"), Variant(std::int16_t{0})},
      {Variant(""), Variant()},  // becomes a bare % that no engine accepts
      {Variant("11 or 1=1"), Variant()},
  };
  for (const auto& [key, count] : cases) {
    Variant step = key;
    k.Get_ProjectStepsResources(grid, step, connect);
    EXPECT_EQ(RowCell(grid, 0, 0), count) << key;
    EXPECT_EQ(step, vb::TextEquals(key, "") ? Variant("%") : key);
  }
  Variant step = 11;
  k.Get_ProjectStepsResources(grid, step, connect);
  EXPECT_TRUE(RowCell(grid, 1, 4).IsNull());
  EXPECT_EQ(RowCell(grid, 1, 5), Variant(1));
  EXPECT_EQ(RowCell(grid, 1, 9), Variant("Ops"));
}

KSMAIN_ON_BOTH_ENGINES(Steps);

}  // namespace
}  // namespace ksmain
