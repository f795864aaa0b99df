// Dates through the whole path: text a page writes in its dialect, stored as ISO text,
// read back as Date variants, ordered and compared as dates.
#include <gtest/gtest.h>

#include "data/engine_admin.h"
#include "frame/vb_runtime.h"
#include "scratch_db.h"

namespace ksmain::data {
namespace {

using ksmain::testing::MakeDatabase;
using ksmain::testing::ScratchDir;

Variant D(int y, int m, int d, int h = 0, int mi = 0) {
  return Variant::FromDate(vb::DateSerial({y, m, d, h, mi, 0}));
}

// Written as text in the page's forms, read back as Date variants (the empty text as
// Null), ordered and compared as dates. (An update's conversions, > with date text and the
// refusal of a text that is no date: DataLinkTest.TextsOfOneShapeEachRunWithTheirOwnValues;
// = and cdate() on dates stored from text: Portfolio.DateTextsFollowTheRuntimesRules and
// Portfolio.OrderAndBetweenOnDatesStoredFromText.)
TEST(DatesTest, WrittenAsTextReadBackOrderedAndComparedAsDates) {
  ScratchDir dir;
  const std::string connect =
      MakeDatabase(dir.File("d.db"), "CREATE TABLE d (ID INTEGER PRIMARY KEY, due DATETIME, note VARCHAR(20));");
  for (const char* due : {"12/6/2026", "1/15/2025", "", "3/1/2026 2:30:00 PM", "2026-12-06"}) {
    DataLink link(Variant(connect), sql::Dialect::Jet);
    link.Run(std::string("INSERT INTO d (due, note) VALUES ('") + due + "', 'a')");
  }
  struct Case {
    const char* query;
    const char* field;
    std::vector<Variant> values;
  };
  const Case cases[] = {
      /* 1 */ {"SELECT due FROM d ORDER BY ID", "due",
               {D(2026, 12, 6), D(2025, 1, 15), Variant::Null(), D(2026, 3, 1, 14, 30), D(2026, 12, 6)}},
      /* 2 */ {"SELECT ID FROM d WHERE due IS NOT NULL ORDER BY due, ID", "ID", {2, 4, 1, 5}},
      /* 3 */ {"SELECT ID FROM d WHERE due BETWEEN '1/1/2026' AND '12/31/2026' ORDER BY ID", "ID", {1, 4, 5}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i + 1));
    EXPECT_EQ(ksmain::testing::ColumnOf(connect, sql::Dialect::Jet, cases[i].query, cases[i].field),
              cases[i].values);
  }
}

// The engine's date functions give stored (canonical) text back as it is; every other form
// is read and printed. Either way the text is the canonical one: midnight without its time.
// (ISO text with a time, and m/d/yyyy text, through cdate(): Portfolio.DateTextsFollowTheRuntimesRules.)
TEST(EngineDateFunctions, CanonicalTextComesBackUnchanged) {
  struct Case {
    const char* input;
    const char* cdate;      // ks_cdate(input)
    const char* datevalue;  // ks_datevalue(input)
  };
  const Case cases[] = {
      /* 1 */ {"2026-12-06", "2026-12-06", "2026-12-06"},
      /* 2 */ {"2026-12-06 00:00:00", "2026-12-06", "2026-12-06"},
      /* 3 */ {"2026-12-06T14:05:09", "2026-12-06 14:05:09", "2026-12-06"},
      /* 4 */ {"2026-12-06 14:05", "2026-12-06 14:05:00", "2026-12-06"},
      /* 5 */ {"2024-02-29", "2024-02-29", "2024-02-29"},
      /* 6 */ {"0100-01-01 23:59:59", "0100-01-01 23:59:59", "0100-01-01"},
      /* 7 */ {"9999-12-31 23:59:59", "9999-12-31 23:59:59", "9999-12-31"},
      /* 8 */ {"2026-12-06 14:05:09.5", "2026-12-06 14:05:09", "2026-12-06"},
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
