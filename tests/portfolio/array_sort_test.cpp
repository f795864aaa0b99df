// SortArray on column-first arrays: the exchange order, the rows and column that never
// move, the runtime's comparison, and the errors that reach the page.
#include <gtest/gtest.h>

#include "frame/dispatch_bind.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "support/raised.h"

namespace ksmain {
namespace {

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
    Sort(a);
    EXPECT_EQ(Column(a, 0), c.sorted) << c.name;
  }
}

TEST(ArraySort, LastColumnKeepsItsRowPositions) {
  Variant a = KeyedRows({4, 3, 2, 1, 0});
  Sort(a);
  EXPECT_EQ(Column(a, 1), (std::vector<Variant>{0, 1, 2, 3, 4}));
  // With a third column, the middle one travels with its key.
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
