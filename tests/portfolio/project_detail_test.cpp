// The project form's one-row grid against a fixture database.
#include <gtest/gtest.h>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/project_rows.h"

namespace ksmain {
namespace {

using testing::IsoDate;
using testing::RowCell;

class ProjectDetail : public testing::PortfolioPage {};

TEST_P(ProjectDetail, OneProjectByItsId) {
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

KSMAIN_ON_BOTH_ENGINES(ProjectDetail);

}  // namespace
}  // namespace ksmain
