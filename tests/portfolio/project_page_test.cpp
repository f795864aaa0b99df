// The project form's one-row grid, its steps and their resources, its revised completion
// dates, the settings grid, and the people (resource lists and flags, review meetings,
// resource maintenance), against fixture databases.
#include <gtest/gtest.h>

#include <algorithm>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/project_rows.h"
#include "sql/member_statements.h"

namespace ksmain {
namespace {

using testing::IsoDate;
using testing::RowCell;
using Strings = std::vector<std::string>;

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

// Resource lists, the attendance and step-assignment flags, review meetings, and adding,
// changing and deleting people.
class Resources : public testing::PortfolioPage {
 protected:
  void SetUp() override {
    PortfolioPage::SetUp();
    if (IsSkipped()) return;
    db.Exec(
        "INSERT INTO Department (id, departmentname) VALUES (1, 'Ops'), (2, 'Sales');"
        "INSERT INTO Resource VALUES (1, 'R1', 1, 'Unassigned', 'Nobody', '', 0),"
        " (2, 'R2', 1, 'Sam', 'Smith', 'Lead', 3), (3, 'R3', 2, 'Al', 'Smalley', 'Tech', 1),"
        " (4, 'R4', 2, 'Kim', 'O''Brien', 'Clerk', 0), (5, 'R5', 9, 'Lou', 'Adams', 'Temp', 0);"
        "INSERT INTO Attendees (AttendeeID, PlannedReviewDate, ActualReviewDate) VALUES"
        " (3, '3/1/2026', '3/2/2026'), (3, '3/1/2026', '3/2/2026'), (4, '3/1/2026', '3/2/2026');"
        "INSERT INTO ProjectStepResources (ProjectStepID, ResourceID) VALUES (10, 2), (11, 2), (10, 4);");
  }
  // Column c of rows 1..count as text.
  Strings Column(int c) {
    Strings out;
    for (int r = 1; r <= RowCell(grid, 0, 0).AsInteger(); ++r) out.push_back(vb::ConcatText(RowCell(grid, r, c)));
    return out;
  }
  Variant unused, sort;
};

TEST_P(Resources, AllPutsUnassignedFirst) {
  struct Case {
    const char* name;
    const char* change;
    Strings first_names;
  };
  const Case cases[] = {
      {"1 all", "", {"Unassigned", "Lou", "Kim", "Al", "Sam"}},
      {"2 no Unassigned", "DELETE FROM Resource WHERE FirstName = 'Unassigned'", {"Lou", "Kim", "Al", "Sam"}},
      {"3 only Unassigned", "DELETE FROM Resource; INSERT INTO Resource (ID, FirstName) VALUES (1, 'Unassigned')",
       {"Unassigned"}},
  };
  for (const Case& c : cases) {
    db.Exec(c.change);
    sort = "";
    k.Get_ResourceAll(grid, connect, unused, sort);
    EXPECT_EQ(Column(3), c.first_names) << c.name;
    EXPECT_EQ(sort, Variant("lastname, firstname asc")) << c.name;
  }
  EXPECT_EQ(RowCell(grid, 0, 1), Variant(sql::testing::ResourceListQuery(" where firstname <> 'Unassigned'")));
}

TEST_P(Resources, MaintFiltersBySurnamePatternUpToFiveHundredRows) {
  struct Case {
    Variant pattern;
    Strings last_names;
    const char* filter;  // between FROM resource and Order by
  };
  const Case cases[] = {
      {Variant(""), {"Adams", "O'Brien", "Smalley", "Smith"}, "  where firstname <> 'Unassigned' "},
      {Variant("Sm%"), {"Smalley", "Smith"}, "  where firstname <> 'Unassigned'  and lastname like 'Sm%'"},
      {Variant("O'B%"), {"O'Brien"}, "  where firstname <> 'Unassigned'  and lastname like 'O''B%'"},
      {Variant("Nobody"), {}, nullptr},
  };
  for (const Case& c : cases) {
    Variant pattern = c.pattern;
    sort = "";
    k.Get_ResourceMaint(grid, connect, unused, sort, pattern);
    EXPECT_EQ(Column(4), c.last_names) << c.pattern;
    const std::string sql = RowCell(grid, 0, 1).AsString();
    if (c.filter) {
      EXPECT_NE(sql.find(std::string("Attended FROM resource") + c.filter + " Order by"), std::string::npos) << sql;
    }
  }
  // Row 501 does not fit: rows 1..500 stay, no count, no statement text.
  db.Exec("WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < 600)"
          " INSERT INTO Resource (ID, FirstName, LastName) SELECT i, 'F', 'Z0' || i FROM n;");
  Variant pattern = "Z%";
  k.Get_ResourceMaint(grid, connect, unused, sort, pattern);
  EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty());
  EXPECT_TRUE(RowCell(grid, 0, 1).IsEmpty());
  EXPECT_EQ(RowCell(grid, 500, 4), Variant("Z0599"));
}

TEST_P(Resources, FlagListsAskOncePerRow) {
  sort = "";
  for (const auto& [date, flags] : {std::pair<Variant, Strings>{Variant("3/2/2026"), {"N", "Y", "Y", "N"}},
                                    {Variant("3/2/2026' or ''='"), {"N", "N", "N", "N"}}}) {
    Variant d = date;
    k.Get_ResourceAttendees(grid, connect, d, sort);
    EXPECT_EQ(Column(4), (Strings{"Adams", "O'Brien", "Smalley", "Smith"}));
    EXPECT_EQ(Column(7), flags) << date;
  }
  // Every resource with an existing department, once, "Unassigned" included.
  Variant step = 10;
  k.Get_ProjectStepAttendees(grid, connect, step, sort);
  EXPECT_EQ(Column(4), (Strings{"Nobody", "O'Brien", "Smalley", "Smith"}));
  EXPECT_EQ(Column(6), (Strings{"Ops", "Sales", "Sales", "Ops"}));
  EXPECT_EQ(Column(7), (Strings{"N", "Y", "N", "Y"}));
  // A failed check keeps the flag it had, the empty text before the first row.
  step = "ten";
  k.Get_ProjectStepAttendees(grid, connect, step, sort);
  EXPECT_EQ(RowCell(grid, 4, 7), Variant(""));
}

TEST_P(Resources, YesNoChecks) {
  struct Case {
    bool step_check;
    Variant resource, key, expected;  // "keep": left as it was
  };
  const Case cases[] = {
      {false, Variant(3), Variant("3/2/2026"), Variant("Y")},  // recorded twice
      {false, Variant(3), Variant("2026-03-02"), Variant("N")},  // compared as text
      {false, Variant("2 or 1=1"), Variant("3/2/2026"), Variant("keep")},
      {true, Variant(4), Variant(10), Variant("Y")},
      {true, Variant(3), Variant("10"), Variant("N")},
      {true, Variant(""), Variant(10), Variant("keep")},
  };
  for (const Case& c : cases) {
    Variant resource = c.resource, key = c.key, flag = "keep";
    if (c.step_check) k.Get_ProjectStepResourceIsRequired(resource, key, connect, flag);
    else k.Get_ResourceAttendedMeeting(resource, key, connect, flag);
    EXPECT_EQ(flag, c.expected) << c.resource << " " << c.key;
  }
}

KSMAIN_ON_BOTH_ENGINES(Resources);

class Meetings : public testing::PortfolioPage {
 protected:
  void SetUp() override {
    PortfolioPage::SetUp();
    if (IsSkipped()) return;
    // The 10/1 meeting was held on 10/3 (resource 99 no longer exists); the 9/1 meeting was
    // entered twice with two actual dates.
    db.Exec(
        "INSERT INTO Resource (ID, FirstName, LastName, Department) VALUES"
        " (1, 'Ann', 'Young', 4), (2, 'Bob', 'Abel', 5), (3, 'Cy', 'Moss', 4);"
        "INSERT INTO Attendees (AttendeeID, PlannedReviewDate, ActualReviewDate) VALUES"
        " (1, '10/1/2026', '10/3/2026'), (2, '10/1/2026', '10/3/2026'), (99, '10/1/2026', '10/3/2026'),"
        " (3, '9/1/2026', '9/2/2026'), (1, '9/1/2026', '9/4/2026');");
  }
  Variant query_type;
};

TEST_P(Meetings, AttendeesOfOneMeeting) {
  const std::pair<Variant, Variant> cases[] = {
      {Variant("1/1/2020"), Variant(std::int16_t{0})},
      {Variant("10/3/2026' or 'a'='a"), Variant(std::int16_t{0})},
      {Variant(""), Variant()},  // no meeting chosen: no count, unlike a meeting without people
      {Variant("10/3/2026"), Variant(std::int16_t{2})},  // its rows are checked below
  };
  for (const auto& [date, count] : cases) {
    Variant d = date;
    k.Get_Attendees(grid, connect, query_type, d);
    EXPECT_EQ(RowCell(grid, 0, 0), count) << date;
  }
  EXPECT_EQ(grid.AsArray().bound(0).upper, 800);
  const Variant row1[] = {Variant(), Variant("Bob"), Variant("Abel"), Variant(2), Variant(5), Variant()};
  for (int c = 3; c <= 8; ++c) EXPECT_EQ(RowCell(grid, 1, c), row1[c - 3]) << c;
  EXPECT_EQ(RowCell(grid, 2, 5), Variant("Young"));
}

TEST_P(Meetings, ReviewDatesInPlannedDateOrder) {
  k.Get_ReviewDates(grid, connect, query_type);
  ASSERT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{3}));
  // 9/1 sorts before 10/1 as a date though not as text, and comes once per actual date.
  const double sep = *vb::ParseIso("2026-09-01");
  EXPECT_EQ(RowCell(grid, 1, 1), Variant::FromDate(sep));
  EXPECT_EQ(RowCell(grid, 2, 1), Variant::FromDate(sep));
  EXPECT_EQ(RowCell(grid, 3, 2), Variant("10/3/2026"));
  EXPECT_EQ(RowCell(grid, 3, 0), Variant(""));
  EXPECT_TRUE(RowCell(grid, 4, 0).IsEmpty());

  db.Exec("INSERT INTO Attendees (AttendeeID, PlannedReviewDate) VALUES (1, 'soon')");
  k.Get_ReviewDates(grid, connect, query_type);
  EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty());
  db.Exec("DELETE FROM Attendees");
  k.Get_ReviewDates(grid, connect, query_type);
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{0}));
}

KSMAIN_ON_BOTH_ENGINES(Meetings);

Variant ResourceForm(Variant id, Variant first, Variant last, Variant title, Variant action) {
  return Variant(VarArray::Of({"unread'", id, "a.b", "", first, last, title, "3", "x/y", action}));
}

class ResourceMaint : public testing::PortfolioPage {};

TEST_P(ResourceMaint, ActionsEncodingAndRC) {
  db.Exec("INSERT INTO Resource (ID, FirstName, LastName, Department) VALUES (4, 'Ann', 'Lee', 2)");
  struct Case {
    const char* name;
    Variant form;
    Variant connect;
    bool ok;
    const char* rows;  // ID:FirstName:LastName:Title:NoOfProjects in ID order
  };
  const Variant c = connect;
  const char* const kAdded = "4:Ann:Lee:Null:0|5:Sean:ONeil:Eng&#46; lead:3";
  const Case cases[] = {
      {"1 add with apostrophe", ResourceForm("", "Sean", "O'Neil", "Eng. lead", "add"), c, true, kAdded},
      {"2 action word in other case", ResourceForm(4, "X", "X", "X", "Add"), c, false, kAdded},
      {"3 delete in capitals", ResourceForm(4, "", "", "", "DELETE"), c, false, kAdded},
      {"4 update without key", ResourceForm("", "X", "X", "X", "update"), c, false, kAdded},
      {"5 key with a condition", ResourceForm("4 or 1=1", "", "", "", "delete"), c, false, kAdded},
      {"6 no database", ResourceForm(4, "", "", "", "delete"), Variant("Data Source=/no/such/p.db"), false, kAdded},
      {"7 update", ResourceForm(5, "Sean", "O Neil", "Dr. (PhD)", "update"), c, true,
       "4:Ann:Lee:Null:0|5:Sean:O Neil:Dr&#46; &#40;PhD&#41;:3"},
      {"8 delete", ResourceForm("4", "", "", "", "delete"), c, true, "5:Sean:O Neil:Dr&#46; &#40;PhD&#41;:3"},
  };
  for (const Case& cs : cases) {
    Variant form = cs.form, target = cs.connect, rc = "preset";
    EXPECT_TRUE(k.Upd_ResourceAll(form, target, rc).IsEmpty()) << cs.name;
    EXPECT_EQ(rc, Variant(cs.ok ? "OK" : "preset")) << cs.name;
    EXPECT_EQ(db.Read("SELECT ID, FirstName, LastName, Title, NoOfProjects FROM Resource ORDER BY ID"),
              cs.rows)
        << cs.name;
    // Elements 1 to 9 come back encoded, element 0 as it was, whatever the outcome.
    EXPECT_EQ(form.AsArray().at({0}), Variant("unread'")) << cs.name;
    EXPECT_EQ(form.AsArray().at({2}), Variant("a&#46;b")) << cs.name;
    EXPECT_EQ(form.AsArray().at({8}), Variant("x&#47;y")) << cs.name;
  }
}

KSMAIN_ON_BOTH_ENGINES(ResourceMaint);

}  // namespace
}  // namespace ksmain
