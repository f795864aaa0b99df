// The catalogue's per-row members against the same work written directly on the SQLite C
// API: the entry search returning 250 entries (one sponsor query per row) and the
// category list of the widest level (one count query per child). The C API side runs the
// best plan for the same result, each statement prepared once, and copies the same values
// into a grid of variants, so the ratio is what the library's layers cost.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "raw_sqlite.h"
#include "data/datalink.h"
#include "frame/vb_runtime.h"
#include "ksmain/catalogue.h"
#include "schema/schema.h"

namespace ksmain {
namespace {

using bench::ColumnValue;

// The demo catalogue, created once per process in a temporary folder that the fixed
// connection string of the sponsor look-up reaches.
const std::string& DemoCatalogue() {
  static const std::string path = [] {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("ksmain-bench-catalogue-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "veldaSQL.db").string();
    std::filesystem::remove(file);
    schema::CreateCatalogueDatabase(file, true);
    // The search matches only entries whose path keys are all filled (a NULL key is not
    // like '%'); the demo stops paths with NULL, so fill them to let 250 entries match.
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db,
                 "UPDATE entries SET SubcategoryId1 = coalesce(SubcategoryId1, 0), "
                 "SubcategoryId2 = coalesce(SubcategoryId2, 0), SubcategoryId3 = "
                 "coalesce(SubcategoryId3, 0), SubcategoryId4 = coalesce(SubcategoryId4, 0), "
                 "SubcategoryId5 = coalesce(SubcategoryId5, 0)",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    data::SetDataSource(data::CatalogueHost(), dir.string());
    return file;
  }();
  return path;
}

class Raw {
 public:
  Raw() {
    if (sqlite3_open_v2(DemoCatalogue().c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
      throw std::runtime_error("cannot open the demo catalogue");
  }
  ~Raw() { sqlite3_close(db_); }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db_));
    return st;
  }

 private:
  sqlite3* db_ = nullptr;
};

// ---- Entry search ---------------------------------------------------------------------

void BM_SimpleSearch_Member(benchmark::State& state) {
  const Variant connect("Data Source=" + DemoCatalogue());
  InsertTable_summary object;
  Variant grid(VarArray::Grid(250, 25)), conn = connect, count;
  for (auto _ : state) {
    object.Get_SimpleSearch(grid, conn, count, "", "", "", "", "", "", "", "", "1", "");
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = grid.AsArray().at({0, 0}).AsInteger();
}

void BM_SimpleSearch_CApi(benchmark::State& state) {
  Raw raw;
  sqlite3_stmt* search = raw.Prepare(
      "SELECT ID, Title, Summary, BodyText, Cost, sale_price, shipping_cost, mfg_part_number, "
      "cont_part_number, ImageThumbnail, Image1, beg_year, end_year, Link1, Link2, MiscParm1, "
      "MiscParm2, MiscParm3, MiscParm4, MiscParm5, clientID, DateTimeValue FROM entries "
      "WHERE ActiveInd = 'Y' AND ExpireDate >= ?1 AND Title LIKE '%%' ORDER BY Title LIMIT 250");
  sqlite3_stmt* sponsor = raw.Prepare(
      "SELECT 1 FROM campaigns WHERE Camplevel = 3 AND begindate <= ?1 AND enddate >= ?1 AND "
      "activeind = 'Y' AND clientID = ?2");
  // Field i of the search goes to this column (the sponsor flag goes to 20).
  constexpr int kColumn[] = {0,  1,  2, 15, 16, 25, 3,  17, 4,  5,  24,
                             21, 22, 6, 7,  8,  9,  10, 18, 19, 11, 12};
  int rows = 0;
  for (auto _ : state) {
    Variant grid(VarArray::Grid(250, 25));
    VarArray& g = grid.MutableArray();
    const std::string now = vb::ToIso(vb::Now());
    sqlite3_bind_text(search, 1, now.c_str(), -1, SQLITE_TRANSIENT);
    rows = 0;
    while (sqlite3_step(search) == SQLITE_ROW) {
      ++rows;
      for (int f = 0; f < 22; ++f) g.at({rows, kColumn[f]}) = ColumnValue(search, f);
      g.at({rows, 23}) = ColumnValue(search, 8);
      sqlite3_bind_text(sponsor, 1, now.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int64(sponsor, 2, sqlite3_column_int64(search, 20));
      g.at({rows, 20}) = Variant(sqlite3_step(sponsor) == SQLITE_ROW ? "Y" : "N");
      sqlite3_reset(sponsor);
    }
    sqlite3_reset(search);
    g.at({0, 0}) = Variant(static_cast<std::int16_t>(rows));
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = rows;
  sqlite3_finalize(search);
  sqlite3_finalize(sponsor);
}

// ---- Category list of the widest level ------------------------------------------------

void BM_Categories_Member(benchmark::State& state) {
  const Variant connect("Data Source=" + DemoCatalogue());
  InsertTable_summary object;
  Variant grid, conn = connect, count;
  for (auto _ : state) {
    object.Get_Categories(grid, conn, count, "", "", "", "", "", "", "");
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = grid.AsArray().at({0, 0}).AsInteger();
}

void BM_Categories_CApi(benchmark::State& state) {
  Raw raw;
  sqlite3_stmt* list = raw.Prepare("SELECT ID, category FROM category ORDER BY category");
  sqlite3_stmt* counts = raw.Prepare("SELECT sum(entrycnt) FROM entrycounts WHERE categoryid = ?1");
  int rows = 0;
  for (auto _ : state) {
    Variant grid(VarArray::Grid(100, 3));
    VarArray& g = grid.MutableArray();
    rows = bench::FillCategoryCounts(g, list, counts);
    g.at({0, 0}) = Variant(static_cast<std::int16_t>(rows));
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = rows;
  sqlite3_finalize(list);
  sqlite3_finalize(counts);
}

BENCHMARK(BM_SimpleSearch_Member)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SimpleSearch_CApi)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Categories_Member)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Categories_CApi)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ksmain

BENCHMARK_MAIN();
