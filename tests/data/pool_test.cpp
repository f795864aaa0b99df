// Pooling, statement reuse, schema changes seen across connections, and several threads
// writing and reading one database at once.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <atomic>
#include <filesystem>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "data/connection_string.h"
#include "data/datalink.h"
#include "data/pool.h"
#include "frame/vb_runtime.h"
#include "ksmain/library.h"
#include "scratch_db.h"

namespace ksmain::data {
namespace {

using ksmain::testing::MakeDatabase;
using ksmain::testing::ScalarOf;
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

// A database deleted and made anew at the same path, or a restored backup moved over it,
// is a new database: pooled sessions on the old file must not answer for it, the old
// file's log must not be replayed into it, and a deleted one must fail to open.
TEST(PoolTest, ReplacedDatabaseFileIsServedAsTheNewFile) {
  namespace fs = std::filesystem;
  ScratchDir dir;
  const std::string path = dir.File("p.db");
  const std::string connect = MakeDatabase(path, "CREATE TABLE t (v); INSERT INTO t VALUES ('old');");
  auto count = [&] { return ScalarOf(connect, sql::Dialect::Jet, "SELECT count(*) FROM t"); };
  EXPECT_EQ(count(), Variant(1));
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
  EXPECT_THROW(DataLink(Variant(connect), sql::Dialect::Jet), VbError);
  MakeDatabase(path, "CREATE TABLE t (v); INSERT INTO t VALUES ('new');");
  {
    DataLink link(Variant(connect), sql::Dialect::Jet);
    EXPECT_EQ(link.Query("SELECT v FROM t").Field("v"), Variant("new"));
  }

  // A backup of one row; then 50 rows written, which stay in the log while sessions are
  // pooled, opened on the word of the directory watch; then the backup restored by a
  // rename over the path.
  Shutdown();
  fs::copy_file(path, dir.File("backup.db"));
  const std::uint64_t watched = OpensAnsweredByWatch();
  for (int i = 0; i < 50; ++i) {
    DataLink link(Variant(connect), sql::Dialect::Jet);
    link.Run("INSERT INTO t (v) VALUES ('lost')");
  }
  ASSERT_TRUE(fs::exists(path + "-wal"));
  EXPECT_GT(OpensAnsweredByWatch(), watched);
  fs::rename(dir.File("backup.db"), path);
  EXPECT_EQ(count(), Variant(1));
  EXPECT_EQ(EngineDatabase::Open(path).Scalar("PRAGMA integrity_check"), Variant("ok"));
}

// Shutdown writes every committed row into the database file itself, and the library
// goes on working after it (twice over).
TEST(PoolTest, ShutdownLeavesEveryRowInTheFile) {
  namespace fs = std::filesystem;
  ScratchDir dir;
  const std::string path = dir.File("p.db");
  const std::string connect = MakeDatabase(path, "CREATE TABLE t (v);");
  for (int round = 1; round <= 2; ++round) {
    {
      DataLink link(Variant(connect), sql::Dialect::Jet);
      link.Run("INSERT INTO t (v) VALUES ('x')");
    }
    EXPECT_GE(GetPoolStatistics().idle, 1u);
    Shutdown();
    Shutdown();
    EXPECT_EQ(GetPoolStatistics().idle, 0u);
    EXPECT_FALSE(fs::exists(path + "-wal"));
    fs::copy_file(path, dir.File("copy.db"), fs::copy_options::overwrite_existing);
    EXPECT_EQ(ScalarOf("Data Source=" + dir.File("copy.db"), sql::Dialect::Jet, "SELECT count(*) FROM t"),
              Variant(round));
  }
}

// Idle sessions are bounded in total across databases, the longest idle closed first,
// and closed once idle past the age limit; the pool forgets databases it no longer holds.
TEST(PoolTest, IdleSessionsAreBoundedInTotalAndByAge) {
  ScratchDir dir;
  const PoolLimits defaults = GetPoolLimits();
  SetPoolLimits(PoolLimits{4, std::chrono::milliseconds(200)});
  std::vector<std::string> connects;
  for (int i = 0; i < 12; ++i) {
    connects.push_back(MakeDatabase(dir.File("d" + std::to_string(i) + ".db"), "CREATE TABLE t (x)"));
  }
  ResetPool();
  for (int round = 0; round < 3; ++round) {
    for (const std::string& connect : connects) {
      DataLink link(Variant(connect), sql::Dialect::Jet);
      link.Query("SELECT x FROM t");
      link.Close();
      ASSERT_LE(GetPoolStatistics().idle, 4u);
      ASSERT_LE(GetPoolStatistics().locations, 5u);
    }
  }
  // The most recent four are the ones kept.
  {
    DataLink link(Variant(connects.back()), sql::Dialect::Jet);
    EXPECT_EQ(GetPoolStatistics().reused, 1u);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  {
    DataLink link(Variant(connects.front()), sql::Dialect::Jet);
  }
  EXPECT_EQ(GetPoolStatistics().idle, 1u) << "sessions idle past the age limit are closed";
  SetPoolLimits(defaults);
}

// A session lent while its location leaves the pool (a reset, a file made anew at the path)
// goes back to no pool, however many other databases the thread has opened meanwhile.
TEST(PoolTest, SessionLentWhileItsLocationLeavesThePoolIsClosedOnReturn) {
  namespace fs = std::filesystem;
  ScratchDir dir;
  const std::string path = dir.File("held.db");
  const std::string held_connect = MakeDatabase(path, "CREATE TABLE t (x)");
  std::vector<std::string> others;
  for (int i = 0; i < 5; ++i) {
    others.push_back(MakeDatabase(dir.File("o" + std::to_string(i) + ".db"), "CREATE TABLE t (x)"));
  }
  const std::function<void()> retirements[] = {
      [] { ResetPool(); },
      [&] {
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
        MakeDatabase(path, "CREATE TABLE t (x)");
        DataLink(Variant(held_connect), sql::Dialect::Jet).Close();
      },
  };
  for (const auto& retire : retirements) {
    ResetPool();
    auto held = std::make_unique<DataLink>(Variant(held_connect), sql::Dialect::Jet);
    retire();
    for (const std::string& connect : others) DataLink(Variant(connect), sql::Dialect::Jet).Close();
    const PoolStatistics before = GetPoolStatistics();
    held.reset();
    const PoolStatistics after = GetPoolStatistics();
    EXPECT_EQ(after.idle, before.idle);
    EXPECT_EQ(after.discarded, before.discarded + 1);
    EXPECT_EQ(after.locations, before.locations);
  }
}

// A full disk fails the write; once space is back, writes succeed again and the log gives
// its space back. Simulated with a small memory file system.
TEST(PoolTest, FullDiskRecoversOnceSpaceIsBack) {
  namespace fs = std::filesystem;
  ScratchDir dir;
  const std::string disk = dir.File("disk");
  fs::create_directories(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=512k") != 0) {
    GTEST_SKIP() << "no small file system can be mounted here";
  }
  struct Unmount {
    std::string path;
    ~Unmount() {
      ResetPool();
      ::umount2(path.c_str(), MNT_DETACH);
    }
  } unmount{disk};
  // Rows rewritten in place: a log written back needs no more room in the file.
  const std::string connect = MakeDatabase(
      disk + "/f.db",
      "CREATE TABLE t (ID INTEGER PRIMARY KEY, v);"
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 19) "
      "INSERT INTO t SELECT i, randomblob(3000) FROM n;");
  Shutdown();
  // Space to give back later; the log's growth fills the rest.
  const std::string reserve = disk + "/reserve";
  {
    std::FILE* f = std::fopen(reserve.c_str(), "w");
    const std::string block(16 * 1024, 'r');
    std::fwrite(block.data(), 1, block.size(), f);
    std::fclose(f);
  }
  auto update = [](int i) {
    return "UPDATE t SET v = '" + std::string(3000, static_cast<char>('a' + i % 26)) +
           "' WHERE ID = " + std::to_string(i % 20);
  };
  bool full = false;
  for (int i = 0; i < 400 && !full; ++i) {
    try {
      DataLink link(Variant(connect), sql::Dialect::Jet);
      link.Run(update(i));
    } catch (const VbError&) {
      full = true;
    }
  }
  ASSERT_TRUE(full) << "the disk never filled";
  fs::remove(reserve);
  for (int i = 0; i < 20; ++i) {
    DataLink link(Variant(connect), sql::Dialect::Jet);
    ASSERT_NO_THROW(link.Run(update(i))) << "write " << i << " after space came back";
  }
  EXPECT_LT(fs::file_size(disk + "/f.db-wal"), 128u * 1024u) << "the log kept its space";
  EXPECT_EQ(ScalarOf(connect, sql::Dialect::Jet, "SELECT count(*) FROM t"), Variant(20));
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
  EXPECT_EQ(ScalarOf(connect, sql::Dialect::Jet, "SELECT count(*) FROM log"), Variant(total));
  EXPECT_EQ(ScalarOf(connect, sql::Dialect::Jet, "SELECT total FROM counter"), Variant(total));
}

}  // namespace
}  // namespace ksmain::data
