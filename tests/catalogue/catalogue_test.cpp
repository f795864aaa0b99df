// InsertTable_summary against fixture databases on the engine each suite is instantiated
// for, reached both through the page's connection string and through the listings' fixed
// one. On the server the fixed string's database is one name for every process: those
// cases hold the CTest lock `veldaSQL`.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "data/datalink.h"
#include "frame/app_log.h"
#include "frame/vb_runtime.h"
#include "ksmain/catalogue.h"
#include "support/fixture.h"

namespace ksmain::testing {
namespace {

// A one-dimensional input array as a page fills it.
Variant Row(std::vector<Variant> cells) { return Variant(VarArray::Of(std::move(cells))); }

class CatalogueTest : public ::testing::TestWithParam<Engine> {
 protected:
  CatalogueTest() : db_(TempDb::Kind::Catalogue, false, GetParam()) {
    data::SetDataSource(data::CatalogueHost(), db_.source());
    SetApplicationLogSink([this](std::string_view m) { log_.emplace_back(m); });
  }
  // Suites with rows of their own call this first and return when the case is skipped.
  void SetUp() override { KSMAIN_SKIP_WITHOUT_SERVER(GetParam()); }
  ~CatalogueTest() override {
    SetApplicationLogSink({});
    data::ClearDataSources();
  }

  // An entry that every listing and search shows: active, unexpired, with a picture.
  // `columns` and `values` name further columns and their values, each starting ", ".
  void AddEntry(int id, const std::string& title, int cat, int sub1 = 0, int sub2 = 0,
                const std::string& columns = "", const std::string& values = "") {
    db_.Exec(
        "INSERT INTO entries (ID, Title, CategoryId, SubcategoryId1, SubcategoryId2, "
        "SubcategoryId3, SubcategoryId4, SubcategoryId5, SubcategoryId6, Image1, "
        "ExpireDate, ActiveInd, clientID, beg_year, end_year" +
        columns + ") VALUES (" + std::to_string(id) + ", '" + title + "', " + std::to_string(cat) +
        ", " + std::to_string(sub1) + ", " + std::to_string(sub2) + ", 0, 0, 0, 0, 'pic" +
        std::to_string(id) + ".jpg', '2099-12-31', 'Y', 1, 1990, 2030" + values + ")");
  }
  void AddEntries(int first, int count, const std::string& title, int cat, int sub1 = 0) {
    db_.Exec("BEGIN");
    for (int i = 0; i < count; ++i) AddEntry(first + i, title, cat, sub1);
    db_.Exec("COMMIT");
  }

  // Local date `days` from today as the engine stores it.
  static std::string Day(int days) { return vb::ToIso(vb::Today() + days); }

  TempDb db_;
  InsertTable_summary cat_;
  std::vector<std::string> log_;
};

// Finding entries: listings through the catalogue's procedures on the fixed connection (the
// caps of each level, the header holding the final counter, the cells of a row, sponsor
// flags), the category tree above them, and the search.
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

// The client's and the entry's side: registration and tracking (the statements handed back
// in RC, what the rows hold, the page's array after encoding, the entry detail's view
// counts), client login, and client details, logos and the random image strip.
class ClientsTest : public CatalogueTest {
 protected:
  void AddClient(const std::string& user, const std::string& expiry, const std::string& active,
                 const std::string& answer = "'Rex'") {
    db_.Exec(
        "INSERT INTO clients (username, password, passwordhint, passwordanswer, expiredate, "
        "activeind) VALUES ('" +
        user + "', 'Secret', 'Your dog', " + answer + ", " + expiry + ", " + active + ")");
  }
  Variant Login(const std::string& user, const std::string& password, const std::string& answer) {
    Variant arr = Row({"zero", user, password, "", answer, "", ""});
    Variant rc("preset");
    cat_.ValidateClientLogin(arr, db_.connect().AsString(), rc);
    return rc;
  }
  Variant Images(InsertTable_summary& object, const std::string& cat, const std::string& sub1 = "",
                 const std::string& sub2 = "") {
    Variant grid("previous");
    object.GetRandomImages(grid, db_.connect().AsString(), cat, sub1, sub2, "", "", "", "");
    return grid;
  }
};

Variant EntryForm(const char* link = "") {
  std::vector<Variant> f(29, Variant(""));
  f[0] = "1";
  f[7] = "Bob's red & blue car";
  f[10] = "12.5";
  f[17] = f[18] = link;
  f[22] = "12/31/2099";
  f[24] = "3";
  return Row(f);
}

TEST_P(ClientsTest, EntryLinksLoseOnlyAnExactLowerCaseHttpPrefix) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://example.com/a", "example.com/a"},
      {"HTTP://example.com/a", "HTTP://example.com/a"},
      {"https://example.com/a", "https://example.com/a"},
      {"http://", ""},
      {"http://http://x", "http://x"}};
  int id = 0;
  for (const auto& [link, stored] : cases) {
    Variant arr = EntryForm(link), rc;
    cat_.Insertentries(arr, db_.connect().AsString(), rc);
    EXPECT_EQ(
        db_.Scalar("SELECT Link1 || '|' || Link2 FROM entries WHERE ID = " + std::to_string(++id)),
        std::string(stored) + "|" + stored)
        << link;
    EXPECT_EQ(arr.AsArray().at({17}), Variant(link)) << "the page keeps the prefix";
  }
}

TEST_P(ClientsTest, EntryStatementIsHandedBackExactlyAndTheRowIsEncoded) {
  Variant arr = EntryForm(), rc;
  cat_.Insertentries(arr, db_.connect().AsString(), rc);
  const std::string sql = rc.AsString();
  EXPECT_EQ(sql.rfind("INSERT INTO entries ( CategoryId, SubcategoryId1, subcategoryId2, ", 0), 0u);
  EXPECT_NE(sql.find("sale_price, DateTimeValue  ) VALUES ('1', '', '', '', '', '', '', 'Bobs "
                     "red  and  blue car', '', '', '12.5', '', '', '', '', '', '', '', '', '', "
                     "'', '', '', '', '', '12/31/2099', '', '3', '', '"),
            std::string::npos)
      << sql;
  EXPECT_EQ(sql.substr(sql.size() - 3), "') ");
  EXPECT_EQ(arr.AsArray().at({7}), Variant("Bobs red  and  blue car"));
  EXPECT_EQ(db_.Read("SELECT Title, ExpireDate, DateValue(DateTimeValue) FROM entries"),
            "Bobs red  and  blue car:12/31/2099:" + vb::CStr(Variant::FromDate(vb::Today())));
}

TEST_P(ClientsTest, ClientLogosKeepTheirApostrophesAndOtherFieldsAreEncoded) {
  std::vector<Variant> form(27, Variant(""));
  form[0] = "zero's";
  form[1] = "O'Neil";
  form[22] = "o'neil.gif";
  form[26] = "a|b";
  Variant arr = Row(form), rc;
  cat_.InsertClients(arr, db_.connect().AsString(), rc);
  EXPECT_EQ(db_.Scalar("SELECT surname || '|' || image || '|' || miscparm3 FROM clients"),
            "ONeil|o'neil.gif|ab");
  EXPECT_EQ(arr.AsArray().at({0}), Variant("zero's"));
  EXPECT_EQ(arr.AsArray().at({1}), Variant("ONeil"));
  EXPECT_EQ(rc.AsString().substr(rc.AsString().find("M','")), "M','o''neil.gif','','','','ab')");
}

TEST_P(ClientsTest, ArraysThatCannotBeReadLeaveRCAsItWas) {
  for (const Variant& input : {Variant("text"), Row({"x", "y"}), Variant(VarArray::Grid(30, 2))}) {
    Variant rc("kept"), arr = input;
    cat_.Insertentries(arr, db_.connect().AsString(), rc);
    cat_.InsertClients(arr, db_.connect().AsString(), rc);
    cat_.InsertNavigation(arr, db_.connect().AsString(), rc);
    EXPECT_EQ(rc, Variant("kept")) << input;
  }
  EXPECT_TRUE(log_.empty());
}

// A write that fails (here: its table is gone, as good as a full disk to the member)
// still hands its statement back in RC, as on success, and leaves one log line naming
// the member.
TEST_P(ClientsTest, FailedInsertsKeepTheirStatementInRCAndAreLogged) {
  for (const char* table : {"entries", "clients", "navigation", "effectiveness"})
    db_.Exec(std::string("ALTER TABLE ") + table + " RENAME TO gone_" + table);
  using Member = Variant (InsertTable_summary::*)(Variant&, const std::string&, Variant&);
  const std::pair<Member, const char*> members[] = {
      {&InsertTable_summary::Insertentries, "Insertentries"},
      {&InsertTable_summary::InsertClients, "InsertClients"},
      {&InsertTable_summary::InsertNavigation, "InsertNavigation"},
      {&InsertTable_summary::InsertEffectiveness, "InsertEffectiveness"},
  };
  for (const auto& [member, name] : members) {
    SCOPED_TRACE(name);
    log_.clear();
    Variant arr = EntryForm(), rc;
    (cat_.*member)(arr, db_.connect().AsString(), rc);
    EXPECT_EQ(rc.AsString().rfind("INSERT INTO ", 0), 0u) << rc;
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0].rfind(std::string(name) + ": ", 0), 0u) << log_[0];
  }
}

TEST_P(ClientsTest, NavigationAndScoresAreRecorded) {
  Variant nav = Row({"http://shop.example/p?id=7", "Bob's & parts", "7"}), rc;
  cat_.InsertNavigation(nav, db_.connect().AsString(), rc);
  EXPECT_EQ(rc.AsString().rfind("INSERT INTO navigation ( address, pagename, articleID, "
                                "DateTimeValue ) VALUES ('shop.example/p?id=7', 'Bobs  and  "
                                "parts', '7', '",
                                0),
            0u);
  nav = Row({"https://shop.example/", "p", "7"});
  cat_.InsertNavigation(nav, db_.connect().AsString(), rc);
  EXPECT_EQ(db_.Read("SELECT address FROM navigation ORDER BY id"),
            "shop.example/p?id=7|https://shop.example/");
  Variant score = Row({"7", "4"});
  cat_.InsertEffectiveness(score, db_.connect().AsString(), rc);
  EXPECT_EQ(rc.AsString().rfind("INSERT INTO effectiveness ( articleID, Score, DateTimeValue ) "
                                "VALUES ('7', '4', '",
                                0),
            0u);
  EXPECT_EQ(db_.Scalar("SELECT articleID + Score FROM effectiveness"), "11");
}

TEST_P(ClientsTest, EntryDetailCountsTodaysViewsAndAllViews) {
  AddEntry(7, "Pump", 1);
  AddEntry(8, "Seal", 1);
  db_.Exec("INSERT INTO navigation (articleID, DateTimeValue) VALUES (7, '" + Day(-1) +
           " 23:59:00'), (7, '" + Day(0) + " 00:00:01')");
  const std::tuple<const char*, std::int16_t, std::int32_t, std::int32_t> cases[] = {
      {"7", 2, 1, 2}, {"8", 2, 0, 0}, {"99", 0, -1, -1}};
  for (const auto& [id, header, today, all] : cases) {
    Variant grid, conn = db_.connect(), count;
    cat_.Get_entriespecific(grid, conn, count, id);
    EXPECT_EQ(RowCell(grid, 0, 0), Variant(header)) << id;
    if (header == 0) continue;
    EXPECT_EQ(RowCell(grid, 1, 13), Variant(today)) << id;
    EXPECT_EQ(RowCell(grid, 1, 14), Variant(all)) << id;
    EXPECT_EQ(RowCell(grid, 1, 17), Variant("pic" + std::string(id) + ".jpg"));
  }
}

// Client login: the three modes, their exact messages, expiry on and after its day, the
// active flag, and how the password and the answer are compared.
constexpr const char* kInvalid =
    " Either your UserName or password are invalid.   We were not able to validate your "
    "submission.";
constexpr const char* kInactive =
    "We found your submission, however your registration is marked inactive and is not valid.";
constexpr const char* kMismatch =
    "Your password answer does not match the password answer you entered when you registered.";

TEST_P(ClientsTest, EachModeAnswersWithItsOwnText) {
  AddClient("ok", "NULL", "'Y'");
  AddClient("today", "'" + Day(0) + "'", "'Y'");
  AddClient("yesterday", "'" + Day(-1) + "'", "'Y'");
  AddClient("lower", "NULL", "'y'");
  AddClient("noflag", "NULL", "NULL");
  AddClient("noanswer", "NULL", "'Y'", "NULL");
  AddClient("blankexpiry", StoresAnyText(GetParam()) ? "''" : "NULL", "'Y'");
  const std::string expired_on = "We found your submission, however your registration expired on " +
                                 vb::CStr(Variant::FromDate(vb::Today() - 1));
  struct Case {
    const char* user;
    const char* password;
    const char* answer;
    Variant rc;
  } cases[] = {
      // Password check.
      {"ok", "Secret", "", Variant("OK")},
      {"OK", "Secret", "", Variant("OK")},      // the user name compares without regard to case
      {"ok", "secret", "", Variant(kInvalid)},  // the password compares exactly
      {"ok", "Wrong", "", Variant(kInvalid)},
      {"today", "Secret", "", Variant("OK")},
      {"yesterday", "Secret", "", Variant(expired_on)},
      {"lower", "Secret", "", Variant(kInactive)},
      {"noflag", "Secret", "", Variant(kInactive)},
      {"blankexpiry", "Secret", "", Variant("OK")},
      // Answer check.
      {"ok", "", "rEX", Variant("PASSWORDANSWEROK")},
      {"ok", "", "Max", Variant(kMismatch)},
      {"noanswer", "", "anything", Variant(kMismatch)},
      {"nobody", "", "Rex",
       Variant("Your UserName and Password Answer was not found in our database.")},
      // Hint.
      {"ok", "", "", Variant("Your dog")},
      {"nobody", "", "", Variant("Your UserName and Password Hint was not found in our database.")},
      // No user name: nothing is asked, the page's value stays.
      {"", "Secret", "Rex", Variant("preset")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + "/" + c.password + "/" + c.answer);
    EXPECT_EQ(Login(c.user, c.password, c.answer), c.rc);
  }
}

TEST_P(ClientsTest, ThePagesArrayHoldsTheEncodedTextsAndQuotesCannotWidenTheMatch) {
  AddClient("ok", "NULL", "'Y'");
  Variant arr = Row({"zero's", "o'k", "x' or 'a'='a", "a&b", "", "|", Variant::Null()});
  Variant rc;
  cat_.ValidateClientLogin(arr, db_.connect().AsString(), rc);
  EXPECT_EQ(rc, Variant(kInvalid));
  EXPECT_EQ(arr, Row({"zero's", "ok", "x or a=a", "a and b", "", "", Variant::Null()}));
}

// Client details, logos and the random image strip: sample sizes and strides, the year
// remembered from a listing, and the place conditions.
TEST_P(ClientsTest, SampleSizeFollowsTheRoundedStepAndRowsFollowTheStride) {
  struct Case {
    int matches;
    std::int16_t n;
  } cases[] = {{200, 12}, {138, 12}, {100, 8}, {30, 2}, {24, 2}, {5, 0}};
  int first = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.matches);
    db_.Exec("DELETE FROM entries");
    AddEntries(first, c.matches, "Part", 1);
    for (int draw = 0; draw < 5; ++draw) {
      const Variant grid = Images(cat_, "1");
      EXPECT_EQ(grid.AsArray().bound(0).upper, 15);
      EXPECT_EQ(grid.AsArray().bound(1).upper, 12);
      ASSERT_EQ(ColCell(grid, 0, 0), Variant(c.n));
      const std::int32_t s = ColCell(grid, 1, 0).AsLong();
      EXPECT_GE(s, 0);
      EXPECT_LT(s, c.matches / 12.0);
      // Row i shows record i * s of the query (the entries in key order here).
      for (int row = 0; row <= c.n; ++row) {
        EXPECT_EQ(ColCell(grid, row, 1), Variant(first + row * s));
        EXPECT_EQ(ColCell(grid, row, 12),
                  Variant("pic" + std::to_string(first + row * s) + ".jpg"));
      }
      if (c.n < 12) {
        EXPECT_TRUE(ColCell(grid, c.n + 1, 1).IsEmpty());
      }
      for (int row = 2; row <= 12; ++row) EXPECT_TRUE(ColCell(grid, row, 0).IsEmpty());
    }
    first += c.matches;
  }
}

TEST_P(ClientsTest, NoMatchOrNoPlaceLeavesAnEmptyGrid) {
  AddEntries(1, 20, "Part", 1, 5);
  db_.Exec("UPDATE entries SET Image1 = 'a.gf' WHERE ID <= 10");  // too short for a picture
  db_.Exec("UPDATE entries SET ExpireDate = '" + Day(-1) + "' WHERE ID > 10");
  for (const Variant& grid : {Images(cat_, "1"), Images(cat_, ""), Images(cat_, "2")}) {
    for (const Variant& cell : grid.AsArray().cells()) EXPECT_TRUE(cell.IsEmpty());
  }
}

TEST_P(ClientsTest, PlaceConditionsAndTheYearOfAnEarlierListing) {
  AddEntries(1, 40, "Part", 1, 5);
  AddEntries(41, 40, "Part", 1, 6);
  db_.Exec("UPDATE entries SET beg_year = 1950, end_year = 1960 WHERE ID > 70");
  // Keys between the chosen ones ask for an empty key: sub1 "" with sub2 set finds nothing.
  EXPECT_TRUE(ColCell(Images(cat_, "1", "", "0"), 0, 0).IsEmpty());
  EXPECT_EQ(ColCell(Images(cat_, "1", "5", "0"), 0, 0), Variant(std::int16_t{3}));

  InsertTable_summary listed;
  Variant grid, conn, count;
  listed.Get_entriesList(grid, conn, count, "1", "", "", "", "", "", "", "", "1955");
  std::set<std::int32_t> seen;
  for (int draw = 0; draw < 10; ++draw) {
    const Variant g = Images(listed, "1");
    // 10 entries of that year: step 0.83, one row after row 0, stride 0.
    ASSERT_EQ(ColCell(g, 0, 0), Variant(std::int16_t{1}));
    seen.insert(ColCell(g, 0, 1).AsLong());
    seen.insert(ColCell(g, 1, 1).AsLong());
  }
  EXPECT_EQ(seen, std::set<std::int32_t>{71});
  // A fresh object has no year limit.
  EXPECT_EQ(ColCell(Images(cat_, "1"), 0, 0), Variant(std::int16_t{7}));
}

TEST_P(ClientsTest, ClientDetailsAndLogo) {
  db_.Exec(
      "INSERT INTO clients (ID, surname, companyname, State, weburl, image) VALUES "
      "(1, 'Ng', 'Ng Parts', 'WA', 'ng.example', 'ng.gif'), (2, 'Bo', NULL, NULL, NULL, '')");
  Variant grid, id(std::int32_t{1}), conn = db_.connect();
  cat_.GetClientInfo(grid, id, conn);
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{1}));
  EXPECT_EQ(RowCell(grid, 1, 1), Variant("Ng"));
  EXPECT_EQ(RowCell(grid, 1, 7), Variant("WA"));
  EXPECT_EQ(RowCell(grid, 1, 14), Variant("ng.example"));
  EXPECT_EQ(RowCell(grid, 1, 15), Variant("Ng Parts"));
  EXPECT_TRUE(RowCell(grid, 1, 0).IsEmpty());
  EXPECT_TRUE(RowCell(grid, 0, 1).IsEmpty());

  id = "99";
  cat_.GetClientInfo(grid, id, conn);
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{0}));
  EXPECT_EQ(RowCell(grid, 0, 1), Variant("Not Found"));
  EXPECT_TRUE(RowCell(grid, 1, 1).IsEmpty());

  struct Case {
    Variant id;
    Variant logo;
  } cases[] = {{Variant("1"), Variant("ng.gif")},
               {Variant(std::int32_t{2}), Variant("")},
               {Variant("99"), Variant("noimage.jpg")}};
  for (Case& c : cases) EXPECT_EQ(cat_.GetClientLOGO(c.id, conn), c.logo) << c.id;
  for (Variant bad : {Variant(""), Variant("1 or 1=1"), Variant::Null()}) {
    EXPECT_THROW(cat_.GetClientLOGO(bad, conn), VbError) << bad;
    EXPECT_THROW(cat_.GetClientInfo(grid, bad, conn), VbError) << bad;
  }
}

KSMAIN_ON_BOTH_ENGINES(ClientsTest);

}  // namespace
}  // namespace ksmain::testing
