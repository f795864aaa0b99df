// What the front end refuses, where it says the fault is, and the value checks members
// apply before joining page values into SQL.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <thread>

#include "sql/ast.h"
#include "sql/safety.h"
#include "sql_fixture.h"
#include "support/small_stack.h"

namespace ksmain::sql::testing {
namespace {

using ::ksmain::testing::OnSmallStack;

std::size_t ErrorPosition(std::string_view text) {
  try {
    Translate(text, Dialect::Jet, PortfolioCatalog());
  } catch (const SqlError& e) {
    return e.position();
  }
  return 0;
}

// Position 0: accepted.
TEST(Rejections, ErrorsCarryTheOneBasedPosition) {
  struct Case {
    const char* n;
    const char* text;
    std::size_t position;
  } cases[] = {
      {"ok-0.1 keyword case and a trailing semicolon", "SeLeCt id FROM status;", 0},
      {"ok-0.2 a -- comment to the end of a line", "select id -- trailing\nfrom status", 0},
      {"ok-0.3 a block comment, blanks after the semicolon", "select /* c */ id from status ;  ", 0},
      {"ok-0.4 a semicolon inside a text", "select 'a;b' from status", 0},
      {"ok-0.5 comment marks inside a text", "select id from status where description like '--x'", 0},
      {"lex-1.1 unterminated text", "select id from status where description = 'abc", 43},
      {"lex-1.2 unterminated bracket", "select [id from status", 8},
      {"lex-1.3 unterminated quoted name", "select \"id from status", 8},
      {"lex-1.4 unterminated date", "select #1/1/2026 from status", 8},
      {"lex-1.5 unterminated comment", "select id /* from status", 11},
      {"lex-1.6 stray character", "select id from status where id = ?", 34},
      {"lex-1.7 number glued to a word", "select 12abc from status", 8},
      {"parse-2.1 second statement", "select id from status; drop table status", 24},
      {"parse-2.2 Jet has no -- comment", "delete from status; -- x\n delete from rank", 21},
      {"parse-2.3 missing FROM table", "select id from where id = 1", 16},
      {"parse-2.4 unclosed parenthesis", "select id from status where (id = 1", 36},
      {"parse-2.5 join without ON", "select id from status inner join rank where id = 1", 39},
      {"parse-2.6 UNION", "select id from status union select id from rank", 23},
      {"parse-2.7 dangling operator", "select id from status where id =", 33},
      {"parse-2.8 CASE without WHEN", "select case end from status", 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(ErrorPosition(c.text), c.position);
  }
}


std::string Repeat(std::string_view piece, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += piece;
  return s;
}

// Long chains of AND and OR (a search turns every blank into one) work at any length and
// still run on the engine; anything else deeper than the front end's bound is refused as
// a statement error. Nothing exhausts the stack, not even the tree's own destruction.
TEST(Rejections, LongChainsWorkAndDeepTreesFailAsStatementErrors) {
  struct Case {
    const char* n;
    Dialect dialect;
    std::string text;
    bool accepted;
  } cases[] = {
      {"depth-1 a search of 30,000 blanks", Dialect::TSql,
       "SELECT * from entries where categoryID like '%' and (title Like '%%'" +
           Repeat(" or title like '%%'", 30000) + ") order by title",
       true},
      {"depth-2 100,000 OR", Dialect::Jet, "select 1" + Repeat(" or 1", 100000), true},
      {"depth-3 100,000 AND in a condition", Dialect::TSql,
       "select id from entries where id = 1" + Repeat(" and id = 1", 100000), true},
      {"depth-4 50,000 '+ 1'", Dialect::Jet, "select 1" + Repeat(" + 1", 50000), false},
      {"depth-5 50,000 '&'", Dialect::Jet, "select 'a'" + Repeat(" & 'a'", 50000), false},
      {"depth-6 alternating + and -", Dialect::Jet, "select 1" + Repeat(" + 1 - 1", 20000), false},
      {"depth-7 5,000 parentheses", Dialect::Jet,
       "select " + std::string(5000, '(') + "1" + std::string(5000, ')'), false},
      {"depth-8 5,000 NOT", Dialect::Jet, "select id from status where " + Repeat("not ", 5000) + "1 = 1",
       false},
      {"depth-9 20,000 joined tables", Dialect::Jet,
       "select * from status" + Repeat(" inner join status on 1 = 1", 20000), false},
      {"depth-10 20,000 unary minus", Dialect::Jet, "select " + Repeat("- ", 20000) + "1", false},
      // The deepest trees accepted still leave the 1 MB to spare.
      {"depth-11 254 '+ 1'", Dialect::Jet, "select 1" + Repeat(" + 1", 254), true},
      {"depth-12 255 '+ 1'", Dialect::Jet, "select 1" + Repeat(" + 1", 255), false},
      {"depth-13 250 joined tables", Dialect::Jet,
       "select * from status" + Repeat(" right join status on 1 = 1", 250), true},
      {"depth-14 98 subqueries within one another", Dialect::Jet,
       "select " + Repeat("(select ", 98) + "misc1 + 1 from ProjectMaster" + Repeat(")", 98), true},
      {"depth-15 99 calls within one another and a chain", Dialect::Jet,
       "select " + Repeat("len(", 99) + "misc1" + Repeat(" + 1", 150) + Repeat(")", 99) + " from ProjectMaster",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    std::string outcome;
    OnSmallStack([&] {
      try {
        Translate(c.text, c.dialect, CatalogFor(c.dialect));
        outcome = "accepted";
      } catch (const SqlError& e) {
        outcome = e.what();
      }
    });
    if (c.accepted) {
      EXPECT_EQ(outcome, "accepted");
    } else {
      EXPECT_NE(outcome.find("too complex"), std::string::npos) << outcome;
    }
  }
  // The engine limits the depth of an expression too: a long chain reaches it as a
  // balanced tree, so the search still finds its entry.
  Db db(CatalogueCatalog());
  db.Exec("INSERT INTO entries (ID, CategoryId, Title) VALUES (1, 1, 'x')");
  EXPECT_EQ(db.Run(cases[0].text, Dialect::TSql).size(), 1u);
}

TEST(Safety, QuotedDoublesApostrophes) {
  EXPECT_EQ(Quoted(Variant("O'Neil's")), "O''Neil''s");
  EXPECT_EQ(Quoted(Variant("plain %")), "plain %");
  EXPECT_EQ(Quoted(Variant::Null()), "");
  EXPECT_EQ(Quoted(Variant()), "");
  EXPECT_EQ(Quoted(Variant(std::int32_t{42})), "42");
}

TEST(Safety, BareAcceptsOnlyOneNumber) {
  for (const Variant& ok : {Variant("12"), Variant(" 12 "), Variant("-3.5"), Variant("+7"), Variant("1E+20"),
                            Variant(".5"), Variant(std::int32_t{5}), Variant(2.5), Variant("-12"),
                            Variant(std::int32_t{-5}), Variant("007")}) {
    EXPECT_NO_THROW(Bare(ok)) << ok;
  }
  for (const Variant& bad : {Variant("1; DROP TABLE x"), Variant(""), Variant("%"), Variant("1 or 1=1"),
                             Variant("1 -- x"), Variant("1/*x*/"), Variant("0x10"), Variant("1,000"),
                             Variant("'1'"), Variant("- -1"), Variant("$11"), Variant("(0)"), Variant("0-"),
                             Variant("-"), Variant("--1"), Variant("\xd9\xa1"),
                             Variant::Null(), Variant()}) {
    EXPECT_THROW(Bare(bad), SqlError) << bad;
  }
  EXPECT_EQ(Bare(Variant(" 12 ")), " 12 ");  // the text goes in unchanged
}

TEST(Safety, OrderListAcceptsNamesAndCallsOfNames) {
  for (const char* ok : {"", "lastname, firstname asc", "projectrank desc, datevalue(EstDateStarted)",
                         "[status.Description] DESC", "resource.lastname", "cdate(EstDateCompleted)"}) {
    EXPECT_NO_THROW(OrderList(Variant(ok))) << ok;
  }
  for (const char* bad : {"(select 1)", "name; drop table x", "name -- x", "name /* x */", "1",
                          "lastname,", "name desc asc", "len('x')", "a = 1", "id in (select id from x)",
                          "name'"}) {
    EXPECT_THROW(OrderList(Variant(bad)), SqlError) << bad;
  }
  EXPECT_EQ(OrderList(Variant("lastname, firstname asc")), "lastname, firstname asc");
}

TEST(Safety, RequireSingleStatement) {
  EXPECT_NO_THROW(RequireSingleStatement("select 1;"));
  EXPECT_NO_THROW(RequireSingleStatement("select ';' from x"));
  EXPECT_THROW(RequireSingleStatement("select 1; delete from x"), SqlError);
  EXPECT_THROW(RequireSingleStatement("select 1;;"), SqlError);
  EXPECT_THROW(RequireSingleStatement("select 'a"), SqlError);
}

TEST(Cache, KeyedByDialectTextAndSchemaVersion) {
  const std::string text = "select len(Title) from entries where ID = 1";
  auto a = TranslateCached(text, Dialect::TSql, CatalogueCatalog());
  auto b = TranslateCached(text, Dialect::TSql, CatalogueCatalog());
  EXPECT_EQ(a.get(), b.get());
  auto jet = TranslateCached(text, Dialect::Jet, CatalogueCatalog());
  EXPECT_NE(jet->text, a->text);  // len() differs between the dialects
  MemoryCatalog changed(999);
  changed.Add({"entries", {{"ID", ColumnType::Long}, {"Title", ColumnType::String}}});
  auto other = TranslateCached(text, Dialect::TSql, changed);
  EXPECT_NE(other.get(), a.get());
  EXPECT_THROW(TranslateCached("select from", Dialect::TSql, changed), SqlError);
}

TEST(Cache, BoundedAndSafeAcrossThreads) {
  const std::string first = "select ID from entries where ID = -1";
  auto kept = TranslateCached(first, Dialect::TSql, CatalogueCatalog());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 600; ++i) {
        const std::string s = "select ID from entries where ID = " + std::to_string(t * 1000 + i);
        auto r = TranslateCached(s, Dialect::TSql, CatalogueCatalog());
        if (r->text.find(std::to_string(t * 1000 + i)) == std::string::npos) ADD_FAILURE() << r->text;
      }
    });
  }
  for (auto& th : threads) th.join();
  // 2400 other statements later the first has been evicted: a fresh translation comes back.
  auto again = TranslateCached(first, Dialect::TSql, CatalogueCatalog());
  EXPECT_NE(again.get(), kept.get());
  EXPECT_EQ(again->text, kept->text);
}

// The fuzzing corpus replayed through the front end, so every build checks that none of
// the inputs found so far crashes it.
TEST(FuzzCorpus, ReplaysWithoutCrashing) {
  namespace fs = std::filesystem;
  const fs::path dir = KSMAIN_FUZZ_CORPUS;
  if (!fs::exists(dir)) GTEST_SKIP() << "no corpus at " << dir;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    for (Dialect d : {Dialect::Jet, Dialect::TSql}) {
      try {
        Translate(text, d, CatalogFor(d));
      } catch (const SqlError&) {
      }
    }
    try {
      OrderList(Variant(text));
    } catch (const SqlError&) {
    }
    ++files;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace ksmain::sql::testing
