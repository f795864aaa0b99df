// DataLink, Connection and Recordset against the embedded engine: value kinds, field
// look-up, recordset states and the errors members rely on.
#include "data/datalink.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "data/driver.h"
#include "data/grid_query.h"
#include "frame/vb_runtime.h"
#include "scratch_db.h"
#include "support/raised.h"

namespace ksmain::data {
namespace {

using ksmain::testing::ErrorOf;
using ksmain::testing::MakeDatabase;
using ksmain::testing::RaisedBy;
using ksmain::testing::ScratchDir;

constexpr std::string_view kKindsDdl = R"sql(
CREATE TABLE kinds (
  ID INTEGER PRIMARY KEY, small SMALLINT, big INTEGER, ratio REAL, price MONEY, flag BIT,
  stamp DATETIME, name VARCHAR(50) COLLATE NOCASE, plain
);
INSERT INTO kinds VALUES (1, 7, 70000, 2.5, 12.34, 1, '2026-12-06', 'Alpha', 5);
INSERT INTO kinds VALUES (2, -3, 5000000000, 0.125, 0, 0, '2026-12-06 14:05:09', 'beta', 2.5);
INSERT INTO kinds VALUES (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 'text');
INSERT INTO kinds VALUES (4, 40000, 1, 1, 1.5, -1, '12/25/2026', '', NULL);
INSERT INTO kinds VALUES (5, 1, 1, 1, 'n/a', 'yes', 'not a date', 'x', 9000000000);
)sql";

class DataLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { connect_ = MakeDatabase(dir_.File("kinds.db"), kKindsDdl); }
  ScratchDir dir_;
  std::string connect_;
};

Variant Fetch(const std::string& connect, int id, std::string_view field) {
  DataLink link(Variant(connect), sql::Dialect::Jet);
  Recordset& rs = link.Query("SELECT * FROM kinds WHERE ID = " + std::to_string(id));
  EXPECT_FALSE(rs.AtEof());
  return rs.Field(field);
}

// Beyond the declared types' plain values (EngineData.ValueKinds, on each engine): a column
// without a declared type, and values that do not fit their column's type, keep the kind
// of what is stored rather than failing the read; a Long too wide becomes a Double.
TEST_F(DataLinkTest, ValueKindsFollowWhatIsStored) {
  struct Case {
    int id;
    const char* field;
    Variant expected;
  };
  const Case cases[] = {
      /* 1 */ {1, "plain", Variant(std::int32_t{5})},
      /* 2 */ {2, "big", Variant(5000000000.0)},
      /* 3 */ {2, "plain", Variant(2.5)},
      /* 4 */ {3, "plain", Variant("text")},
      /* 5 */ {4, "small", Variant(std::int32_t{40000})},
      /* 6 */ {4, "flag", Variant(true)},
      /* 7 */ {4, "stamp", Variant::FromDate(vb::DateSerial({2026, 12, 25}))},
      /* 8 */ {4, "price", Variant::FromCurrency(15000)},
      /* 9 */ {5, "price", Variant("n/a")},
      /* 10 */ {5, "flag", Variant("yes")},
      /* 11 */ {5, "stamp", Variant("not a date")},
      /* 12 */ {5, "plain", Variant(9000000000.0)},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    EXPECT_EQ(Fetch(connect_, cases[i].id, cases[i].field), cases[i].expected);
  }
}

// A fill finds each mapped field on the first record and reads the later ones by position:
// every row gets its own values, and a field the result lacks fails where a read by name
// fails, at that field of the first row after the fields before it were written; an
// empty result looks up nothing.
TEST_F(DataLinkTest, GridFillFindsFieldsOnceAndFailsWhereReadingByNameWould) {
  const std::vector<FieldColumn> by_case{{2, "NAME"}, {0, "id"}, {1, "Stamp"}};
  const std::vector<FieldColumn> lacking{{0, "id"}, {1, "nosuch"}, {2, "name"}};
  const Variant alpha_day = Variant::FromDate(vb::DateSerial({2026, 12, 6}));
  struct Case {
    const char* where;
    const std::vector<FieldColumn>* mapping;
    bool fails;
    std::vector<Variant> rows;  // rows 1 and 2, columns 0..2
    Variant count;
  };
  const Case cases[] = {
      {"ID IN (1, 4)", &by_case, false,
       {Variant(1), alpha_day, Variant("Alpha"), Variant(4),
        Variant::FromDate(vb::DateSerial({2026, 12, 25})), Variant("")},
       Variant(std::int16_t{2})},
      {"ID IN (1, 4)", &lacking, true,
       {Variant(1), Variant(), Variant(), Variant(), Variant(), Variant()}, Variant()},
      {"ID > 99", &lacking, false, std::vector<Variant>(6), Variant(std::int16_t{0})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where + std::string(c.fails ? " lacking" : ""));
    Variant target;
    ResultGrid grid = ResultGrid::Create(target, Orientation::RowFirst, 3, 2);
    const std::string sql = std::string("SELECT ID, name, stamp FROM kinds WHERE ") + c.where +
                            " ORDER BY ID";
    try {
      QueryIntoGrid(grid, Variant(connect_), sql::Dialect::Jet, sql, *c.mapping);
      EXPECT_FALSE(c.fails);
    } catch (const VbError& e) {
      EXPECT_TRUE(c.fails);
      EXPECT_EQ(e.number(), err::kItemNotFound);
    }
    const VarArray& a = target.AsArray();
    EXPECT_EQ(a.at({0, 0}), c.count);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(a.at({1 + k / 3, k % 3}), c.rows[k]) << "cell " << k;
  }
}

// The look-up by name every engine's cursor inherits (the server's cursors rely on it):
// without regard to ASCII case, the first of equal names, the same answer when asked
// again in another order, nothing for a name the result lacks.
TEST(CursorTest, FindColumnByNameAskedRepeatedly) {
  struct Fixed final : Cursor {
    std::vector<std::string> names{"ID", "Name", "name", "\xc3\x89t\xc3\xa9"};
    int ColumnCount() const override { return static_cast<int>(names.size()); }
    const std::string& ColumnName(int column) const override { return names.at(column); }
    bool HasRow() const override { return false; }
    Variant Value(int) const override { return Variant(); }
    void Next() override {}
  } cursor;
  const std::pair<const char*, int> asked[] = {
      {"name", 1}, {"NAME", 1}, {"id", 0}, {"nosuch", -1}, {"\xc3\x89t\xc3\xa9", 3},
      {"\xc3\xa9t\xc3\xa9", -1}, {"Id", 0}, {"name", 1}, {"nam", -1}, {"id", 0}};
  for (int round = 0; round < 2; ++round) {
    for (const auto& [name, column] : asked) EXPECT_EQ(cursor.FindColumn(name), column) << name;
  }
}

// Fields by name without regard to case, and by ordinal. A statement run again (its
// columns and the names asked for kept with it) answers each call by its own columns:
// names asked in another order or case, a name it lacks, and a column another connection
// added meanwhile.
TEST_F(DataLinkTest, FieldsByNameAndOrdinalAnswerByTheStatementsCurrentColumns) {
  const std::string star = "SELECT * FROM kinds WHERE ID = 2";
  for (int call = 0; call < 2; ++call) {
    DataLink link(Variant(connect_), sql::Dialect::Jet);
    Recordset& rs = link.Query("SELECT ID, name FROM kinds WHERE ID = 2");
    EXPECT_EQ(rs.Field(call == 0 ? "name" : "NAME"), Variant("beta"));
    EXPECT_EQ(rs.Field(call == 0 ? "ID" : "id"), Variant(std::int32_t{2}));
    EXPECT_EQ(rs.Field(1), Variant("beta"));
    EXPECT_EQ(rs.FieldCount(), 2);
    EXPECT_EQ(ErrorOf([&] { rs.Field("stamp"); }), err::kItemNotFound);
    EXPECT_THROW(rs.Field(2), VbError);
    rs.Close();
    EXPECT_EQ(link.Query(star).FieldCount(), 9);
  }
  EngineDatabase::Open(dir_.File("kinds.db")).Script("ALTER TABLE kinds ADD COLUMN extra INTEGER DEFAULT 7");
  DataLink link(Variant(connect_), sql::Dialect::Jet);
  Recordset& rs = link.Query(star);
  EXPECT_EQ(rs.FieldCount(), 10);
  EXPECT_EQ(rs.Field("Extra"), Variant(std::int32_t{7}));
  EXPECT_EQ(rs.Field("plain"), Variant(2.5));
}

TEST_F(DataLinkTest, RecordsetWalksForwardToEofAnEmptyOneStartsThere) {
  DataLink link(Variant(connect_), sql::Dialect::Jet);
  // An empty result is at BOF and EOF at once, and still an open recordset.
  Recordset& none = link.Query("SELECT ID FROM kinds WHERE ID = 99");
  EXPECT_TRUE(none.AtBof());
  EXPECT_TRUE(none.AtEof());
  none.Close();
  Recordset& rs = link.Query("SELECT ID FROM kinds ORDER BY ID");
  EXPECT_FALSE(rs.AtBof());
  int seen = 0;
  for (; !rs.AtEof(); rs.MoveNext()) EXPECT_EQ(rs.Field("ID"), Variant(++seen));
  EXPECT_EQ(seen, 5);
  EXPECT_EQ(ErrorOf([&] { rs.Field("ID"); }), adoerr::kNoCurrentRecord) << "no current record at EOF";
  link.Close();
  EXPECT_FALSE(link.connection().IsOpen());
}

TEST_F(DataLinkTest, GetRowsIsFieldByRecord) {
  DataLink link(Variant(connect_), sql::Dialect::Jet);
  Recordset& rs = link.Query("SELECT ID, name FROM kinds WHERE ID <= 3 ORDER BY ID");
  rs.MoveNext();  // GetRows takes the records from the current one on
  Variant rows = rs.GetRows();
  const VarArray& a = rows.AsArray();
  ASSERT_EQ(a.dims(), 2);
  EXPECT_EQ(a.bound(0), (ArrayBound{0, 1}));
  EXPECT_EQ(a.bound(1), (ArrayBound{0, 1}));
  EXPECT_EQ(a.at({0, 0}), Variant(2));
  EXPECT_EQ(a.at({1, 0}), Variant("beta"));
  EXPECT_EQ(a.at({0, 1}), Variant(3));
  EXPECT_EQ(a.at({1, 1}), Variant::Null());
  EXPECT_TRUE(rs.AtEof());

  EXPECT_EQ(ErrorOf([&] { link.Query("SELECT ID FROM kinds"); }), adoerr::kObjectOpen)
      << "the link's recordset is still open";
}

TEST_F(DataLinkTest, WriteLeavesRecordsetClosed) {
  DataLink link(Variant(connect_), sql::Dialect::Jet);
  link.Run("UPDATE kinds SET name = 'Gamma' WHERE ID = 1");
  EXPECT_FALSE(link.recordset().IsOpen());
  EXPECT_EQ(ErrorOf([&] { link.recordset().Close(); }), err::kObjectClosed);
  EXPECT_THROW(link.recordset().AtEof(), VbError);
  link.Close();  // closes the connection only
  EXPECT_EQ(Fetch(connect_, 1, "name"), Variant("Gamma"));
}

TEST_F(DataLinkTest, ExecuteReportsRowsAffected) {
  Connection connection(sql::Dialect::TSql);
  connection.SetCommandTimeout(360);
  connection.Open(connect_);
  Variant affected;
  auto written = connection.Execute("DELETE FROM kinds WHERE ID > 3", &affected);
  EXPECT_FALSE(written->IsOpen());
  EXPECT_EQ(affected, Variant(std::int32_t{2}));
  auto rows = connection.Execute("SELECT count(*) AS n FROM kinds", &affected);
  ASSERT_TRUE(rows->IsOpen());
  EXPECT_EQ(rows->Field("n"), Variant(std::int32_t{3}));
  connection.Close();
  EXPECT_FALSE(rows->IsOpen()) << "closing the connection closes its recordsets";
}

TEST_F(DataLinkTest, PreparedStyleOpen) {
  Connection connection(sql::Dialect::TSql);
  connection.Open(connect_);
  Recordset rs;
  rs.SetSource("SELECT name FROM kinds WHERE ID = 2");
  rs.SetActiveConnection(connection);
  rs.SetCursorType(0);
  rs.SetLockType(1);
  rs.Open(1);
  EXPECT_EQ(rs.Field("name"), Variant("beta"));
  EXPECT_THROW(rs.Open(1), VbError) << "already open";
}

// A recordset opened on a connection that goes away first is closed with it, and nothing
// of the connection is reached through the recordset afterwards.
TEST_F(DataLinkTest, RecordsetOutlivesItsConnection) {
  Recordset rs;
  {
    Connection connection(sql::Dialect::Jet);
    connection.Open(connect_);
    rs.Open("SELECT name FROM kinds WHERE ID = 1", connection);
    EXPECT_EQ(rs.Field("name"), Variant("Alpha"));
  }
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_EQ(ErrorOf([&] { rs.Close(); }), err::kObjectClosed);
}

TEST_F(DataLinkTest, RejectedStatementsRaiseDatabaseErrors) {
  const std::pair<const char*, sql::Dialect> statements[] = {
      {"SELECT nosuch FROM kinds", sql::Dialect::Jet},
      // A misspelt name in double quotes (T-SQL's quoted name; Jet's are texts) is an
      // unknown column, never the text "nosuch".
      {"SELECT \"nosuch\" FROM kinds", sql::Dialect::TSql},
      {"SELECT ID FROM kinds WHERE \"nosuch\" = 'nosuch'", sql::Dialect::TSql},
      {"SELECT * FROM nosuch", sql::Dialect::Jet},
      {"", sql::Dialect::Jet},
      {"   ", sql::Dialect::Jet},
  };
  for (const auto& [text, dialect] : statements) {
    SCOPED_TRACE(text);
    DataLink link(Variant(connect_), dialect);
    const auto refused = RaisedBy([&] { link.Query(text); });
    EXPECT_EQ(refused.number, err::kDatabaseError);
    EXPECT_FALSE(refused.description.empty());
    // The connection stays usable after a rejected statement.
    EXPECT_FALSE(link.Query("SELECT ID FROM kinds").AtEof());
  }
}

TEST_F(DataLinkTest, ConnectionsThatCannotOpen) {
  const std::string missing = dir_.File("missing.db");
  const Variant strings[] = {
      Variant(""),
      Variant("Data Source=" + missing),
      Variant("server=nowhere;Database=veldaSQL"),
      Variant("uid=sa;pwd="),
  };
  for (const Variant& text : strings) {
    EXPECT_EQ(ErrorOf([&] { DataLink link(text, sql::Dialect::Jet); }), err::kDatabaseError) << vb::CStr(text);
  }
  EXPECT_FALSE(std::filesystem::exists(missing)) << "opening must never create a database";
  EXPECT_EQ(ErrorOf([] { DataLink link(Variant::Null(), sql::Dialect::Jet); }), err::kInvalidNull);
}

// Only a file that already is a database opens; anything else (an empty file included)
// fails and is left exactly as it was, with nothing made beside it.
TEST_F(DataLinkTest, NotADatabaseFails) {
  const std::string contents[] = {
      "this is not a database file, just some text that is long enough",
      "",
      std::string("SQLite format 3", 15),
  };
  for (std::size_t i = 0; i < std::size(contents); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    const std::string path = dir_.File("notes" + std::to_string(i) + ".db");
    std::ofstream(path, std::ios::binary) << contents[i];
    EXPECT_THROW(DataLink(Variant("Data Source=" + path), sql::Dialect::Jet), VbError);
    EXPECT_EQ(std::filesystem::file_size(path), contents[i].size());
    EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
    EXPECT_FALSE(std::filesystem::exists(path + "-shm"));
  }
}

// A file kept in another journal mode is switched to WAL by the first session on it; one
// already in WAL mode stays so.
TEST_F(DataLinkTest, OpeningPutsTheFileInWalMode) {
  auto versions = [](const std::string& path) {  // header bytes 18-19: 1 rollback, 2 WAL
    std::ifstream file(path, std::ios::binary);
    char header[20] = {};
    file.read(header, sizeof header);
    return std::string(header + 18, 2);
  };
  for (const char* mode : {"DELETE", "TRUNCATE", "WAL"}) {
    SCOPED_TRACE(mode);
    const std::string path = dir_.File(std::string("mode_") + mode + ".db");
    {
      EngineDatabase db = EngineDatabase::Create(path);
      db.Script(std::string("PRAGMA journal_mode=") + mode + "; CREATE TABLE t (v)");
    }
    ResetPool();
    ASSERT_EQ(versions(path), std::string(mode) == "WAL" ? "\2\2" : "\1\1");
    DataLink link(Variant("Data Source=" + path), sql::Dialect::Jet);
    link.Run("INSERT INTO t (v) VALUES (1)");
    EXPECT_EQ(versions(path), "\2\2");
  }
}

// A database on a read-only mount reads as usual; writes fail as database errors.
TEST_F(DataLinkTest, ReadOnlyFolderIsReadable) {
  namespace fs = std::filesystem;
  {
    DataLink link(Variant(connect_), sql::Dialect::Jet);
    link.Run("UPDATE kinds SET name = 'Gamma' WHERE ID = 1");
  }
  ResetPool();  // the log goes back into the file, as at the end of a run
  const std::string ro = dir_.File("ro");
  fs::create_directories(ro);
  if (::mount(dir_.dir().c_str(), ro.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    GTEST_SKIP() << "no bind mount here";
  }
  struct Unmount {
    std::string path;
    ~Unmount() {
      ResetPool();
      ::umount2(path.c_str(), MNT_DETACH);
    }
  } unmount{ro};
  ASSERT_EQ(::mount(nullptr, ro.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
  const std::string connect = "Data Source=" + ro + "/kinds.db";
  for (int i = 0; i < 2; ++i) EXPECT_EQ(Fetch(connect, 1, "name"), Variant("Gamma"));
  DataLink link(Variant(connect), sql::Dialect::Jet);
  EXPECT_THROW(link.Run("UPDATE kinds SET name = 'x' WHERE ID = 1"), VbError);
}

// Members join keys and values into their texts; texts of one shape share a statement, and
// each call must still see its own values, kinds and conversions.
TEST_F(DataLinkTest, TextsOfOneShapeEachRunWithTheirOwnValues) {
  struct Case {
    const char* n;
    const char* text;
    const char* field;
    Variant expected;
  } cases[] = {
      {"shape-1.1", "SELECT name FROM kinds WHERE ID = 1", "name", Variant("Alpha")},
      {"shape-1.2", "SELECT name FROM kinds WHERE ID = 2", "name", Variant("beta")},
      {"shape-1.3 text key, case ignored", "SELECT ID FROM kinds WHERE name = 'ALPHA'", "ID", Variant(std::int32_t{1})},
      {"shape-1.4", "SELECT ID FROM kinds WHERE name = 'x'", "ID", Variant(std::int32_t{5})},
      {"shape-1.5 date text", "SELECT ID FROM kinds WHERE stamp > '12/6/2026 2:00 PM' AND ID < 3", "ID",
       Variant(std::int32_t{2})},
      {"shape-1.6 literal column keeps its kind", "SELECT 2.5 AS v FROM kinds WHERE ID = 1", "v", Variant(2.5)},
      {"shape-1.7", "SELECT 7 AS v FROM kinds WHERE ID = 1", "v", Variant(std::int32_t{7})},
  };
  for (int pass = 0; pass < 2; ++pass) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.n);
      DataLink link(Variant(connect_), sql::Dialect::Jet);
      Recordset& rs = link.Query(c.text);
      ASSERT_FALSE(rs.AtEof());
      const Variant got = rs.Field(c.field);
      EXPECT_EQ(got.kind(), c.expected.kind());
      EXPECT_EQ(vb::CStr(got), vb::CStr(c.expected));
    }
  }
  // Writes of one shape: a date, the empty text (NULL), then a text that is no date, which
  // fails and writes nothing.
  DataLink link(Variant(connect_), sql::Dialect::Jet);
  link.Run("UPDATE kinds SET stamp = '1/2/2027' WHERE ID = 1");
  link.Run("UPDATE kinds SET stamp = '' WHERE ID = 2");
  EXPECT_EQ(ErrorOf([&] { link.Run("UPDATE kinds SET stamp = 'next week' WHERE ID = 3"); }), err::kDatabaseError)
      << "a text that is no date was stored in a date column";
  EXPECT_EQ(vb::CStr(Fetch(connect_, 1, "stamp")), "1/2/2027");
  EXPECT_TRUE(Fetch(connect_, 2, "stamp").IsNull());
  EXPECT_TRUE(Fetch(connect_, 3, "stamp").IsNull());
}

// One text opened twice at once on a connection: the second recordset does not take the
// statement the first still reads from, and each walks its own rows.
TEST_F(DataLinkTest, SameTextOpenTwiceAtOnceReadsTwoCursors) {
  Connection connection(sql::Dialect::Jet);
  connection.Open(connect_);
  const std::string text = "SELECT name FROM kinds WHERE ID < 3 ORDER BY ID";
  connection.Execute(text)->Close();
  std::unique_ptr<Recordset> first = connection.Execute(text);
  std::unique_ptr<Recordset> second = connection.Execute(text);
  EXPECT_EQ(vb::CStr(first->Field("name")), "Alpha");
  first->MoveNext();
  EXPECT_EQ(vb::CStr(second->Field("name")), "Alpha");
  second->MoveNext();
  EXPECT_EQ(vb::CStr(first->Field("name")), "beta");
  EXPECT_EQ(vb::CStr(second->Field("name")), "beta");
  second->Close();
  first->Close();
  std::unique_ptr<Recordset> again = connection.Execute(text);
  EXPECT_EQ(vb::CStr(again->Field("name")), "Alpha");
}

// Text written into a numeric column is converted as the source engines converted it: the
// empty text is NULL, a numeric text is stored as its number, any other text fails the
// statement and writes nothing. Cases run in order on one database; texts of one shape
// with different values go through the parameterised path, known-text expressions through
// the engine-side conversion.
TEST_F(DataLinkTest, TextWrittenIntoNumericColumnsIsConverted) {
  struct Case {
    const char* statement;
    int id;
    const char* field;
    bool rejected;
    Variant expected;       // the field afterwards
    const char* storage;    // typeof() of the stored value
  };
  const Case cases[] = {
      /* 1 */ {"UPDATE kinds SET price = '' WHERE ID = 1", 1, "price", false, Variant::Null(), "null"},
      /* 2 */ {"UPDATE kinds SET ratio = '12.5' WHERE ID = 1", 1, "ratio", false, Variant(12.5), "real"},
      /* 3 */ {"UPDATE kinds SET ratio = 'abc' WHERE ID = 1", 1, "ratio", true, Variant(12.5), "real"},
      /* 4 */ {"UPDATE kinds SET ratio = '' WHERE ID = 1", 1, "ratio", false, Variant::Null(), "null"},
      /* 5 */ {"UPDATE kinds SET big = ' 42 ' WHERE ID = 1", 1, "big", false, Variant(std::int32_t{42}), "integer"},
      /* 6 */ {"UPDATE kinds SET small = 'x1' WHERE ID = 1", 1, "small", true, Variant(std::int16_t{7}), "integer"},
      /* 7 */ {"UPDATE kinds SET flag = '' WHERE ID = 1", 1, "flag", false, Variant::Null(), "null"},
      /* 8 */ {"INSERT INTO kinds (ID, small, price) VALUES (9, '', '3.25')", 9, "price", false, Variant::FromCurrency(32500), "real"},
      /* 9 */ {"INSERT INTO kinds (ID, small, price) VALUES (10, '', 'n/a')", 10, "", true, Variant(), ""},
      /* 10 */ {"INSERT INTO kinds (ID, ratio) VALUES (11, 'abc')", 11, "", true, Variant(), ""},
      /* 11 */ {"UPDATE kinds SET ratio = name WHERE ID = 4", 4, "ratio", false, Variant::Null(), "null"},
      /* 12 */ {"UPDATE kinds SET ratio = name WHERE ID = 1", 1, "ratio", true, Variant::Null(), "null"},
      /* 13 */ {"UPDATE kinds SET ratio = name & '5' WHERE ID = 4", 4, "ratio", false, Variant(5.0), "real"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << ++n << ": " << c.statement);
    const auto run = RaisedBy([&] { DataLink(Variant(connect_), sql::Dialect::Jet).Run(c.statement); });
    EXPECT_EQ(run.number, c.rejected ? err::kDatabaseError : 0) << run.description;
    EXPECT_EQ(run.description, c.rejected ? "Data type mismatch in criteria expression." : "");
    DataLink link(Variant(connect_), sql::Dialect::Jet);
    const std::string id = std::to_string(c.id);
    if (*c.field == '\0') {  // a refused insert leaves no row
      EXPECT_TRUE(link.Query("SELECT ID FROM kinds WHERE ID = " + id).AtEof());
      continue;
    }
    Recordset& rs = link.Query(std::string("SELECT ") + c.field + ", typeof(" + c.field +
                               ") AS storage FROM kinds WHERE ID = " + id);
    ASSERT_FALSE(rs.AtEof());
    const Variant value = rs.Field(c.field);
    EXPECT_EQ(value.kind(), c.expected.kind());
    if (!c.expected.IsNull()) {
      EXPECT_TRUE(vb::CDbl(value) == vb::CDbl(c.expected));
    }
    EXPECT_EQ(vb::CStr(rs.Field("storage")), c.storage);
  }
}

}  // namespace
}  // namespace ksmain::data
