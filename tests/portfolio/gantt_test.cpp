// The Gantt views against fixture databases: range conditions, filters, defaults, text.
#include <gtest/gtest.h>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/project_rows.h"
#include "sql/member_statements.h"

namespace ksmain {
namespace {

using testing::IsoDate;
using testing::ColCell;
using testing::TempDb;

class Gantt : public testing::PortfolioPage {
 protected:
  void SetUp() override {
    PortfolioPage::SetUp();
    if (IsSkipped()) return;
    testing::AddProjects(db);
    // Steps of project 10 (5: its resource row is missing) and one of project 11.
    db.Exec(
        "INSERT INTO ProjectSteps (ID, StepName, ProjectID, ResourceID, Status, EstStartDate,"
        " EstCompletionDate) VALUES"
        " (1, 'Measure', 10, 1, 1, '2020-01-05', '2020-01-20'),"
        " (2, 'Enclose', 10, 2, 1, '2019-12-01', '2020-03-01'),"
        " (3, 'Other',   11, 1, 1, '2020-01-05', '2020-01-20'),"
        " (4, 'Later',   10, 1, 1, '2021-01-01', '2021-02-01'),"
        " (5, 'Nobody',  10, 99, 1, '2020-01-05', '2020-01-20');");
  }
  std::vector<Variant> Column(int c) {
    std::vector<Variant> out;
    for (int r = 1; !ColCell(grid, r, c).IsEmpty(); ++r) out.push_back(ColCell(grid, r, c));
    return out;
  }
  Variant count;
};

TEST_P(Gantt, ProjectViewRanges) {
  struct Case {
    const char* name;
    Variant status, start, end;
    std::vector<Variant> ids;
  };
  const Case cases[] = {
      {"1 four years", "Z", "1/1/2020", "12/31/2023", {10, 11, 12, 13}},
      {"2 empty status matches nothing", "", "1/1/2020", "12/31/2023", {}},
      {"3 period encloses the range", "Z", "2/1/2030", "3/1/2030", {15}},
      {"4 ends on the range's first day", "Z", "4/11/2030", "5/1/2030", {15}},
      {"5 starts on the range's last day", "Z", "12/1/2029", "1/1/2030", {15}},
      {"6 closed: newest first", "2", "1/1/2020", "12/31/2023", {12, 11}},
  };
  for (const Case& c : cases) {
    Variant sortby = "ID", status = c.status, start = c.start, end = c.end, f;
    k.Get_ProjectListAllGanttChartView(grid, connect, count, sortby, status, f, f, f, f, start, end);
    EXPECT_EQ(Column(4), c.ids) << c.name;
    EXPECT_EQ(ColCell(grid, 0, 0), Variant(static_cast<std::int16_t>(c.ids.size()))) << c.name;
  }
}

TEST_P(Gantt, ProjectViewDefaultsColumnsAndText) {
  Variant sortby, status = "Z", dept, owner, priority, type, start = "1/1/2020", end = "4/10/2020";
  k.Get_ProjectListAllGanttChartView(grid, connect, count, sortby, status, dept, owner, priority,
                                     type, start, end);
  EXPECT_EQ(sortby, Variant("lastname, firstname, cdate(EstDateCompleted)"));
  for (const Variant* v : {&status, &dept, &owner, &priority, &type}) EXPECT_EQ(*v, Variant("%"));
  EXPECT_EQ(grid.AsArray().bounds(), (std::vector<ArrayBound>{{0, 10}, {0, 700}}));
  ASSERT_EQ(ColCell(grid, 0, 0), Variant(std::int16_t{1}));
  const std::vector<Variant> row{"Alpha", IsoDate("2020-01-01"),
                                 IsoDate("2020-04-10"), 1, 10, Variant(),
                                 "Ann", "Baker", 3, "Ops", "Open"};
  for (int c = 0; c <= 10; ++c) EXPECT_EQ(ColCell(grid, 1, c), row[c]) << c;
  EXPECT_EQ(ColCell(grid, 0, 1), Variant(sql::testing::GanttProjectsQuery("1/1/2020", "4/10/2020")));

  status = "2";
  k.Get_ProjectListAllGanttChartView(grid, connect, count, sortby, status, dept, owner, priority,
                                     type, start, end);
  EXPECT_TRUE(vb::CStr(ColCell(grid, 0, 1)).find("DepartmentName,projectmaster.projectowner, "
                                                  "resource.Noofprojects  FROM") != std::string::npos);
}

// Rejected values keep the statement's text and leave the count Empty.
TEST_P(Gantt, StepView) {
  struct Case {
    const char* name;
    Variant id, start, end;
    std::vector<Variant> steps;
    const char* text_part = nullptr;  // rejected: the count stays Empty
  };
  const Case cases[] = {
      {"1 inside and enclosing, own project only", 10, "1/10/2020", "1/15/2020", {1, 2}},
      {"2 touching the range's first day", "10", "1/20/2020", "1/25/2020", {1, 2}},
      {"3 no steps in range", 10, "6/1/2020", "7/1/2020", {}},
      {"4 other project", 11, "1/10/2020", "1/15/2020", {3}},
      {"5 id not a number", "10 or 1=1", "1/1/2020", "12/31/2020", {}, "projectid = 10 or 1=1 and"},
      {"6 empty id", "", "1/1/2020", "12/31/2020", {}, "projectid =  and"},
      {"7 range not a date", 10, "someday", "12/31/2020", {}, "cdate('someday')"},
      {"8 range with an apostrophe", 10, "1/1/2020'", "12/31/2020", {}, "cdate('1/1/2020''')"},
  };
  for (const Case& c : cases) {
    Variant id = c.id, start = c.start, end = c.end;
    k.Get_StepsListAllGanttChartView(grid, connect, id, start, end);
    EXPECT_EQ(Column(11), c.steps) << c.name;
    if (c.text_part != nullptr) {
      EXPECT_TRUE(ColCell(grid, 0, 0).IsEmpty()) << c.name;
      EXPECT_NE(vb::CStr(ColCell(grid, 0, 1)).find(c.text_part), std::string::npos) << c.name;
    } else {
      EXPECT_EQ(ColCell(grid, 0, 0), Variant(static_cast<std::int16_t>(c.steps.size()))) << c.name;
    }
  }
  Variant id = 10, start = "1/10/2020", end = "1/15/2020";
  k.Get_StepsListAllGanttChartView(grid, connect, id, start, end);
  EXPECT_EQ(ColCell(grid, 1, 5), Variant("Alpha"));
  EXPECT_EQ(ColCell(grid, 1, 9), IsoDate("2020-04-10"));
  EXPECT_EQ(ColCell(grid, 2, 7), Variant("Chen"));
  EXPECT_EQ(ColCell(grid, 0, 1), Variant(sql::testing::StepsGanttQuery("10", "1/10/2020", "1/15/2020")));
}

KSMAIN_ON_BOTH_ENGINES(Gantt);

}  // namespace
}  // namespace ksmain
