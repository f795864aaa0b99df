// Entry listings through the catalogue's procedures on the fixed connection: the caps of
// each level, the header holding the final counter, the cells of a row, sponsor flags.
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
  const Listing l = All();
  const Variant& g = l.grid;
  EXPECT_EQ(RowCell(g, 1, 0), Variant(std::int32_t{1}));
  EXPECT_EQ(RowCell(g, 1, 1), Variant("Pump"));
  EXPECT_EQ(RowCell(g, 1, 12), IsoDate("2026-03-01 08:00:00"));
  EXPECT_EQ(RowCell(g, 1, 15), Variant("body"));
  EXPECT_EQ(RowCell(g, 1, 16), Variant::FromCurrency(125000));
  EXPECT_EQ(RowCell(g, 1, 25), Variant::FromCurrency(100000));
  EXPECT_EQ(RowCell(g, 1, 4), Variant("C-1"));
  EXPECT_EQ(RowCell(g, 1, 23), Variant("C-1"));
  EXPECT_EQ(RowCell(g, 1, 24), Variant("pic1.jpg"));
  EXPECT_EQ(RowCell(g, 1, 11), Variant(std::int32_t{7}));
  EXPECT_EQ(RowCell(g, 1, 20), Variant("Y"));
  EXPECT_EQ(RowCell(g, 1, 21), Variant(std::int16_t{1990}));
  EXPECT_TRUE(RowCell(g, 1, 13).IsEmpty());
  EXPECT_TRUE(RowCell(g, 1, 26).IsEmpty());
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

}  // namespace
}  // namespace ksmain::testing
