// Resource lists and the attendance and step-assignment flags against fixture databases.
#include <gtest/gtest.h>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/odd_arguments.h"
#include "support/fixture.h"

namespace ksmain {
namespace {

using testing::RowCell;
using testing::TempDb;

const char* const kOthersSql =
    "SELECT distinct  Resource.ID, Resource.ResourceNo, Resource.Department, Resource.FirstName, "
    "Resource.LastName, Resource.Title, resource.NoOfProjects, (select  Attendees.ActualReviewDate "
    "from attendees where attendees.id = resource.id) as Attended FROM resource where firstname <> "
    "'Unassigned' Order by lastname, firstname asc";

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Exec(
        "INSERT INTO Department (id, departmentname) VALUES (1, 'Ops'), (2, 'Sales');"
        "INSERT INTO Resource VALUES (1, 'R1', 1, 'Unassigned', 'Nobody', '', 0);"
        "INSERT INTO Resource VALUES (2, 'R2', 1, 'Sam', 'Smith', 'Lead', 3);"
        "INSERT INTO Resource VALUES (3, 'R3', 2, 'Al', 'Smalley', 'Tech', 1);"
        "INSERT INTO Resource VALUES (4, 'R4', 2, 'Kim', 'O''Brien', 'Clerk', 0);"
        "INSERT INTO Resource VALUES (5, 'R5', 9, 'Lou', 'Adams', 'Temp', 0);"
        "INSERT INTO Attendees (AttendeeID, PlannedReviewDate, ActualReviewDate) VALUES"
        " (3, '3/1/2026', '3/2/2026'), (3, '3/1/2026', '3/2/2026'), (4, '3/1/2026', '3/2/2026');"
        "INSERT INTO ProjectStepResources (ProjectStepID, ResourceID) VALUES (10, 2), (11, 2), (10, 4);");
  }
  // Column `c` of rows 1..count as text.
  std::vector<std::string> Column(int c) {
    std::vector<std::string> out;
    for (int r = 1; r <= RowCell(grid, 0, 0).AsInteger(); ++r) out.push_back(vb::ConcatText(RowCell(grid, r, c)));
    return out;
  }
  using Strings = std::vector<std::string>;
  TempDb db{TempDb::Kind::Portfolio};
  Kestrel k;
  Variant grid, connect = db.connect(), unused;
};

TEST_F(Resources, AllPutsUnassignedFirstAndWritesBackTheDefaultSort) {
  Variant sort = "";
  k.Get_ResourceAll(grid, connect, unused, sort);
  EXPECT_EQ(sort, Variant("lastname, firstname asc"));
  EXPECT_EQ(grid.AsArray().bound(0).upper, 500);
  EXPECT_EQ(grid.AsArray().bound(1).upper, 8);
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{5}));
  EXPECT_EQ(Column(3), (Strings{"Unassigned", "Lou", "Kim", "Al", "Sam"}));
  EXPECT_EQ(RowCell(grid, 0, 1), Variant(kOthersSql));
  EXPECT_EQ(RowCell(grid, 2, 6).kind(), VarKind::Long);
  EXPECT_TRUE(RowCell(grid, 1, 7).IsEmpty());
}

TEST_F(Resources, AllCountsAcrossBothStatements) {
  struct Case {
    const char* name;
    const char* remove;
    Strings first_names;
  };
  const Case cases[] = {
      {"1 only Unassigned", "FirstName <> 'Unassigned'", {"Unassigned"}},
      {"2 no Unassigned", "FirstName = 'Unassigned'", {"Sam", "Lou", "Kim", "Al"}},
      {"3 empty table", "1 = 1", {}},
  };
  for (const Case& c : cases) {
    db.Exec("DELETE FROM Resource; DELETE FROM Attendees; DELETE FROM ProjectStepResources; DELETE FROM Department;");
    SetUp();
    db.Exec(std::string("DELETE FROM Resource WHERE ") + c.remove);
    Variant sort = "firstname desc";
    grid = Variant();
    k.Get_ResourceAll(grid, connect, unused, sort);
    EXPECT_EQ(Column(3), c.first_names) << c.name;
    EXPECT_TRUE(RowCell(grid, static_cast<int>(c.first_names.size()) + 1, 0).IsEmpty()) << c.name;
  }
}

TEST_F(Resources, MaintFiltersBySurnamePattern) {
  struct Case {
    const char* name;
    Variant pattern;
    Strings last_names;
    const char* filter;  // the piece between FROM resource and Order by
  };
  const Case cases[] = {
      {"1 empty pattern", Variant(""), {"Adams", "O'Brien", "Smalley", "Smith"},
       "  where firstname <> 'Unassigned' "},
      {"2 prefix", Variant("Sm%"), {"Smalley", "Smith"},
       "  where firstname <> 'Unassigned'  and lastname like 'Sm%'"},
      {"3 exact surname", Variant("smith"), {"Smith"},
       "  where firstname <> 'Unassigned'  and lastname like 'smith'"},
      {"4 apostrophe in the pattern", Variant("O'B%"), {"O'Brien"},
       "  where firstname <> 'Unassigned'  and lastname like 'O''B%'"},
      {"5 Unassigned's surname", Variant("Nobody"), {}, nullptr},
  };
  for (const Case& c : cases) {
    Variant sort = "", pattern = c.pattern;
    k.Get_ResourceMaint(grid, connect, unused, sort, pattern);
    EXPECT_EQ(Column(4), c.last_names) << c.name;
    EXPECT_EQ(pattern, c.pattern) << c.name;
    if (c.filter) {
      const std::string sql = RowCell(grid, 0, 1).AsString();
      EXPECT_NE(sql.find(std::string("as Attended FROM resource") + c.filter + " Order by lastname, firstname asc"),
                std::string::npos)
          << c.name << ": " << sql;
    }
  }
}

TEST_F(Resources, MaintStopsAtFiveHundredRows) {
  db.Exec(
      "WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < 596)"
      " INSERT INTO Resource (ID, FirstName, LastName) SELECT i, 'F', printf('Z%04d', i) FROM n;");
  Variant sort = "", pattern = "Z%";
  k.Get_ResourceMaint(grid, connect, unused, sort, pattern);
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{497}));
  db.Exec("INSERT INTO Resource (ID, FirstName, LastName) VALUES (597, 'F', 'Z0597'), (598, 'F', 'Z0598'), (599, 'F', 'Z0599'), (600, 'F', 'Z0600');");
  k.Get_ResourceMaint(grid, connect, unused, sort, pattern);
  EXPECT_TRUE(RowCell(grid, 0, 0).IsEmpty());
  EXPECT_TRUE(RowCell(grid, 0, 1).IsEmpty());
  EXPECT_EQ(RowCell(grid, 500, 4), Variant("Z0599"));
}

TEST_F(Resources, AttendeesFlagEachRow) {
  struct Case {
    const char* name;
    Variant date;
    Strings flags;  // in surname order: Adams, O'Brien, Smalley, Smith
  };
  const Case cases[] = {
      {"1 meeting held", Variant("3/2/2026"), {"N", "Y", "Y", "N"}},
      {"2 nobody attended", Variant("4/4/2026"), {"N", "N", "N", "N"}},
      {"3 apostrophe in the date", Variant("3/2/2026' or ''='"), {"N", "N", "N", "N"}},
      {"4 empty date", Variant(), {"N", "N", "N", "N"}},
  };
  for (const Case& c : cases) {
    Variant sort = "", date = c.date;
    k.Get_ResourceAttendees(grid, connect, date, sort);
    EXPECT_EQ(Column(4), (Strings{"Adams", "O'Brien", "Smalley", "Smith"})) << c.name;
    EXPECT_EQ(Column(7), c.flags) << c.name;
  }
  EXPECT_EQ(RowCell(grid, 0, 1),
            Variant("SELECT distinct Resource.ID, Resource.ResourceNo, Resource.Department, "
                    "Resource.FirstName, Resource.LastName, Resource.Title, resource.NoOfProjects  "
                    "FROM resource where firstname <> 'Unassigned' Order by lastname, firstname asc"));
}

TEST_F(Resources, StepAttendeesListEachResourceWithADepartmentOnce) {
  Variant sort = "", step = 10;
  k.Get_ProjectStepAttendees(grid, connect, step, sort);
  EXPECT_EQ(Column(4), (Strings{"Nobody", "O'Brien", "Smalley", "Smith"}));
  EXPECT_EQ(Column(6), (Strings{"Ops", "Sales", "Sales", "Ops"}));
  EXPECT_EQ(Column(7), (Strings{"N", "Y", "N", "Y"}));
  EXPECT_EQ(step, Variant(10));

  // A check that fails keeps the flag it had: the empty text from the start.
  step = "ten";
  k.Get_ProjectStepAttendees(grid, connect, step, sort);
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{4}));
  for (int r = 1; r <= 4; ++r) EXPECT_EQ(RowCell(grid, r, 7), Variant("")) << r;
}

TEST_F(Resources, YesNoChecks) {
  struct Case {
    const char* name;
    bool step_check;
    Variant resource, key;
    Variant expected;  // preset "keep": unchanged on failure
  };
  const Case cases[] = {
      {"1 attended, recorded twice", false, Variant(3), Variant("3/2/2026"), Variant("Y")},
      {"2 did not attend", false, Variant("2"), Variant("3/2/2026"), Variant("N")},
      {"3 date in another form", false, Variant(3), Variant("2026-03-02"), Variant("N")},
      {"4 empty resource", false, Variant(""), Variant("3/2/2026"), Variant("keep")},
      {"5 resource with a condition", false, Variant("2 or 1=1"), Variant("3/2/2026"), Variant("keep")},
      {"6 assigned", true, Variant(4), Variant(10), Variant("Y")},
      {"7 not assigned", true, Variant(3), Variant("10"), Variant("N")},
      {"8 step not a number", true, Variant(4), Variant("%"), Variant("keep")},
      {"9 Null resource", true, Variant::Null(), Variant(10), Variant("keep")},
  };
  for (const Case& c : cases) {
    Variant resource = c.resource, key = c.key, flag = "keep";
    if (c.step_check) {
      k.Get_ProjectStepResourceIsRequired(resource, key, connect, flag);
    } else {
      k.Get_ResourceAttendedMeeting(resource, key, connect, flag);
    }
    EXPECT_EQ(flag, c.expected) << c.name;
  }
}

TEST_F(Resources, OddArgumentsNeverEscape) {
  using testing::ProbeWithOddArguments;
  ProbeWithOddArguments("Get_ResourceAll",
                        [&](std::vector<Variant>& a) { k.Get_ResourceAll(a[0], a[1], a[2], a[3]); },
                        {Variant(), connect, Variant(), Variant("")});
  ProbeWithOddArguments("Get_ResourceMaint",
                        [&](std::vector<Variant>& a) { k.Get_ResourceMaint(a[0], a[1], a[2], a[3], a[4]); },
                        {Variant(), connect, Variant(), Variant(""), Variant("S%")});
  ProbeWithOddArguments("Get_ResourceAttendees",
                        [&](std::vector<Variant>& a) { k.Get_ResourceAttendees(a[0], a[1], a[2], a[3]); },
                        {Variant(), connect, Variant("3/2/2026"), Variant("")});
  ProbeWithOddArguments("Get_ProjectStepAttendees",
                        [&](std::vector<Variant>& a) { k.Get_ProjectStepAttendees(a[0], a[1], a[2], a[3]); },
                        {Variant(), connect, Variant(10), Variant("")});
  ProbeWithOddArguments("Get_ResourceAttendedMeeting",
                        [&](std::vector<Variant>& a) { k.Get_ResourceAttendedMeeting(a[0], a[1], a[2], a[3]); },
                        {Variant(3), Variant("3/2/2026"), connect, Variant()});
  ProbeWithOddArguments("Get_ProjectStepResourceIsRequired",
                        [&](std::vector<Variant>& a) { k.Get_ProjectStepResourceIsRequired(a[0], a[1], a[2], a[3]); },
                        {Variant(4), Variant(10), connect, Variant()});
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM Resource"), "5");
}

}  // namespace
}  // namespace ksmain
