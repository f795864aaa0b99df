// Pooling, statement reuse, schema changes seen across connections, and several threads
// writing and reading one database at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "data/datalink.h"
#include "data/pool.h"
#include "frame/vb_runtime.h"
#include "scratch_db.h"

namespace ksmain::data {
namespace {

using ksmain::testing::MakeDatabase;
using ksmain::testing::ScratchDir;

TEST(PoolTest, RepeatedCallsReuseAHandfulOfSessions) {
  ScratchDir dir;
  const std::string connect =
      MakeDatabase(dir.File("p.db"), "CREATE TABLE t (ID INTEGER PRIMARY KEY, v); INSERT INTO t VALUES (1, 'a');");
  ResetPool();
  for (int i = 0; i < 1000; ++i) {
    DataLink link(Variant(connect), sql::Dialect::Jet);
    ASSERT_EQ(link.Query("SELECT v FROM t WHERE ID = 1").Field("v"), Variant("a"));
    if (i % 2 == 0) link.Close();  // half released without an explicit close, as members do
  }
  PoolStatistics stats = GetPoolStatistics();
  EXPECT_LE(stats.opened, 2u);
  EXPECT_GE(stats.reused, 998u);

  // Two links open at once need two sessions; both come back to the pool.
  {
    DataLink a(Variant(connect), sql::Dialect::Jet);
    DataLink b(Variant(connect), sql::Dialect::Jet);
    a.Query("SELECT v FROM t");
    b.Query("SELECT v FROM t");
  }
  EXPECT_EQ(GetPoolStatistics().idle, 2u);
}

// A statement still open on a recordset when another runs on the same connection must not
// share its prepared statement.
TEST(PoolTest, SameTextTwiceOnOneConnection) {
  ScratchDir dir;
  const std::string connect = MakeDatabase(
      dir.File("p.db"), "CREATE TABLE t (ID INTEGER PRIMARY KEY); INSERT INTO t VALUES (1); INSERT INTO t VALUES (2);");
  Connection connection(sql::Dialect::Jet);
  connection.Open(connect);
  auto first = connection.Execute("SELECT ID FROM t ORDER BY ID");
  auto second = connection.Execute("SELECT ID FROM t ORDER BY ID");
  first->MoveNext();
  EXPECT_EQ(first->Field("ID"), Variant(2));
  EXPECT_EQ(second->Field("ID"), Variant(1));
}

TEST(PoolTest, SchemaChangeByAnotherConnectionIsSeen) {
  ScratchDir dir;
  const std::string path = dir.File("p.db");
  const std::string connect = MakeDatabase(path, "CREATE TABLE t (ID INTEGER PRIMARY KEY, v TEXT); INSERT INTO t VALUES (1, '2026-12-06');");
  {
    DataLink link(Variant(connect), sql::Dialect::Jet);
    EXPECT_EQ(link.Query("SELECT v FROM t").Field("v"), Variant("2026-12-06"));
  }
  // Another connection turns the column into a date column and adds a table.
  {
    EngineDatabase other = EngineDatabase::Open(path);
    other.Script(
        "CREATE TABLE t2 (ID INTEGER PRIMARY KEY, v DATETIME); INSERT INTO t2 SELECT * FROM t; "
        "DROP TABLE t; ALTER TABLE t2 RENAME TO t; CREATE TABLE extra (x INTEGER); "
        "INSERT INTO extra VALUES (42);");
  }
  DataLink link(Variant(connect), sql::Dialect::Jet);
  EXPECT_EQ(link.Query("SELECT v FROM t").Field("v"),
            Variant::FromDate(vb::DateSerial({2026, 12, 6})));
  DataLink again(Variant(connect), sql::Dialect::Jet);
  EXPECT_EQ(again.Query("SELECT x FROM extra").Field("x"), Variant(42));
  EXPECT_EQ(GetPoolStatistics().opened, 2u) << "the pooled session was reused, not reopened";
}

// A database deleted and made anew at the same path is a new database: pooled sessions on
// the old file must not answer for it, and a deleted one must fail to open.
TEST(PoolTest, ReplacedDatabaseFileIsNotServedFromThePool) {
  ScratchDir dir;
  const std::string path = dir.File("p.db");
  const std::string connect = MakeDatabase(path, "CREATE TABLE t (v); INSERT INTO t VALUES ('old');");
  {
    DataLink link(Variant(connect), sql::Dialect::Jet);
    EXPECT_EQ(link.Query("SELECT v FROM t").Field("v"), Variant("old"));
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
  EXPECT_THROW(DataLink(Variant(connect), sql::Dialect::Jet), VbError);
  MakeDatabase(path, "CREATE TABLE t (v); INSERT INTO t VALUES ('new');");
  DataLink link(Variant(connect), sql::Dialect::Jet);
  EXPECT_EQ(link.Query("SELECT v FROM t").Field("v"), Variant("new"));
}

// Four threads, each opening its own links as members do, insert and read back at once.
// Every insert must land (none lost to a concurrent writer) and none may fail busy.
TEST(PoolTest, ConcurrentWritersAndReaders) {
  ScratchDir dir;
  const std::string connect = MakeDatabase(
      dir.File("c.db"), "CREATE TABLE log (ID INTEGER PRIMARY KEY, worker INTEGER, n INTEGER);"
                        "CREATE TABLE counter (ID INTEGER PRIMARY KEY, total INTEGER);"
                        "INSERT INTO counter VALUES (1, 0);");
  constexpr int kThreads = 4;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  std::atomic<int> failures{0};
  std::vector<int> written(kThreads, 0);
  std::vector<std::thread> threads;
  for (int w = 0; w < kThreads; ++w) {
    threads.emplace_back([&, w] {
      try {
        for (int n = 0; std::chrono::steady_clock::now() < deadline; ++n) {
          {
            DataLink link(Variant(connect), sql::Dialect::Jet);
            link.Run("INSERT INTO log (worker, n) VALUES (" + std::to_string(w) + ", " +
                     std::to_string(n) + ")");
          }
          {
            // Read-modify-write in one statement: lost updates would show in the total.
            DataLink link(Variant(connect), sql::Dialect::Jet);
            link.Run("UPDATE counter SET total = total + 1 WHERE ID = 1");
          }
          ++written[w];
          DataLink link(Variant(connect), sql::Dialect::Jet);
          Recordset& rs = link.Query("SELECT count(*) AS c FROM log WHERE worker = " +
                                     std::to_string(w));
          if (rs.Field("c") != Variant(written[w])) ++failures;
        }
      } catch (const std::exception& e) {
        ADD_FAILURE() << "worker " << w << ": " << e.what();
        ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  int total = 0;
  for (int n : written) total += n;
  EXPECT_GT(total, kThreads);
  DataLink link(Variant(connect), sql::Dialect::Jet);
  EXPECT_EQ(link.Query("SELECT count(*) AS c FROM log").Field("c"), Variant(total));
  DataLink link2(Variant(connect), sql::Dialect::Jet);
  EXPECT_EQ(link2.Query("SELECT total FROM counter").Field("total"), Variant(total));
}

}  // namespace
}  // namespace ksmain::data
