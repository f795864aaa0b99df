// Registration and tracking: the statements handed back in RC, what the rows hold, the
// page's array after encoding, and the view counts of the entry detail.
#include "catalogue/catalogue_fixture.h"

namespace ksmain::testing {
namespace {

using RegistrationTest = CatalogueTest;

std::vector<Variant> EntryForm() {
  std::vector<Variant> f(29, Variant(""));
  f[0] = "1";
  f[7] = "Bob's red & blue car";
  f[10] = "12.5";
  f[15] = "1990";
  f[16] = "2030";
  f[22] = "12/31/2099";
  f[23] = "Y";
  f[24] = "3";
  return f;
}

TEST_F(RegistrationTest, EntryLinksLoseOnlyAnExactLowerCaseHttpPrefix) {
  struct Case {
    const char* link;
    const char* stored;
  } cases[] = {
      {"http://example.com/a", "example.com/a"},
      {"HTTP://example.com/a", "HTTP://example.com/a"},
      {"https://example.com/a", "https://example.com/a"},
      {"http://", ""},
      {"http://http://x", "http://x"},
  };
  int id = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    std::vector<Variant> form = EntryForm();
    form[17] = c.link;
    form[18] = c.link;
    Variant arr = Row(form), rc;
    cat_.Insertentries(arr, db_.connect().AsString(), rc);
    ++id;
    EXPECT_EQ(
        db_.Scalar("SELECT Link1 || '|' || Link2 FROM entries WHERE ID = " + std::to_string(id)),
        std::string(c.stored) + "|" + c.stored);
    // The page's array holds the encoded text, the prefix still on it.
    EXPECT_EQ(arr.AsArray().at({17}), Variant(c.link));
  }
}

TEST_F(RegistrationTest, EntryStatementIsHandedBackExactlyAndTheRowIsEncoded) {
  Variant arr = Row(EntryForm()), rc;
  cat_.Insertentries(arr, db_.connect().AsString(), rc);
  const std::string sql = rc.AsString();
  EXPECT_EQ(sql.rfind("INSERT INTO entries ( CategoryId, SubcategoryId1, subcategoryId2, "
                      "subcategoryId3, ",
                      0),
            0u);
  EXPECT_NE(sql.find("sale_price, DateTimeValue  ) VALUES ('1', '', '', '', '', '', '', 'Bobs "
                     "red  and  blue car', '', '', '12.5', '', '', '', '', '', '1990', '2030', "
                     "'', '', '', '', '', '', '', '12/31/2099', 'Y', '3', '', '"),
            std::string::npos)
      << sql;
  EXPECT_EQ(sql.substr(sql.size() - 3), "') ") << "the statement ends in a blank";
  EXPECT_EQ(arr.AsArray().at({7}), Variant("Bobs red  and  blue car"));
  EXPECT_EQ(db_.Scalar("SELECT Title || '|' || ExpireDate || '|' || clientID FROM entries"),
            "Bobs red  and  blue car|2099-12-31|3");
  EXPECT_EQ(db_.Scalar("SELECT date(DateTimeValue) FROM entries"), vb::ToIso(vb::Today()));
}

TEST_F(RegistrationTest, ClientLogosKeepTheirApostrophesAndOtherFieldsAreEncoded) {
  std::vector<Variant> form(27, Variant(""));
  form[0] = "untouched 'zero'";
  form[1] = "O'Neil";
  form[16] = "oneil";
  form[22] = "o'neil.gif";
  form[23] = "big \"logo\".gif";
  form[26] = "a|b";
  Variant arr = Row(form), rc;
  cat_.InsertClients(arr, db_.connect().AsString(), rc);
  EXPECT_EQ(db_.Scalar("SELECT surname || '|' || image || '|' || image_large || '|' || miscparm3 "
                       "FROM clients"),
            "ONeil|o'neil.gif|big \"logo\".gif|ab");
  EXPECT_EQ(arr.AsArray().at({0}), Variant("untouched 'zero'"));
  EXPECT_EQ(arr.AsArray().at({22}), Variant("o'neil.gif"));
  EXPECT_EQ(arr.AsArray().at({1}), Variant("ONeil"));
  const std::string sql = rc.AsString();
  EXPECT_NE(sql.find("','o''neil.gif','big \"logo\".gif','','','ab')"), std::string::npos) << sql;
  EXPECT_EQ(sql.back(), ')');
}

TEST_F(RegistrationTest, ShortOrMissingArraysStopBeforeTheStatement) {
  const std::vector<std::pair<const char*, Variant>> cases = {
      {"not an array", Variant("text")},
      {"too short", Row(std::vector<Variant>(2, Variant("x")))},
      {"two dimensions", Variant(VarArray::Grid(30, 2))},
  };
  for (const auto& [name, input] : cases) {
    SCOPED_TRACE(name);
    Variant rc("kept");
    Variant arr = input;
    cat_.Insertentries(arr, db_.connect().AsString(), rc);
    EXPECT_EQ(rc, Variant("kept"));
    arr = input;
    cat_.InsertClients(arr, db_.connect().AsString(), rc);
    cat_.InsertNavigation(arr, db_.connect().AsString(), rc);
    EXPECT_EQ(rc, Variant("kept"));
  }
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM entries") + db_.Scalar("SELECT count(*) FROM clients"),
            "00");
}

TEST_F(RegistrationTest, NavigationAndScoresAreRecorded) {
  Variant nav = Row({"http://shop.example/p?id=7", "Bob's & parts", "7"}), rc;
  cat_.InsertNavigation(nav, db_.connect().AsString(), rc);
  EXPECT_EQ(rc.AsString().rfind("INSERT INTO navigation ( address, pagename, articleID, "
                                "DateTimeValue ) VALUES ('shop.example/p?id=7', 'Bobs  and  "
                                "parts', '7', '",
                                0),
            0u);
  EXPECT_EQ(db_.Scalar("SELECT address || '|' || pagename || '|' || articleID FROM navigation"),
            "shop.example/p?id=7|Bobs  and  parts|7");
  Variant secure = Row({"https://shop.example/", "p", "7"});
  cat_.InsertNavigation(secure, db_.connect().AsString(), rc);
  EXPECT_EQ(db_.Scalar("SELECT address FROM navigation WHERE id = 2"), "https://shop.example/");

  Variant score = Row({"7", "4", "ignored"});
  cat_.InsertEffectiveness(score, db_.connect().AsString(), rc);
  EXPECT_EQ(rc.AsString().substr(0, 78),
            "INSERT INTO effectiveness ( articleID, Score, DateTimeValue ) VALUES ('7', '4'");
  EXPECT_EQ(rc.AsString().substr(rc.AsString().size() - 3), "') ");
  EXPECT_EQ(db_.Scalar("SELECT articleID + Score FROM effectiveness"), "11");
}

TEST_F(RegistrationTest, EntryDetailCountsTodaysViewsAndAllViews) {
  AddEntry(7, "Pump", 1);
  AddEntry(8, "Seal", 1);
  db_.Exec(
      "INSERT INTO navigation (address, pagename, articleID, DateTimeValue) VALUES "
      "('a', 'p', 7, '" +
      Day(-1) + " 23:59:00'), ('a', 'p', 7, '" + Day(0) + " 00:00:01')");
  struct Case {
    const char* id;
    Variant today, all;
  } cases[] = {{"7", Variant(std::int32_t{1}), Variant(std::int32_t{2})},
               {"8", Variant(std::int32_t{0}), Variant(std::int32_t{0})}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    Variant grid, conn = db_.connect(), count;
    cat_.Get_entriespecific(grid, conn, count, c.id);
    EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{2}));
    EXPECT_EQ(RowCell(grid, 1, 13), c.today);
    EXPECT_EQ(RowCell(grid, 1, 14), c.all);
    EXPECT_EQ(RowCell(grid, 1, 17), Variant("pic" + std::string(c.id) + ".jpg"));
  }
  Variant grid, conn = db_.connect(), count;
  cat_.Get_entriespecific(grid, conn, count, "99");
  EXPECT_EQ(RowCell(grid, 0, 0), Variant(std::int16_t{0}));
}

}  // namespace
}  // namespace ksmain::testing
