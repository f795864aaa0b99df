// The import: the Access samples copied whole, an old portfolio file matched to the schema
// and read back by the members, and the refusals that keep a destination intact.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "data/engine_admin.h"
#include "data/scratch_db.h"
#include "frame/vb_runtime.h"
#include "import/convert.h"
#include "import/import.h"
#include "ksmain/kestrel.h"
#include "schema/schema.h"
#include "support/engines.h"

namespace ksmain {
namespace {

using testing::ScratchDir;

std::string Sample(const char* name) { return std::string(KSMAIN_ACCESS_SAMPLES) + "/" + name; }

import::Report RunImport(const std::string& src, const std::string& dest,
                         std::optional<import::SchemaKind> schema = std::nullopt, bool append = false) {
  import::Options options;
  options.source = src;
  options.destination = dest;
  options.schema = schema;
  options.append = append;
  return import::Run(options);
}

Variant Date(const char* iso) { return Variant::FromDate(*vb::ParseIso(iso)); }

// The trading sample on either engine: every table's rows, and values in the kinds the data
// layer reads back (dates as dates, freight as currency) or, on the server, as its text.
class ImportTrading : public ::testing::TestWithParam<testing::Engine> {};

TEST_P(ImportTrading, SampleComesInWhole) {
  KSMAIN_SKIP_WITHOUT_SERVER(GetParam());
  const bool server = GetParam() == testing::Engine::Server;
  ScratchDir dir;
  std::unique_ptr<testing::ServerDatabase> on_server;
  if (server) on_server = std::make_unique<testing::ServerDatabase>();
  const std::string dest = server ? on_server->connect() : dir.File("trading.db");
  import::Report report = RunImport(Sample("nwind.mdb"), dest);
  ASSERT_EQ(report.failure, "");
  data::EngineDatabase db = data::EngineDatabase::Open(dest);

  struct Count {
    const char* table;
    int rows;
  };
  const Count counts[] = {{"Orders", 830},    {"Customers", 91}, {"Products", 77},
                          {"Employees", 9},   {"Order Details", 2155}, {"Shippers", 3},
                          {"Categories", 8},  {"Suppliers", 29}, {"Umsätze", 830}};
  ASSERT_EQ(report.tables.size(), std::size(counts));
  for (const Count& c : counts) {
    EXPECT_EQ(vb::CLng(db.Scalar(std::string("SELECT count(*) FROM \"") + c.table + "\"")), c.rows) << c.table;
  }
  for (const import::TableReport& t : report.tables) {
    EXPECT_EQ(t.read, t.written) << t.source;
    EXPECT_EQ(t.refused, 0) << t.source;
  }

  struct Value {
    bool on_server;
    const char* sql;
    Variant expected;
  };
  const Value values[] = {
      {false, "SELECT OrderDate FROM Orders WHERE OrderID = 10248", Date("1994-08-04")},
      {false, "SELECT RequiredDate FROM Orders WHERE OrderID = 10248", Date("1994-09-01")},
      {false, "SELECT ShippedDate FROM Orders WHERE OrderID = 10248", Date("1994-08-16")},
      {false, "SELECT Freight FROM Orders WHERE OrderID = 10248", Variant::FromCurrency(323800)},
      {false, "SELECT Address FROM Employees WHERE EmployeeID = 1", Variant("507 - 20th Ave. E.\r\nApt. 2A")},
      {false, "SELECT length(Picture) FROM Categories WHERE CategoryID = 1", Variant(10746)},
      {false, "SELECT typeof(Picture) FROM Categories WHERE CategoryID = 1", Variant("blob")},
      {false, "SELECT group_concat(length(Photo)) FROM Employees", Variant("21626,21626,21722,21626,21626,21626,21626,21626,21626")},
      {false, "SELECT count(*) FROM Employees WHERE Notes LIKE 'Education includes a BA%'", Variant(1)},
      {false, "SELECT count(*) FROM \"Order Details\" WHERE Discount > 0", Variant(838)},
      {true, "SELECT \"Freight\"::text FROM \"Orders\" WHERE \"OrderID\" = 10248", Variant("32.3800")},
      {true, "SELECT \"OrderDate\"::text FROM \"Orders\" WHERE \"OrderID\" = 10248", Variant("1994-08-04 00:00:00")},
      {true, "SELECT md5(\"Picture\") FROM \"Categories\" WHERE \"CategoryID\" = 1",
       Variant("a98253ec45703183b598e5beaf5ac7c6")},
      {true, "SELECT count(*) FROM \"Customers\" WHERE \"CompanyName\" = 'ALFREDS FUTTERKISTE'", Variant(1)},
  };
  for (const Value& v : values) {
    if (v.on_server != server) continue;
    const Variant got = db.Scalar(v.sql);
    EXPECT_EQ(server ? Variant(vb::CStr(got)) : got, server ? Variant(vb::CStr(v.expected)) : v.expected) << v.sql;
  }
}

KSMAIN_ON_BOTH_ENGINES(ImportTrading);

TEST(ImportAccess, DateSampleKeepsEveryDayNumber) {
  ScratchDir dir;
  const std::string dest = dir.File("dates.db");
  ASSERT_EQ(RunImport(Sample("DateTestDatabase.mdb"), dest).failure, "");
  data::EngineDatabase db = data::EngineDatabase::Open(dest);
  // The day numbers as the file stores them (each found as its 8-byte double in the file).
  const auto row = [](int id, double datetime, double date, double time, const char* memo) {
    return std::vector<Variant>{Variant(id), Variant::FromDate(datetime), Variant::FromDate(date),
                                Variant::FromDate(time), Variant(memo)};
  };
  const std::vector<std::vector<Variant>> rows = {
      row(1, 44532, 44532, 44532, "Hello"),
      row(2, 2958101, 2958101, 2958101, "Year 9999"),
      row(3, -728, -363, 2, "Pre-1900 years"),
      row(4, -463126, -462760, -462395, "Pre-1000 years"),
      row(5, 44532, 44532, 44532, "Escaped new line \\r\\n in field"),
      row(6, 44532, 44532, 44532, "New line\r\nin field"),
  };
  EXPECT_EQ(db.Rows("SELECT IDCol, DateTimeCol, DateCol, TimeCol, LongTextCol FROM DateTest ORDER BY IDCol"), rows);
}

TEST(ImportConvert, ValuesTakeTheColumnKindOrAreRefused) {
  using K = import::ColumnKind;
  struct Case {
    const char* name;
    Variant in;
    K kind;
    Variant out;  // Empty: refused
  };
  const Case cases[] = {
      {"1 text date", Variant("1/15/2004"), K::Date, Variant("2004-01-15")},
      {"2 text date keeps its time", Variant("3/2/2004 2:30:00 PM"), K::Date, Variant("2004-03-02 14:30:00")},
      {"3 milliseconds kept", Variant::FromDate(0.5 + 0.25 / 86400), K::Date, Variant("1899-12-30 12:00:00.250")},
      {"4 time before 1899", Variant::FromDate(-1.25), K::Date, Variant("1899-12-29 06:00:00")},
      {"5 not a date", Variant("soon"), K::Date, Variant()},
      {"6 beyond 9999", Variant::FromDate(2958466.0), K::Date, Variant()},
      {"7 rank as text", Variant(" 3 "), K::Integer, Variant(std::int16_t{3})},
      {"8 rank overflows", Variant("40000"), K::Integer, Variant()},
      {"9 empty text is Null", Variant(""), K::Long, Variant::Null()},
      {"10 amount as text", Variant("12.3456"), K::Currency, Variant::FromCurrency(123456)},
      {"11 amount a double cannot hold", Variant::FromCurrency(std::int64_t{1} << 60), K::Currency, Variant()},
      {"12 yes as text", Variant("True"), K::Boolean, Variant(true)},
      {"13 date into text", Variant::FromDate(38001), K::Text, Variant("1/15/2004")},
  };
  for (const Case& c : cases) {
    if (c.out.IsEmpty()) {
      EXPECT_THROW(import::ConvertValue(c.in, c.kind, "col"), import::ValueError) << c.name;
      continue;
    }
    EXPECT_EQ(import::ConvertValue(c.in, c.kind, "col").value, c.out) << c.name;
  }
}

// An old portfolio file: dates kept as m/d/yyyy text, ranks as text, names in other cases,
// a column and a table the schema lacks.
constexpr const char* kOldPortfolio = R"sql(
CREATE TABLE resource (id INTEGER, firstname TEXT, lastname TEXT);
INSERT INTO resource VALUES (3, 'Ann', 'Baker'), (4, 'Bo', 'Chen');
CREATE TABLE status (ID INTEGER, StatusCode TEXT, Description TEXT);
INSERT INTO status VALUES (1, 'O', 'Open');
CREATE TABLE projectmaster (ID INTEGER, NameOfProject TEXT, ProjectNo TEXT, Status INTEGER,
  ProjectOwner INTEGER, SubmittedBy INTEGER, EstDateStarted TEXT, EstDateCompleted TEXT,
  ReviewDate TEXT, SuccessRank TEXT, CostRank TEXT, EstProjectCost TEXT, OldFlag TEXT);
INSERT INTO projectmaster VALUES
  (7, 'Dock', 'P-7', 1, 3, 4, '1/15/2004', '12/31/2004', '3/2/2004 2:30:00 PM', '3', '5', '1000.25', 'x'),
  (8, 'Yard', 'P-8', 1, 4, 3, '2/1/2005', '', NULL, '', '2', NULL, NULL);
CREATE TABLE Switchboard (ItemNumber INTEGER);
)sql";

TEST(ImportSchema, OldPortfolioFileReadsBackThroughTheMembers) {
  ScratchDir dir;
  const std::string src = dir.File("old.db"), dest = dir.File("portfolio.db");
  testing::MakeDatabase(src, kOldPortfolio);
  import::Report report = RunImport(src, dest, import::SchemaKind::Portfolio);
  ASSERT_EQ(report.failure, "");
  EXPECT_EQ(report.source_only, std::vector<std::string>{"Switchboard"});
  ASSERT_EQ(report.tables.size(), 3u);
  const import::TableReport& projects = report.tables[2];
  EXPECT_EQ(projects.destination, "ProjectMaster");
  EXPECT_EQ(projects.source_only, std::vector<std::string>{"OldFlag"});
  EXPECT_EQ(projects.written, 2);
  // Three dates, two ranks and the cost of the first row; one date, one rank and two
  // empty texts (become Null) of the second.
  EXPECT_EQ(projects.converted, 10);
  EXPECT_NE(std::find(report.destination_only.begin(), report.destination_only.end(), "ProjectSteps"),
            report.destination_only.end());

  Kestrel k;
  Variant grid, connect("Data Source=" + dest), id(7);
  k.Get_ProjectSpecific(grid, connect, id);
  auto cell = [&](int c) { return grid.AsArray().at({1, c}); };
  ASSERT_EQ(grid.AsArray().at({0, 0}), Variant(std::int16_t{1}));
  EXPECT_EQ(cell(1), Variant("Dock"));
  EXPECT_EQ(cell(5), Date("2004-12-31"));
  EXPECT_EQ(cell(6), Date("2004-01-15"));
  EXPECT_EQ(cell(10), Variant("Chen"));
  EXPECT_EQ(cell(15), Variant::FromCurrency(10002500));
  EXPECT_EQ(cell(17), Date("2004-03-02 14:30:00"));
  EXPECT_EQ(cell(18), Variant(std::int16_t{3}));
  EXPECT_EQ(cell(19), Variant(std::int16_t{5}));

  Variant count, sort;
  k.Get_StatusAll(grid, connect, count, sort);
  EXPECT_EQ(grid.AsArray().at({1, 2}), Variant("Open"));
}

TEST(ImportRefusals, RowsInTheDestinationAndABadValueLeaveItAsItWas) {
  ScratchDir dir;
  const std::string dest = dir.File("trading.db");
  ASSERT_EQ(RunImport(Sample("DateTestDatabase.mdb"), dest).failure, "");
  // A destination with rows is refused before anything is written; --append adds.
  const auto rows = [&] { return data::EngineDatabase::Open(dest).Scalar("SELECT count(*) FROM DateTest"); };
  EXPECT_THROW(RunImport(Sample("DateTestDatabase.mdb"), dest), std::runtime_error);
  EXPECT_EQ(rows(), Variant(6));
  ASSERT_EQ(RunImport(Sample("DateTestDatabase.mdb"), dest, std::nullopt, true).failure, "");
  EXPECT_EQ(rows(), Variant(12));

  // The bad date sits in the second row of the second table: the first table comes in,
  // the second is rolled back, the third is never reached.
  const std::string src = dir.File("bad.db"), portfolio = dir.File("portfolio.db");
  testing::MakeDatabase(src,
                        "CREATE TABLE Status (ID INTEGER, Description TEXT);"
                        "INSERT INTO Status VALUES (1, 'Open');"
                        "CREATE TABLE ProjectMaster (ID INTEGER, EstDateStarted TEXT);"
                        "INSERT INTO ProjectMaster VALUES (7, '1/15/2004'), (8, '13/45/2004');"
                        "CREATE TABLE Resource (ID INTEGER);"
                        "INSERT INTO Resource VALUES (1);");
  import::Report report = RunImport(src, portfolio, import::SchemaKind::Portfolio);
  EXPECT_NE(report.failure.find("table 'ProjectMaster', row 2 (ID = 8), column 'EstDateStarted'"),
            std::string::npos)
      << report.failure;
  EXPECT_NE(report.failure.find("'13/45/2004'"), std::string::npos) << report.failure;
  ASSERT_EQ(report.tables.size(), 2u);
  EXPECT_EQ(report.tables[1].refused, 1);
  data::EngineDatabase db = data::EngineDatabase::Open(portfolio);
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM Status"), Variant(1));
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM ProjectMaster"), Variant(0));
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM Resource"), Variant(0));
}

// The grids two members hand a page, for comparing databases cell by cell, kinds included.
std::vector<Variant> MemberGrids(const std::string& connect_string) {
  Kestrel k;
  Variant grid, connect(connect_string), count, sort, none;
  std::vector<Variant> grids;
  k.Get_ProjectListAll(grid, connect, count, sort, none, none, none, none, none);
  grids.push_back(grid);
  sort = Variant();
  k.Get_StatusAll(grid, connect, count, sort);
  grids.push_back(grid);
  sort = Variant();
  k.Get_ResourceAll(grid, connect, count, sort);
  grids.push_back(grid);
  return grids;
}

TEST(ImportServer, DemoPortfolioThereAndBackReadsTheSame) {
  KSMAIN_SKIP_WITHOUT_SERVER(testing::Engine::Server);
  ScratchDir dir;
  testing::ServerDatabase server;
  const std::string demo = dir.File("demo.db"), back = dir.File("back.db");
  schema::CreatePortfolioDatabase(demo, true);
  ASSERT_EQ(RunImport(demo, server.connect(), import::SchemaKind::Portfolio).failure, "");
  // The server holds rows now: a second import is refused unless it appends.
  EXPECT_THROW(RunImport(demo, server.connect(), import::SchemaKind::Portfolio), std::runtime_error);
  ASSERT_EQ(RunImport(server.connect(), back, import::SchemaKind::Portfolio).failure, "");

  const std::vector<Variant> before = MemberGrids("Data Source=" + demo);
  const std::vector<Variant> after = MemberGrids("Data Source=" + back);
  const std::vector<Variant> on_server = MemberGrids(server.connect());
  for (std::size_t g = 0; g < before.size(); ++g) {
    ASSERT_TRUE(before[g].IsArray()) << g;
    for (const std::vector<Variant>* other : {&after, &on_server}) {
      ASSERT_TRUE((*other)[g].IsArray()) << g;
      const VarArray& a = before[g].AsArray();
      const VarArray& b = (*other)[g].AsArray();
      ASSERT_EQ(a.bounds(), b.bounds()) << g;
      ASSERT_GT(a.size(), 2u) << g;
      for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a.cells()[i].kind(), b.cells()[i].kind()) << g << " cell " << i;
        EXPECT_EQ(a.cells()[i], b.cells()[i]) << g << " cell " << i;
      }
    }
  }
}

// The server's dates hold whole seconds: a time with a fraction of one is refused by name,
// never rounded (at 23:59:59.5 rounding would change the day), and its table is undone.
TEST(ImportServer, ADateTheServerCannotHoldIsRefusedByName) {
  KSMAIN_SKIP_WITHOUT_SERVER(testing::Engine::Server);
  ScratchDir dir;
  testing::ServerDatabase server;
  const std::string src = dir.File("ms.db");
  testing::MakeDatabase(src,
                        "CREATE TABLE Stamps (ID INTEGER, Taken DATETIME);"
                        // A day number, as Access stores it: 12/6/2026 23:59:59.5.
                        "INSERT INTO Stamps VALUES (1, '2026-12-06 23:59:59'), (2, 46362.999994212965);");
  const import::Report report = RunImport(src, server.connect());
  EXPECT_NE(report.failure.find("table 'Stamps', row 2 (ID = 2), column 'Taken'"), std::string::npos)
      << report.failure;
  data::EngineDatabase db = data::EngineDatabase::Open(server.connect());
  // The table was made inside the failed table's transaction: the server is as it was.
  EXPECT_EQ(vb::CLng(db.Scalar("SELECT count(*) FROM information_schema.tables WHERE table_name = 'Stamps'")), 0);
}

}  // namespace
}  // namespace ksmain
