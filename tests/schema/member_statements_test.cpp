// Every statement shape the members send runs, through the DataLink in its class's
// dialect, against databases made from the real schemas (no rows needed: the engine
// prepares and runs each one against the declared tables and columns).
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "data/datalink.h"
#include "data/pool.h"
#include "schema/schema.h"
#include "sql/member_statements.h"

namespace ksmain {
namespace {

TEST(RealSchemas, EveryMemberStatementShapeRuns) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("ksmain-real-schemas-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string portfolio = (dir / "portfolio.db").string();
  const std::string catalogue = (dir / "veldaSQL.db").string();
  schema::CreatePortfolioDatabase(portfolio, false);
  schema::CreateCatalogueDatabase(catalogue, false);
  int ran = 0;
  for (const sql::testing::MemberStatement& m : sql::testing::MemberStatements()) {
    const bool jet = m.dialect == sql::Dialect::Jet;
    data::Connection connection(m.dialect);
    connection.Open("Data Source=" + (jet ? portfolio : catalogue));
    EXPECT_NO_THROW(connection.Execute(m.text)) << m.member << ": " << m.text;
    connection.Close();
    ++ran;
  }
  EXPECT_GT(ran, 50);
  data::ResetPool();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ksmain
