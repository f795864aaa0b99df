// Finding entries: listings through the catalogue's procedures on the fixed connection (the
// caps of each level, the header holding the final counter, the cells of a row, sponsor
// flags), the category tree above them, and the search.
#include "catalogue/catalogue_fixture.h"

namespace ksmain::testing {
namespace {

class ListingsTest : public CatalogueTest {
 protected:
  struct Listing {
    Variant grid, strconnect;
  };
  Listing Level(const std::string& levelind, const std::string& cat = "1",
                const std::string& year = "") {
    Listing l{Variant(), Variant("page's own")};
    Variant count;
    cat_.Get_entriesList_LEVEL(l.grid, l.strconnect, count, cat, "", "", "", "", "", "", levelind,
                               year);
    return l;
  }
  Listing All(const std::string& cat = "1", const std::string& year = "") {
    Listing l{Variant(), Variant("page's own")};
    Variant count;
    cat_.Get_entriesList(l.grid, l.strconnect, count, cat, "", "", "", "", "", "", "", year);
    return l;
  }
  void Promote() { db_.Exec("UPDATE entries SET Level1PromotionFlag = 'Y'"); }
};

TEST_P(ListingsTest, EachLevelStopsAtItsCapAndTheHeaderKeepsTheFinalCounter) {
  AddEntries(1, 300, "Part", 1);
  Promote();
  db_.Exec("INSERT INTO category VALUES (1, 'c')");
  struct Case {
    const char* levelind;
    const char* cat;
    std::int32_t row_bound;
    std::int16_t header;
  } cases[] = {
      {"1", "1", 26, 25}, {"2", "1", 251, 250}, {"3", "1", 1, 1},
      {"", "1", 1, 1},    {"1", "9", 26, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.levelind) + "/" + c.cat);
    const Listing l = Level(c.levelind, c.cat);
    EXPECT_EQ(l.grid.AsArray().bound(0).upper, c.row_bound);
    EXPECT_EQ(l.grid.AsArray().bound(1).upper, 30);
    EXPECT_EQ(RowCell(l.grid, 0, 0), Variant(c.header));
    const int rows = c.header > 0 ? c.header - 1 : 0;
    if (rows > 0) {
      EXPECT_FALSE(RowCell(l.grid, rows, 0).IsEmpty());
    }
    if (rows + 1 <= c.row_bound) {
      EXPECT_TRUE(RowCell(l.grid, rows + 1, 0).IsEmpty());
    }
  }
  const std::string fixed = "uid=sa;pwd=;driver={SQL Server};server=" + data::CatalogueHost() +
                            ";Database=veldaSQL;dsn=,,connection=adConnectAsync";
  EXPECT_EQ(Level("2").strconnect, Variant(fixed));
  const Listing all = All();
  EXPECT_EQ(all.strconnect, Variant(fixed));
  EXPECT_EQ(RowCell(all.grid, 0, 0), Variant(std::int16_t{251}));
  EXPECT_FALSE(RowCell(all.grid, 250, 0).IsEmpty());
  EXPECT_EQ(RowCell(All("9").grid, 0, 0), Variant(std::int16_t{0}));
}

TEST_P(ListingsTest, ARowCarriesTheEntryAndItsClientsSponsorFlag) {
  AddEntry(1, "Pump", 1, 0, 0,
           ", Summary, BodyText, Cost, sale_price, mfg_part_number, cont_part_number, Link1, "
           "MiscParm5, DateTimeValue",
           ", 'sum', 'body', 12.5, 10, 'M-1', 'C-1', 'l1', 'm5', '2026-03-01 08:00:00'");
  db_.Exec("UPDATE entries SET clientID = 7");
  db_.Exec(
      "INSERT INTO campaigns (clientID, Camplevel, begindate, enddate, activeind) VALUES (7, 3, '" +
      Day(-10) + "', '" + Day(10) + "', 'Y')");
  // Every cell of the row: the fields the listing reads by name, Null where the entry has
  // none, Empty where it fills nothing.
  const Variant E, N = Variant::Null();
  const std::vector<Variant> expected = {
      std::int32_t{1}, "Pump", "sum", N, "C-1", N, "l1", N, N, N, N, std::int32_t{7},
      IsoDate("2026-03-01 08:00:00"), E, E, "body", Variant::FromCurrency(125000), "M-1", N, "m5", "Y",
      std::int16_t{1990}, std::int16_t{2030}, "C-1", "pic1.jpg", Variant::FromCurrency(100000), E, E, E, E, E};
  const Listing l = All();
  std::vector<Variant> row;
  for (int c = 0; c <= 30; ++c) row.push_back(RowCell(l.grid, 1, c));
  EXPECT_EQ(row, expected);
}

TEST_P(ListingsTest, SponsorFlagNeedsAnActiveLevelThreeCampaignRunningNow) {
  struct Case {
    const char* name;
    std::string row;
    const char* flag;
  } cases[] = {
      {"running", "3, '" + Day(-1) + "', '" + Day(1) + "', 'Y'", "Y"},
      {"ended yesterday", "3, '" + Day(-9) + "', '" + Day(-1) + "', 'Y'", "N"},
      {"inactive", "3, '" + Day(-1) + "', '" + Day(1) + "', 'N'", "N"},
      {"level 2", "2, '" + Day(-1) + "', '" + Day(1) + "', 'Y'", "N"},
      {"not started", "3, '" + Day(1) + "', '" + Day(9) + "', 'Y'", "N"},
  };
  int client = 0;
  for (const Case& c : cases) {
    ++client;
    db_.Exec("INSERT INTO campaigns (clientID, Camplevel, begindate, enddate, activeind) VALUES (" +
             std::to_string(client) + ", " + c.row + ")");
    EXPECT_EQ(cat_.GetSponsorLevel(std::to_string(client)), Variant(c.flag)) << c.name;
  }
  EXPECT_EQ(cat_.GetSponsorLevel("99"), Variant("N"));
  for (const char* bad : {"", "1 or 1=1", "x"}) {
    EXPECT_THROW(cat_.GetSponsorLevel(bad), VbError) << bad;
  }
}

KSMAIN_ON_BOTH_ENGINES(ListingsTest);

// The category tree: which level is listed, which children are hidden, where the counts
// come from, the grid's capacity, and node names.
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

// Entry search: the three modes, the word splitting of the criteria, the place and
// availability conditions every match keeps, the cap, the -1 of no match, and the log.
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
