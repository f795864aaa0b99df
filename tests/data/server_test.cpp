// Server databases through the data layer: on each engine the kinds a recordset delivers,
// the rows a write changed and the failure a page sees when the database refuses a
// statement. (Which engine a connection string reaches: ResolveTest.)
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/connection_string.h"
#include "data/datalink.h"
#include "frame/vb_runtime.h"
#include "schema/schema.h"
#include "scratch_db.h"
#include "support/engines.h"
#include "support/raised.h"

namespace ksmain::data {
namespace {

using ksmain::testing::Engine;
using ksmain::testing::ScratchDir;

// One table in the embedded engine's DDL; the server's is made from it by the server
// schema's own translation, so a recordset must deliver the same kinds and values from the
// types both schemas really use.
constexpr std::string_view kKinds = R"sql(
CREATE TABLE kinds (
  ID INTEGER PRIMARY KEY, small SMALLINT, big INTEGER, ratio REAL, price MONEY, flag BIT,
  stamp DATETIME, name VARCHAR(50) COLLATE NOCASE
);
INSERT INTO kinds VALUES (1, 7, 70000, 2.5, 12.34, TRUE, '2026-12-06 14:05:09', 'Alpha');
INSERT INTO kinds VALUES (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO kinds VALUES (3, -3, -1, 0.125, 0, FALSE, '2026-12-06', '');
)sql";

class EngineData : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    KSMAIN_SKIP_WITHOUT_SERVER(GetParam());
    if (GetParam() == Engine::Server) {
      server_ = std::make_unique<ksmain::testing::ServerDatabase>();
      EngineDatabase::Open(server_->connect()).Script(schema::ServerDdl(kKinds, false));
      // As a page reaches it: a server name the deployment maps to the cluster.
      SetDataSource("pgkinds", server_->server());
      connect_ = "server=pgkinds;Database=" + server_->name();
    } else {
      connect_ = ksmain::testing::MakeDatabase(dir_.File("kinds.db"), kKinds);
    }
  }
  void TearDown() override {
    ResetPool();
    ClearDataSources();
  }
  ScratchDir dir_;
  std::unique_ptr<ksmain::testing::ServerDatabase> server_;
  std::string connect_;
};

// Every field of a row as "Kind text" (the runtime's kind name and CStr), or "Null".
TEST_P(EngineData, ValueKinds) {
  const std::pair<int, const char*> cases[] = {
      {1, "Integer 7, Long 70000, Double 2.5, Currency 12.34, Boolean True, Date 12/6/2026 2:05:09 PM, "
          "String Alpha"},
      {2, "Null, Null, Null, Null, Null, Null, Null"},
      {3, "Integer -3, Long -1, Double 0.125, Currency 0, Boolean False, Date 12/6/2026, String "},
  };
  for (const auto& [id, expected] : cases) {
    DataLink link(Variant(connect_), sql::Dialect::Jet);
    Recordset& rs = link.Query("SELECT small, big, ratio, price, flag, stamp, name FROM kinds WHERE ID = " +
                               std::to_string(id));
    ASSERT_FALSE(rs.AtEof());
    std::string fields;
    for (int i = 0; i < rs.FieldCount(); ++i) {
      const Variant v = rs.Field(i);
      fields += (i ? ", " : "") + (v.IsNull() ? std::string("Null") : KindName(v.kind()) + (" " + vb::CStr(v)));
    }
    EXPECT_EQ(fields, expected) << "ID " << id;
  }
}

// Texts of every length come back whole and exact, non-ASCII included, over more rows
// than one fetch takes, NULLs among them.
TEST_P(EngineData, TextsComeBackWhole) {
  const auto text_of = [](int id) -> std::optional<std::string> {
    if (id % 10 == 0) return std::nullopt;
    std::string text;
    for (int k = 0; k < id * id; ++k) text += "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80-";  // aé日😀-
    return text;
  };
  constexpr int kRows = 75;
  Connection connection(sql::Dialect::Jet);
  connection.Open(connect_);
  for (int id = 100; id < 100 + kRows; ++id) {
    const auto text = text_of(id - 100 + 1);
    connection.Execute("INSERT INTO kinds (ID, name) VALUES (" + std::to_string(id) + ", " +
                       (text ? "'" + *text + "'" : std::string("NULL")) + ")");
  }
  connection.Close();
  DataLink link(Variant(connect_), sql::Dialect::Jet);
  Recordset& rs = link.Query("SELECT ID, name FROM kinds WHERE ID >= 100 ORDER BY ID");
  int seen = 0;
  for (; !rs.AtEof(); rs.MoveNext(), ++seen) {
    const int n = seen + 1;
    SCOPED_TRACE("row " + std::to_string(n));
    EXPECT_EQ(vb::CLng(rs.Field("ID")), 99 + n);
    const Variant v = rs.Field("name");
    const auto text = text_of(n);
    if (!text) {
      EXPECT_EQ(v.kind(), VarKind::Null);
      continue;
    }
    ASSERT_EQ(v.kind(), VarKind::String);
    EXPECT_EQ(v.AsString().size(), text->size());
    EXPECT_TRUE(v.AsString() == *text);
  }
  EXPECT_EQ(seen, kRows);
}

TEST_P(EngineData, RowsAffected) {
  struct Case {
    const char* statement;
    long affected;
  };
  const Case cases[] = {
      /* 1 */ {"UPDATE kinds SET name = 'x' WHERE ID > 1", 2},
      /* 2 */ {"UPDATE kinds SET name = 'x' WHERE ID = 99", 0},
      /* 3 */ {"INSERT INTO kinds (ID, name) VALUES (4, 'four')", 1},
      /* 4 */ {"DELETE FROM kinds WHERE name = 'X'", 2},  // text compares without case
      /* 5 */ {"DELETE FROM kinds", 2},
  };
  Connection connection(sql::Dialect::Jet);
  connection.Open(connect_);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    Variant affected;
    connection.Execute(cases[i].statement, &affected);
    EXPECT_EQ(affected.kind(), VarKind::Long);
    EXPECT_EQ(vb::CLng(affected), cases[i].affected);
  }
  connection.Close();
}

// A statement the database refuses ends with a database error whose description is the
// database's own message, so a page's trap shows what went wrong.
TEST_P(EngineData, RefusalCarriesTheDatabaseMessage) {
  Connection connection(sql::Dialect::Jet);
  connection.Open(connect_);
  const auto refused =
      ksmain::testing::RaisedBy([&] { connection.Execute("INSERT INTO kinds (ID, name) VALUES (1, 'again')"); });
  EXPECT_NE(refused.description.find(ksmain::testing::DuplicateKeyMessage(GetParam())), std::string::npos)
      << "a second row with key 1: " << refused.description;
  // The connection stays usable after the failure.
  Variant affected;
  connection.Execute("UPDATE kinds SET name = 'y' WHERE ID = 1", &affected);
  EXPECT_EQ(vb::CLng(affected), 1);
  connection.Close();
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineData, ::testing::Values(Engine::Embedded, Engine::Server),
                         ksmain::testing::EngineName);

}  // namespace
}  // namespace ksmain::data
