// Links opened by a member's sibling calls while the member reads: a sibling's link on the
// same database reads through the member's session, and must give exactly what a link of
// its own would have given.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "data/datalink.h"
#include "data/pool.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "scratch_db.h"

namespace ksmain::data {
namespace {

using ksmain::testing::MakeDatabase;
using ksmain::testing::ScratchDir;

template <class Body>
void Member(Body&& body) {
  RunTrapped(Trap::None, body);
}

// A member's list with a sibling call per row, as the flag and count lists are made: the
// outer link stays on its row while `sibling` runs.
std::vector<std::string> ListWithSiblings(const std::string& connect,
                                          const std::function<std::string()>& sibling) {
  std::vector<std::string> out;
  Member([&] {
    DataLink link(Variant(connect), sql::Dialect::Jet);
    for (Recordset& rs = link.Query("SELECT v FROM t ORDER BY v"); !rs.AtEof(); rs.MoveNext()) {
      std::string cell = rs.Field("v").AsString();
      Member([&] { cell += "/" + sibling(); });
      out.push_back(cell);
    }
    link.Close();
  });
  return out;
}

std::string Scalar(const std::string& connect, const std::string& query) {
  DataLink link(Variant(connect), sql::Dialect::Jet);
  Variant value = link.Query(query).Field(0);
  link.Close();
  return value.IsNull() ? "null" : vb::CStr(value);
}

class NestedLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    connect_ = MakeDatabase(dir_.File("a.db"),
                            "CREATE TABLE t (v TEXT); INSERT INTO t VALUES ('a1'), ('a2');"
                            "CREATE TABLE log (n INTEGER);");
    other_ = MakeDatabase(dir_.File("b.db"), "CREATE TABLE t (v TEXT); INSERT INTO t VALUES ('b');");
    ResetPool();
  }
  ScratchDir dir_;
  std::string connect_;
  std::string other_;
};

// 1: a sibling on the same file borrows the open session, so no second session is taken.
// 2: a sibling on another file reads that file.
TEST_F(NestedLinks, SiblingReadsTheDatabaseItNames) {
  struct Case {
    const char* name;
    bool other;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"same file", false, {"a1/2", "a2/2"}},
      {"other file", true, {"a1/b", "a2/b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetPool();
    const std::string target = c.other ? other_ : connect_;
    const std::string query = c.other ? "SELECT max(v) FROM t" : "SELECT count(*) FROM t";
    EXPECT_EQ(ListWithSiblings(connect_, [&] { return Scalar(target, query); }), c.expected);
    EXPECT_EQ(GetPoolStatistics().opened, c.other ? 2u : 1u);
  }
}

// A sibling that writes does so on a session of its own, and every later read, sibling or
// not, sees the write; the member's own list is read from the snapshot it started with.
TEST_F(NestedLinks, WriteInsideASiblingIsSeenByLaterReads) {
  int calls = 0;
  const auto rows = ListWithSiblings(connect_, [&] {
    const std::string before = Scalar(connect_, "SELECT count(*) FROM log");
    DataLink link(Variant(connect_), sql::Dialect::Jet);
    link.Run("INSERT INTO log (n) VALUES (" + std::to_string(++calls) + ")");
    link.Run("INSERT INTO t (v) VALUES ('z" + std::to_string(calls) + "')");
    link.Close();
    return before + "," + Scalar(connect_, "SELECT count(*) FROM log");
  });
  EXPECT_EQ(rows, (std::vector<std::string>{"a1/0,1", "a2/1,2"}));
  EXPECT_EQ(Scalar(connect_, "SELECT count(*) FROM t"), "4");
}

// A file replaced between two member calls: the second call and its siblings read the new
// file only.
TEST_F(NestedLinks, FileReplacedBetweenCallsIsReadAnew) {
  const auto count = [&] { return Scalar(connect_, "SELECT count(*) FROM t"); };
  EXPECT_EQ(ListWithSiblings(connect_, count), (std::vector<std::string>{"a1/2", "a2/2"}));
  const std::string path = dir_.File("a.db");
  const std::string fresh = dir_.File("fresh.db");
  MakeDatabase(fresh, "CREATE TABLE t (v TEXT); INSERT INTO t VALUES ('n1'), ('n2'), ('n3');");
  std::filesystem::rename(fresh, path);
  EXPECT_EQ(ListWithSiblings(connect_, count),
            (std::vector<std::string>{"n1/3", "n2/3", "n3/3"}));
}

// Links opened side by side by one member, or outside any member, keep sessions of their
// own (only a sibling call borrows).
TEST_F(NestedLinks, LinksOfOneMemberDoNotShare) {
  Member([&] {
    DataLink a(Variant(connect_), sql::Dialect::Jet);
    DataLink b(Variant(connect_), sql::Dialect::Jet);
    a.Query("SELECT v FROM t");
    b.Query("SELECT v FROM t");
  });
  EXPECT_EQ(GetPoolStatistics().opened, 2u);
}

}  // namespace
}  // namespace ksmain::data
