// The category tree: which level is listed, which children are hidden, where the counts
// come from, the grid's capacity, and node names.
#include "catalogue/catalogue_fixture.h"

namespace ksmain::testing {
namespace {

class CategoryTreeTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    if (IsSkipped()) return;
    db_.Exec(
        "INSERT INTO category VALUES (1, 'Brakes'), (2, 'Axles'), (3, 'Clutch'), (4, 'Doors');"
        "INSERT INTO subcategory1 VALUES (10, 'Pads', 1), (11, 'Discs', 1), (12, 'Drums', 1);"
        "INSERT INTO subcategory2 VALUES (20, 'Front', 10), (21, 'Rear', 10);"
        "INSERT INTO subcategory3 VALUES (30, 'Left', 20);"
        // Axles hold nothing; Clutch's row has a NULL count.
        "INSERT INTO entrycounts (entrycnt, categoryid, subcategoryid1, subcategoryid2) VALUES "
        "(5, 1, 10, 20), (2, 1, 10, 21), (4, 1, 12, NULL), (0, 2, NULL, NULL), "
        "(NULL, 3, NULL, NULL), (1, 4, NULL, NULL), (6, 1, 10, NULL)");
  }
  Variant List(std::vector<std::string> k, Variant* count = nullptr) {
    k.resize(7);
    Variant grid, conn = db_.connect(), local("preset");
    Variant& c = count ? *count : local;
    cat_.Get_Categories(grid, conn, c, k[0], k[1], k[2], k[3], k[4], k[5], k[6]);
    return grid;
  }
  static std::vector<std::string> Listed(const Variant& grid) {
    std::vector<std::string> out;
    const Variant& n = RowCell(grid, 0, 0);
    if (n.IsEmpty()) return {"<unfinished>"};
    for (int r = 1; r <= n.AsInteger(); ++r) {
      out.push_back(vb::CStr(RowCell(grid, r, 1)) + "=" + vb::CStr(RowCell(grid, r, 2)));
    }
    return out;
  }
};

TEST_P(CategoryTreeTest, TheDeepestCompletePathIsListedAndEmptyChildrenAreHidden) {
  struct Case {
    std::vector<std::string> keys;
    std::vector<std::string> listed;
  } cases[] = {
      {{}, {"Brakes=17", "Doors=1"}},
      {{"%"}, {"Brakes=17", "Doors=1"}},
      // sub1 still narrows the counts of every category.
      {{"%", "10"}, {"Brakes=13"}},
      {{"1"}, {"Drums=4", "Pads=13"}},
      // A key below an unchosen level does not choose a deeper level, but it still
      // narrows the counts.
      {{"1", "", "20"}, {"Pads=5"}},
      {{"1", "10"}, {"Front=5", "Rear=2"}},
      {{"1", "10", "20"}, {}},  // Left holds no count row at all
      {{"2"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.keys));
    EXPECT_EQ(Listed(List(c.keys)), c.listed);
  }
}

TEST_P(CategoryTreeTest, IntCountEndsWithTheLastChildReadAndAFullPathTouchesNothing) {
  Variant count;
  List({}, &count);
  EXPECT_EQ(vb::CStr(count), "1");  // Doors, the last category by name
  Variant full("preset");
  const Variant grid = List({"1", "10", "20", "30", "40", "50"}, &full);
  EXPECT_EQ(full, Variant("preset"));
  for (const Variant& cell : grid.AsArray().cells()) EXPECT_TRUE(cell.IsEmpty());
  EXPECT_EQ(grid.AsArray().bounds(), (std::vector<ArrayBound>{{0, 100}, {0, 3}}));
}

TEST_P(CategoryTreeTest, AHundredAndFirstListedChildEndsTheCallUnfinished) {
  for (int rows : {100, 101}) {
    SCOPED_TRACE(rows);
    db_.Exec("DELETE FROM subcategory1; DELETE FROM entrycounts");
    db_.Exec("BEGIN");
    for (int i = 0; i < rows; ++i) {
      db_.Exec("INSERT INTO subcategory1 VALUES (" + std::to_string(100 + i) + ", 'n" +
               std::to_string(100 + i) +
               "', 1); INSERT INTO entrycounts (entrycnt, categoryid, "
               "subcategoryid1) VALUES (1, 1, " +
               std::to_string(100 + i) + ")");
    }
    db_.Exec("COMMIT");
    const Variant grid = List({"1"});
    EXPECT_EQ(RowCell(grid, 0, 0), rows == 100 ? Variant(std::int16_t{100}) : Variant());
    EXPECT_EQ(RowCell(grid, 100, 1), Variant("n199"));
  }
}

TEST_P(CategoryTreeTest, CountsOfAPlace) {
  // No category counts every row, sub1 ignored; an unknown place sums to Null.
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"", "10"}, "18"}, {{"1", "10"}, "13"}, {{"1", "10", "21"}, "2"}, {{"9"}, "Null"}};
  for (auto [k, count] : cases) {
    k.resize(7);
    Variant conn = db_.connect(), n;
    cat_.Count_entries_Per_Categories(conn, n, k[0], k[1], k[2], k[3], k[4], k[5], k[6]);
    EXPECT_EQ(n.IsNull() ? "Null" : vb::CStr(n), count) << ::testing::PrintToString(k);
  }
}

TEST_P(CategoryTreeTest, NodeNamesByKeyword) {
  const std::tuple<const char*, Variant, const char*> cases[] = {
      {"cat", Variant(std::int32_t{2}), "Axles"},
      {"sub1", Variant("11"), "Discs"},
      {"model", Variant("21"), "Rear"},
      {"sub3", Variant("31"), "Not Found"},
      {"Cat", Variant("1"), nullptr},
      {"sub7", Variant("1"), nullptr}};
  for (const auto& [keyword, key, expected] : cases) {
    Variant name(keyword), id = key, conn = db_.connect();
    if (expected == nullptr) {
      EXPECT_THROW(cat_.GetCategoryName(name, id, conn), VbError) << keyword;
      EXPECT_EQ(name, Variant(keyword));
    } else {
      cat_.GetCategoryName(name, id, conn);
      EXPECT_EQ(name, Variant(expected)) << keyword;
    }
  }
}

KSMAIN_ON_BOTH_ENGINES(CategoryTreeTest);

}  // namespace
}  // namespace ksmain::testing
