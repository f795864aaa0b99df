// Review meeting lists against a fixture database.
#include <gtest/gtest.h>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/project_rows.h"

namespace ksmain {
namespace {

using testing::RowCell;

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

}  // namespace
}  // namespace ksmain
