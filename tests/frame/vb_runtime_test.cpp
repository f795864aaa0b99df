// The runtime's value rules, table by table: each row is a case numbered within its table
// so a failure names the row.
#include "frame/vb_runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/raised.h"

namespace ksmain::vb {
namespace {

Variant I2(int v) { return Variant(static_cast<std::int16_t>(v)); }
Variant Cy(std::int64_t scaled) { return Variant::FromCurrency(scaled); }
Variant Dt(double serial) { return Variant::FromDate(serial); }
double Serial(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
  return DateSerial({y, m, d, h, mi, s});
}

using testing::ErrorOf;

TEST(VbText, CStrOfEveryKind) {
  struct Case {
    Variant value;
    const char* text;
  } cases[] = {
      {Variant(), ""},          {Variant(true), "True"},       {Variant(false), "False"},
      {I2(-7), "-7"},           {Variant(45), "45"},           {Variant(0.5), "0.5"},
      {Variant(100.0), "100"},  {Variant(1.0 / 3.0), "0.333333333333333"},
      {Variant(0.1 + 0.2), "0.3"},  {Variant(999999999999999.0), "999999999999999"},
      {Variant(1e15), "1E+15"},     {Variant(1e20), "1E+20"},  {Variant(-1.5e-7), "-0.00000015"},
      {Variant(1e-5), "0.00001"},   {Variant(5.6789e-11), "0.000000000056789"},
      {Variant(5.6789e-12), "5.6789E-12"},  {Variant(1.5e300), "1.5E+300"},
      {Variant(-0.0), "0"},     {Cy(123400), "12.34"},  {Cy(50000), "5"},  {Cy(-5), "-0.0005"},
      {Dt(Serial(2026, 12, 6)), "12/6/2026"},
      {Dt(Serial(2026, 12, 6, 14, 5, 9)), "12/6/2026 2:05:09 PM"},
      {Dt(Serial(1899, 12, 30, 14, 5, 9)), "2:05:09 PM"},
      {Dt(0.0), "12:00:00 AM"},
      {Dt(365.25), "12/30/1900 6:00:00 AM"},
      {Dt(-1.25), "12/29/1899 6:00:00 AM"},
      {Dt(Serial(2026, 1, 1, 0, 0, 0) - 0.1 / 86400), "1/1/2026"},
      {Variant("x y"), "x y"},
  };
  int n = 0;
  for (const auto& c : cases) EXPECT_EQ(CStr(c.value), c.text) << "case " << ++n;

  EXPECT_EQ(ErrorOf([] { CStr(Variant::Null()); }), 94);
  EXPECT_EQ(ErrorOf([] { CStr(Variant(VarArray::Of({Variant(1)}))); }), 13);
  EXPECT_EQ(ConcatText(Variant::Null()), "");
  EXPECT_EQ(ConcatText(Variant(2.5)), "2.5");
}

TEST(VbText, TrimCaseReplace) {
  EXPECT_EQ(Trim("  a b \t"), "a b \t");  // only blanks go
  EXPECT_EQ(LTrim("  a "), "a ");
  EXPECT_EQ(RTrim("  a "), "  a");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(UCase("abc é1"), "ABC É1");
  EXPECT_EQ(LCase("ABC É1"), "abc é1");
  EXPECT_EQ(Replace("a'b''c", "'", "''"), "a''b''''c");
  EXPECT_EQ(Replace("aaa", "aa", "b"), "ba");
  EXPECT_EQ(Replace("abc", "", "x"), "abc");
}

TEST(VbNumber, NumericText) {
  struct Case {
    const char* text;
    std::optional<double> value;
  } cases[] = {
      {"45", 45},          {" 1,234 ", 1234},   {"-1.5", -1.5},      {"+.5", 0.5},
      {"1.", 1},           {"1e3", 1000},       {"2.5E-1", 0.25},    {"&H1F", 31},
      {"&hFFFF", -1},      {"&H10000", 65536},  {"&O17", 15},        {"", std::nullopt},
      {"  ", std::nullopt}, {"abc", std::nullopt}, {"1.2.3", std::nullopt},
      {".", std::nullopt}, {"1e", std::nullopt}, {",1", std::nullopt}, {"1 2", std::nullopt},
      {"&H", std::nullopt}, {"&HG", std::nullopt}, {"12/6/2026", std::nullopt},
      // The currency sign, a trailing sign, parentheses and blanks after a sign.
      {"$11", 11},         {"$-11", -11},       {"-$11", -11},       {"11 $", 11},
      {"$1,234.5", 1234.5}, {"0-", 0},          {"5-", -5},          {"(5)", -5},
      {"+ 0", 0},          {"(5", std::nullopt}, {"5)", std::nullopt}, {"-5-", std::nullopt},
      {"$$1", std::nullopt}, {"1-1", std::nullopt},
  };
  int n = 0;
  for (const auto& c : cases) {
    ++n;
    EXPECT_EQ(ParseNumber(c.text), c.value) << "case " << n << " " << c.text;
    EXPECT_EQ(IsNumeric(Variant(c.text)), c.value.has_value()) << "case " << n;
  }
  EXPECT_TRUE(IsNumeric(Variant()));
  EXPECT_TRUE(IsNumeric(Variant(true)));
  EXPECT_FALSE(IsNumeric(Variant::Null()));
  EXPECT_FALSE(IsNumeric(Dt(1)));
  EXPECT_EQ(ErrorOf([] { ParseNumber("1e999"); }), 6);
}

TEST(VbNumber, WholeNumberConversions) {
  struct Case {
    Variant value;
    int expected;  // the result, or an error number below when `error` is set
    bool error = false;
  } cases[] = {
      {Variant(0.5), 0},        {Variant(1.5), 2},        {Variant(2.5), 2},
      {Variant(-0.5), 0},       {Variant(-1.5), -2},      {Variant("1.5"), 2},
      {Variant("0.5"), 0},      {Variant(" 5 "), 5},      {Variant("45"), 45},
      {Variant(), 0},           {Variant(true), -1},      {Cy(25000), 2},
      {Cy(35000), 4},           {Cy(-25001), -3},         {Variant(32767.4), 32767},
      {Variant(-32768.5), -32768},
      {Variant("32768"), 6, true},  {Variant(32767.5), 6, true}, {Variant("abc"), 13, true},
      {Variant(""), 13, true},      {Variant::Null(), 94, true},
      {Variant(VarArray::Of({})), 13, true},
  };
  int n = 0;
  for (const auto& c : cases) {
    ++n;
    if (c.error) {
      EXPECT_EQ(ErrorOf([&] { CInt(c.value); }), c.expected) << "case " << n;
    } else {
      EXPECT_EQ(CInt(c.value), c.expected) << "case " << n;
      EXPECT_EQ(CLng(c.value), c.expected) << "case " << n;
    }
  }
  EXPECT_EQ(CLng(Variant("32768")), 32768);
  EXPECT_EQ(ErrorOf([] { CLng(Variant(2147483647.5)); }), 6);
}

TEST(VbNumber, DoubleCurrencyBoolean) {
  EXPECT_EQ(CDbl(Variant("45")), 45.0);
  EXPECT_EQ(CDbl(Variant(" 1,234.5 ")), 1234.5);
  EXPECT_EQ(CDbl(Cy(12345)), 1.2345);
  EXPECT_EQ(CDbl(Dt(2.5)), 2.5);
  EXPECT_EQ(ErrorOf([] { CDbl(Variant("1/2/2026")); }), 13);

  EXPECT_EQ(CCur(Variant(1.23456)), 12346);
  EXPECT_EQ(CCur(Variant("0.00005")), 0);   // exact half at the fourth decimal: to even
  EXPECT_EQ(CCur(Variant("0.00015")), 2);
  EXPECT_EQ(CCur(Variant("-0.000051")), -1);
  EXPECT_EQ(CCur(Variant("922337203685477.5807")), INT64_MAX);
  EXPECT_EQ(CCur(Variant("-922337203685477.5808")), INT64_MIN);
  EXPECT_EQ(ErrorOf([] { CCur(Variant("922337203685477.5808")); }), 6);
  EXPECT_EQ(ErrorOf([] { CCur(Variant(1e15)); }), 6);

  EXPECT_TRUE(CBool(Variant(" true")));
  EXPECT_FALSE(CBool(Variant("False")));
  EXPECT_TRUE(CBool(Variant("#TRUE#")));
  EXPECT_FALSE(CBool(Variant("#false#")));
  EXPECT_TRUE(CBool(Variant("-1")));
  EXPECT_FALSE(CBool(Variant()));
  EXPECT_EQ(ErrorOf([] { CBool(Variant("yes")); }), 13);

  EXPECT_EQ(AddInteger(32766, 1), 32767);
  EXPECT_EQ(ErrorOf([] { AddInteger(32767, 1); }), 6);
  EXPECT_EQ(ErrorOf([] { SubInteger(-32768, 1); }), 6);
  EXPECT_EQ(NumberOf(Variant()), 0.0);
  EXPECT_EQ(ErrorOf([] { NumberOf(Variant::Null()); }), 94);
}

TEST(VbFormat, FixedDecimals) {
  struct Case {
    double value;
    int decimals;
    bool leading_zero;
    const char* text;
  } cases[] = {
      {0.8, 1, false, ".8"},         {25, 1, false, "25.0"},       {1234.5, 0, true, "1,235"},
      {-0.25, 1, false, "-.3"},      {-0.25, 1, true, "-0.3"},     {2.5, 0, true, "3"},
      {-2.5, 0, true, "-3"},         {2.675, 2, true, "2.68"},     {0, 1, false, ".0"},
      {0, 0, false, "0"},            {-0.04, 1, true, "0.0"},      {999.96, 1, true, "1,000.0"},
      {1234567.891, 2, true, "1,234,567.89"},                      {0.5, 0, false, "1"},
      {13.0 / 5, 1, false, "2.6"},   {1e20, 0, true, "100,000,000,000,000,000,000"},
      // (The ranks, percentages and bar targets built on these are the members' tests.)
  };
  int n = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(FormatNumber(c.value, c.decimals, c.leading_zero), c.text) << "case " << ++n;
  }
  EXPECT_EQ(FormatNumber(1234.5, 0, true, false), "1235");
  EXPECT_EQ(FormatNumber(1.5, -1), "1.50");
  EXPECT_EQ(ErrorOf([] { FormatNumber(INFINITY, 0); }), 6);
}

TEST(VbDate, SerialsAndParts) {
  struct Case {
    DateParts parts;
    double serial;
  } cases[] = {
      {{1899, 12, 30}, 0},  {{1900, 1, 1}, 2},  {{2026, 12, 6}, 46362},
      {{1899, 12, 29, 6}, -1.25},  {{100, 1, 1}, -657434},  {{9999, 12, 31}, 2958465},
  };
  int n = 0;
  for (const auto& c : cases) {
    ++n;
    EXPECT_DOUBLE_EQ(DateSerial(c.parts), c.serial) << "case " << n;
    const DateParts p = SplitDate(c.serial);
    EXPECT_EQ(std::vector<int>({p.year, p.month, p.day, p.hour}),
              std::vector<int>({c.parts.year, c.parts.month, c.parts.day, c.parts.hour}))
        << "case " << n;
  }
  EXPECT_EQ(DateSerial({2026, 13, 1}), Serial(2027, 1, 1));
  EXPECT_EQ(DateSerial({2026, 3, 0}), Serial(2026, 2, 28));
  EXPECT_EQ(DateSerial({29, 1, 2}), Serial(2029, 1, 2));
  EXPECT_EQ(ErrorOf([] { DateSerial({10000, 1, 1}); }), 6);
  EXPECT_EQ(ErrorOf([] { SplitDate(1e12); }), 6);
}

TEST(VbDate, TextThatReadsAsDate) {
  const int year = SplitDate(Today()).year;
  struct Case {
    const char* text;
    double serial;
  } cases[] = {
      {"12/6/2026", Serial(2026, 12, 6)},  {"12-6-2026", Serial(2026, 12, 6)},
      {"2026-12-06", Serial(2026, 12, 6)}, {" 12/6/2026 ", Serial(2026, 12, 6)},
      {"2026-12-06 14:05:09", Serial(2026, 12, 6, 14, 5, 9)},
      {"2026-12-06T14:05:09", Serial(2026, 12, 6, 14, 5, 9)},
      {"1970-1-13", Serial(1970, 1, 13)},   {"2 January, 1970", Serial(1970, 1, 2)},
      {"2-Jan-1970", Serial(1970, 1, 2)},  {"Jan 2, 1970", Serial(1970, 1, 2)},
      {"January 2 1970", Serial(1970, 1, 2)},
      {"Friday, January 2, 1970", Serial(1970, 1, 2)},
      {"12/6/2026 2:05 PM", Serial(2026, 12, 6, 14, 5)},
      {"2:05:09 PM", Serial(1899, 12, 30, 14, 5, 9)},
      {"14:05", Serial(1899, 12, 30, 14, 5)},
      {"12:00 AM", 0},  {"12:00 PM", 0.5},  {"3 pm", 0.625},  {"00:00 a", 0},
      {"12:59 p", Serial(1899, 12, 30, 12, 59)},  {"13:00 PM", Serial(1899, 12, 30, 13, 0)},
      {"0.1", Serial(1899, 12, 30, 0, 1)},        {"1.5.2", Serial(1899, 12, 30, 1, 5, 2)},
      {"3 4 2.5", Serial(year, 3, 4, 2, 5)},      {"14 2 3", Serial(2014, 2, 3)},
      {"6/30/2011\u30001:20:34", Serial(2011, 6, 30, 1, 20, 34)},
      {"13/1/2026", Serial(2026, 1, 13)},  {"2/29/2024", Serial(2024, 2, 29)},
      {"1/2/29", Serial(2029, 1, 2)},      {"1/2/30", Serial(1930, 1, 2)},
      {"12/2026", Serial(2026, 12, 1)},    {"3/4", Serial(year, 3, 4)},
  };
  int n = 0;
  for (const auto& c : cases) {
    ++n;
    const auto got = ParseDate(c.text);
    ASSERT_TRUE(got.has_value()) << "case " << n << " " << c.text;
    EXPECT_NEAR(*got, c.serial, 1e-9) << "case " << n << " " << c.text;
  }
  for (const char* text : {"24:00", "0:60", "2/30/2026", "2/29/2025", "abc", "", "1/2/3/4", "45",
                           "1 am 2 3.4", "12/6/ 2026 PM", "1//2/2026", "/1/2/2026", "1.5 2",
                           "12/6 14:05 /2026", "02.01.1970", "2013-05-14 02:04:12.017000000"}) {
    EXPECT_FALSE(ParseDate(text).has_value()) << text;
    EXPECT_FALSE(IsDate(Variant(text))) << text;
  }
}

TEST(VbDate, ConversionsOfVariants) {
  EXPECT_EQ(CDate(Variant("12/6/2026 2:05 PM")), Serial(2026, 12, 6, 14, 5));
  EXPECT_EQ(CDate(Variant(45000)), 45000.0);
  EXPECT_EQ(CDate(Variant()), 0.0);
  EXPECT_EQ(ErrorOf([] { CDate(Variant("abc")); }), 13);
  EXPECT_EQ(ErrorOf([] { CDate(Variant::Null()); }), 94);
  EXPECT_EQ(ErrorOf([] { CDate(Variant(1e9)); }), 6);
  EXPECT_EQ(DateValue(Variant("12/6/2026 2:05 PM")), Serial(2026, 12, 6));
  EXPECT_EQ(DateValue(Dt(-1.25)), -1.0);
  EXPECT_TRUE(IsDate(Dt(0)));
  EXPECT_FALSE(IsDate(Variant(45000)));

  const double now = Now();
  EXPECT_GE(now, Today());
  EXPECT_LT(now, Today() + 1);
  EXPECT_EQ(Today(), std::trunc(Today()));
}

TEST(VbDate, DayDifferences) {
  struct Case {
    double a, b;
    int days;
  } cases[] = {
      {Serial(2026, 12, 6, 23, 59), Serial(2026, 12, 7, 0, 1), 1},
      {Serial(2026, 12, 7, 0, 1), Serial(2026, 12, 6, 23, 59), -1},
      {Serial(2026, 12, 31, 12), Serial(2027, 1, 1), 1},
      {Serial(2026, 1, 1), Serial(2026, 12, 31, 23, 59), 364},
      {Serial(2026, 6, 1, 8), Serial(2026, 6, 1, 17), 0},
      {-1.75, -1.25, 0},  // both on 12/29/1899
      {-1.25, 0.25, 1},
      {-0.5, 0.5, 0},     // the same day 12/30/1899, noon twice
  };
  int n = 0;
  for (const auto& c : cases) EXPECT_EQ(DateDiffDays(c.a, c.b), c.days) << "case " << ++n;
}

TEST(VbDate, IsoText) {
  EXPECT_EQ(ToIso(Serial(2026, 12, 6)), "2026-12-06");
  EXPECT_EQ(ToIso(Serial(2026, 12, 6, 14, 5, 9)), "2026-12-06 14:05:09");
  EXPECT_EQ(ToIso(Serial(2026, 12, 7) - 0.2 / 86400), "2026-12-07");
  EXPECT_EQ(ToIso(-1.25), "1899-12-29 06:00:00");
  struct Case {
    const char* text;
    std::optional<double> serial;
  } cases[] = {
      {"2026-12-06", Serial(2026, 12, 6)},
      {"2026-12-06 14:05", Serial(2026, 12, 6, 14, 5)},
      {"2026-12-06T14:05:09", Serial(2026, 12, 6, 14, 5, 9)},
      {"2026-12-06 14:05:09.500", Serial(2026, 12, 6, 14, 5, 9) + 0.5 / 86400},
      {"2026-12-6", std::nullopt},  {"2026-02-30", std::nullopt},
      {"2026-12-06 24:00", std::nullopt},  {"2026-12-06 14:05:", std::nullopt},
      {"12/6/2026", std::nullopt},  {"", std::nullopt},
      {"2024-02-29", Serial(2024, 2, 29)},  {"2026-04-31", std::nullopt},
      {"2100-02-29", std::nullopt},  {"0099-12-31", std::nullopt},
      {"2026-12-06 14", std::nullopt},  {"2026-12-06 14:5a", std::nullopt},
  };
  int n = 0;
  for (const auto& c : cases) {
    ++n;
    const auto got = ParseIso(c.text);
    ASSERT_EQ(got.has_value(), c.serial.has_value()) << "case " << n;
    if (got) {
      EXPECT_NEAR(*got, *c.serial, 1e-9) << "case " << n;
    }
  }
  // A date placed in SQL text comes back unchanged through the engine's form.
  const double d = CDate(Variant("12/6/2026 2:05:09 PM"));
  EXPECT_EQ(CStr(Dt(*ParseIso(ToIso(d)))), "12/6/2026 2:05:09 PM");
}

TEST(VbCompare, TextEquals) {
  struct Case {
    Variant value;
    const char* text;
    bool equal;
  } cases[] = {
      {Variant(), "", true},           {Variant(), "Z", false},    {Variant(""), "", true},
      {Variant(2), "2", true},         {I2(2), "2", true},         {Variant(2.0), "2", true},
      {Variant(2.5), "2.50", false},   {Variant("UPD"), "upd", false},
      {Variant(" 2"), "2", false},     {Variant::Null(), "", false},
      {Variant(true), "True", true},   {Dt(Serial(2026, 12, 6)), "12/6/2026", true},
  };
  int n = 0;
  for (const auto& c : cases) EXPECT_EQ(TextEquals(c.value, c.text), c.equal) << "case " << ++n;
}

TEST(VbCompare, VariantOrder) {
  struct Case {
    Variant a, b;
    std::optional<int> order;
  } cases[] = {
      {Variant(2), Variant(10.5), -1},     {Variant("b"), Variant("a"), 1},
      {Variant("B"), Variant("a"), -1},    {Variant("10"), Variant("9"), -1},
      {Variant(100), Variant("1"), -1},    {Variant("1"), Variant(100), 1},
      {Variant(), Variant(0), 0},          {Variant(), Variant(-1), 1},
      {Variant(), Variant(""), 0},         {Variant(), Variant("a"), -1},
      {Variant(), Variant(), 0},           {Variant(true), Variant(0), -1},
      {Cy(10000), Variant(1), 0},          {Dt(2), Variant(2.0), 0},
      {Dt(2), Variant("1"), -1},           {Variant::Null(), Variant(1), std::nullopt},
      {Dt(46203), Variant("6/30/2026"), 0}, {Dt(46203), Variant("7/1/2026"), -1},
      {Variant("2026-07-01"), Dt(46203), 1}, {Dt(46203), Variant("soon"), -1},
      {Variant(), Variant::Null(), std::nullopt},
  };
  int n = 0;
  for (const auto& c : cases) {
    ++n;
    EXPECT_EQ(Compare(c.a, c.b), c.order) << "case " << n;
    EXPECT_EQ(SortGreater(c.a, c.b), c.order == 1) << "case " << n;
  }
  EXPECT_EQ(ErrorOf([] { Compare(Variant(VarArray::Of({})), Variant(1)); }), 13);
}

TEST(VbRnd, FreshSequenceAndThreads) {
  ResetRnd();
  EXPECT_NEAR(Rnd(), 0.7055475f, 1e-7);
  EXPECT_NEAR(Rnd(), 0.533424f, 1e-7);
  EXPECT_NEAR(Rnd(), 0.5795186f, 1e-7);

  // Draws from several threads take distinct steps of the one sequence.
  ResetRnd();
  std::vector<float> expected;
  for (int i = 0; i < 4000; ++i) expected.push_back(Rnd());
  ResetRnd();
  std::vector<std::vector<float>> drawn(4);
  std::vector<std::thread> threads;
  for (auto& d : drawn) {
    threads.emplace_back([&d] {
      for (int i = 0; i < 1000; ++i) d.push_back(Rnd());
    });
  }
  for (auto& t : threads) t.join();
  std::vector<float> all;
  for (const auto& d : drawn) all.insert(all.end(), d.begin(), d.end());
  std::sort(all.begin(), all.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(all, expected);
  for (float f : all) ASSERT_TRUE(f >= 0.0f && f < 1.0f);
  ResetRnd();
}

}  // namespace
}  // namespace ksmain::vb
