// Every statement shape the members send runs, through the DataLink in its class's
// dialect, against databases made from the real schemas with the demo data, on each
// engine. On the server each statement also runs on an embedded twin made the same way,
// and the two must give the same rows with the same kinds (compared as sets of rows: rows
// that tie under a statement's ORDER BY may come in either order).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "data/datalink.h"
#include "data/pool.h"
#include "data/scratch_db.h"
#include "frame/vb_runtime.h"
#include "schema/schema.h"
#include "sql/member_statements.h"
#include "support/engines.h"

namespace ksmain {
namespace {

using testing::Engine;

// A statement's outcome as text: its rows (kind and value of each field), or its failure.
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
  schema::CreatePortfolioDatabase(portfolio, true);
  schema::CreateCatalogueDatabase(catalogue, true);
  std::unique_ptr<testing::ServerDatabase> server_portfolio, server_catalogue;
  if (GetParam() == Engine::Server) {
    server_portfolio = std::make_unique<testing::ServerDatabase>();
    server_catalogue = std::make_unique<testing::ServerDatabase>();
    schema::CreatePortfolioDatabase(server_portfolio->connect(), true);
    schema::CreateCatalogueDatabase(server_catalogue->connect(), true);
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

INSTANTIATE_TEST_SUITE_P(Engines, RealSchemas,
                         ::testing::Values(Engine::Embedded, Engine::Server), testing::EngineName);

}  // namespace
}  // namespace ksmain
