// Connection strings: parsing, and resolution through paths and the data-source table to
// a database file or a server's ODBC string.
#include "data/connection_string.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "data/datalink.h"
#include "frame/app_log.h"
#include "ksmain/error.h"
#include "scratch_db.h"
#include "support/raised.h"

namespace ksmain::data {
namespace {

using ksmain::testing::MakeDatabase;
using ksmain::testing::ScratchDir;

TEST(ConnectionStringTest, Parse) {
  using Keys = std::map<std::string, std::string>;
  struct Case {
    const char* text;
    Keys expected;
  };
  const Case cases[] = {
      /* 1 */ {"", {}},
      /* 2 */ {"Data Source=/tmp/p.db", {{"data source", "/tmp/p.db"}}},
      /* 3 */ {"  DATA source =  /tmp/p.db  ;", {{"data source", "/tmp/p.db"}}},
      /* 4 */ {"uid=sa;pwd=;driver={SQL Server};server=dbhost;Database=veldaSQL;dsn=,,connection=adConnectAsync",
               {{"uid", "sa"}, {"pwd", ""}, {"driver", "SQL Server"}, {"server", "dbhost"},
                {"database", "veldaSQL"}, {"dsn", ",,connection=adConnectAsync"}}},
      /* 5 */ {"DBQ={/tmp/a;b.mdb};x=1", {{"dbq", "/tmp/a;b.mdb"}, {"x", "1"}}},
      /* 6 */ {"pwd={a}}b};user=u", {{"pwd", "a}b"}, {"user", "u"}}},
      /* 7 */ {";;junk;a=1;A=2", {{"a", "2"}}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    EXPECT_EQ(ParseConnectionString(cases[i].text), cases[i].expected);
  }
}

constexpr const char* kPgHost = "Driver={PostgreSQL Unicode};Server=10.0.0.9;Port=5433;UID=ks;PWD=s";

// A folder of two databases reached as the server "dbhost", and a server "pghost" mapped
// to an ODBC string.
class ResolveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDatabase(dir_.File("veldaSQL.db"), "CREATE TABLE t (x)");
    MakeDatabase(dir_.File("portfolio.db"), "CREATE TABLE t (x)");
    ClearDataSources();
    SetDataSource("DbHost", dir_.dir());
    SetDataSource("pghost", kPgHost);
  }
  void TearDown() override {
    SetAllowedFolders({});
    ClearDataSources();
  }
  ScratchDir dir_;
};

TEST_F(ResolveTest, StringsReachTheirEngineAndDatabase) {
  using E = ConnectTarget::Engine;
  struct Case {
    std::string text;
    std::string path;  // the file or ODBC string reached; empty: refused
    E engine = E::Embedded;
    bool confined = false;  // the host allows only its own folders
  };
  const std::string velda = dir_.File("veldaSQL.db");
  const std::string portfolio = dir_.File("portfolio.db");
  const std::string dir_name = std::filesystem::path(dir_.dir()).filename().string();
  const std::string mapped =
      "driver=PostgreSQL Unicode;port=5433;pwd=s;server=10.0.0.9;uid=ks;Database=portfolio;";
  const std::string direct = "Driver={PostgreSQL Unicode};Server=db.example;Database=sales";
  const Case cases[] = {
      /* 1 */ {"Data Source=" + portfolio, portfolio},
      /* 2 */ {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + portfolio, portfolio},
      /* 3 */ {"Driver={Microsoft Access Driver (*.mdb)};DBQ=" + portfolio, portfolio},
      /* 4 */ {"Database=" + portfolio, portfolio},
      /* 5 */ {"uid=sa;pwd=;driver={SQL Server};server=dbhost;Database=veldaSQL;dsn=,,connection=adConnectAsync", velda},
      /* 6 */ {"server=DBHOST;database=VELDASQL", velda},
      /* 7 */ {"Data Source=dbhost;Initial Catalog=Portfolio", portfolio},
      /* 8 */ {"server=elsewhere;Database=veldaSQL", ""},
      /* 9 */ {"server=dbhost;Database=nosuch", ""},
      /* 10 */ {"server=dbhost", ""},
      /* 11 */ {"Data Source=" + dir_.File("missing.db"), ""},
      /* 12 */ {"", ""},
      /* 13 */ {"   ;  ", ""},
      // 14-18: a database reached through a server is a plain name in the server's folder.
      /* 14 */ {"server=dbhost;Initial Catalog=../" + dir_name + "/veldaSQL", ""},
      /* 15 */ {"server=dbhost;Database=" + portfolio, ""},
      /* 16 */ {"Data Source=dbhost;Database=./portfolio", ""},
      /* 17 */ {"server=dbhost;Database=..\\portfolio", ""},
      /* 18 */ {std::string("server=dbhost;Database=portfolio\0x", 34), ""},
      // 19-22: a server mapped to an ODBC string gets the page's database added to it,
      // whatever the page calls its server and database keys.
      /* 19 */ {"server=pghost;Database=portfolio", mapped, E::Server},
      /* 20 */ {"Data Source=PGHOST;Initial Catalog=portfolio", mapped, E::Server},
      /* 21 */ {"uid=sa;pwd=;driver={SQL Server};server=pghost;Database=portfolio", mapped, E::Server},
      /* 22 */ {"server=pghost;Database=portfolio", mapped, E::Server, true},
      // 23-24: a mapped server needs a database name.
      /* 23 */ {"server=pghost", "", E::Server},
      /* 24 */ {"server=pghost;Database=", "", E::Server},
      // 25-28: an unmapped driver string goes to ODBC as written, unless the host is confined.
      /* 25 */ {direct, direct, E::Server},
      /* 26 */ {"DSN=sales;UID=x", "DSN=sales;UID=x", E::Server},
      /* 27 */ {direct, "", E::Server, true},
      /* 28 */ {"DSN=sales", "", E::Server, true},
      // 29-30: a server mapped to a folder stays embedded, even in a driver string.
      /* 29 */ {"Driver={SQL Server};server=dbhost;Database=portfolio", portfolio},
      /* 30 */ {"server=dbhost;Database=portfolio", portfolio, E::Embedded, true},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    SetAllowedFolders(cases[i].confined ? std::vector<std::string>{dir_.dir()} : std::vector<std::string>{});
    if (cases[i].path.empty()) {
      EXPECT_EQ(ksmain::testing::ErrorOf([&] { ResolveConnectionString(cases[i].text); }), err::kDatabaseError);
      continue;
    }
    const ConnectTarget target = ResolveConnectionString(cases[i].text);
    EXPECT_EQ(target.engine, cases[i].engine);
    EXPECT_EQ(target.path, cases[i].path);
  }
}

// Neither the shared cache nor a thread's memo of the strings it opened lately outlives a
// change of the data-source table or of the file at the path.
TEST_F(ResolveTest, DataSourceChangesTakeEffect) {
  const std::string text = "server=dbhost;Database=veldaSQL";
  using Resolver = ConnectTarget (*)(std::string_view);
  const Resolver resolvers[] = {ResolveConnectionString,
                                [](std::string_view t) { return ConnectTarget(ResolveForOpen(t)); }};
  for (Resolver resolve : resolvers) {
    const std::string before = resolve(text).identity;
    ClearDataSources();
    EXPECT_THROW(resolve(text), VbError);
    SetDataSource("dbhost", dir_.dir() + "/");
    EXPECT_EQ(resolve(text).path, dir_.File("veldaSQL.db"));
    // The earlier file is kept, so the new one cannot be given its inode again.
    std::filesystem::rename(dir_.File("veldaSQL.db"), dir_.File("kept" + before + ".db"));
    MakeDatabase(dir_.File("veldaSQL.db"), "CREATE TABLE t (x)");
    EXPECT_NE(resolve(text).identity, before) << "the file replaced at the path";
  }
}

// A file replaced at its path after opens that the directory watch answered is noticed by
// the next open, and the path is watched again after it; a path through a symbolic link is
// looked at on every open instead. A new file beside the database changes nothing.
TEST_F(ResolveTest, ReplacedFileIsNoticedAfterWatchedOpens) {
  namespace fs = std::filesystem;
  const std::string base = fs::canonical(dir_.dir()).string();
  using Change = void (*)(const std::string& folder, const std::string& file, const std::string& text);
  static constexpr Change kRestoreBackup = [](const std::string& folder, const std::string& file,
                                              const std::string&) {
    MakeDatabase(folder + "/backup.db", "CREATE TABLE t (x)");
    fs::rename(folder + "/backup.db", file);
  };
  struct Case {
    const char* name;
    bool through_link;
    bool replaces;
    Change change;
  };
  const Case cases[] = {
      {"backup renamed over", false, true, kRestoreBackup},
      {"deleted and made anew", false, true,
       [](const std::string& folder, const std::string& file, const std::string&) {
         fs::create_hard_link(file, folder + "-kept.db");  // its inode stays taken
         fs::remove(file);
         MakeDatabase(file, "CREATE TABLE t (x)");
       }},
      {"folder renamed away and made anew", false, true,
       [](const std::string& folder, const std::string& file, const std::string&) {
         fs::rename(folder, folder + "-old");
         fs::create_directory(folder);
         MakeDatabase(file, "CREATE TABLE t (x)");
       }},
      {"through a link", true, true, kRestoreBackup},
      {"another file beside it", false, false,
       [](const std::string& folder, const std::string&, const std::string&) {
         MakeDatabase(folder + "/other.db", "CREATE TABLE t (x)");
       }},
      // A forked child's watch must not take the parent's news away.
      {"backup renamed over, a forked child opening first", false, true,
       [](const std::string& folder, const std::string& file, const std::string& text) {
         kRestoreBackup(folder, file, text);
         const pid_t child = ::fork();
         if (child == 0) {
           try {
             ResolveForOpen(text);
           } catch (...) {
           }
           ::_exit(0);
         }
         ::waitpid(child, nullptr, 0);
       }},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = base + "/w" + std::to_string(++row);
    const std::string file = folder + "/d.db";
    fs::create_directory(folder);
    MakeDatabase(file, "CREATE TABLE t (x)");
    std::string path = file;
    if (c.through_link) {
      fs::create_directory_symlink(folder, folder + "-link");
      path = folder + "-link/d.db";
    }
    const std::string text = "Data Source=" + path;
    // Filled from the shared cache, armed, then answered by the watch.
    const auto opens = [&] {
      const std::uint64_t before = OpensAnsweredByWatch();
      std::string identity;
      for (int i = 0; i < 3; ++i) identity = ResolveForOpen(text).identity;
      EXPECT_EQ(OpensAnsweredByWatch() > before, !c.through_link);
      return identity;
    };
    const std::string before = opens();
    c.change(folder, file, text);
    EXPECT_EQ(ResolveForOpen(text).identity != before, c.replaces);
    EXPECT_EQ(opens() != before, c.replaces);
  }
}

// Confined to allowed folders, a string leads only to regular files inside them or inside
// a server's folder; every refusal is logged once with its path and creates nothing.
TEST_F(ResolveTest, AllowedFoldersConfineEveryString) {
  namespace fs = std::filesystem;
  fs::create_directories(dir_.File("ok/dir.db"));
  fs::create_directories(dir_.File("srv"));
  MakeDatabase(dir_.File("ok/a.db"), "CREATE TABLE t (x)");
  MakeDatabase(dir_.File("srv/s.db"), "CREATE TABLE t (x)");
  fs::create_symlink(dir_.File("portfolio.db"), dir_.File("ok/out.db"));
  fs::create_symlink(dir_.File("ok/a.db"), dir_.File("srv/in.db"));
  ASSERT_EQ(::mkfifo(dir_.File("ok/fifo.db").c_str(), 0600), 0);
  ClearDataSources();
  SetDataSource("dbhost", dir_.File("srv"));
  SetAllowedFolders({dir_.File("ok/../ok/")});
  std::vector<std::string> log;
  SetApplicationLogSink([&](std::string_view m) { log.emplace_back(m); });
  struct Case {
    std::string text;
    bool allowed;
  };
  const Case cases[] = {
      /* 1 */ {"Data Source=" + dir_.File("ok/a.db"), true},
      /* 2 */ {"server=dbhost;Database=s", true},
      /* 3 */ {"Data Source=" + dir_.File("srv/in.db"), true},
      /* 4 */ {"Data Source=" + dir_.File("portfolio.db"), false},
      /* 5 */ {"Data Source=" + dir_.File("ok/../portfolio.db"), false},
      /* 6 */ {"Data Source=" + dir_.File("ok/out.db"), false},
      /* 7 */ {"Data Source=" + dir_.File("ok/dir.db"), false},
      /* 8 */ {"Data Source=" + dir_.File("ok/fifo.db"), false},
      /* 9 */ {"Data Source=/dev/null", false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    log.clear();
    if (cases[i].allowed) {
      EXPECT_NO_THROW(ResolveConnectionString(cases[i].text));
      EXPECT_TRUE(log.empty());
      continue;
    }
    EXPECT_THROW(ResolveConnectionString(cases[i].text), VbError);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(cases[i].text.substr(12)), std::string::npos) << log[0];
  }
  // A cached string whose file becomes a link out of the folders is refused from then on.
  fs::remove(dir_.File("ok/a.db"));
  fs::create_symlink(dir_.File("portfolio.db"), dir_.File("ok/a.db"));
  EXPECT_THROW(ResolveConnectionString("Data Source=" + dir_.File("ok/a.db")), VbError);
  SetAllowedFolders({});
  EXPECT_NO_THROW(ResolveConnectionString("Data Source=" + dir_.File("portfolio.db")));
  SetApplicationLogSink({});
  EXPECT_FALSE(fs::exists(dir_.File("portfolio.db-wal")));
}

// The cache keeps what it holds within its byte bound however long the strings are.
TEST_F(ResolveTest, CacheIsBoundedByBytes) {
  const std::string base = "Data Source=" + dir_.File("portfolio.db") + ";x=";
  for (int i = 0; i < 300; ++i) {
    const std::string padded = base + std::string(static_cast<std::size_t>(i) * 64, 'a');
    ASSERT_EQ(ResolveConnectionString(padded).path, dir_.File("portfolio.db"));
    ASSERT_LE(ResolutionCacheBytes(), 256u * 1024u);
  }
  const std::string huge = base + std::string(4u << 20, 'b');
  ASSERT_EQ(ResolveConnectionString(huge).path, dir_.File("portfolio.db"));
  EXPECT_LE(ResolutionCacheBytes(), 256u * 1024u);
}

// (A host set by the deployment: MembersTest.CatalogueListingThroughDeploymentSettings.)
TEST(CatalogueHostTest, DefaultsToLocalhost) { EXPECT_EQ(CatalogueHost(), "localhost"); }

}  // namespace
}  // namespace ksmain::data
