// Dates through the whole path: text a page writes in its dialect, stored as ISO text,
// read back as Date variants, ordered and compared as dates.
#include <gtest/gtest.h>

#include "data/datalink.h"
#include "data/engine_admin.h"
#include "frame/vb_runtime.h"
#include "scratch_db.h"

namespace ksmain::data {
namespace {

using ksmain::testing::MakeDatabase;
using ksmain::testing::ScratchDir;

class DatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    connect_ = MakeDatabase(dir_.File("d.db"),
                            "CREATE TABLE d (ID INTEGER PRIMARY KEY, due DATETIME, note VARCHAR(20));");
    const char* writes[] = {
        "INSERT INTO d (ID, due, note) VALUES (1, '12/6/2026', 'a')",
        "INSERT INTO d (ID, due, note) VALUES (2, '1/15/2025', 'b')",
        "INSERT INTO d (ID, due, note) VALUES (3, '', 'c')",
        "INSERT INTO d (ID, due, note) VALUES (4, '3/1/2026 2:30:00 PM', 'd')",
        "INSERT INTO d (ID, due, note) VALUES (5, '2026-12-06', 'e')",
    };
    for (const char* text : writes) {
      DataLink link(Variant(connect_), sql::Dialect::Jet);
      link.Run(text);
    }
  }

  std::vector<Variant> Column(std::string_view query, std::string_view field) {
    DataLink link(Variant(connect_), sql::Dialect::Jet);
    std::vector<Variant> values;
    for (Recordset& rs = link.Query(query); !rs.AtEof(); rs.MoveNext()) {
      values.push_back(rs.Field(field));
    }
    return values;
  }

  ScratchDir dir_;
  std::string connect_;
};

Variant D(int y, int m, int d, int h = 0, int mi = 0) {
  return Variant::FromDate(vb::DateSerial({y, m, d, h, mi, 0}));
}

TEST_F(DatesTest, WrittenAsTextReadBackAsDates) {
  EXPECT_EQ(Column("SELECT due FROM d ORDER BY ID", "due"),
            (std::vector<Variant>{D(2026, 12, 6), D(2025, 1, 15), Variant::Null(),
                                  D(2026, 3, 1, 14, 30), D(2026, 12, 6)}));
}

TEST_F(DatesTest, OrderAndCompareAsDates) {
  struct Case {
    const char* query;
    std::vector<Variant> ids;
  };
  const Case cases[] = {
      /* 1 */ {"SELECT ID FROM d WHERE due IS NOT NULL ORDER BY due, ID", {2, 4, 1, 5}},
      /* 2 */ {"SELECT ID FROM d WHERE due > '6/1/2026' ORDER BY ID", {1, 5}},
      /* 3 */ {"SELECT ID FROM d WHERE due = '12/6/2026' ORDER BY ID", {1, 5}},
      /* 4 */ {"SELECT ID FROM d WHERE due BETWEEN '1/1/2026' AND '12/31/2026' ORDER BY ID", {1, 4, 5}},
      /* 5 */ {"SELECT ID FROM d WHERE cdate(due) < cdate('1/1/2026') ORDER BY ID", {2}},
      /* 6 */ {"SELECT ID FROM d WHERE due IS NULL", {3}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    EXPECT_EQ(Column(cases[i].query, "ID"), cases[i].ids);
  }
}

TEST_F(DatesTest, UpdatesConvertAndNonDatesAreRejected) {
  {
    DataLink link(Variant(connect_), sql::Dialect::Jet);
    link.Run("UPDATE d SET due = '7/4/2026' WHERE ID = 3");
  }
  EXPECT_EQ(Column("SELECT due FROM d WHERE ID = 3", "due"), std::vector<Variant>{D(2026, 7, 4)});
  {
    DataLink link(Variant(connect_), sql::Dialect::Jet);
    link.Run("UPDATE d SET due = '' WHERE ID = 3");
  }
  EXPECT_EQ(Column("SELECT due FROM d WHERE ID = 3", "due"), std::vector<Variant>{Variant::Null()});
  DataLink link(Variant(connect_), sql::Dialect::Jet);
  try {
    link.Run("UPDATE d SET due = 'soon' WHERE ID = 3");
    FAIL() << "a text that is not a date must not be stored in a date column";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), err::kDatabaseError);
  }
}


// The engine's date functions give stored (canonical) text back as it is; every other form
// is read and printed. Either way the text is the canonical one: midnight without its time.
TEST(EngineDateFunctions, CanonicalTextComesBackUnchanged) {
  struct Case {
    const char* input;
    const char* cdate;      // ks_cdate(input)
    const char* datevalue;  // ks_datevalue(input)
  };
  const Case cases[] = {
      /* 1 */ {"2026-12-06", "2026-12-06", "2026-12-06"},
      /* 2 */ {"2026-12-06 14:05:09", "2026-12-06 14:05:09", "2026-12-06"},
      /* 3 */ {"2026-12-06 00:00:00", "2026-12-06", "2026-12-06"},
      /* 4 */ {"2026-12-06T14:05:09", "2026-12-06 14:05:09", "2026-12-06"},
      /* 5 */ {"2026-12-06 14:05", "2026-12-06 14:05:00", "2026-12-06"},
      /* 6 */ {"2024-02-29", "2024-02-29", "2024-02-29"},
      /* 7 */ {"0100-01-01 23:59:59", "0100-01-01 23:59:59", "0100-01-01"},
      /* 8 */ {"9999-12-31 23:59:59", "9999-12-31 23:59:59", "9999-12-31"},
      /* 9 */ {"12/6/2026", "2026-12-06", "2026-12-06"},
      /* 10 */ {"2026-12-06 14:05:09.5", "2026-12-06 14:05:09", "2026-12-06"},
  };
  ScratchDir dir;
  MakeDatabase(dir.File("f.db"), "CREATE TABLE f (x);");
  EngineDatabase db = EngineDatabase::Open(dir.File("f.db"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(db.Scalar("SELECT ks_cdate(?1)", {Variant(c.input)}), Variant(c.cdate));
    EXPECT_EQ(db.Scalar("SELECT ks_datevalue(?1)", {Variant(c.input)}), Variant(c.datevalue));
  }
  // Text shaped like a date that is none fails as before.
  for (const char* bad : {"2023-02-29", "2026-13-01", "2026-12-06 24:00:00"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(db.Scalar("SELECT ks_cdate(?1)", {Variant(bad)}), VbError);
  }
}

}  // namespace
}  // namespace ksmain::data
