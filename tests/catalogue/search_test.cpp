// Entry search: the three modes, the word splitting of the criteria, the place and
// availability conditions every match keeps, the cap, the -1 of no match, and the log.
#include "catalogue/catalogue_fixture.h"

namespace ksmain::testing {
namespace {

class SearchTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    if (IsSkipped()) return;
    db_.Exec(
        "INSERT INTO category VALUES (1, 'Cars'), (2, 'Boats');"
        "INSERT INTO subcategory1 VALUES (10, 'Red things', 1), (11, 'Other', 1), "
        "(20, 'Hulls', 2)");
    AddEntry(1, "red car", 1, 10);
    AddEntry(2, "red boat", 2, 20);
    AddEntry(3, "blue car", 1, 11);
    AddEntry(4, "car red", 1, 10);
    AddEntry(5, "redcar", 1, 10);
    AddEntry(6, "red car expired", 1, 10);
    db_.Exec("UPDATE entries SET ExpireDate = '" + Day(-1) + "' WHERE ID = 6");
    AddEntry(7, "red car inactive", 1, 10);
    db_.Exec("UPDATE entries SET ActiveInd = 'N' WHERE ID = 7");
    AddEntry(8, "red car of 1950", 1, 10);
    db_.Exec("UPDATE entries SET beg_year = 1950, end_year = 1955 WHERE ID = 8");
  }
  // The ids found, in grid order; "-1" when nothing matched, "<unfinished>" on failure.
  std::string Search(const std::string& criteria, const std::string& specs,
                     const std::string& cat = "", const std::string& year = "",
                     const std::string& sortby = "ID") {
    Variant grid(VarArray::Grid(250, 25)), conn = db_.connect(), count;
    cat_.Get_SimpleSearch(grid, conn, count, cat, "", "", "", "", "", criteria, year, specs,
                          sortby);
    return Ids(grid);
  }
  static std::string Ids(const Variant& grid) {
    const Variant& n = RowCell(grid, 0, 0);
    if (n.IsEmpty()) return "<unfinished>";
    std::string out;
    for (int r = 1; r <= n.AsInteger(); ++r)
      out += (r > 1 ? "," : "") + vb::CStr(RowCell(grid, r, 0));
    return out.empty() ? vb::CStr(n) : out;
  }
};

TEST_P(SearchTest, ModesWordsPlaceAndAvailability) {
  struct Case {
    const char* criteria;
    const char* specs;
    const char* cat;
    const char* year;
    const char* found;
  } cases[] = {
      {"red car", "1", "", "", "1,2,3,4,5,8"},  // any word
      {"red car", "2", "", "", "1,4,5,8"},      // all words
      {"red car", "3", "", "", "1,8"},          // the phrase, blank included
      {"red car", "1", "2", "", "2"},           // the place holds for every word
      {"red car", "2", "", "1952", "8"},        // the year's range
      {"red car", "3", "", "1952", "8"},
      {"", "1", "", "", "1,2,3,4,5,8"},      // one empty word matches every title
      {"red  car", "2", "", "", "1,4,5,8"},  // a double blank adds an empty word
      {" boat", "2", "", "", "2"},           // a leading blank too
      {" boat", "1", "", "", "1,2,3,4,5,8"},
      {"red car", "1.0", "", "", "1,2,3,4,5,8"},  // the mode is read as a number
      {"nothing", "1", "", "", "-1"},
      {"red", "7", "", "", "1,2,4,5,8"},  // no connector: one word still works
      {"red car", "7", "", "", "<unfinished>"},
      {"red", "", "", "", "<unfinished>"},
      {"red", "one", "", "", "<unfinished>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.criteria + "' specs " + c.specs + " cat " + c.cat + " year " +
                 c.year);
    EXPECT_EQ(Search(c.criteria, c.specs, c.cat, c.year), c.found);
  }
}

TEST_P(SearchTest, FailuresAreLoggedAsSearcherAndKeepTheCallersCells) {
  Variant grid(VarArray::Grid(250, 25)), conn = db_.connect(), count;
  grid.MutableArray().at({0, 0}) = Variant("before");
  grid.MutableArray().at({3, 3}) = Variant("left over");
  cat_.Get_SimpleSearch(grid, conn, count, "", "", "", "", "", "", "red", "", "x", "");
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_EQ(log_[0], "searcher" + VbError(err::kTypeMismatch).description());
  EXPECT_EQ(RowCell(grid, 0, 0), Variant("before"));

  // No match writes -1 and nothing else.
  cat_.Get_SimpleSearch(grid, conn, count, "", "", "", "", "", "", "zzz", "", "1", "");
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{-1}));
  EXPECT_EQ(RowCell(grid, 3, 3), Variant("left over"));

  for (const char* sortby : {"title; DELETE FROM entries", "(select 1)"}) {
    cat_.Get_SimpleSearch(grid, conn, count, "", "", "", "", "", "", "red", "", "1", sortby);
  }
  for (const char* quoted : {"it's", "x' OR '1'='1"}) {
    EXPECT_EQ(Search(quoted, "1"), "-1") << quoted;
    EXPECT_EQ(Search(quoted, "3"), "-1") << quoted;
  }
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM entries"), "8");
  EXPECT_EQ(log_.size(), 3u);
  Variant scalar("not an array");
  cat_.Get_SimpleSearch(scalar, conn, count, "", "", "", "", "", "", "red", "", "1", "");
  EXPECT_EQ(scalar, Variant("not an array"));
  EXPECT_EQ(log_.size(), 4u);
}

TEST_P(SearchTest, MatchesAreCappedAt250AndSortedAsAsked) {
  AddEntries(100, 300, "wheel", 1, 10);
  Variant grid(VarArray::Grid(260, 25)), conn = db_.connect(), count;
  cat_.Get_SimpleSearch(grid, conn, count, "1", "10", "", "", "", "", "wheel", "", "1", "ID desc");
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{250}));
  EXPECT_EQ(RowCell(grid, 1, 0), Variant(std::int32_t{399}));
  EXPECT_EQ(RowCell(grid, 1, 20), Variant("N"));
  EXPECT_TRUE(RowCell(grid, 251, 0).IsEmpty());
  EXPECT_EQ(Search("red", "1", "", "", ""), "4,2,1,8,5") << "title order by default";
}

TEST_P(SearchTest, PlacesOfTheMatchesAreListedOnceByName) {
  Variant grid(VarArray::Grid(250, 11)), conn = db_.connect(), count;
  cat_.Get_SimpleSearchCategories(grid, conn, count, "", "", "", "", "red", "", "1", "ignored");
  ASSERT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{2}));
  EXPECT_EQ(RowCell(grid, 1, 6), Variant("Boats"));
  EXPECT_EQ(RowCell(grid, 1, 7), Variant("Hulls"));
  EXPECT_EQ(vb::CStr(RowCell(grid, 2, 0)) + "/" + vb::CStr(RowCell(grid, 2, 1)), "1/10");
  // A level the entry does not have reads 0, not "": isnull() keeps the key's kind.
  EXPECT_EQ(RowCell(grid, 2, 2), Variant(std::int32_t{0}));
  EXPECT_EQ(RowCell(grid, 2, 6), Variant("Cars"));
  EXPECT_EQ(RowCell(grid, 2, 7), Variant("Red things"));
  EXPECT_TRUE(RowCell(grid, 3, 0).IsEmpty());

  cat_.Get_SimpleSearchCategories(grid, conn, count, "", "", "", "", "red car", "", "3", "");
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{2})) << "no phrase mode: the empty "
                                                              "connector fails";
  EXPECT_EQ(log_.size(), 1u);
}

KSMAIN_ON_BOTH_ENGINES(SearchTest);

}  // namespace
}  // namespace ksmain::testing
