// The project list and the Gantt views against fixture databases: SQL text, filters, range
// conditions, order, defaults, bars, failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/app_log.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/project_rows.h"
#include "sql/member_statements.h"

namespace ksmain {
namespace {

using testing::ColCell;
using testing::IsoDate;
using testing::RowCell;
using testing::TempDb;

const std::string kDefaultSql = sql::testing::ProjectListQuery("%", "projectrank desc, datevalue(EstDateStarted)");

class ProjectList : public testing::PortfolioPage {
 protected:
  void SetUp() override {
    PortfolioPage::SetUp();
    if (IsSkipped()) return;
    testing::AddProjects(db);
    k.setProgressBarTarget("T");
    k.setProgressBarActual("A");
  }
  void List(Variant sortby, Variant status = {}, Variant dept = {}, Variant owner = {},
            Variant priority = {}, Variant type = {}) {
    sort = std::move(sortby);
    Variant count;
    k.Get_ProjectListAll(grid, connect, count, sort, status, dept, owner, priority, type);
  }
  std::vector<Variant> Ids() {
    std::vector<Variant> ids;
    for (int r = 1; r <= 500 && !RowCell(grid, r, 15).IsEmpty(); ++r) ids.push_back(RowCell(grid, r, 15));
    return ids;
  }
  Variant sort;
};

TEST_P(ProjectList, DefaultsTextAndRows) {
  List(Variant());
  EXPECT_EQ(sort, Variant("projectrank desc, datevalue(EstDateStarted)"));
  EXPECT_EQ(RowCell(grid, 0, 1), Variant(kDefaultSql));
  ASSERT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{5}));
  EXPECT_EQ(grid.AsArray().bounds(), (std::vector<ArrayBound>{{0, 500}, {0, 19}}));
  EXPECT_EQ(Ids(), (std::vector<Variant>{10, 11, 12, 13, 15}));
  // Open and overdue: target 100; completion 40 over it.
  EXPECT_EQ(RowCell(grid, 1, 12), Variant(",A,A,A,A,T,T,T,T,T,T"));
  EXPECT_EQ(RowCell(grid, 1, 13), Variant(std::int16_t{100}));
  EXPECT_EQ(RowCell(grid, 1, 7), IsoDate("2020-04-10"));
  EXPECT_EQ(RowCell(grid, 1, 16), Variant("Ann"));
  EXPECT_EQ(RowCell(grid, 1, 14), Variant(6.0));
  // Finished after its estimate: target 100.
  EXPECT_EQ(RowCell(grid, 2, 13), Variant(std::int16_t{100}));
  // Every join missing: listed with Nulls, no completion cells.
  for (int c : {2, 3, 4, 5, 6, 11, 16}) EXPECT_TRUE(RowCell(grid, 4, c).IsNull()) << c;
  EXPECT_EQ(RowCell(grid, 4, 12), Variant(",T,T,T,T,T,T,T,T,T,T"));
  // Finished with 50 of 100 planned days left: target "50".
  EXPECT_EQ(RowCell(grid, 5, 13), Variant("50"));
  EXPECT_EQ(RowCell(grid, 5, 12), Variant(",A,A,T,T,T,,,,,"));
  for (int c : {17, 18, 19}) EXPECT_TRUE(RowCell(grid, 1, c).IsEmpty());
}

TEST_P(ProjectList, FiltersAndFailures) {
  struct Case {
    const char* name;
    Variant sortby, status, dept, owner;
    std::vector<Variant> ids;
    Variant sortby_after;
    const char* failed_text_end = nullptr;  // a failure: no count, no rows, the text kept
    Variant connect = Variant();            // Empty: the fixture's database
  };
  const Variant none;
  const Case cases[] = {
      {"1 unknown sort column", "nosuchcol", none, none, none, {}, "nosuchcol", " Order by nosuchcol"},
      {"2 second statement", "ID; DELETE FROM ProjectMaster", none, none, none, {},
       "ID; DELETE FROM ProjectMaster", "DELETE FROM ProjectMaster"},
      {"3 subquery as sort", "(select 1)", none, none, none, {}, "(select 1)", " Order by (select 1)"},
      {"4 Null sort", Variant::Null(), none, none, none, {}, Variant::Null(), " Order by "},
      {"5 database missing", "ID", none, none, none, {}, "ID", " Order by ID", "Data Source=/nonexistent/dir/p.db"},
      {"6 Z for all", "ID", "Z", "Z", "Z", {10, 11, 12, 13, 15}, "ID"},
      {"7 closed: newest first whatever the sort", "ID", "2", "", "", {12, 11}, "ID"},
      {"8 closed with empty sort still writes the default", "", "2", "", "", {12, 11},
       "projectrank desc, datevalue(EstDateStarted)"},
      {"9 status and department", "ID", "1", "1", "", {10, 15}, "ID"},
      {"10 owner as a number", "ID", "", "", 2, {11, 15}, "ID"},
      {"11 pattern of the page's own", "nameofproject", "%", "", "", {10, 11, 12, 15, 13},
       "nameofproject"},
      {"12 Null status matches nothing", "ID", Variant::Null(), "", "", {}, "ID"},
      {"13 apostrophe matches nothing, no failure", "ID", "x'y", "", "", {}, "ID"},
  };
  for (const Case& c : cases) {
    connect = c.connect.IsEmpty() ? db.connect() : c.connect;
    List(c.sortby, c.status, c.dept, c.owner);
    EXPECT_EQ(Ids(), c.ids) << c.name;
    EXPECT_EQ(sort, c.sortby_after) << c.name;
    if (c.failed_text_end == nullptr) {
      EXPECT_EQ(RowCell(grid, 0, 0), Variant(static_cast<std::int16_t>(c.ids.size()))) << c.name;
      continue;
    }
    EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty()) << c.name;
    EXPECT_TRUE(vb::CStr(RowCell(grid, 0, 1)).ends_with(c.failed_text_end)) << c.name;
    EXPECT_TRUE(RowCell(grid, 1, 0).IsEmpty()) << c.name;
  }
  EXPECT_NE(vb::CStr(RowCell(grid, 0, 1)).find("status like 'x''y' and"), std::string::npos);
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM ProjectMaster"), "6");
}

TEST_P(ProjectList, BarFailureEndsTheListAtThatRow) {
  // Days left but no planned start: the bar cannot be worked out.
  db.Exec("INSERT INTO ProjectMaster (ID, ProjectNo, Priority, Department, ProjectOwner, Status,"
          " ProjectType, EstDateCompleted) VALUES (16, 'P-16', 1, 1, 1, 1, 1, '2099-01-01')");
  List("ID");
  EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty());
  EXPECT_EQ(RowCell(grid, 5, 15), Variant(15));
  EXPECT_EQ(RowCell(grid, 6, 0), Variant("P-16"));
  EXPECT_TRUE(RowCell(grid, 6, 12).IsEmpty());
}

class ProjectListCapacity : public ::testing::TestWithParam<testing::Engine> {
 protected:
  void SetUp() override { KSMAIN_SKIP_WITHOUT_SERVER(GetParam()); }
};

// A list longer than the grid fails quietly (no count, rows 1..500 filled) and the
// application log says which member and how many rows it had: every row the filters let
// through, though the engine is asked for no more than the grid holds, and the rows copied
// before the failure are the sort's first.
TEST_P(ProjectListCapacity, FiveHundredRowsFitAndAnOverflowIsLoggedWithTheFilteredCount) {
  struct Case {
    const char* name;
    int projects;      // ids 1..projects, department 1 up to 503, then department 2
    const char* dept;  // the department filter; nullptr: Empty
    const char* sort;
    const char* logged;  // the row count in the overflow message; nullptr: nothing logged
    int first, last;     // ids in rows 1 and 500
  };
  const Case cases[] = {
      {"1 fits", 500, nullptr, "ID", nullptr, 1, 500},
      {"2 every row", 503, nullptr, "ID", "503 rows", 1, 500},
      {"3 filtered", 640, "1", "ID desc", "503 rows", 503, 4},
      {"4 other department", 1100, "2", "datevalue(EstDateStarted), ID", "597 rows", 504, 1003},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDb db{TempDb::Kind::Portfolio, false, GetParam()};
    db.Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
            std::to_string(c.projects) +
            ") INSERT INTO ProjectMaster (ID, Status, Department, ProjectOwner, Priority,"
            " ProjectType, EstDateStarted, EstDateCompleted)"
            " SELECT i, 1, CASE WHEN i <= 503 THEN 1 ELSE 2 END, 1, 1, 1, '2020-01-01',"
            " '2020-02-01' FROM n");
    std::vector<std::string> logged;
    SetApplicationLogSink([&](std::string_view m) { logged.emplace_back(m); });
    Kestrel k;
    Variant grid, connect = db.connect(), count, sortby = c.sort, f;
    Variant dept = c.dept != nullptr ? Variant(c.dept) : Variant();
    k.Get_ProjectListAll(grid, connect, count, sortby, f, dept, f, f, f);
    SetApplicationLogSink({});
    EXPECT_EQ(RowCell(grid, 0, 0), c.logged == nullptr ? Variant(std::int16_t{500}) : Variant());
    EXPECT_EQ(RowCell(grid, 1, 15), Variant(c.first));
    EXPECT_EQ(RowCell(grid, 500, 15), Variant(c.last));
    const std::string message = std::string("Get_ProjectListAll: ") + (c.logged ? c.logged : "") +
                                " do not fit its grid of 500 rows; the list was not returned.";
    EXPECT_EQ(logged, c.logged ? std::vector<std::string>{message} : std::vector<std::string>{});
  }
}

KSMAIN_ON_BOTH_ENGINES(ProjectList);
KSMAIN_ON_BOTH_ENGINES(ProjectListCapacity);

// The Gantt views: range conditions, filters, defaults, text.
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
