// What Kestrel works out from the page's own values: the progress bar of one project (target
// percentage, cell colouring, written-back days) and SortArray.
#include <gtest/gtest.h>

#include "frame/dispatch_bind.h"
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
    int error = 0;
    Variant days_after = Variant();  // Empty: left as given
    bool coloured = true;            // false: the colours are never set
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
      {"14 days left without a planned start", 5, 0, Variant::Null(), e, std::int16_t{0}, "-----------",
       err::kInvalidNull},
      {"15 empty days become 0, unset colours colour with empty text", "", 15, s, IsoDate("2026-02-01"),
       std::int16_t{100}, "-", 0, std::int16_t{0}, false},
  };
  for (const Case& c : cases) {
    Kestrel k;
    if (c.coloured) {
      k.setProgressBarTarget("T");
      k.setProgressBarActual("A");
    }
    Variant bar = 5, days = c.days, percent = c.percent, start = c.start, end = c.end, target;
    EXPECT_EQ(testing::ErrorOf([&] { k.CalcHorizontalBarGraphs(bar, days, percent, start, end, target); }),
              c.error) << c.name;
    EXPECT_EQ(target, c.target) << c.name;
    EXPECT_EQ(Cells(bar), c.cells) << c.name;
    EXPECT_EQ(bar.AsArray().bound(0), (ArrayBound{0, 10})) << c.name;
    EXPECT_EQ(days, c.days_after.IsEmpty() ? c.days : c.days_after) << c.name;
  }
}

// SortArray on column-first arrays: the exchange order, the rows and column that never
// move, the runtime's comparison, and the errors that reach the page.
// A column-first array of `keys.size()` rows and two columns: column 0 the key, column 1
// the row's original position (the last column, which never moves).
Variant KeyedRows(const std::vector<Variant>& keys) {
  VarArray a = VarArray::Grid(1, static_cast<std::int32_t>(keys.size()) - 1);
  for (std::int32_t r = 0; r < static_cast<std::int32_t>(keys.size()); ++r) {
    a.at({0, r}) = keys[r];
    a.at({1, r}) = r;
  }
  return a;
}

std::vector<Variant> Column(const Variant& a, int c) {
  std::vector<Variant> out;
  for (std::int32_t r = 0; r <= a.AsArray().bound(1).upper; ++r) out.push_back(a.AsArray().at({c, r}));
  return out;
}

void Sort(Variant& a, std::int16_t element = 0, std::int16_t scratch = 1) {
  Kestrel().SortArray(ArrayRef{a}, element, scratch);
}

TEST(ArraySort, KeyColumnOrder) {
  struct Case {
    const char* name;
    std::vector<Variant> keys, sorted;
  };
  const Variant E, N = Variant::Null();
  const Case cases[] = {
      {"1 one row: gap starts at 0", {5}, {5}},
      {"2 two rows: R = 1, gap 0, nothing moves", {5, 1}, {5, 1}},
      {"3 three rows: only rows 0 and 1 compared", {5, 1, 0}, {1, 5, 0}},
      {"4 many rows, last stays", {9, 3, 7, 1, 8, 2, 6, 0, 4, -1}, {0, 1, 2, 3, 4, 6, 7, 8, 9, -1}},
      {"5 Empty sorts as 0", {3, E, -2, 1, 99}, {-2, E, 1, 3, 99}},
      {"6 numbers before texts, texts by code", {"b", 10, "B", 2, "a", E}, {2, 10, "B", "a", "b", E}},
      {"7 dates held as text sort as text", {"2/1/2026", "12/1/2025", "10/5/2026", E},
       {"10/5/2026", "12/1/2025", "2/1/2026", E}},
      {"8 Null never moves", {3, N, 1, E}, {3, N, 1, E}},
  };
  for (const Case& c : cases) {
    Variant a = KeyedRows(c.keys);
    const std::vector<Variant> positions = Column(a, 1);
    Sort(a);
    EXPECT_EQ(Column(a, 0), c.sorted) << c.name;
    EXPECT_EQ(Column(a, 1), positions) << c.name << ": the last column never moves";
  }
}

TEST(ArraySort, MiddleColumnsTravelWithTheirKey) {
  VarArray wide = VarArray::Grid(2, 3);
  for (std::int32_t r = 0; r <= 3; ++r) {
    wide.at({0, r}) = 3 - r;
    wide.at({1, r}) = std::string(1, static_cast<char>('a' + r));
  }
  Variant w = wide;
  Sort(w);
  EXPECT_EQ(Column(w, 1), (std::vector<Variant>{"c", "b", "a", "d"}));
}

TEST(ArraySort, ErrorsReachTheCaller) {
  struct Case {
    const char* name;
    Variant array;
    std::int16_t element, scratch;
    int error;  // 0: none
  };
  const Case cases[] = {
      {"1 one dimension", VarArray::Of({1, 2, 3}), 0, 1, err::kSubscript},
      {"2 three dimensions", VarArray({{0, 1}, {0, 4}, {0, 1}}), 0, 1, err::kSubscript},
      {"3 element past the last column", KeyedRows({2, 1, 0}), 2, 1, err::kSubscript},
      {"4 no second scratch slot, exchange needed", KeyedRows({2, 1, 0}), 0, 0, err::kSubscript},
      {"5 no second scratch slot, already sorted", KeyedRows({1, 2, 0}), 0, 0, 0},
      {"6 gap beyond 16 bits", VarArray::Grid(0, 70000), 0, 1, err::kOverflow},
      {"7 not an array", Variant(5), 0, 1, err::kSubscript},
  };
  for (const Case& c : cases) {
    Variant a = c.array;
    EXPECT_EQ(testing::ErrorOf([&] { Sort(a, c.element, c.scratch); }), c.error) << c.name;
  }
}

}  // namespace
}  // namespace ksmain
