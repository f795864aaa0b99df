// Connection strings: parsing, and resolution to database files through paths and the
// data-source table.
#include "data/connection_string.h"

#include <gtest/gtest.h>

#include "data/datalink.h"
#include "ksmain/error.h"
#include "scratch_db.h"

namespace ksmain::data {
namespace {

using ksmain::testing::MakeDatabase;
using ksmain::testing::ScratchDir;

TEST(ConnectionStringTest, Parse) {
  using Keys = std::map<std::string, std::string>;
  struct Case {
    const char* text;
    Keys expected;
  };
  const Case cases[] = {
      /* 1 */ {"", {}},
      /* 2 */ {"Data Source=/tmp/p.db", {{"data source", "/tmp/p.db"}}},
      /* 3 */ {"  DATA source =  /tmp/p.db  ;", {{"data source", "/tmp/p.db"}}},
      /* 4 */ {"uid=sa;pwd=;driver={SQL Server};server=dbhost;Database=veldaSQL;dsn=,,connection=adConnectAsync",
               {{"uid", "sa"}, {"pwd", ""}, {"driver", "SQL Server"}, {"server", "dbhost"},
                {"database", "veldaSQL"}, {"dsn", ",,connection=adConnectAsync"}}},
      /* 5 */ {"DBQ={/tmp/a;b.mdb};x=1", {{"dbq", "/tmp/a;b.mdb"}, {"x", "1"}}},
      /* 6 */ {"pwd={a}}b};user=u", {{"pwd", "a}b"}, {"user", "u"}}},
      /* 7 */ {";;junk;a=1;A=2", {{"a", "2"}}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    EXPECT_EQ(ParseConnectionString(cases[i].text), cases[i].expected);
  }
}

class ResolveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDatabase(dir_.File("veldaSQL.db"), "CREATE TABLE t (x)");
    MakeDatabase(dir_.File("portfolio.db"), "CREATE TABLE t (x)");
    ClearDataSources();
    SetDataSource("DbHost", dir_.dir());
  }
  void TearDown() override { ClearDataSources(); }
  ScratchDir dir_;
};

TEST_F(ResolveTest, ResolvesPathsAndServers) {
  struct Case {
    std::string text;
    std::string path;  // empty: must fail
  };
  const std::string velda = dir_.File("veldaSQL.db");
  const std::string portfolio = dir_.File("portfolio.db");
  const Case cases[] = {
      /* 1 */ {"Data Source=" + portfolio, portfolio},
      /* 2 */ {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + portfolio, portfolio},
      /* 3 */ {"Driver={Microsoft Access Driver (*.mdb)};DBQ=" + portfolio, portfolio},
      /* 4 */ {"Database=" + portfolio, portfolio},
      /* 5 */ {"uid=sa;pwd=;driver={SQL Server};server=dbhost;Database=veldaSQL;dsn=,,connection=adConnectAsync", velda},
      /* 6 */ {"server=DBHOST;database=VELDASQL", velda},
      /* 7 */ {"Data Source=dbhost;Initial Catalog=Portfolio", portfolio},
      /* 8 */ {"server=elsewhere;Database=veldaSQL", ""},
      /* 9 */ {"server=dbhost;Database=nosuch", ""},
      /* 10 */ {"server=dbhost", ""},
      /* 11 */ {"Data Source=" + dir_.File("missing.db"), ""},
      /* 12 */ {"", ""},
      /* 13 */ {"   ;  ", ""},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    if (cases[i].path.empty()) {
      try {
        ResolveConnectionString(cases[i].text);
        FAIL() << "resolved";
      } catch (const VbError& e) {
        EXPECT_EQ(e.number(), err::kDatabaseError);
      }
    } else {
      EXPECT_EQ(ResolveConnectionString(cases[i].text).path, cases[i].path);
    }
  }
}

// The resolution cache must not outlive a change of the data-source table.
TEST_F(ResolveTest, DataSourceChangesTakeEffect) {
  const std::string text = "server=dbhost;Database=veldaSQL";
  EXPECT_NO_THROW(ResolveConnectionString(text));
  ClearDataSources();
  EXPECT_THROW(ResolveConnectionString(text), VbError);
  SetDataSource("dbhost", dir_.dir() + "/");
  EXPECT_EQ(ResolveConnectionString(text).path, dir_.File("veldaSQL.db"));
}

TEST(CatalogueHostTest, DefaultsToLocalhost) {
  EXPECT_EQ(CatalogueHost(), "localhost");
  SetCatalogueHost("dbhost");
  EXPECT_EQ(CatalogueHost(), "dbhost");
  SetCatalogueHost("localhost");
}

}  // namespace
}  // namespace ksmain::data
