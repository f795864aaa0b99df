// EncodeUserText's two rule sets and the three behaviours of the member trap.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "frame/app_log.h"
#include "frame/encode.h"
#include "frame/trap.h"
#include "support/raised.h"

namespace ksmain {
namespace {

TEST(EncodeUserText, RuleSets) {
  struct Case {
    EncodeRules rules;
    Variant in;
    Variant out;
    std::optional<Variant> cell_after = {};  // the caller's cell when it differs from `out`
  } cases[] = {
      {EncodeRules::Portfolio, "O'Brien", "OBrien"},
      {EncodeRules::Portfolio, "a & b", "a  and  b"},
      {EncodeRules::Portfolio, "(word)", "&#40;word&#41;"},
      {EncodeRules::Portfolio, "#1 a/b\\c.d*e?f|g<h>i\"", "1 a&#47;b&#92;c&#46;d&#42;e&#63;f&#124;g&#60;h&#62;i&#34;"},
      {EncodeRules::Portfolio, Variant(std::string("a\0b", 3)), "a b"},
      {EncodeRules::Portfolio, 2.5, "2&#46;5"},
      {EncodeRules::Portfolio, Variant::FromDate(46362), "12&#47;6&#47;2026"},
      {EncodeRules::Portfolio, Variant(), ""},
      {EncodeRules::Catalogue, "it's \"a|b\" & (c/d.)", "its ab  and  (c/d.)"},
      {EncodeRules::Catalogue, Variant(std::string("a\0b", 3)), Variant(std::string("a\0b", 3))},
      {EncodeRules::Catalogue, Variant(), ""},
      {EncodeRules::Portfolio, Variant::Null(), Variant(), Variant::Null()},
      {EncodeRules::Catalogue, Variant::Null(), Variant::Null()},
  };
  for (auto& c : cases) {
    Variant cell = c.in;
    Variant result = EncodeUserText(cell, c.rules);
    EXPECT_EQ(result, c.out) << c.in;
    EXPECT_EQ(cell, c.cell_after.value_or(c.out)) << "the caller's cell is rewritten";
  }
}

class TrapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetApplicationLogSink([this](std::string_view m) { logged.emplace_back(m); });
  }
  void TearDown() override { SetApplicationLogSink({}); }
  std::vector<std::string> logged;
};

TEST_F(TrapTest, SilentEndsQuietlyAndKeepsWhatWasWritten) {
  int written = 0;
  RunTrapped(Trap::Silent, [&] {
    written = 1;
    throw VbError(err::kOverflow);
  });
  EXPECT_EQ(written, 1);
  EXPECT_TRUE(logged.empty());
}

// (The log trap's one line, prefix then description: the search members' "searcher" line
// in SearchTest.FailuresAreLoggedAsSearcherAndKeepTheCallersCells.)

TEST_F(TrapTest, NoneLetsTheErrorReachTheCaller) {
  const auto raised =
      testing::RaisedBy([] { RunTrapped(Trap::None, [] { throw std::runtime_error("engine says no"); }); });
  EXPECT_EQ(raised.number, err::kDatabaseError);
  EXPECT_EQ(raised.description, "engine says no");
}

}  // namespace
}  // namespace ksmain
