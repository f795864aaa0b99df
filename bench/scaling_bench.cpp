// How the list members' cost grows with the data: each at 1x, 10x and 100x the demo's size
// (500 / 5,000 / 50,000 projects with their steps, resources and attendance; 330 / 3,300 /
// 33,000 catalogue entries), beside the raw engine API doing the same work with the best
// plan (statements prepared once, stored ISO dates compared as text, the same copies into
// a grid of variants). A table of member / raw ratios per size follows the benchmark
// output; a flat ratio means the member's cost grows as the engine's own does.
//
// The larger sizes are the demo copied over and over with shifted keys (one INSERT ...
// SELECT per table and copy, in one transaction), so building 100x takes seconds.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "project_row_bar.h"
#include "raw_sqlite.h"
#include "data/datalink.h"
#include "data/pool.h"
#include "frame/vb_runtime.h"
#include "ksmain/catalogue.h"
#include "ksmain/kestrel.h"
#include "schema/schema.h"

namespace {

using ksmain::Variant;
using ksmain::bench::ColumnValue;
using ksmain::VarArray;
namespace vb = ksmain::vb;

constexpr int kScales[] = {1, 10, 100};
constexpr long long kKeyShift = 1000000;  // added to every key of a copy

void Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "bench set-up failed: %s\n%s\n", error, sql.c_str());
    std::abort();
  }
}

std::string Text(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
  std::string out;
  if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0) != nullptr) {
    out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  }
  sqlite3_finalize(st);
  return out;
}

// Appends `copies` copies of the table's first rows (those present now), with `shift`
// applied to the key columns of each copy.
void CopyRows(sqlite3* db, const std::string& table, const std::string& shift, int copies) {
  Exec(db, "CREATE TEMP TABLE c AS SELECT * FROM " + table);
  for (int k = 0; k < copies; ++k) {
    Exec(db, "UPDATE c SET " + shift);
    Exec(db, "INSERT INTO " + table + " SELECT * FROM c");
  }
  Exec(db, "DROP TABLE c");
}

std::string Folder(int scale) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("ksmain-bench-scaling-" + std::to_string(::getpid()) + "-" +
                    std::to_string(scale));
  std::filesystem::create_directories(dir);
  return dir.string();
}

sqlite3_stmt* Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) !=
      SQLITE_OK) {
    std::fprintf(stderr, "bench prepare failed: %s\n", sqlite3_errmsg(db));
    std::abort();
  }
  return st;
}

// ---- The portfolio at a scale ----------------------------------------------------------

struct Portfolio {
  std::string path;
  std::string meeting;     // the actual review date most attended
  std::string gantt_from;  // a two-week window in the middle of the planned starts
  std::string gantt_to;
  int step_project = 0;  // a project with steps
};

const Portfolio& PortfolioAt(int scale) {
  static std::map<int, Portfolio> made;
  if (auto it = made.find(scale); it != made.end()) return it->second;
  Portfolio p;
  p.path = Folder(scale) + "/portfolio.db";
  std::filesystem::remove(p.path);
  ksmain::schema::CreatePortfolioDatabase(p.path, true);
  sqlite3* db = nullptr;
  sqlite3_open(p.path.c_str(), &db);
  const int have = std::stoi(Text(db, "SELECT count(*) FROM ProjectMaster"));
  sqlite3_close(db);
  if (have < 500) ksmain::schema::AddDemoProjects(p.path, 500 - have);
  sqlite3_open(p.path.c_str(), &db);
  Exec(db, "BEGIN");
  const std::string s = std::to_string(kKeyShift);
  CopyRows(db, "ProjectMaster", "ID = ID + " + s + ", ProjectOwner = ProjectOwner + " + s,
           scale - 1);
  CopyRows(db, "ProjectSteps",
           "ID = ID + " + s + ", ProjectID = ProjectID + " + s + ", ResourceID = ResourceID + " + s,
           scale - 1);
  Exec(db, "CREATE TEMP TABLE listed AS SELECT * FROM Resource WHERE FirstName <> 'Unassigned'");
  Exec(db, "DELETE FROM Resource WHERE FirstName <> 'Unassigned'");
  Exec(db, "INSERT INTO Resource SELECT * FROM listed");
  for (int k = 1; k < scale; ++k) {
    Exec(db, "UPDATE listed SET ID = ID + " + s);
    Exec(db, "INSERT INTO Resource SELECT * FROM listed");
  }
  CopyRows(db, "Attendees", "ID = ID + " + s + ", AttendeeID = AttendeeID + " + s, scale - 1);
  Exec(db, "COMMIT");
  p.meeting = Text(db,
                   "SELECT ActualReviewDate FROM Attendees WHERE ActualReviewDate <> '' "
                   "GROUP BY ActualReviewDate ORDER BY count(*) DESC LIMIT 1");
  p.gantt_from = Text(db, "SELECT EstDateStarted FROM ProjectMaster WHERE ID < " + s +
                              " ORDER BY EstDateStarted LIMIT 1 OFFSET 250");
  p.gantt_to = Text(db, "SELECT date('" + p.gantt_from + "', '+14 days')");
  p.step_project = std::stoi(Text(db, "SELECT ProjectID FROM ProjectSteps GROUP BY ProjectID "
                                      "ORDER BY count(*) DESC, ProjectID LIMIT 1"));
  sqlite3_close(db);
  return made[scale] = p;
}

// ---- The catalogue at a scale ----------------------------------------------------------

struct Catalogue {
  std::string folder;
  std::string path;
  std::string category;  // the category with the most entries
};

constexpr const char* kEntryColumns =
    "CategoryId, SubcategoryId1, SubcategoryId2, SubcategoryId3, SubcategoryId4, "
    "SubcategoryId5, SubcategoryId6, Title, Summary, BodyText, Cost, shipping_cost, sale_price, "
    "cont_part_number, mfg_part_number, ImageThumbnail, Image1, beg_year, end_year, Link1, "
    "Link2, MiscParm1, MiscParm2, MiscParm3, MiscParm4, MiscParm5, ExpireDate, ActiveInd, "
    "clientID, DateTimeValue, Level1PromotionFlag";

const Catalogue& CatalogueAt(int scale) {
  static std::map<int, Catalogue> made;
  if (auto it = made.find(scale); it != made.end()) return it->second;
  Catalogue c;
  c.folder = Folder(scale);
  c.path = c.folder + "/veldaSQL.db";
  std::filesystem::remove(c.path);
  ksmain::schema::CreateCatalogueDatabase(c.path, true);
  sqlite3* db = nullptr;
  sqlite3_open(c.path.c_str(), &db);
  Exec(db, "BEGIN");
  // The search matches only entries whose path keys are all filled.
  Exec(db,
       "UPDATE entries SET SubcategoryId1 = coalesce(SubcategoryId1, 0), SubcategoryId2 = "
       "coalesce(SubcategoryId2, 0), SubcategoryId3 = coalesce(SubcategoryId3, 0), "
       "SubcategoryId4 = coalesce(SubcategoryId4, 0), SubcategoryId5 = "
       "coalesce(SubcategoryId5, 0)");
  const std::string last = Text(db, "SELECT max(ID) FROM entries");
  sqlite3_stmt* copy = Prepare(db, std::string("INSERT INTO entries (") + kEntryColumns +
                                       ") SELECT " + kEntryColumns +
                                       " FROM entries WHERE ID <= " + last);
  for (int k = 1; k < scale; ++k) {
    sqlite3_step(copy);
    sqlite3_reset(copy);
  }
  sqlite3_finalize(copy);
  Exec(db, "DELETE FROM entrycounts");
  Exec(db,
       "INSERT INTO entrycounts (entrycnt, categoryid, subcategoryid1, subcategoryid2, "
       "subcategoryid3, subcategoryid4, subcategoryid5, subcategoryid6) "
       "SELECT count(*), CategoryId, SubcategoryId1, SubcategoryId2, SubcategoryId3, "
       "SubcategoryId4, SubcategoryId5, SubcategoryId6 FROM entries "
       "GROUP BY 2, 3, 4, 5, 6, 7, 8 ORDER BY 2, 3, 4, 5, 6, 7, 8");
  Exec(db, "COMMIT");
  c.category = Text(db, "SELECT CategoryId FROM entries WHERE length(Image1) > 4 "
                        "GROUP BY CategoryId ORDER BY count(*) DESC LIMIT 1");
  sqlite3_close(db);
  return made[scale] = c;
}

// The sponsor look-up reaches the catalogue through the fixed connection string, whose
// server maps to one folder at a time.
const Catalogue& UseCatalogue(int scale) {
  const Catalogue& c = CatalogueAt(scale);
  ksmain::data::SetDataSource(ksmain::data::CatalogueHost(), c.folder);
  return c;
}

// ---- Members ---------------------------------------------------------------------------

int Rows(const Variant& grid) {
  const Variant& count = grid.AsArray().at({0, 0});
  return count.IsEmpty() ? -1 : static_cast<int>(vb::CDbl(count));
}

void MemberProjectList(benchmark::State& state, int scale) {
  const Portfolio& p = PortfolioAt(scale);
  ksmain::Kestrel k;
  k.setProgressBarTarget("red");
  k.setProgressBarActual("green");
  Variant grid, connect("Data Source=" + p.path), count;
  for (auto _ : state) {
    Variant sortby, f;
    k.Get_ProjectListAll(grid, connect, count, sortby, f, f, f, f, f);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = Rows(grid);
}

void MemberProjectGantt(benchmark::State& state, int scale) {
  const Portfolio& p = PortfolioAt(scale);
  ksmain::Kestrel k;
  Variant grid, connect("Data Source=" + p.path), count;
  for (auto _ : state) {
    Variant sortby, status("Z"), f, from(p.gantt_from), to(p.gantt_to);
    Variant dept, owner, priority, type;
    k.Get_ProjectListAllGanttChartView(grid, connect, count, sortby, status, dept, owner,
                                       priority, type, from, to);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = Rows(grid);
}

void MemberStepsGantt(benchmark::State& state, int scale) {
  const Portfolio& p = PortfolioAt(scale);
  ksmain::Kestrel k;
  Variant grid, connect("Data Source=" + p.path), id(p.step_project), from("1/1/1990"),
      to("12/31/2099");
  for (auto _ : state) {
    k.Get_StepsListAllGanttChartView(grid, connect, id, from, to);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = Rows(grid);
}

void MemberAttendance(benchmark::State& state, int scale) {
  const Portfolio& p = PortfolioAt(scale);
  ksmain::Kestrel k;
  Variant grid, connect("Data Source=" + p.path), date(p.meeting), sort("");
  for (auto _ : state) {
    k.Get_ResourceAttendees(grid, connect, date, sort);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = Rows(grid);
}

void MemberSearch(benchmark::State& state, int scale) {
  const Catalogue& c = UseCatalogue(scale);
  ksmain::InsertTable_summary object;
  Variant grid(VarArray::Grid(250, 25)), conn("Data Source=" + c.path), count;
  for (auto _ : state) {
    object.Get_SimpleSearch(grid, conn, count, "", "", "", "", "", "", "", "", "1", "");
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = Rows(grid);
}

void MemberCategories(benchmark::State& state, int scale) {
  const Catalogue& c = UseCatalogue(scale);
  ksmain::InsertTable_summary object;
  Variant grid, conn("Data Source=" + c.path), count;
  for (auto _ : state) {
    object.Get_Categories(grid, conn, count, "", "", "", "", "", "", "");
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = Rows(grid);
}

void MemberRandomImages(benchmark::State& state, int scale) {
  const Catalogue& c = UseCatalogue(scale);
  ksmain::InsertTable_summary object;
  Variant grid;
  for (auto _ : state) {
    object.GetRandomImages(grid, "Data Source=" + c.path, c.category, "", "", "", "", "", "");
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = Rows(grid);
}

// ---- The same work on the raw engine API -----------------------------------------------

class RawDb {
 public:
  explicit RawDb(const std::string& path) {
    sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  }
  ~RawDb() {
    for (sqlite3_stmt* st : statements_) sqlite3_finalize(st);
    sqlite3_close_v2(db_);
  }
  sqlite3_stmt* operator()(const std::string& sql) {
    statements_.push_back(Prepare(db_, sql));
    return statements_.back();
  }

 private:
  sqlite3* db_ = nullptr;
  std::vector<sqlite3_stmt*> statements_;
};

void Bind(sqlite3_stmt* st, int i, const std::string& text) {
  sqlite3_bind_text(st, i, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// Copies rows into a grid until the statement ends or the grid is full (one more row is
// read, as the member fails at it); `column[i]` is the grid column of result column i.
// A list that does not fit is counted by `count` (bound as the list is), as the member
// counts it for its overflow message.
template <class PerRow>
int CopyInto(sqlite3_stmt* st, VarArray& cells, bool row_first, int capacity,
             const std::vector<int>& column, const std::vector<bool>& dates, PerRow per_row,
             sqlite3_stmt* count = nullptr) {
  int row = 0;
  while (sqlite3_step(st) == SQLITE_ROW) {
    if (++row > capacity) {
      if (count != nullptr) {
        sqlite3_step(count);
        benchmark::DoNotOptimize(sqlite3_column_int64(count, 0));
        sqlite3_reset(count);
      }
      break;
    }
    for (std::size_t i = 0; i < column.size(); ++i) {
      const int r = row, c = column[i];
      (row_first ? cells.at({r, c}) : cells.at({c, r})) = ColumnValue(st, static_cast<int>(i), dates[i]);
    }
    per_row(row);
  }
  sqlite3_reset(st);
  return row;
}

constexpr const char* kProjectJoinChain =
    " FROM ProjectMaster pm LEFT JOIN Resource r ON r.ID = pm.ProjectOwner"
    " LEFT JOIN \"type\" t ON t.ID = pm.ProjectType LEFT JOIN priority p ON p.ID = pm.Priority"
    " LEFT JOIN Status s ON s.ID = pm.Status LEFT JOIN department d ON d.ID = pm.Department"
    " WHERE pm.Status LIKE '%' AND pm.Department LIKE '%' AND pm.ProjectOwner LIKE '%'"
    " AND pm.Priority LIKE '%' AND pm.ProjectType LIKE '%'";

void RawProjectList(benchmark::State& state, int scale) {
  const Portfolio& p = PortfolioAt(scale);
  ksmain::Kestrel k;
  k.setProgressBarTarget("red");
  k.setProgressBarActual("green");
  RawDb db(p.path);
  sqlite3_stmt* st = db(
      std::string("SELECT pm.ProjectNo, pm.NameOfProject, pm.PercentCompleted,"
                  " pm.EstDateCompleted, pm.EstDateStarted, pm.ActDateStarted, pm.ActDateCompleted,"
                  " pm.ProjectRank, pm.ID, r.FirstName, r.LastName, t.TypeDescription,"
                  " p.PriorityDescription, s.Description, d.DepartmentName") +
      kProjectJoinChain + " ORDER BY pm.ProjectRank DESC, pm.EstDateStarted LIMIT 501");
  sqlite3_stmt* count = db(std::string("SELECT count(*)") + kProjectJoinChain);
  const std::vector<int> column = {0, 1, 5, 7, 8, 9, 10, 14, 15, 16, 2, 3, 4, 6, 11};
  const std::vector<bool> dates = {false, false, false, true, true, true, true, false,
                                   false, false, false, false, false, false, false};
  int rows = 0;
  for (auto _ : state) {
    Variant grid = VarArray::Grid(500, 19);
    VarArray& cells = grid.MutableArray();
    Variant bar, target;
    rows = CopyInto(st, cells, true, 500, column, dates, [&](int row) {
      ksmain::bench::FillProjectBar(k, cells, row, bar, target);
    }, count);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = rows > 500 ? -1 : rows;
}

void RawProjectGantt(benchmark::State& state, int scale) {
  const Portfolio& p = PortfolioAt(scale);
  RawDb db(p.path);
  const std::string window =
      " AND ((pm.EstDateStarted BETWEEN ?1 AND ?2) OR (pm.EstDateCompleted BETWEEN ?1 AND ?2)"
      " OR (pm.EstDateStarted < ?1 AND pm.EstDateCompleted > ?2))";
  sqlite3_stmt* st = db(
      std::string("SELECT pm.NameOfProject, pm.EstDateStarted, pm.EstDateCompleted, pm.ID,"
                  " r.FirstName, r.LastName, d.DepartmentName, s.Description, pm.ProjectOwner,"
                  " r.NoOfProjects") +
      kProjectJoinChain + window + " ORDER BY r.LastName, r.FirstName, pm.EstDateCompleted LIMIT 701");
  sqlite3_stmt* count = db(std::string("SELECT count(*)") + kProjectJoinChain + window);
  for (sqlite3_stmt* s : {st, count}) {
    Bind(s, 1, p.gantt_from);
    Bind(s, 2, p.gantt_to);
  }
  const std::vector<int> column = {0, 1, 2, 4, 6, 7, 9, 10, 3, 8};
  const std::vector<bool> dates = {false, true, true, false, false,
                                   false, false, false, false, false};
  int rows = 0;
  for (auto _ : state) {
    Variant grid = VarArray::Grid(10, 700);
    rows = CopyInto(st, grid.MutableArray(), false, 700, column, dates, [](int) {}, count);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = rows > 700 ? -1 : rows;
}

void RawStepsGantt(benchmark::State& state, int scale) {
  const Portfolio& p = PortfolioAt(scale);
  RawDb db(p.path);
  sqlite3_stmt* st = db(
      "SELECT ps.StepName, ps.EstStartDate, ps.EstCompletionDate, ps.ResourceID, ps.ProjectID,"
      " (SELECT NameOfProject FROM ProjectMaster WHERE ID = ?3), r.FirstName, r.LastName,"
      " r.NoOfProjects, (SELECT EstDateCompleted FROM ProjectMaster WHERE ID = ?3),"
      " s.Description, ps.ID"
      " FROM ProjectSteps ps JOIN Resource r ON ps.ResourceID = r.ID"
      " JOIN Status s ON ps.Status = s.ID WHERE ps.ProjectID = ?3"
      " AND ((ps.EstStartDate BETWEEN ?1 AND ?2) OR (ps.EstCompletionDate BETWEEN ?1 AND ?2)"
      " OR (ps.EstStartDate < ?1 AND ps.EstCompletionDate > ?2))"
      " ORDER BY ps.EstCompletionDate");
  Bind(st, 1, "1990-01-01");
  Bind(st, 2, "2099-12-31");
  sqlite3_bind_int(st, 3, p.step_project);
  const std::vector<int> column = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  const std::vector<bool> dates = {false, true, true, false, false, false,
                                   false, false, false, true, false, false};
  int rows = 0;
  for (auto _ : state) {
    Variant grid = VarArray::Grid(11, 500);
    rows = CopyInto(st, grid.MutableArray(), false, 500, column, dates, [](int) {});
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = rows;
}

void RawAttendance(benchmark::State& state, int scale) {
  const Portfolio& p = PortfolioAt(scale);
  RawDb db(p.path);
  sqlite3_stmt* list = db(
      "SELECT DISTINCT Resource.ID, Resource.ResourceNo, Resource.Department, Resource.FirstName,"
      " Resource.LastName, Resource.Title, Resource.NoOfProjects FROM Resource"
      " WHERE FirstName <> 'Unassigned' ORDER BY LastName, FirstName ASC LIMIT 501");
  sqlite3_stmt* count = db(
      "SELECT count(*) FROM (SELECT DISTINCT Resource.ID, Resource.ResourceNo,"
      " Resource.Department, Resource.FirstName, Resource.LastName, Resource.Title,"
      " Resource.NoOfProjects FROM Resource WHERE FirstName <> 'Unassigned')");
  sqlite3_stmt* flag = db(
      "SELECT DISTINCT Resource.ID FROM Resource INNER JOIN Attendees"
      " ON Resource.ID = Attendees.AttendeeID WHERE Resource.ID = ?1 AND ActualReviewDate = ?2");
  Bind(flag, 2, p.meeting);
  const std::vector<int> column = {0, 1, 2, 3, 4, 5, 6};
  const std::vector<bool> dates(7, false);
  int rows = 0;
  for (auto _ : state) {
    Variant grid = VarArray::Grid(500, 8);
    VarArray& cells = grid.MutableArray();
    rows = CopyInto(list, cells, true, 500, column, dates, [&](int row) {
      sqlite3_bind_int64(flag, 1, vb::CLng(cells.at({row, 0})));
      cells.at({row, 7}) = sqlite3_step(flag) == SQLITE_ROW ? "Y" : "N";
      sqlite3_reset(flag);
    }, count);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = rows > 500 ? -1 : rows;
}

void RawSearch(benchmark::State& state, int scale) {
  const Catalogue& c = CatalogueAt(scale);
  RawDb db(c.path);
  sqlite3_stmt* search = db(
      "SELECT ID, Title, Summary, BodyText, Cost, sale_price, shipping_cost, mfg_part_number, "
      "cont_part_number, ImageThumbnail, Image1, beg_year, end_year, Link1, Link2, MiscParm1, "
      "MiscParm2, MiscParm3, MiscParm4, MiscParm5, clientID, DateTimeValue FROM entries "
      "WHERE ActiveInd = 'Y' AND ExpireDate >= ?1 AND Title LIKE '%%' ORDER BY Title LIMIT 250");
  sqlite3_stmt* sponsor = db(
      "SELECT 1 FROM campaigns WHERE Camplevel = 3 AND begindate <= ?1 AND enddate >= ?1 AND "
      "activeind = 'Y' AND clientID = ?2");
  const std::vector<int> column = {0,  1,  2, 15, 16, 25, 3,  17, 4,  5,  24,
                                   21, 22, 6, 7,  8,  9,  10, 18, 19, 11, 12};
  const std::vector<bool> dates(column.size(), false);
  int rows = 0;
  for (auto _ : state) {
    Variant grid(VarArray::Grid(250, 25));
    VarArray& cells = grid.MutableArray();
    const std::string now = vb::ToIso(vb::Now());
    Bind(search, 1, now);
    Bind(sponsor, 1, now);
    rows = CopyInto(search, cells, true, 250, column, dates, [&](int row) {
      cells.at({row, 23}) = cells.at({row, 4});
      sqlite3_bind_int64(sponsor, 2, vb::CLng(cells.at({row, 11})));
      cells.at({row, 20}) = Variant(sqlite3_step(sponsor) == SQLITE_ROW ? "Y" : "N");
      sqlite3_reset(sponsor);
    });
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = rows;
}

void RawCategories(benchmark::State& state, int scale) {
  const Catalogue& c = CatalogueAt(scale);
  RawDb db(c.path);
  sqlite3_stmt* list = db("SELECT ID, category FROM category ORDER BY category");
  sqlite3_stmt* counts = db("SELECT sum(entrycnt) FROM entrycounts WHERE categoryid = ?1");
  int rows = 0;
  for (auto _ : state) {
    Variant grid(VarArray::Grid(100, 3));
    VarArray& g = grid.MutableArray();
    rows = ksmain::bench::FillCategoryCounts(g, list, counts);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = rows;
}

void RawRandomImages(benchmark::State& state, int scale) {
  const Catalogue& c = CatalogueAt(scale);
  RawDb db(c.path);
  const std::string where =
      " FROM entries WHERE length(image1) > 4 AND ?1 <= ExpireDate AND ActiveInd = 'Y'"
      " AND CategoryID = ?2";
  sqlite3_stmt* count = db("SELECT count(*)" + where);
  sqlite3_stmt* pick = db(
      "SELECT ID, TITLE, CONT_PART_NUMBER, LINK1, LINK2, MISCPARM1, MISCPARM2, MISCPARM3,"
      " CLIENTID, BEG_YEAR, END_YEAR, IMAGE1, SALE_PRICE, SUBCATEGORYid2" + where);
  int rows = 0;
  for (auto _ : state) {
    const std::string now = vb::ToIso(vb::Now());
    for (sqlite3_stmt* st : {count, pick}) {
      Bind(st, 1, now);
      Bind(st, 2, c.category);
    }
    sqlite3_step(count);
    const int matches = sqlite3_column_int(count, 0);
    sqlite3_reset(count);
    // The member's rule: a random stride below the step between twelve evenly spaced picks,
    // fewer picks (the step rounded) when there are fewer matches, and a pick past the
    // last match ends the call without a count.
    const double step = static_cast<double>(matches) / 12.0;
    const int stride = static_cast<int>(std::floor(vb::Rnd() * step));
    const int picks = std::min(12, static_cast<int>(std::nearbyint(step)));
    Variant grid(VarArray::Grid(14, 12));
    VarArray& g = grid.MutableArray();
    int position = -1;
    rows = -1;
    for (int row = 0, record = 0; row <= picks && record < matches; ++row, record += stride) {
      while (position < record && sqlite3_step(pick) == SQLITE_ROW) ++position;
      for (int f = 0; f < 14; ++f) g.at({f + 1, row}) = ColumnValue(pick, f);
      if (row == picks) rows = picks;
    }
    sqlite3_reset(pick);
    benchmark::DoNotOptimize(grid);
  }
  state.counters["rows"] = rows;
}

// ---- Registration and the ratio table --------------------------------------------------

struct Pair {
  const char* name;
  void (*member)(benchmark::State&, int);
  void (*raw)(benchmark::State&, int);
};

constexpr Pair kPairs[] = {
    {"ProjectList", MemberProjectList, RawProjectList},
    {"ProjectGantt", MemberProjectGantt, RawProjectGantt},
    {"StepsGantt", MemberStepsGantt, RawStepsGantt},
    {"Attendance", MemberAttendance, RawAttendance},
    {"SimpleSearch", MemberSearch, RawSearch},
    {"Categories", MemberCategories, RawCategories},
    {"RandomImages", MemberRandomImages, RawRandomImages},
};

std::string Name(const char* side, const char* pair, int scale) {
  return std::string(side) + "/" + pair + "/" + std::to_string(scale) + "x";
}

// Keeps each benchmark's CPU time per call (the median when runs are repeated) for the
// table printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      std::string name = run.run_name.function_name;
      times_[name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\n%-14s %6s %14s %14s %7s\n", "member", "size", "member us", "raw us", "ratio");
    for (const Pair& pair : kPairs) {
      for (int scale : kScales) {
        auto m = times_.find(Name("Member", pair.name, scale));
        auto r = times_.find(Name("Raw", pair.name, scale));
        if (m == times_.end() || r == times_.end()) continue;
        std::printf("%-14s %5dx %14.1f %14.1f %6.2fx\n", pair.name, scale, m->second, r->second,
                    m->second / r->second);
      }
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  for (const Pair& pair : kPairs) {
    for (int scale : kScales) {
      for (bool member : {true, false}) {
        auto body = member ? pair.member : pair.raw;
        benchmark::RegisterBenchmark(Name(member ? "Member" : "Raw", pair.name, scale).c_str(),
                                     [body, scale](benchmark::State& state) { body(state, scale); })
            ->Unit(benchmark::kMicrosecond);
      }
    }
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  ksmain::data::ResetPool();
  for (int scale : kScales) std::filesystem::remove_all(Folder(scale));
  return 0;
}
