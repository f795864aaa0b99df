// Both databases: creation, the demo data's consistency, the catalogue's listing
// procedures, and every statement shape the members send, read through the data layer as
// the members read them.
#include "schema/schema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

#include "data/datalink.h"
#include "data/engine_admin.h"
#include "data/pool.h"
#include "data/scratch_db.h"
#include "frame/vb_runtime.h"
#include "sql/member_statements.h"
#include "support/engines.h"
#include "support/raised.h"

namespace ksmain::schema {
namespace {

using testing::ColumnOf;
using testing::Engine;
using testing::ScalarOf;

class SchemaTest : public ::testing::Test {
 protected:
  std::string File(const char* name) const { return dir_.File(name); }
  testing::ScratchDir dir_;
};

TEST_F(SchemaTest, CreateRefusesExistingContent) {
  const std::string path = File("p.db");
  CreatePortfolioDatabase(path, false);
  EXPECT_THROW(CreatePortfolioDatabase(path, false), VbError);
  EXPECT_THROW(CreateCatalogueDatabase(path, false), VbError);
  const std::string empty = File("empty.db");
  std::ofstream(empty).close();
  EXPECT_NO_THROW(CreateCatalogueDatabase(empty, false));
  EXPECT_EQ(ScalarOf("Data Source=" + empty, sql::Dialect::TSql, "select count(*) from entries"),
            Variant(0));
}

TEST_F(SchemaTest, PortfolioDemo) {
  const std::string path = File("portfolio.db");
  CreatePortfolioDatabase(path, true);
  const std::string connect = "Data Source=" + path;
  const auto jet = sql::Dialect::Jet;
  struct Case {
    const char* query;
    Variant expected;
  } cases[] = {
      {"select count(*) from projectmaster", Variant(40)},
      {"select description from status where id = 2", Variant("Closed")},
      {"select description from status where id = 6", Variant("Deleted")},
      {"select count(*) from resource where firstname = 'Unassigned'", Variant(1)},
      // Every project has steps, and every step and owner refers to an existing row.
      {"select count(*) from projectmaster where id not in (select projectid from projectsteps)", Variant(0)},
      {"select count(*) from projectsteps where resourceid not in (select id from resource)", Variant(0)},
      {"select sum(noofprojects) from resource", Variant(40)},
      {"select count(*) > 0 from projectsteps where status = 2", Variant(true)},
      {"select count(*) > 0 from kaizenresults", Variant(true)},
      {"select count(*) > 0 from projectreviseddates", Variant(true)},
      // Eight review meetings (how their dates read and sort is the meeting lists' concern).
      {"select count(*) from (select distinct cdate(PlannedReviewDate), ActualReviewDate from attendees)", Variant(8)},
  };
  for (const Case& c : cases) EXPECT_EQ(ScalarOf(connect, jet, c.query), c.expected) << c.query;
}

// The demo grows by generated projects numbered on from those already there: the same rows
// for the same database and count, on either engine.
class DemoGrowth : public ::testing::TestWithParam<Engine> {};

TEST_P(DemoGrowth, IsDeterministicAndNumbersOn) {
  KSMAIN_SKIP_WITHOUT_SERVER(GetParam());
  testing::ScratchDir dir;
  std::vector<std::unique_ptr<testing::ServerDatabase>> servers;
  std::vector<std::vector<std::vector<Variant>>> projects;
  for (const char* name : {"a.db", "b.db"}) {
    if (GetParam() == Engine::Server) servers.push_back(std::make_unique<testing::ServerDatabase>());
    const std::string connect = servers.empty() ? dir.File(name) : servers.back()->connect();
    CreatePortfolioDatabase(connect, true);
    AddDemoProjects(connect, 60);
    auto db = data::EngineDatabase::Open(connect);
    EXPECT_EQ(vb::CLng(db.Scalar("select count(distinct id) from projectmaster where id between 1 and 100")), 100);
    projects.push_back(db.Rows("select id, nameofproject, projectrank from projectmaster order by id"));
    EXPECT_EQ(projects.back().size(), 100u);
  }
  EXPECT_EQ(projects[0], projects[1]);
}

KSMAIN_ON_BOTH_ENGINES(DemoGrowth);

class CatalogueTest : public SchemaTest {
 protected:
  void SetUp() override {
    CreateCatalogueDatabase(File("veldaSQL.db"), true);
    data::SetDataSource("cataloguehost", dir_.dir());
    connect_ = "uid=sa;pwd=;driver={SQL Server};server=cataloguehost;Database=veldaSQL;dsn=,,connection=adConnectAsync";
  }
  void TearDown() override { data::ClearDataSources(); }
  std::string connect_;
};

TEST_F(CatalogueTest, EntryCountsMatchEntries) {
  const auto tsql = sql::Dialect::TSql;
  const Variant total = ScalarOf(connect_, tsql, "select count(*) from entries");
  EXPECT_GE(total.AsLong(), 300);
  EXPECT_EQ(ScalarOf(connect_, tsql, "select sum(entrycnt) as NumEntries from entrycounts"), total);
  // Per category and per first subcategory, as the category pages sum them.
  auto places = ColumnOf(connect_, tsql, "select distinct subcategoryid1 from entrycounts", "subcategoryid1");
  for (const Variant& sub1 : places) {
    const std::string key = vb::CStr(sub1);
    const Variant cat = ScalarOf(connect_, tsql, "select linkid from subcategory1 where id = " + key);
    EXPECT_EQ(ScalarOf(connect_, tsql,
                     "select sum(entryCNT) as NumEntries from entrycounts where categoryid = '" +
                         vb::CStr(cat) + "'  and subcategoryid1 = '" + key + "'"),
              ScalarOf(connect_, tsql, "select count(*) from entries where subcategoryid1 = " + key));
  }
  // All seven levels are in use.
  EXPECT_GT(ScalarOf(connect_, tsql, "select count(*) from entries where subcategoryid6 is not null").AsLong(), 0);
  EXPECT_GT(ScalarOf(connect_, tsql, "select count(*) from clients").AsLong(), 0);
  EXPECT_GT(ScalarOf(connect_, tsql, "select count(*) from navigation").AsLong(), 0);
}

// The listing procedures give the rows the same conditions give asked of the table itself;
// a call they do not take (an unknown name, too few or too many arguments) fails as a
// database error.
TEST_F(CatalogueTest, ListingProceduresFilterByPlaceYearAndLevel) {
  const auto tsql = sql::Dialect::TSql;
  auto expected_ids = [&](const std::string& where) {
    return ColumnOf(connect_, tsql,
                  "select ID from entries where activeind = 'Y' and getdate() <= expiredate " + where +
                      " order by title, id",
                  "ID");
  };
  struct Case {
    std::string call;
    const char* where;  // nullptr: the call fails
  };
  const Case cases[] = {
      /* 1 */ {"VeldaSQL..ESP_SP_Get_Entries_List '1', '','', '', '', '','',''", "and categoryid = 1"},
      /* 2 */ {"VeldaSQL..ESP_SP_Get_Entries_List '1', '','', '', '', '','','2005'",
               "and categoryid = 1 and 2005 between beg_year and end_year"},
      /* 3 */ {"VeldaSQL..ESP_SP_Get_Entries_List '2', '4','', '', '', '','','2010'",
               "and categoryid = 2 and subcategoryid1 = 4 and 2010 between beg_year and end_year"},
      /* 4 */ {"VeldaSQL..ESP_SP_Get_Entries_List_level '1', '','', '', '', '','','2005','1'",
               "and categoryid = 1 and 2005 between beg_year and end_year and Level1PromotionFlag = 'Y'"},
      /* 5 */ {"VeldaSQL..ESP_SP_Get_Entries_List_level '1', '','', '', '', '','','2005','2'",
               "and categoryid = 1 and 2005 between beg_year and end_year"},
      /* 6 */ {"VeldaSQL..ESP_SP_Get_Entries_List '', '','', '', '', '','',''", ""},
      /* 7 */ {"VeldaSQL..ESP_SP_Get_Entries_List '999', '','', '', '', '','',''", "and categoryid = 999"},
      /* 8 */ {"VeldaSQL..ESP_SP_Nothing_Like_It '1'", nullptr},
      /* 9 */ {"VeldaSQL..ESP_SP_Get_Entries_List '1', '2'", nullptr},
      /* 10 */ {"VeldaSQL..ESP_SP_Get_Entries_List '1', '','', '', '', '','','2005','1','extra'", nullptr},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    const Case& c = cases[i];
    if (c.where == nullptr) {
      EXPECT_EQ(testing::ErrorOf([&] { ColumnOf(connect_, tsql, c.call, "id"); }), err::kDatabaseError);
    } else {
      EXPECT_EQ(ColumnOf(connect_, tsql, c.call, "id"), expected_ids(c.where));
    }
  }
  // The inactive and expired demo entries exist and are left out of the full listing.
  EXPECT_LT(ColumnOf(connect_, tsql, cases[5].call, "id").size(),
            static_cast<std::size_t>(ScalarOf(connect_, tsql, "select count(*) from entries").AsLong()));
}

// Every statement shape the members send runs, through the DataLink in its class's
// dialect, against databases made from the real schemas with the demo data, on each
// engine. On the server each statement also runs on an embedded twin made the same way,
// and the two must give the same rows with the same kinds (compared as sets of rows: rows
// that tie under a statement's ORDER BY may come in either order). A statement's outcome
// is its rows as text (kind and value of each field), or its failure.
std::vector<std::string> Outcome(const std::string& connect, const sql::testing::MemberStatement& m) {
  std::vector<std::string> rows;
  try {
    data::Connection connection(m.dialect);
    connection.Open(connect);
    std::unique_ptr<data::Recordset> rs = connection.Execute(m.text);
    if (rs->IsOpen()) {
      for (; !rs->AtEof(); rs->MoveNext()) {
        std::string row;
        for (int i = 0; i < rs->FieldCount(); ++i) {
          const Variant v = rs->Field(i);
          row += std::string(KindName(v.kind())) + ":";
          if (v.kind() != VarKind::Null && v.kind() != VarKind::Empty) row += vb::CStr(v);
          row += "|";
        }
        rows.push_back(std::move(row));
      }
    }
    connection.Close();
  } catch (const VbError& e) {
    // The engines word their failures differently; that one failed is what must agree.
    rows.push_back("error");
    if (std::getenv("KSMAIN_TEST_VERBOSE")) std::fprintf(stderr, "%s\n", e.description().c_str());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

class RealSchemas : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override { KSMAIN_SKIP_WITHOUT_SERVER(GetParam()); }
  void TearDown() override { data::ResetPool(); }
};

TEST_P(RealSchemas, EveryMemberStatementShapeRunsWithTheSameRowsOnEachEngine) {
  const testing::ScratchDir dir;
  const std::string portfolio = dir.File("portfolio.db"), catalogue = dir.File("veldaSQL.db");
  CreatePortfolioDatabase(portfolio, true);
  CreateCatalogueDatabase(catalogue, true);
  std::unique_ptr<testing::ServerDatabase> server_portfolio, server_catalogue;
  if (GetParam() == Engine::Server) {
    server_portfolio = std::make_unique<testing::ServerDatabase>();
    server_catalogue = std::make_unique<testing::ServerDatabase>();
    CreatePortfolioDatabase(server_portfolio->connect(), true);
    CreateCatalogueDatabase(server_catalogue->connect(), true);
  }
  int ran = 0;
  int with_rows = 0;
  for (const sql::testing::MemberStatement& m : sql::testing::MemberStatements()) {
    SCOPED_TRACE(std::string(m.member) + ": " + m.text);
    const bool jet = m.dialect == sql::Dialect::Jet;
    const std::string embedded = "Data Source=" + (jet ? portfolio : catalogue);
    const std::vector<std::string> expected = Outcome(embedded, m);
    EXPECT_TRUE(expected.empty() || expected[0] != "error");
    if (GetParam() == Engine::Server && !testing::ServerDiffers(m.member)) {
      const std::string server = (jet ? server_portfolio : server_catalogue)->connect();
      EXPECT_EQ(Outcome(server, m), expected);
    }
    ++ran;
    if (!expected.empty()) ++with_rows;
  }
  EXPECT_GT(ran, 50);
  EXPECT_GT(with_rows, 20);  // the demo data gives most shapes rows to compare
}

KSMAIN_ON_BOTH_ENGINES(RealSchemas);

}  // namespace
}  // namespace ksmain::schema
