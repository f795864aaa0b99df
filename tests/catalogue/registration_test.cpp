// The client's and the entry's side: registration and tracking (the statements handed back
// in RC, what the rows hold, the page's array after encoding, the entry detail's view
// counts), client login, and client details, logos and the random image strip.
#include <set>

#include "catalogue/catalogue_fixture.h"

namespace ksmain::testing {
namespace {

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
