// The lookup lists and the project list on a PostgreSQL database over the Unix socket,
// through the members (ODBC driver, pooled session, cached statement) beside raw libpq
// doing the same work: the statement the server receives from the members, prepared once
// (PQprepare) and run with PQexecPrepared, each value converted to the kind a recordset
// delivers and copied into a grid of the member's shape.
//
// Needs the test cluster: `scripts/pg_cluster.sh start DIR`, then KSMAIN_PG_DIR=DIR and
// ODBCSYSINI=DIR. Without it the program says so and runs nothing.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "project_row_bar.h"
#include "data/engine_admin.h"
#include "data/pool.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "schema/schema.h"

namespace {

using ksmain::Variant;
using ksmain::VarArray;
namespace vb = ksmain::vb;

constexpr int kProjects = 500;

// The cluster's ODBC string without a database, and the same place for libpq.
struct Cluster {
  std::string odbc;
  std::string libpq;
};
Cluster g_cluster;
std::string g_demo;   // database name: the demo data as `ksmain init --demo` makes it
std::string g_grown;  // the demo data grown to kProjects projects

std::string Field(const std::string& odbc, const std::string& key) {
  std::stringstream parts(odbc);
  std::string part;
  while (std::getline(parts, part, ';')) {
    if (part.size() > key.size() && part.compare(0, key.size() + 1, key + "=") == 0) return part.substr(key.size() + 1);
  }
  return "";
}

bool FindCluster(std::string& why) {
  const char* dir = std::getenv("KSMAIN_PG_DIR");
  if (dir == nullptr || *dir == '\0') {
    why = "KSMAIN_PG_DIR is unset (start one with scripts/pg_cluster.sh start DIR)";
    return false;
  }
  std::ifstream env(std::string(dir) + "/env");
  std::getline(env, g_cluster.odbc);
  if (g_cluster.odbc.empty()) {
    why = std::string("no running cluster in ") + dir;
    return false;
  }
  ::setenv("ODBCSYSINI", dir, 0);
  g_cluster.libpq = "host=" + Field(g_cluster.odbc, "Server") + " port=" + Field(g_cluster.odbc, "Port") +
                    " user=" + Field(g_cluster.odbc, "UID");
  return true;
}

std::string Connect(const std::string& database) { return g_cluster.odbc + "Database=" + database + ";"; }

void MakeDatabases() {
  auto admin = ksmain::data::EngineDatabase::Open(Connect("postgres"));
  const std::string stem = "ksmain_bench_" + std::to_string(::getpid());
  g_demo = stem + "_demo";
  g_grown = stem + "_grown";
  for (const std::string& name : {g_demo, g_grown}) {
    admin.Script("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    admin.Script("CREATE DATABASE " + name + " TEMPLATE template0 ENCODING 'UTF8'");
    ksmain::schema::CreatePortfolioDatabase(Connect(name), true);
  }
  auto grown = ksmain::data::EngineDatabase::Open(Connect(g_grown));
  const auto have = grown.Scalar("SELECT CAST(count(*) AS INTEGER) FROM projectmaster").AsLong();
  if (have < kProjects) ksmain::schema::AddDemoProjects(Connect(g_grown), kProjects - have);
}

void DropDatabases() {
  ksmain::data::ResetPool();
  auto admin = ksmain::data::EngineDatabase::Open(Connect("postgres"));
  for (const std::string& name : {g_demo, g_grown}) admin.Script("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
}

// A value in the kind the driver gives its column type (text results).
Variant Value(const PGresult* res, int row, int col) {
  if (PQgetisnull(res, row, col)) return Variant::Null();
  const char* text = PQgetvalue(res, row, col);
  switch (PQftype(res, col)) {
    case 21: return static_cast<std::int16_t>(std::atoi(text));  // int2
    case 23: return static_cast<std::int32_t>(std::atol(text));  // int4
    case 701: return std::strtod(text, nullptr);                  // float8
    case 1114: return Variant::FromDate(vb::ParseIso(text).value_or(0));  // timestamp
    default: return Variant(std::string(text, PQgetlength(res, row, col)));
  }
}

struct RawConnection {
  PGconn* conn = nullptr;
  explicit RawConnection(const std::string& database, const char* sql, int params) {
    conn = PQconnectdb((g_cluster.libpq + " dbname=" + database).c_str());
    PGresult* res = PQprepare(conn, "s", sql, params, nullptr);
    if (PQresultStatus(res) != PGRES_COMMAND_OK) std::fprintf(stderr, "prepare: %s", PQerrorMessage(conn));
    PQclear(res);
  }
  ~RawConnection() { PQfinish(conn); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;
};

// ---- lookup lists ----

using LookupMember = Variant (ksmain::Kestrel::*)(Variant&, Variant&, Variant&, Variant&);

struct Lookup {
  LookupMember member;
  const char* server_sql;  // as the members' statement reaches the server
  std::int32_t rows, columns;
};

const Lookup kLookups[] = {
    {&ksmain::Kestrel::Get_StatusAll,
     "SELECT \"id\" AS \"id\", \"statuscode\" AS \"statuscode\", \"description\" AS \"description\" "
     "FROM \"status\" ORDER BY \"description\" NULLS FIRST",
     50, 3},
    {&ksmain::Kestrel::Get_DepartmentAll,
     "SELECT \"id\" AS \"id\", \"departmentno\" AS \"departmentno\", \"departmentname\" AS \"departmentname\" "
     "FROM \"department\" ORDER BY \"departmentname\" ASC NULLS FIRST",
     500, 6},
    {&ksmain::Kestrel::Get_PriorityAll,
     "SELECT \"id\" AS \"id\", \"priorityno\" AS \"priorityno\", \"prioritydescription\" AS \"prioritydescription\" "
     "FROM \"priority\" ORDER BY \"prioritydescription\" ASC NULLS FIRST",
     50, 3},
};
const char* const kLookupNames[] = {"status", "department", "priority"};

void BM_Lookup_Member(benchmark::State& state) {
  const Lookup& list = kLookups[state.range(0)];
  state.SetLabel(kLookupNames[state.range(0)]);
  ksmain::Kestrel k;
  Variant connect(Connect(g_demo)), count;
  for (auto _ : state) {
    Variant grid, sortby("");
    (k.*list.member)(grid, connect, count, sortby);
    benchmark::DoNotOptimize(grid);
  }
}
BENCHMARK(BM_Lookup_Member)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_Lookup_RawLibpq(benchmark::State& state) {
  const Lookup& list = kLookups[state.range(0)];
  state.SetLabel(kLookupNames[state.range(0)]);
  RawConnection raw(g_demo, list.server_sql, 0);
  for (auto _ : state) {
    PGresult* res = PQexecPrepared(raw.conn, "s", 0, nullptr, nullptr, nullptr, 0);
    Variant grid = VarArray::Grid(list.rows, list.columns);
    VarArray& cells = grid.MutableArray();
    const int n = PQntuples(res);
    for (int r = 0; r < n && r < list.rows; ++r) {
      for (int c = 0; c < 3; ++c) cells.at({r + 1, c}) = Value(res, r, c);
    }
    cells.at({0, 0}) = static_cast<std::int16_t>(n);
    PQclear(res);
    benchmark::DoNotOptimize(grid);
  }
}
BENCHMARK(BM_Lookup_RawLibpq)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

// ---- project list ----

const std::string& Database(std::int64_t grown) { return grown ? g_grown : g_demo; }

void BM_ProjectListAll_Member(benchmark::State& state) {
  ksmain::Kestrel k;
  k.setProgressBarTarget("red");
  k.setProgressBarActual("green");
  Variant grid, connect(Connect(Database(state.range(0)))), count;
  for (auto _ : state) {
    Variant sortby, f;
    k.Get_ProjectListAll(grid, connect, count, sortby, f, f, f, f, f);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = vb::CDbl(grid.AsArray().at({0, 0}));
}
BENCHMARK(BM_ProjectListAll_Member)->ArgName("grown")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The members' RIGHT JOIN chain exactly as the server receives it (taken from the server's
// statement log); the five filters are the page's empty choices, sent as '%'.
constexpr const char* kProjectList =
    "SELECT \"projectmaster\".\"projectno\" AS \"projectno\", \"projectmaster\".\"nameofproject\" AS \"nameofproject\", "
    "\"projectmaster\".\"percentcompleted\" AS \"percentcompleted\", \"projectmaster\".\"estdatecompleted\" AS \"estdatecompleted\", "
    "\"projectmaster\".\"estdatestarted\" AS \"estdatestarted\", \"projectmaster\".\"actdatestarted\" AS \"actdatestarted\", "
    "\"projectmaster\".\"actdatecompleted\" AS \"actdatecompleted\", \"projectmaster\".\"projectrank\" AS \"projectrank\", "
    "\"projectmaster\".\"id\" AS \"id\", \"resource\".\"firstname\" AS \"firstname\", \"resource\".\"lastname\" AS \"lastname\", "
    "\"type\".\"typedescription\" AS \"typedescription\", \"priority\".\"prioritydescription\" AS \"prioritydescription\", "
    "\"status\".\"description\" AS \"description\", \"department\".\"departmentname\" AS \"departmentname\" "
    "FROM \"projectmaster\" LEFT JOIN \"resource\" ON \"resource\".\"id\" = \"projectmaster\".\"projectowner\" "
    "LEFT JOIN \"type\" ON \"type\".\"id\" = \"projectmaster\".\"projecttype\" "
    "LEFT JOIN \"priority\" ON \"priority\".\"id\" = \"projectmaster\".\"priority\" "
    "LEFT JOIN \"status\" ON \"status\".\"id\" = \"projectmaster\".\"status\" "
    "LEFT JOIN \"department\" ON \"department\".\"id\" = \"projectmaster\".\"department\" "
    "WHERE ks_like(CAST(\"projectmaster\".\"status\" AS text), $1, 'J') "
    "AND ks_like(CAST(\"projectmaster\".\"department\" AS text), $2, 'J') "
    "AND ks_like(CAST(\"projectmaster\".\"projectowner\" AS text), $3, 'J') "
    "AND ks_like(CAST(\"projectmaster\".\"priority\" AS text), $4, 'J') "
    "AND ks_like(CAST(\"projectmaster\".\"projecttype\" AS text), $5, 'J') "
    "ORDER BY \"projectrank\" DESC NULLS LAST, ks_datevalue(\"estdatestarted\") NULLS FIRST";

// Result column -> grid column, as the member maps them.
constexpr int kGridColumn[] = {0, 1, 5, 7, 8, 9, 10, 14, 15, 16, 2, 3, 4, 6, 11};

void BM_ProjectListAll_RawLibpq(benchmark::State& state) {
  ksmain::Kestrel k;
  k.setProgressBarTarget("red");
  k.setProgressBarActual("green");
  RawConnection raw(Database(state.range(0)), kProjectList, 5);
  const char* const any[5] = {"%", "%", "%", "%", "%"};
  Variant grid;
  for (auto _ : state) {
    PGresult* res = PQexecPrepared(raw.conn, "s", 5, any, nullptr, nullptr, 0);
    grid = VarArray::Grid(500, 19);
    VarArray& cells = grid.MutableArray();
    const int n = PQntuples(res);
    Variant bar, target;
    std::int16_t row = 1;
    for (int r = 0; r < n && r < 500; ++r, ++row) {
      for (int i = 0; i < 15; ++i) cells.at({row, kGridColumn[i]}) = Value(res, r, i);
      ksmain::bench::FillProjectBar(k, cells, row, bar, target);
    }
    cells.at({0, 0}) = static_cast<std::int16_t>(row - 1);
    PQclear(res);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = vb::CDbl(grid.AsArray().at({0, 0}));
}
BENCHMARK(BM_ProjectListAll_RawLibpq)->ArgName("grown")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string why;
  if (!FindCluster(why)) {
    std::printf("postgres_bench: skipped, %s\n", why.c_str());
    return 0;
  }
  MakeDatabases();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  DropDatabases();
  return 0;
}
