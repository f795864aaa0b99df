// One lookup-list call (Get_StatusAll on the demo portfolio) against the same work on the
// raw engine API: open, prepare, step, copy into a grid of the same shape, close. The
// member runs with the session pool (the normal case) and with the pool emptied before
// every call (every call opens the database and reads its schema).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "data/pool.h"
#include "ksmain/kestrel.h"
#include "schema/schema.h"

namespace {

// One more connection stays open on the file for the whole run, as other sessions do in a
// service. Without it, whether a side's close is the file's last (which writes the log
// back and deletes it, to be made again by the next open) would depend on what an earlier
// benchmark left open, not on the side measured.
const std::string& DemoPath() {
  static const std::string path = [] {
    std::string p = "/tmp/ksmain_bench_lookup_" + std::to_string(::getpid()) + ".db";
    std::remove(p.c_str());
    ksmain::schema::CreatePortfolioDatabase(p, true);
    sqlite3* bystander = nullptr;
    sqlite3_open_v2(p.c_str(), &bystander, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(bystander, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    return p;
  }();
  return path;
}

void BM_GetStatusAll(benchmark::State& state) {
  const bool pooled = state.range(0) != 0;
  ksmain::Kestrel k;
  ksmain::Variant connect("Data Source=" + DemoPath()), count, sortby;
  for (auto _ : state) {
    if (!pooled) ksmain::data::ResetPool();
    ksmain::Variant grid;
    k.Get_StatusAll(grid, connect, count, sortby);
    benchmark::DoNotOptimize(grid);
  }
}
BENCHMARK(BM_GetStatusAll)->ArgName("pooled")->Arg(1)->Arg(0);

// The same rows copied into the same grid, straight from the engine.
void CopyRows(sqlite3_stmt* st, ksmain::Variant& grid) {
  grid = ksmain::VarArray::Grid(50, 3);
  ksmain::VarArray& cells = grid.MutableArray();
  std::int16_t row = 1;
  while (sqlite3_step(st) == SQLITE_ROW) {
    cells.at({row, 0}) = ksmain::Variant(sqlite3_column_int(st, 0));
    for (int c = 1; c <= 2; ++c) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
      cells.at({row, c}) = text ? ksmain::Variant(text) : ksmain::Variant::Null();
    }
    ++row;
  }
  cells.at({0, 0}) = ksmain::Variant(static_cast<std::int16_t>(row - 1));
}

constexpr const char* kSql = "SELECT id, statuscode, description FROM status Order by description";

void BM_RawOpenPrepareStepCopyClose(benchmark::State& state) {
  for (auto _ : state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(DemoPath().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, kSql, -1, &st, nullptr);
    ksmain::Variant grid;
    CopyRows(st, grid);
    sqlite3_finalize(st);
    sqlite3_close(db);
    benchmark::DoNotOptimize(grid);
  }
}
BENCHMARK(BM_RawOpenPrepareStepCopyClose);

void BM_RawPreparedOnce(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(DemoPath().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, kSql, -1, &st, nullptr);
  for (auto _ : state) {
    ksmain::Variant grid;
    CopyRows(st, grid);
    sqlite3_reset(st);
    benchmark::DoNotOptimize(grid);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
}
BENCHMARK(BM_RawPreparedOnce);

}  // namespace

BENCHMARK_MAIN();
