// The project list on the demo database grown to 500 projects, through the member (its
// nested RIGHT JOINs translated, pooled connection, cached statement) against the same
// work on the raw engine API with the best plan: a LEFT JOIN chain from ProjectMaster,
// prepared once, the same copies into a fresh grid and the same bar calculation per row.
// And SortArray on a full 700-row Gantt grid.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "raw_sqlite.h"
#include "project_row_bar.h"
#include "data/pool.h"
#include "frame/dispatch_bind.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "schema/schema.h"

namespace {

using ksmain::Variant;
using ksmain::bench::ColumnValue;
using ksmain::VarArray;
namespace vb = ksmain::vb;

constexpr int kProjects = 500;

const std::string& DemoPath() {
  static const std::string path = [] {
    std::string p = "/tmp/ksmain_bench_plist_" + std::to_string(::getpid()) + ".db";
    std::remove(p.c_str());
    ksmain::schema::CreatePortfolioDatabase(p, true);
    sqlite3* db = nullptr;
    sqlite3_open(p.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM ProjectMaster", -1, &st, nullptr);
    sqlite3_step(st);
    const int have = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (have < kProjects) ksmain::schema::AddDemoProjects(p, kProjects - have);
    return p;
  }();
  return path;
}

void BM_ProjectListAll_Member(benchmark::State& state) {
  ksmain::Kestrel k;
  k.setProgressBarTarget("red");
  k.setProgressBarActual("green");
  Variant grid, connect("Data Source=" + DemoPath()), count;
  for (auto _ : state) {
    Variant sortby, f;
    k.Get_ProjectListAll(grid, connect, count, sortby, f, f, f, f, f);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = vb::CDbl(grid.AsArray().at({0, 0}));
}
BENCHMARK(BM_ProjectListAll_Member)->Unit(benchmark::kMillisecond);

constexpr const char* kBestPlan =
    "SELECT pm.ProjectNo, pm.NameOfProject, pm.PercentCompleted, pm.EstDateCompleted,"
    " pm.EstDateStarted, pm.ActDateStarted, pm.ActDateCompleted, pm.ProjectRank, pm.ID,"
    " r.FirstName, r.LastName, t.TypeDescription, p.PriorityDescription, s.Description,"
    " d.DepartmentName FROM ProjectMaster pm LEFT JOIN Resource r ON r.ID = pm.ProjectOwner"
    " LEFT JOIN \"type\" t ON t.ID = pm.ProjectType LEFT JOIN priority p ON p.ID = pm.Priority"
    " LEFT JOIN Status s ON s.ID = pm.Status LEFT JOIN department d ON d.ID = pm.Department"
    " WHERE pm.Status LIKE '%' AND pm.Department LIKE '%' AND pm.ProjectOwner LIKE '%'"
    " AND pm.Priority LIKE '%' AND pm.ProjectType LIKE '%'"
    " ORDER BY pm.ProjectRank DESC, date(pm.EstDateStarted)";

// Result column -> grid column, as the member maps them; columns 3-6 are dates.
constexpr int kGridColumn[] = {0, 1, 5, 7, 8, 9, 10, 14, 15, 16, 2, 3, 4, 6, 11};

void BM_ProjectListAll_RawBestPlan(benchmark::State& state) {
  ksmain::Kestrel k;
  k.setProgressBarTarget("red");
  k.setProgressBarActual("green");
  sqlite3* db = nullptr;
  sqlite3_open_v2(DemoPath().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v3(db, kBestPlan, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
  Variant grid;
  for (auto _ : state) {
    grid = VarArray::Grid(500, 19);
    VarArray& cells = grid.MutableArray();
    std::int16_t row = 1;
    Variant bar, target;
    while (sqlite3_step(st) == SQLITE_ROW) {
      for (int i = 0; i < 15; ++i) cells.at({row, kGridColumn[i]}) = ColumnValue(st, i, i >= 3 && i <= 6);
      ksmain::bench::FillProjectBar(k, cells, row, bar, target);
      ++row;
    }
    sqlite3_reset(st);
    cells.at({0, 0}) = static_cast<std::int16_t>(row - 1);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = vb::CDbl(grid.AsArray().at({0, 0}));
  sqlite3_finalize(st);
  sqlite3_close_v2(db);
}
BENCHMARK(BM_ProjectListAll_RawBestPlan)->Unit(benchmark::kMillisecond);

// A full project Gantt grid (columns 0..10, rows 0..700) in the order the view would not
// give: planned completions scattered over five years, sorted by that column.
void BM_SortArray_Gantt700(benchmark::State& state) {
  VarArray unsorted = VarArray::Grid(10, 700);
  for (std::int32_t r = 0; r <= 700; ++r) {
    const double completion = 45000 + (r * 7919) % 1800;
    unsorted.at({0, r}) = "Project " + std::to_string(r);
    unsorted.at({1, r}) = Variant::FromDate(completion - 90);
    unsorted.at({2, r}) = Variant::FromDate(completion);
    unsorted.at({4, r}) = r;
  }
  ksmain::Kestrel k;
  for (auto _ : state) {
    state.PauseTiming();
    Variant grid = unsorted;
    grid.MutableArray();
    state.ResumeTiming();
    std::int16_t element = 2, scratch = 1;
    k.SortArray(ksmain::ArrayRef{grid}, element, scratch);
    benchmark::DoNotOptimize(grid);
  }
}
BENCHMARK(BM_SortArray_Gantt700)->Unit(benchmark::kMillisecond);

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
