// Registration and tracking: the statements handed back in RC, what the rows hold, the
// page's array after encoding, and the view counts of the entry detail.
#include "catalogue/catalogue_fixture.h"

namespace ksmain::testing {
namespace {

class RegistrationTest : public CatalogueTest {};

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

TEST_P(RegistrationTest, EntryLinksLoseOnlyAnExactLowerCaseHttpPrefix) {
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

TEST_P(RegistrationTest, EntryStatementIsHandedBackExactlyAndTheRowIsEncoded) {
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

TEST_P(RegistrationTest, ClientLogosKeepTheirApostrophesAndOtherFieldsAreEncoded) {
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

TEST_P(RegistrationTest, ArraysThatCannotBeReadLeaveRCAsItWas) {
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
TEST_P(RegistrationTest, FailedInsertsKeepTheirStatementInRCAndAreLogged) {
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

TEST_P(RegistrationTest, NavigationAndScoresAreRecorded) {
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

TEST_P(RegistrationTest, EntryDetailCountsTodaysViewsAndAllViews) {
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

KSMAIN_ON_BOTH_ENGINES(RegistrationTest);

}  // namespace
}  // namespace ksmain::testing
