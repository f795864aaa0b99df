// The engine's date functions on the canonical text dates are stored as. (Text a page
// writes, stored, ordered and compared as dates: the sql suite's Portfolio cases on the
// engine, DataLinkTest through the data layer; read back as Date: EngineData.ValueKinds.)
#include <gtest/gtest.h>

#include "data/engine_admin.h"
#include "scratch_db.h"

namespace ksmain::data {
namespace {

using ksmain::testing::MakeDatabase;
using ksmain::testing::ScratchDir;

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
