// Resource lists and the attendance and step-assignment flags against fixture databases.
#include <gtest/gtest.h>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/project_rows.h"
#include "sql/member_statements.h"

namespace ksmain {
namespace {

using testing::RowCell;
using Strings = std::vector<std::string>;

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

}  // namespace
}  // namespace ksmain
