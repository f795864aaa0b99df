// The standard fill procedure, driven by a recordset double.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "frame/result_grid.h"
#include "frame/trap.h"

namespace ksmain {
namespace {

// Rows of named fields; field names match without regard to case, as the engine's do.
class FakeRecords : public RecordSource {
 public:
  explicit FakeRecords(std::vector<std::map<std::string, Variant>> rows) : rows_(std::move(rows)) {}
  bool AtBof() const override { return rows_.empty(); }
  bool AtEof() const override { return pos_ >= rows_.size(); }
  Variant Field(std::string_view name) const override {
    for (const auto& [key, value] : rows_.at(pos_)) {
      if (key.size() == name.size() &&
          std::equal(key.begin(), key.end(), name.begin(),
                     [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
        return value;
      }
    }
    throw VbError(err::kItemNotFound);
  }
  void MoveNext() override { ++pos_; }

 private:
  std::vector<std::map<std::string, Variant>> rows_;
  std::size_t pos_ = 0;
};

FakeRecords Numbered(int n) {
  std::vector<std::map<std::string, Variant>> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({{"ID", Variant(i)}, {"Name", Variant("n" + std::to_string(i))}});
  return FakeRecords(std::move(rows));
}

constexpr FieldColumn kMap[] = {{0, "id"}, {2, "name"}};

// The member shape: create the grid, arm the trap, fill.
void RunMember(Variant& target, FakeRecords records, Orientation o, std::int32_t rows) {
  ResultGrid grid = ResultGrid::Create(target, o, rows, 3);
  RunTrapped(Trap::Silent, [&] { FillGrid(grid, records, kMap); });
}

TEST(GridFill, CountCellAndCapacity) {
  struct Case {
    int records;
    Variant count;
    int filled;
  } cases[] = {
      {0, Variant(std::int16_t{0}), 0},
      {3, Variant(std::int16_t{3}), 3},
      {5, Variant(std::int16_t{5}), 5},  // exactly the capacity
      {6, Variant(), 5},                 // one more: rows kept, count Empty
  };
  for (const auto& c : cases) {
    Variant target;
    RunMember(target, Numbered(c.records), Orientation::RowFirst, 5);
    const VarArray& a = target.AsArray();
    ASSERT_EQ(a.bound(0).upper, 5);
    ASSERT_EQ(a.bound(1).upper, 3);
    EXPECT_EQ(a.at({0, 0}), c.count) << c.records << " records";
    for (int r = 1; r <= 5; ++r) {
      EXPECT_EQ(a.at({r, 0}), r <= c.filled ? Variant(r) : Variant()) << "row " << r;
      EXPECT_TRUE(a.at({r, 1}).IsEmpty()) << "unmapped column stays Empty";
    }
  }
}

// (Column-first grids: Gantt and ClientsTest; Null cells and kinds kept:
// ProjectList.DefaultsTextAndRows and every IsoDate cell; a missing field ending the
// fill: DataLinkTest.GridFillFindsFieldsOnceAndFailsWhereReadingByNameWould.)

// A grid the page passed keeps its own bounds: every cell a member reaches is the array's
// own element, and every other one raises 9.
TEST(GridCells, AdoptedGridIsIndexedByItsOwnBounds) {
  for (Orientation o : {Orientation::RowFirst, Orientation::ColumnFirst}) {
    Variant target(VarArray({{2, 4}, {-1, 1}}));
    ResultGrid grid = ResultGrid::Adopt(target, o);
    for (std::int32_t r = -2; r <= 5; ++r) {
      for (std::int32_t c = -2; c <= 5; ++c) {
        const std::int32_t i = o == Orientation::RowFirst ? r : c;
        const std::int32_t j = o == Orientation::RowFirst ? c : r;
        if (i < 2 || i > 4 || j < -1 || j > 1) {
          EXPECT_THROW(grid.Cell(r, c), VbError) << r << "," << c;
        } else {
          EXPECT_EQ(&grid.Cell(r, c), &target.MutableArray().at({i, j})) << r << "," << c;
        }
      }
    }
  }
}

// Whatever the target held before, a filled grid of its own replaces it whole.
TEST(GridFill, AnyPreviousContentIsReplaced) {
  Variant filled;
  RunMember(filled, Numbered(3), Orientation::RowFirst, 5);
  for (Variant previous : {filled, Variant("scalar"), Variant::Null(), Variant(VarArray::Of({Variant(1)}))}) {
    RunMember(previous, Numbered(1), Orientation::RowFirst, 5);
    const VarArray& a = previous.AsArray();
    EXPECT_EQ(a.dims(), 2);
    EXPECT_EQ(a.at({0, 0}), Variant(std::int16_t{1}));
    EXPECT_TRUE(a.at({2, 0}).IsEmpty());
    EXPECT_TRUE(a.at({3, 2}).IsEmpty());
  }
}

}  // namespace
}  // namespace ksmain
