// Literal values as engine parameters: texts that differ only in their values share one
// translation, texts whose values shape the statement do not, and a value that does not
// convert fails a shape already cached exactly as it fails a fresh translation.
#include <gtest/gtest.h>

#include "sql_fixture.h"

namespace ksmain::sql::testing {
namespace {

constexpr Dialect kJet = Dialect::Jet;
constexpr Dialect kTSql = Dialect::TSql;

BoundStatement Bind(std::string_view text, Dialect d = kJet) { return TranslateBound(text, d, CatalogFor(d)); }

// Pairs of texts: `shared` when their values are only values, else the value changes the
// statement (a limit, a sort position, a column name, a number's kind) and they must not
// share a translation.
TEST(Parameters, TextsShareATranslationOnlyWhenTheyDifferInValuesAlone) {
  struct Case {
    const char* n;
    const char* a;
    const char* b;
    bool shared;
    Dialect d = kJet;
  } cases[] = {
      {"share-1.1 key", "SELECT NameOfProject FROM ProjectMaster WHERE ID = 1",
       "SELECT NameOfProject FROM ProjectMaster WHERE ID = 467", true},
      {"share-1.2 text and like pattern", "select ID from Resource where LastName = 'a' and FirstName like 'b%'",
       "select ID from Resource where LastName = 'o''neil' and FirstName like ''", true},
      {"share-1.3 date text compared with a date", "select ID from ProjectMaster where EstDateStarted > '1/1/2026'",
       "select ID from ProjectMaster where EstDateStarted > 'Jan 6, 2026 3:00 PM'", true},
      {"share-1.4 date write, empty and not", "update ProjectMaster set EstDateStarted = '' where ID = 1",
       "update ProjectMaster set EstDateStarted = '2/3/2026' where ID = 2", true},
      {"share-1.5 #date#", "select ID from ProjectMaster where EstDateStarted < #1/1/2026#",
       "select ID from ProjectMaster where EstDateStarted < #12/31/2027 11:00 PM#", true},
      {"share-1.6 real numbers", "select ID from ProjectMaster where PercentCompleted > 0.5",
       "select ID from ProjectMaster where PercentCompleted > 1E+3", true},
      {"pin-2.1 TOP", "select top 5 ID from ProjectMaster", "select top 6 ID from ProjectMaster", false},
      {"pin-2.2 ORDER BY position", "select ID, NameOfProject from ProjectMaster order by 1",
       "select ID, NameOfProject from ProjectMaster order by 2", false},
      {"pin-2.3 GROUP BY position", "select Status, count(*) from ProjectMaster group by 1",
       "select Status, count(*) from ProjectMaster group by 2", false},
      {"pin-2.4 alias written as a text", "select ID as 'a' from entries", "select ID as 'b' from entries", false, kTSql},
      {"pin-2.5 integer and real kinds", "select ID + 1 from ProjectMaster", "select ID + 1.5 from ProjectMaster", false},
      {"pin-2.6 32-bit and larger integers", "select ID from ProjectMaster where ID = 2147483647",
       "select ID from ProjectMaster where ID = 2147483648", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    const Dialect d = c.d;
    const BoundStatement a = Bind(c.a, d);
    const BoundStatement b = Bind(c.b, d);
    EXPECT_EQ(a.translation == b.translation, c.shared) << a.engine_text() << "\n" << b.engine_text();
    // Whichever came first, each text gets the translation of its own values.
    EXPECT_EQ(Bind(c.a, d).translation->columns.size(), Translate(c.a, d, CatalogFor(d)).columns.size());
    if (!c.shared) {
      EXPECT_EQ(Bind(c.b, d).engine_text(), Translate(c.b, d, CatalogFor(d)).parameterised_text);
    }
  }
}

TEST(Parameters, ValuesAreBoundWithTheirConversions) {
  struct Case {
    const char* n;
    const char* text;
    std::vector<BoundValue> values;
  } cases[] = {
      {"bind-1.1 integer, text", "select ID from Resource where ID = 7 and LastName = 'it''s'",
       {std::int64_t{7}, std::string("it's")}},
      {"bind-1.2 numbers keep the engine's reading", "select ID from ProjectMaster where ID in (3000000000, 2.50, 1e2, 007)",
       {std::int64_t{3000000000}, 2.5, 100.0, std::int64_t{7}}},
      {"bind-1.3 dates", "select ID from ProjectMaster where EstDateStarted between '1/5/2026 12:30 PM' and #2/3/2026#",
       {std::string("2026-01-05 12:30:00"), std::string("2026-02-03")}},
      {"bind-1.4 empty text into a date column", "update ProjectMaster set EstDateStarted = '', NameOfProject = '' where ID = 1",
       {std::monostate{}, std::string(), std::int64_t{1}}},
      {"bind-1.5 cdate and datevalue", "select cdate('1/5/2026 6:00 PM'), datevalue('1/5/2026 6:00 PM'), datevalue(#1/5/2026 6:00 PM#)",
       {std::string("2026-01-05 18:00:00"), std::string("2026-01-05"), std::string("2026-01-05")}},
      {"bind-1.6 sort and limit stay written out", "select top 3 ID, 'x' from ProjectMaster where ID > 1 order by 2, iif(ID = 4, 0, 1)",
       {std::string("x"), std::int64_t{1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    // Twice: the first fills the cache, the second is served from it.
    for (int pass = 0; pass < 2; ++pass) {
      const BoundStatement b = Bind(c.text);
      EXPECT_TRUE(b.parameterised);
      EXPECT_EQ(b.values, c.values) << b.engine_text();
    }
  }
  EXPECT_EQ(Bind("select top 3 ID, 'x' from ProjectMaster where ID > 1 order by 2").engine_text(),
            "SELECT ID AS \"ID\", ?1 AS \"Expr1001\" FROM ProjectMaster WHERE ID > ?2 ORDER BY 2 LIMIT 3");
}

// A text the cache has seen the shape of, with a value that does not convert, fails with
// the same error at the same position as a fresh translation of that text.
TEST(Parameters, BadValuesFailACachedShapeLikeAFreshTranslation) {
  struct Case {
    const char* n;
    const char* good;
    const char* bad;
  } cases[] = {
      {"bad-1.1 text into a date column", "update ProjectMaster set EstDateStarted = '1/1/2026' where ID = 1",
       "update ProjectMaster set EstDateStarted = 'next week' where ID = 12345"},
      {"bad-1.2 text compared with a date", "select ID from ProjectMaster where NameOfProject = 'a' and EstDateStarted > '1/1/2026'",
       "select ID from ProjectMaster where NameOfProject = 'longer name' and EstDateStarted > 'soon'"},
      {"bad-1.3 #date#", "select ID from ProjectMaster where EstDateStarted = #1/1/2026#",
       "select ID from ProjectMaster where EstDateStarted = #soon#"},
      {"bad-1.4 empty cdate", "select ID from ProjectMaster where cdate(EstDateStarted) between cdate('1/1/2026') and cdate('1/2/2026')",
       "select ID from ProjectMaster where cdate(EstDateStarted) between cdate('') and cdate('1/2/2026')"},
      {"bad-1.5 the first bad value in analysis order", "select ID from ProjectMaster where EstDateStarted > '1/1/2026' or ReviewDate < '1/1/2026'",
       "select ID from ProjectMaster where EstDateStarted > 'one' or ReviewDate < 'two'"},
      {"bad-1.6 in a join condition before the select list",
       "select P.ID, (select count(*) from ProjectMaster where ReviewDate = '1/1/2026') from ProjectMaster as P inner join Resource on P.EstDateStarted = '1/1/2026'",
       "select P.ID, (select count(*) from ProjectMaster where ReviewDate = 'one') from ProjectMaster as P inner join Resource on P.EstDateStarted = 'two'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    ASSERT_NO_THROW(Bind(c.good));
    std::string expected_message;
    std::size_t expected_position = 0;
    try {
      Translate(c.bad, kJet, PortfolioCatalog());
      ADD_FAILURE() << "fresh translation accepted it";
    } catch (const SqlError& e) {
      expected_message = e.description();
      expected_position = e.position();
    }
    try {
      Bind(c.bad);
      ADD_FAILURE() << "cached shape accepted it";
    } catch (const SqlError& e) {
      EXPECT_EQ(e.description(), expected_message);
      EXPECT_EQ(e.position(), expected_position);
    }
  }
}

// The text a capped list is counted with: the statement without its own ORDER BY (whose
// literals are written out, so every parameter stays before the cut); a subquery's kept.
TEST(Parameters, UnsortedTextEndsBeforeTheOutermostSort) {
  struct Case {
    const char* n;
    const char* text;
    const char* sort;  // what is cut off
  } cases[] = {
      {"unsorted-1.1 no sort", "select ID from ProjectMaster where ID > 3", ""},
      {"unsorted-1.2 sort by position", "select ID from ProjectMaster where ID > 3 order by 1",
       " ORDER BY 1"},
      {"unsorted-1.3 subquery sorted, outer not",
       "select ID from ProjectMaster where ID in (select top 1 ID from ProjectMaster order by 1)",
       ""},
      {"unsorted-1.4 both sorted",
       "select ID from ProjectMaster where ID in (select top 1 ID from ProjectMaster order by "
       "ID desc) order by datevalue(EstDateStarted)",
       " ORDER BY ks_datevalue(EstDateStarted)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    for (bool parameterised : {false, true}) {
      BoundStatement bound = Bind(c.text);
      bound.parameterised = parameterised;
      const std::string_view unsorted = bound.unsorted_engine_text();
      ASSERT_TRUE(bound.engine_text().starts_with(unsorted));
      EXPECT_EQ(bound.engine_text().substr(unsorted.size()), c.sort);
    }
  }
}

}  // namespace
}  // namespace ksmain::sql::testing
