// Client details, logos and the random image strip: sample sizes and strides, the year
// remembered from a listing, and the place conditions.
#include <set>

#include "catalogue/catalogue_fixture.h"

namespace ksmain::testing {
namespace {

class ClientDisplayTest : public CatalogueTest {
 protected:
  Variant Images(InsertTable_summary& object, const std::string& cat, const std::string& sub1 = "",
                 const std::string& sub2 = "") {
    Variant grid("previous");
    object.GetRandomImages(grid, db_.connect().AsString(), cat, sub1, sub2, "", "", "", "");
    return grid;
  }
};

TEST_P(ClientDisplayTest, SampleSizeFollowsTheRoundedStepAndRowsFollowTheStride) {
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

TEST_P(ClientDisplayTest, NoMatchOrNoPlaceLeavesAnEmptyGrid) {
  AddEntries(1, 20, "Part", 1, 5);
  db_.Exec("UPDATE entries SET Image1 = 'a.gf' WHERE ID <= 10");  // too short for a picture
  db_.Exec("UPDATE entries SET ExpireDate = '" + Day(-1) + "' WHERE ID > 10");
  for (const Variant& grid : {Images(cat_, "1"), Images(cat_, ""), Images(cat_, "2")}) {
    for (const Variant& cell : grid.AsArray().cells()) EXPECT_TRUE(cell.IsEmpty());
  }
}

TEST_P(ClientDisplayTest, PlaceConditionsAndTheYearOfAnEarlierListing) {
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

TEST_P(ClientDisplayTest, ClientDetailsAndLogo) {
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

KSMAIN_ON_BOTH_ENGINES(ClientDisplayTest);

}  // namespace
}  // namespace ksmain::testing
