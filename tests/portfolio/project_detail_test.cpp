// The project form's one-row grid against fixture databases.
#include <gtest/gtest.h>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/odd_arguments.h"
#include "support/fixture.h"

namespace ksmain {
namespace {

using testing::RowCell;
using testing::TempDb;

class ProjectDetail : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Exec(
        "INSERT INTO Resource (ID, FirstName, LastName) VALUES (3, 'Ann', 'Baker');"
        "INSERT INTO ProjectMaster VALUES (7, 'Dock doors', 'P-7', 2, 4, 3, 3, 1, 5, 12.5, 40,"
        " '2026-01-05', '2026-01-06', '2026-06-30', NULL, 1000.25, 200, '2026-02-01 09:30:00',"
        " 1, 2, 3, 4, 5, 'm1', 'm2', 'm3', 'm4', 'm5', 'c', 'b', 'e');"
        "INSERT INTO ProjectMaster (ID, NameOfProject, SubmittedBy) VALUES (8, 'No submitter', NULL);"
        "INSERT INTO ProjectMaster (ID, NameOfProject, SubmittedBy) VALUES (9, 'Gone', 99);");
  }
  TempDb db{TempDb::Kind::Portfolio};
  Kestrel k;
  Variant grid, connect = db.connect();
};

TEST_F(ProjectDetail, FoundProjectFillsRowOneInFormOrder) {
  Variant id = 7;
  k.Get_ProjectSpecific(grid, connect, id);
  ASSERT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{1}));
  EXPECT_EQ(grid.AsArray().bound(0).upper, 1);
  EXPECT_EQ(grid.AsArray().bound(1).upper, 35);
  EXPECT_EQ(RowCell(grid, 1, 1), Variant("Dock doors"));
  // Planned completion before planned start, both as dates.
  EXPECT_EQ(RowCell(grid, 1, 5), Variant::FromDate(*vb::ParseIso("2026-06-30")));
  EXPECT_EQ(RowCell(grid, 1, 6), Variant::FromDate(*vb::ParseIso("2026-01-05")));
  EXPECT_TRUE(RowCell(grid, 1, 8).IsNull());
  EXPECT_EQ(RowCell(grid, 1, 10), Variant("Baker"));
  EXPECT_EQ(RowCell(grid, 1, 17), Variant::FromDate(*vb::ParseIso("2026-02-01 09:30:00")));
  EXPECT_EQ(RowCell(grid, 1, 18).kind(), VarKind::Integer);
  EXPECT_EQ(RowCell(grid, 1, 30), Variant("e"));
  for (int c = 31; c <= 35; ++c) EXPECT_TRUE(RowCell(grid, 1, c).IsEmpty()) << c;
  EXPECT_TRUE(RowCell(grid, 0, 1).IsEmpty());
}

TEST_F(ProjectDetail, IdCases) {
  struct Case {
    const char* name;
    Variant id;
    Variant count;     // expected (0, 0)
    bool submitter_null;
  };
  const Case cases[] = {
      {"1 no such project", Variant(1234), Variant(std::int16_t{0}), false},
      {"2 no submitter", Variant("8"), Variant(std::int16_t{1}), true},
      {"3 submitter gone", Variant(9.0), Variant(std::int16_t{1}), true},
      {"4 empty id", Variant(""), Variant(), false},
      {"5 not a number", Variant("abc"), Variant(), false},
      {"6 id with a second condition", Variant("7 or 1=1"), Variant(), false},
  };
  for (const Case& c : cases) {
    Variant id = c.id;
    grid = Variant("previous content");
    k.Get_ProjectSpecific(grid, connect, id);
    ASSERT_TRUE(grid.IsArray()) << c.name;
    EXPECT_EQ(RowCell(grid, 0, 0), c.count) << c.name;
    EXPECT_EQ(RowCell(grid, 1, 10).IsNull(), c.submitter_null) << c.name;
    if (c.count.IsEmpty()) EXPECT_TRUE(RowCell(grid, 1, 0).IsEmpty()) << c.name;
  }
}

TEST_F(ProjectDetail, OddArgumentsNeverEscape) {
  testing::ProbeWithOddArguments(
      "Get_ProjectSpecific", [&](std::vector<Variant>& a) { k.Get_ProjectSpecific(a[0], a[1], a[2]); },
      {Variant(), connect, Variant(7)});
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM ProjectMaster"), "3");
}

}  // namespace
}  // namespace ksmain
