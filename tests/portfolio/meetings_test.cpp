// Review meeting lists against fixture databases.
#include <gtest/gtest.h>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/odd_arguments.h"
#include "support/fixture.h"

namespace ksmain {
namespace {

using testing::RowCell;
using testing::TempDb;

class Meetings : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Exec(
        "INSERT INTO Resource (ID, FirstName, LastName, Department) VALUES"
        " (1, 'Ann', 'Young', 4), (2, 'Bob', 'Abel', 5), (3, 'Cy', 'Moss', 4);"
        // One meeting planned on 10/1 and held on 10/3; the 9/1 meeting was entered twice
        // with two different actual dates; resource 99 no longer exists.
        "INSERT INTO Attendees (AttendeeID, PlannedReviewDate, ActualReviewDate) VALUES"
        " (1, '10/1/2026', '10/3/2026'), (2, '10/1/2026', '10/3/2026'), (99, '10/1/2026', '10/3/2026'),"
        " (3, '9/1/2026', '9/2/2026'), (1, '9/1/2026', '9/4/2026');");
  }
  TempDb db{TempDb::Kind::Portfolio};
  Kestrel k;
  Variant grid, connect = db.connect(), query_type;
};

TEST_F(Meetings, AttendeesOfOneMeeting) {
  struct Case {
    const char* name;
    Variant date;
    Variant count;
    std::vector<std::string> last_names;
  };
  const Case cases[] = {
      {"1 held meeting, by surname, gone resource left out", Variant("10/3/2026"), Variant(std::int16_t{2}), {"Abel", "Young"}},
      {"2 no attendees", Variant("1/1/2020"), Variant(std::int16_t{0}), {}},
      {"3 apostrophe", Variant("10/3/2026' or 'a'='a"), Variant(std::int16_t{0}), {}},
      {"4 no meeting chosen", Variant(""), Variant(), {}},
      {"5 Empty", Variant(), Variant(), {}},
  };
  for (const Case& c : cases) {
    Variant date = c.date;
    k.Get_Attendees(grid, connect, query_type, date);
    ASSERT_EQ(grid.AsArray().bound(0).upper, 800) << c.name;
    ASSERT_EQ(grid.AsArray().bound(1).upper, 9) << c.name;
    EXPECT_EQ(RowCell(grid, 0, 0), c.count) << c.name;
    for (std::size_t i = 0; i < c.last_names.size(); ++i) {
      const int r = static_cast<int>(i) + 1;
      EXPECT_EQ(RowCell(grid, r, 5), Variant(c.last_names[i])) << c.name;
      EXPECT_TRUE(RowCell(grid, r, 3).IsEmpty()) << c.name;
      EXPECT_EQ(RowCell(grid, r, 6).kind(), VarKind::Long) << c.name;
    }
  }
  Variant date = "10/3/2026";
  k.Get_Attendees(grid, connect, query_type, date);
  EXPECT_EQ(RowCell(grid, 1, 4), Variant("Bob"));
  EXPECT_EQ(RowCell(grid, 1, 6), Variant(2));
  EXPECT_EQ(RowCell(grid, 1, 7), Variant(5));
}

TEST_F(Meetings, ReviewDatesInPlannedDateOrder) {
  k.Get_ReviewDates(grid, connect, query_type);
  ASSERT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{3}));
  EXPECT_EQ(grid.AsArray().bound(1).upper, 6);
  // 9/1 sorts before 10/1 as a date, although not as text; it comes twice.
  const double sep = *vb::ParseIso("2026-09-01"), oct = *vb::ParseIso("2026-10-01");
  EXPECT_EQ(RowCell(grid, 1, 1), Variant::FromDate(sep));
  EXPECT_EQ(RowCell(grid, 2, 1), Variant::FromDate(sep));
  EXPECT_EQ(RowCell(grid, 3, 1), Variant::FromDate(oct));
  EXPECT_EQ(RowCell(grid, 3, 2), Variant("10/3/2026"));
  for (int r = 1; r <= 3; ++r) EXPECT_EQ(RowCell(grid, r, 0), Variant("")) << r;
  EXPECT_TRUE(RowCell(grid, 4, 0).IsEmpty());
  EXPECT_TRUE(RowCell(grid, 0, 1).IsEmpty());
}

TEST_F(Meetings, ReviewDatesEdgeTables) {
  struct Case {
    const char* name;
    const char* setup;
    Variant count;
  };
  const Case cases[] = {
      {"1 no meetings", "DELETE FROM Attendees", Variant(std::int16_t{0})},
      {"2 planned date that is no date", "INSERT INTO Attendees (AttendeeID, PlannedReviewDate) VALUES (1, 'soon')", Variant()},
  };
  for (const Case& c : cases) {
    db.Exec(c.setup);
    k.Get_ReviewDates(grid, connect, query_type);
    EXPECT_EQ(RowCell(grid, 0, 0), c.count) << c.name;
    EXPECT_TRUE(RowCell(grid, 1, 0).IsEmpty()) << c.name;
  }
}

TEST_F(Meetings, OddArgumentsNeverEscape) {
  using testing::ProbeWithOddArguments;
  ProbeWithOddArguments("Get_Attendees",
                        [&](std::vector<Variant>& a) { k.Get_Attendees(a[0], a[1], a[2], a[3]); },
                        {Variant(), connect, Variant(), Variant("10/3/2026")});
  ProbeWithOddArguments("Get_ReviewDates",
                        [&](std::vector<Variant>& a) { k.Get_ReviewDates(a[0], a[1], a[2]); },
                        {Variant(), connect, Variant()});
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM Attendees"), "5");
}

}  // namespace
}  // namespace ksmain
