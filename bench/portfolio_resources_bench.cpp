// The attendance list with one flag query per row: Get_ResourceAttendees over 200 resources
// against the same work written on the raw engine API (the same two statements, each
// prepared once, the same grid copies). The member pays per row for the sibling call's
// own DataLink (a pooled session and a cached statement), which this measures.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "raw_sqlite.h"
#include "data/pool.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "schema/schema.h"

namespace {

using ksmain::Variant;
using ksmain::bench::ColumnValue;
using ksmain::VarArray;

// 200 listed resources as measured; 100 shows the same work when every per-row statement
// text fits the session's statement cache.
constexpr int kResources = 200;

struct Demo {
  std::string path;
  std::string meeting;  // an actual review date as stored
};

void Exec(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "bench set-up failed: %s\n", sqlite3_errmsg(db));
    std::abort();
  }
}

std::map<int, Demo>& Made() {
  static std::map<int, Demo> made;
  return made;
}

// The demo database grown to 500 projects and `resources` listed resources, some of whom
// attended the chosen meeting.
const Demo& DemoDb(int resources) {
  auto found = Made().find(resources);
  if (found != Made().end()) return found->second;
  const Demo& demo = Made()[resources] = [resources] {
    Demo d;
    d.path = "/tmp/ksmain_bench_resources_" + std::to_string(::getpid()) + "_" +
             std::to_string(resources) + ".db";
    std::remove(d.path.c_str());
    ksmain::schema::CreatePortfolioDatabase(d.path, true);
    ksmain::schema::AddDemoProjects(d.path, 460);
    sqlite3* db = nullptr;
    sqlite3_open(d.path.c_str(), &db);
    Exec(db,
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400)"
         " INSERT INTO Resource (ID, ResourceNo, Department, FirstName, LastName, Title, NoOfProjects)"
         " SELECT 1000 + i, 'B' || i, 1 + i % 6, 'First' || i, 'Last' || printf('%03d', i), 'Staff', 0"
         " FROM n WHERE i <= " + std::to_string(resources) +
         " - (SELECT count(*) FROM Resource WHERE FirstName <> 'Unassigned')");
    // Fewer listed resources than the demo has: keep the first ones.
    Exec(db, "DELETE FROM Resource WHERE FirstName <> 'Unassigned' AND ID NOT IN (SELECT ID FROM"
             " Resource WHERE FirstName <> 'Unassigned' ORDER BY ID LIMIT " +
                 std::to_string(resources) + ")");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT ActualReviewDate FROM Attendees WHERE ActualReviewDate <> '' "
                       "GROUP BY ActualReviewDate ORDER BY count(*) DESC LIMIT 1",
                       -1, &st, nullptr);
    if (sqlite3_step(st) == SQLITE_ROW) d.meeting = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    Exec(db, "INSERT INTO Attendees (AttendeeID, PlannedReviewDate, ActualReviewDate)"
             " SELECT ID, '1/1/2026', '" + d.meeting + "' FROM Resource WHERE ID % 7 = 0");
    sqlite3_close(db);
    return d;
  }();
  return demo;
}

void BM_Member_ResourceAttendees(benchmark::State& state) {
  const Demo& demo = DemoDb(static_cast<int>(state.range(0)));
  ksmain::Kestrel k;
  Variant grid, connect("Data Source=" + demo.path), date(demo.meeting), sort("");
  for (auto _ : state) {
    k.Get_ResourceAttendees(grid, connect, date, sort);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = grid.AsArray().at({0, 0}).AsInteger();
  const ksmain::data::PoolStatistics pool = ksmain::data::GetPoolStatistics();
  state.counters["opened"] = static_cast<double>(pool.opened);
  state.counters["discarded"] = static_cast<double>(pool.discarded);
}
BENCHMARK(BM_Member_ResourceAttendees)->Arg(kResources)->Arg(100)->Unit(benchmark::kMillisecond);

// A column's value in the kind the member's grid holds it.
void BM_RawApi_ResourceAttendees(benchmark::State& state) {
  const Demo& demo = DemoDb(static_cast<int>(state.range(0)));
  sqlite3* db = nullptr;
  sqlite3_open_v2(demo.path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  const std::string list_sql =
      "SELECT DISTINCT Resource.ID, Resource.ResourceNo, Resource.Department, Resource.FirstName,"
      " Resource.LastName, Resource.Title, Resource.NoOfProjects FROM Resource"
      " WHERE FirstName <> 'Unassigned' ORDER BY LastName, FirstName ASC";
  const std::string flag_sql =
      "SELECT DISTINCT Resource.ID FROM Resource INNER JOIN Attendees"
      " ON Resource.ID = Attendees.AttendeeID WHERE Resource.ID = ?1 AND ActualReviewDate = ?2";
  sqlite3_stmt* list = nullptr;
  sqlite3_stmt* flag = nullptr;
  sqlite3_prepare_v3(db, list_sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &list, nullptr);
  sqlite3_prepare_v3(db, flag_sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &flag, nullptr);
  sqlite3_bind_text(flag, 2, demo.meeting.c_str(), -1, SQLITE_STATIC);
  Variant grid;
  std::int16_t rows = 0;
  for (auto _ : state) {
    grid = VarArray::Grid(500, 8);
    VarArray& cells = grid.MutableArray();
    std::int16_t row = 1;
    Variant attended("");
    while (sqlite3_step(list) == SQLITE_ROW) {
      for (int c = 0; c < 7; ++c) cells.at({row, c}) = ColumnValue(list, c);
      sqlite3_bind_int64(flag, 1, sqlite3_column_int64(list, 0));
      attended = sqlite3_step(flag) == SQLITE_ROW ? "Y" : "N";
      sqlite3_reset(flag);
      cells.at({row, 7}) = attended;
      ++row;
    }
    sqlite3_reset(list);
    rows = static_cast<std::int16_t>(row - 1);
    cells.at({0, 0}) = rows;
    cells.at({0, 1}) = list_sql;
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = rows;
  sqlite3_finalize(flag);
  sqlite3_finalize(list);
  sqlite3_close_v2(db);
}
BENCHMARK(BM_RawApi_ResourceAttendees)->Arg(kResources)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ksmain::data::ResetPool();
  for (const auto& [resources, demo] : Made()) {
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((demo.path + suffix).c_str());
  }
  return 0;
}
