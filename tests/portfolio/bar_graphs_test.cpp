// The progress bar of one project: target percentage, cell colouring, written-back days.
#include <gtest/gtest.h>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "support/fixture.h"

namespace ksmain {
namespace {

using testing::IsoDate;

// The eleven cells as one text, "-" for Empty, so a coloured empty text is visible.
std::string Cells(const Variant& bar) {
  std::string out;
  for (const Variant& c : bar.AsArray().cells()) out += c.IsEmpty() ? "-" : vb::CStr(c);
  return out;
}

TEST(BarGraphs, TargetAndCells) {
  struct Case {
    const char* name;
    Variant days, percent, start, end;
    Variant target;
    const char* cells;
  };
  const Variant s = IsoDate("2026-01-01"), e = IsoDate("2026-04-11");  // 100 days apart
  const Case cases[] = {
      {"1 forty days left of a hundred", 40, 0, s, e, "60", "-TTTTTT----"},
      {"2 rounds to a whole number", 1, 0, s, IsoDate("2026-01-04"), "67", "-TTTTTT----"},
      {"3 same day counts as one day", 1, 0, s, s, std::int16_t{0}, "-----------"},
      {"4 before the planned start", 150, 0, s, e, std::int16_t{0}, "-----------"},
      {"5 no days left", 0, 0, s, e, std::int16_t{100}, "-TTTTTTTTTT"},
      {"6 Null days", Variant::Null(), 0, Variant::Null(), e, std::int16_t{100}, "-TTTTTTTTTT"},
      {"7 completion overwrites target", 40, 35, s, e, "60", "-AAATTT----"},
      {"8 nine percent", 150, 9, s, e, std::int16_t{0}, "-A---------"},
      {"9 ten percent", 150, 10, s, e, std::int16_t{0}, "-A---------"},
      {"10 twenty percent", 150, 20, s, e, std::int16_t{0}, "-AA--------"},
      {"11 percent as text", 150, "45", s, e, std::int16_t{0}, "-AAAA------"},
      {"12 Null percent", 150, Variant::Null(), s, e, std::int16_t{0}, "-----------"},
      {"13 dates as text", "40", 100, "1/1/2026", "2026-04-11", "60", "-AAAAAAAAAA"},
  };
  for (const Case& c : cases) {
    Kestrel k;
    k.setProgressBarTarget("T");
    k.setProgressBarActual("A");
    Variant bar = 5, days = c.days, percent = c.percent, start = c.start, end = c.end, target;
    k.CalcHorizontalBarGraphs(bar, days, percent, start, end, target);
    EXPECT_EQ(target, c.target) << c.name;
    EXPECT_EQ(Cells(bar), c.cells) << c.name;
    EXPECT_EQ(bar.AsArray().bound(0), (ArrayBound{0, 10})) << c.name;
  }
}

TEST(BarGraphs, EmptyDaysBecomeZeroAndUnsetColoursAreEmptyText) {
  Kestrel k;
  k.Set_CustBase("anything");
  Variant bar, days = "", percent = 15, start = IsoDate("2026-01-01"), end = IsoDate("2026-02-01"), target;
  k.CalcHorizontalBarGraphs(bar, days, percent, start, end, target);
  EXPECT_EQ(days, Variant(std::int16_t{0}));
  EXPECT_EQ(target, Variant(std::int16_t{100}));
  EXPECT_EQ(bar.AsArray().at({1}), Variant(""));
  EXPECT_TRUE(bar.AsArray().at({0}).IsEmpty());
}

TEST(BarGraphs, DaysLeftWithoutPlannedStartFailsToTheCaller) {
  Kestrel k;
  Variant bar, days = 5, percent = 0, start = Variant::Null(), end = IsoDate("2026-02-01"), target;
  EXPECT_EQ(testing::ErrorOf([&] { k.CalcHorizontalBarGraphs(bar, days, percent, start, end, target); }),
            err::kInvalidNull);
  EXPECT_EQ(bar.AsArray().bound(0), (ArrayBound{0, 10}));
  EXPECT_EQ(target, Variant(std::int16_t{0}));
}

}  // namespace
}  // namespace ksmain
