// A member's point query through DataLink (pooled session, cached translation and
// statement) against the raw engine API: opening a connection per call, as a member's
// DataLink would without the pool, and a statement prepared once, the best case.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "data/datalink.h"
#include "data/pool.h"
#include "schema/schema.h"

namespace {

const std::string& DemoPath() {
  static const std::string path = [] {
    std::string p = "/tmp/ksmain_bench_datalink_" + std::to_string(::getpid()) + ".db";
    std::remove(p.c_str());
    ksmain::schema::CreatePortfolioDatabase(p, true);
    ksmain::schema::AddDemoProjects(p, 460);
    return p;
  }();
  return path;
}

constexpr const char* kQuery = "SELECT NameOfProject, EstDateCompleted FROM ProjectMaster WHERE ID = ";

// range(0): how many distinct keys the calls cycle through. Members join keys into the text,
// so each key is its own statement text: 1 measures the cached-statement path, 500 a member
// that queries once per row of a large list.
void BM_DataLinkPointQuery(benchmark::State& state) {
  const ksmain::Variant connect("Data Source=" + DemoPath());
  const int keys = static_cast<int>(state.range(0));
  int id = 0;
  for (auto _ : state) {
    id = id % keys + 1;
    ksmain::data::DataLink link(connect, ksmain::sql::Dialect::Jet);
    ksmain::data::Recordset& rs = link.Query(kQuery + std::to_string(id));
    ksmain::Variant name = rs.Field("NameOfProject");
    ksmain::Variant due = rs.Field("EstDateCompleted");
    benchmark::DoNotOptimize(name);
    benchmark::DoNotOptimize(due);
    link.Close();
  }
  state.counters["opened"] = static_cast<double>(ksmain::data::GetPoolStatistics().opened);
}
BENCHMARK(BM_DataLinkPointQuery)->Arg(1)->Arg(500);

void BM_RawOpenPointQuery(benchmark::State& state) {
  const std::string& path = DemoPath();
  int id = 0;
  for (auto _ : state) {
    id = id % 500 + 1;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, (kQuery + std::to_string(id)).c_str(), -1, &stmt, nullptr);
    if (sqlite3_step(stmt) == SQLITE_ROW) {
      std::string name(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
      std::string due(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
      benchmark::DoNotOptimize(name);
      benchmark::DoNotOptimize(due);
    }
    sqlite3_finalize(stmt);
    sqlite3_close_v2(db);
  }
}
BENCHMARK(BM_RawOpenPointQuery);

void BM_RawPreparedPointQuery(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(DemoPath().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v3(db, "SELECT NameOfProject, EstDateCompleted FROM ProjectMaster WHERE ID = ?1",
                     -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  int id = 0;
  for (auto _ : state) {
    id = id % 500 + 1;
    sqlite3_bind_int(stmt, 1, id);
    if (sqlite3_step(stmt) == SQLITE_ROW) {
      std::string name(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
      std::string due(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
      benchmark::DoNotOptimize(name);
      benchmark::DoNotOptimize(due);
    }
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  sqlite3_close_v2(db);
}
BENCHMARK(BM_RawPreparedPointQuery);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ksmain::data::ResetPool();
  const std::string& path = DemoPath();
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
  return 0;
}
