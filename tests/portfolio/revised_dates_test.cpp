// Revised completion date history and the settings grid against fixture databases.
#include <gtest/gtest.h>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/odd_arguments.h"
#include "support/fixture.h"

namespace ksmain {
namespace {

using testing::RowCell;
using testing::TempDb;

TEST(RevisedDates, NewestEstimateFirstWhateverTheRecordingOrder) {
  TempDb db{TempDb::Kind::Portfolio};
  db.Exec(
      "INSERT INTO projectRevisedDates (ID, ProjectID, RevisedEstCompDate, DateTimeValue) VALUES"
      " (1, 4, '2026-03-01', '2026-01-10 08:00:00'), (2, 4, '2026-12-01', '2026-01-05'),"
      " (3, 4, '2026-06-15', '2026-02-01'), (4, 5, '2027-01-01', '2026-01-01');");
  Kestrel k;
  Variant grid, connect = db.connect(), unused;
  struct Case {
    const char* name;
    Variant project;
    Variant count;
    std::vector<int> ids;
  };
  const Case cases[] = {
      {"1 three estimates", Variant(4), Variant(std::int16_t{3}), {2, 3, 1}},
      {"2 estimate never changed", Variant("9"), Variant(std::int16_t{0}), {}},
      {"3 empty project", Variant(""), Variant(), {}},
      {"4 project with a condition", Variant("4 or 1=1"), Variant(), {}},
  };
  for (const Case& c : cases) {
    Variant project = c.project;
    k.Get_ProjectRevisedCompDates(grid, connect, unused, project);
    ASSERT_EQ(grid.AsArray().bound(0).upper, 50) << c.name;
    ASSERT_EQ(grid.AsArray().bound(1).upper, 3) << c.name;
    EXPECT_EQ(RowCell(grid, 0, 0), c.count) << c.name;
    for (std::size_t i = 0; i < c.ids.size(); ++i)
      EXPECT_EQ(RowCell(grid, static_cast<int>(i) + 1, 0), Variant(c.ids[i])) << c.name;
  }
  Variant project = 4;
  k.Get_ProjectRevisedCompDates(grid, connect, unused, project);
  EXPECT_EQ(RowCell(grid, 1, 1), Variant::FromDate(*vb::ParseIso("2026-12-01")));
  EXPECT_EQ(RowCell(grid, 3, 2), Variant::FromDate(*vb::ParseIso("2026-01-10 08:00:00")));
  EXPECT_TRUE(RowCell(grid, 1, 3).IsEmpty());

  testing::ProbeWithOddArguments(
      "Get_ProjectRevisedCompDates",
      [&](std::vector<Variant>& a) { k.Get_ProjectRevisedCompDates(a[0], a[1], a[2], a[3]); },
      {Variant(), connect, Variant(), Variant(4)});
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM projectRevisedDates"), "4");
}

TEST(GlobalVars, CounterStartsInRowZero) {
  struct Case {
    const char* name;
    int rows;
    Variant count;
  };
  const Case cases[] = {
      {"1 empty table", 0, Variant(std::int16_t{-1})},
      {"2 one settings row", 1, Variant(std::int16_t{0})},
      {"3 two rows", 2, Variant(std::int16_t{1})},
      {"4 three rows do not fit", 3, Variant()},
  };
  for (const Case& c : cases) {
    TempDb db{TempDb::Kind::Portfolio};
    for (int i = 0; i < c.rows; ++i)
      db.Exec("INSERT INTO globalvars VALUES ('Title " + std::to_string(i) + "', " + std::to_string(i % 2) + ", 'S')");
    Kestrel k;
    Variant grid = Variant("old"), connect = db.connect();
    k.Get_GlobalVars(grid, connect);
    ASSERT_EQ(grid.AsArray().bound(0).upper, 1) << c.name;
    ASSERT_EQ(grid.AsArray().bound(1).upper, 10) << c.name;
    EXPECT_EQ(RowCell(grid, 0, 0), c.count) << c.name;
    for (int r = 0; r <= 1; ++r) {
      if (r < c.rows) {
        EXPECT_EQ(RowCell(grid, r, 1), Variant("Title " + std::to_string(r))) << c.name;
        EXPECT_EQ(RowCell(grid, r, 2), Variant(r % 2 == 1)) << c.name;
        EXPECT_EQ(RowCell(grid, r, 3), Variant("S")) << c.name;
      } else {
        EXPECT_TRUE(RowCell(grid, r, 1).IsEmpty()) << c.name;
      }
    }
    EXPECT_TRUE(RowCell(grid, 1, 0).IsEmpty()) << c.name;
    EXPECT_TRUE(RowCell(grid, 0, 4).IsEmpty()) << c.name;
  }
}

TEST(GlobalVars, OddArgumentsNeverEscape) {
  TempDb db{TempDb::Kind::Portfolio};
  Kestrel k;
  testing::ProbeWithOddArguments("Get_GlobalVars",
                                 [&](std::vector<Variant>& a) { k.Get_GlobalVars(a[0], a[1]); },
                                 {Variant(), db.connect()});
}

}  // namespace
}  // namespace ksmain
