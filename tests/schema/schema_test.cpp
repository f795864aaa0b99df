// Both databases: creation, the demo data's consistency, and the catalogue's listing
// procedures, read through DataLink as the members read them.
#include "schema/schema.h"

#include <gtest/gtest.h>

#include <fstream>

#include "data/engine_admin.h"
#include "data/scratch_db.h"
#include "frame/vb_runtime.h"
#include "support/engines.h"
#include "support/raised.h"

namespace ksmain::schema {
namespace {

using testing::ColumnOf;
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
  };
  for (const Case& c : cases) EXPECT_EQ(ScalarOf(connect, jet, c.query), c.expected) << c.query;
  // Eight review meetings (how their dates read and sort is the meeting lists' concern).
  EXPECT_EQ(ColumnOf(connect, jet,
                   "SELECT distinct cdate(PlannedReviewDate) as p, ActualReviewDate FROM Attendees", "p")
                .size(),
            8u);
}

TEST_F(SchemaTest, DemoIsDeterministicAndGrows) {
  const std::string a = File("a.db");
  const std::string b = File("b.db");
  CreatePortfolioDatabase(a, true);
  CreatePortfolioDatabase(b, true);
  AddDemoProjects(a, 60);
  AddDemoProjects(b, 60);
  const char* digest =
      "select count(*) || ':' || total(projectrank) || ':' || group_concat(nameofproject, '|') "
      "from projectmaster";
  auto da = data::EngineDatabase::Open(a).Scalar(digest);
  auto db = data::EngineDatabase::Open(b).Scalar(digest);
  EXPECT_EQ(da, db);
  EXPECT_EQ(data::EngineDatabase::Open(a).Scalar("select count(*) from projectmaster"), Variant(100));
}

// The demo grows on a server too, numbering on from the projects already there.
TEST(ServerSchemaTest, DemoGrowsOnAServer) {
  std::string why;
  if (!testing::ServerString(&why)) GTEST_SKIP() << why;
  testing::ServerDatabase server;
  CreatePortfolioDatabase(server.connect(), true);
  AddDemoProjects(server.connect(), 60);
  auto db = data::EngineDatabase::Open(server.connect());
  EXPECT_EQ(db.Scalar("select cast(count(distinct id) as integer) from projectmaster where id between 1 and 100"),
            Variant(100));
}

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
    std::string where;
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
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    EXPECT_EQ(ColumnOf(connect_, tsql, cases[i].call, "id"), expected_ids(cases[i].where));
  }
  // The inactive and expired demo entries exist and are left out of the full listing.
  EXPECT_LT(ColumnOf(connect_, tsql, cases[5].call, "id").size(),
            static_cast<std::size_t>(ScalarOf(connect_, tsql, "select count(*) from entries").AsLong()));
}

TEST_F(CatalogueTest, ProcedureCallErrors) {
  const char* calls[] = {
      "VeldaSQL..ESP_SP_Nothing_Like_It '1'",
      "VeldaSQL..ESP_SP_Get_Entries_List '1', '2'",
      "VeldaSQL..ESP_SP_Get_Entries_List '1', '','', '', '', '','','2005','1','extra'",
  };
  for (const char* call : calls) {
    SCOPED_TRACE(call);
    data::DataLink link(Variant(connect_), sql::Dialect::TSql);
    EXPECT_EQ(testing::ErrorOf([&] { link.Query(call); }), err::kDatabaseError);
  }
}

}  // namespace
}  // namespace ksmain::schema
