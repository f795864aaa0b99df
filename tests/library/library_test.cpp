// The library as pages see it: the dispatch layer (member tables against the published
// interfaces, lookup, Invoke's argument binding and checks, the registration exports), the
// JSON bridge above it (the Variant encoding both ways and the request/response contract),
// and every member called late-bound against fixture databases with odd values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "bridge.h"
#include "frame/app_log.h"
#include "frame/vb_runtime.h"
#include "json_variant.h"
#include "ksmain/catalogue.h"
#include "ksmain/dispatch.h"
#include "maint/maint_fixture.h"
#include "reference_interfaces.inc"
#include "support/fixture.h"
#include "support/raised.h"
#include "support/small_stack.h"

namespace ksmain::bridge {
namespace {

using nlohmann::json;
using ::ksmain::testing::ErrorOf;

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(DllRegisterServer(), 0); }

  static Variant Invoke(DispatchObject& o, std::string_view member, std::vector<Variant>& args) {
    std::vector<Variant*> p;
    for (Variant& a : args) p.push_back(&a);
    return o.Invoke(member, p);
  }
};

TEST_F(DispatchTest, EveryRegisteredMemberMatchesItsPublishedRowInSlotOrder) {
  int checked = 0;
  for (const ClassInfo& c : RegisteredClasses()) {
    EXPECT_EQ(c.progid, std::string("KsMain.") + c.name);
    EXPECT_EQ(c.interface_name, "_" + c.name);
    std::size_t next_reference = 0;
    const auto& ref = ReferenceMembers();
    for (const MemberInfo& m : c.members) {
      // Find the published row at or after the previous one: order must be slot order.
      std::size_t i = next_reference;
      while (i < ref.size() && !(c.name == ref[i].first && m.name == ref[i].second.name)) ++i;
      ASSERT_LT(i, ref.size()) << c.name << "." << m.name << " is unpublished or out of slot order";
      const MemberInfo& r = ref[i].second;
      EXPECT_EQ(m.dispid, r.dispid) << m.name;
      EXPECT_EQ(m.kind, r.kind) << m.name;
      ASSERT_EQ(m.params.size(), r.params.size()) << m.name;
      for (std::size_t p = 0; p < r.params.size(); ++p) {
        EXPECT_EQ(m.params[p].name, r.params[p].name) << m.name << " parameter " << p;
        EXPECT_EQ(m.params[p].by_ref, r.params[p].by_ref) << m.name << "." << r.params[p].name;
        EXPECT_EQ(m.params[p].type, r.params[p].type) << m.name << "." << r.params[p].name;
      }
      next_reference = i + 1;
      ++checked;
    }
  }
  EXPECT_EQ(checked, static_cast<int>(ReferenceMembers().size())) << "every published member is registered";
}

TEST_F(DispatchTest, NamesResolveWithoutRegardToCaseAndUnknownOnesRunNothing) {
  auto k = CreateObject("ksmain.kestrel");
  EXPECT_EQ(k->GetIdOfName("GET_STATUSALL"), 0x60030008);
  EXPECT_EQ(k->GetIdOfName("get_statusall"), 0x60030008);
  EXPECT_EQ(ErrorOf([&] { (void)k->GetIdOfName("Get_Nothing"); }), 438);
  std::vector<Variant> args{Variant("untouched")};
  std::vector<Variant*> p{&args[0]};
  EXPECT_EQ(ErrorOf([&] { k->Invoke(0x6003FFFF, p); }), 438);
  EXPECT_EQ(args[0], Variant("untouched"));
}

TEST_F(DispatchTest, ByValueStringParametersAreConvertedCopies) {
  auto c = CreateObject("KsMain.InsertTable_summary");
  std::vector<Variant> args{Variant(2026)};
  EXPECT_NO_THROW(Invoke(*c, "Set_year", args));
  EXPECT_EQ(args[0], Variant(2026)) << "a by-value argument is never written";
  args = {Variant::Null()};
  EXPECT_EQ(ErrorOf([&] { Invoke(*c, "Set_year", args); }), 94);
  args = {Variant(VarArray::Of({Variant(1)}))};
  EXPECT_EQ(ErrorOf([&] { Invoke(*c, "set_YEAR", args); }), 13);
}

TEST_F(DispatchTest, RegistrationExports) {
  EXPECT_EQ(DllRegisterServer(), 0) << "registering twice is harmless";
  const auto classes = RegisteredClasses();
  ASSERT_EQ(classes.size(), 3u);
  void* factory = nullptr;
  ASSERT_EQ(DllGetClassObject(classes[0].clsid.c_str(), &factory), 0);
  void* object = nullptr;
  ASSERT_EQ(ksmain_create_instance(factory, &object), 0);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), 1) << "an instance is alive";
  ksmain_release_instance(object);
  EXPECT_EQ(DllCanUnloadNow(), 0);

  EXPECT_EQ(DllUnregisterServer(), 0);
  EXPECT_EQ(ErrorOf([] { (void)CreateObject("KsMain.Kestrel"); }), 429);
  EXPECT_NE(ksmain_create_instance(factory, &object), 0);
  void* none = nullptr;
  EXPECT_NE(DllGetClassObject(classes[0].clsid.c_str(), &none), 0);
  EXPECT_EQ(DllRegisterServer(), 0);
}

// Whatever the bridge writes, it reads back as the same value, through the text a caller
// sees: each kind at its extremes, and the forms only the extremes need.
TEST(BridgeEncoding, EveryKindRoundTripsAtItsExtremes) {
  using I32 = std::numeric_limits<std::int32_t>;
  VarArray grid({{0, 1}, {0, 2}});
  grid.at({1, 2}) = Variant("x");
  grid.at({0, 1}) = Variant(std::int16_t{3});
  VarArray far({{I32::min(), I32::min()}, {I32::max(), I32::max()}});
  far.at({I32::min(), I32::max()}) = Variant(VarArray::Of({Variant(1)}));
  const double inf = std::numeric_limits<double>::infinity();
  const Variant values[] = {
      Variant(), Variant::Null(), Variant(std::int16_t{-32768}), Variant(std::int16_t{32767}),
      Variant(I32::min()), Variant(I32::max()), Variant(2.5), Variant(2.0),
      Variant(std::numeric_limits<double>::max()), Variant(-std::numeric_limits<double>::max()),
      Variant(std::numeric_limits<double>::denorm_min()), Variant(inf), Variant(-inf),
      Variant::FromCurrency(std::numeric_limits<std::int64_t>::min()),
      Variant::FromCurrency(std::numeric_limits<std::int64_t>::max()), Variant::FromCurrency(-5),
      Variant(true), Variant(false), Variant(""), Variant("text"), Variant::FromDate(2958465.999999),
      Variant::FromDate(-1e10),
      Variant(VarArray::Of({})), Variant(VarArray::Of({Variant(1), Variant("a")})), Variant(grid),
      Variant(far), Variant(VarArray({{1, 2}})), Variant(VarArray({{0, -1}, {0, 5}}))};
  for (const Variant& v : values) {
    const std::string text = ToJson(v).dump();
    EXPECT_EQ(FromJson(json::parse(text)), v) << text;
  }
  // A date in the calendar is written as plain text, which a caller sends back tagged.
  for (const double serial : {*vb::ParseIso("0100-01-01"), *vb::ParseIso("9999-12-31T23:59:59"), -1.25}) {
    const json text = ToJson(Variant::FromDate(serial));
    EXPECT_EQ(FromJson(json{{"$", "date"}, {"v", text}}), Variant::FromDate(serial)) << text;
  }
  // NaN is unequal to itself; it still comes back as a NaN Double.
  const json nan = ToJson(Variant(std::nan("")));
  EXPECT_TRUE(std::isnan(FromJson(json::parse(nan.dump())).AsDouble())) << nan;
}

TEST(BridgeEncoding, PlainAndTaggedForms) {
  EXPECT_EQ(ToJson(Variant(5)), json(5));
  EXPECT_EQ(ToJson(Variant(std::int16_t{5})), json::parse(R"({"$":"i2","v":5})"));
  EXPECT_EQ(ToJson(Variant(2.0)), json::parse(R"({"$":"r8","v":2.0})"));
  EXPECT_EQ(ToJson(Variant::FromCurrency(123400)), json::parse(R"({"$":"cy","v":"12.3400"})"));
  EXPECT_EQ(ToJson(Variant::FromDate(46362.0)), json("2026-12-06T00:00:00"));
  EXPECT_EQ(ToJson(Variant::FromDate(46362.6041666667)), json("2026-12-06T14:30:00"));
  EXPECT_EQ(FromJson(json::parse(R"({"$":"date","v":"2026-12-06T14:30:00"})")),
            Variant::FromDate(46362.0 + 14.5 / 24));
  EXPECT_EQ(FromJson(json(3000000000LL)), Variant(3e9)) << "integers beyond Long become Double";
  EXPECT_EQ(FromJson(json::parse(R"({"$":"i2","v":5.0})")), Variant(std::int16_t{5}));
  // Currency text is read exactly; past four decimals it rounds half to even.
  EXPECT_EQ(FromJson(json::parse(R"({"$":"cy","v":"1.23455"})")), Variant::FromCurrency(12346));
  EXPECT_EQ(FromJson(json::parse(R"({"$":"cy","v":"-1.23465"})")), Variant::FromCurrency(-12346));
  const json column_first = ToJson(Variant(VarArray::Grid(2, 1)));
  EXPECT_EQ(column_first["ubound"], json::parse("[2,1]"));
  EXPECT_EQ(column_first["v"].size(), 3u);
  EXPECT_EQ(column_first["v"][0].size(), 2u);
}

TEST(BridgeEncoding, MalformedValuesAreRejected) {
  for (const char* bad : {
           R"({"$":"i2","v":40000})", R"({"$":"what"})", R"({"$":"date","v":"soon"})",
           // Nothing is truncated or wrapped into range.
           R"({"$":"i2","v":1.9})", R"({"$":"i2","v":18446744073709551615})",
           R"({"$":"i4","v":18446744073709551615})", R"({"$":"i4","v":2147483648})",
           R"({"$":"cy","v":1e15})", R"({"$":"cy","v":"922337203685477.5808"})",
           R"({"$":"cy","v":-922337203685478})",
           R"({"$":"array","lbound":[0],"ubound":[4294967297],"v":[1,2]})",
           // The shape is checked before anything is allocated, every row of it.
           R"({"$":"array","lbound":[0],"ubound":[2],"v":[1]})",
           R"({"$":"array","lbound":[0,0],"ubound":[8191,8191],"v":[]})",
           R"({"$":"array","lbound":[0,0],"ubound":[1,1],"v":[[1,2],[3]]})",
           R"({"$":"array","lbound":[0,0],"ubound":[1,0],"v":[[1],5]})"}) {
    EXPECT_THROW(FromJson(json::parse(bad)), BadRequest) << bad;
  }
}

int RunRequest(const std::string& request, json& response, std::string& error) {
  std::istringstream in(request);
  std::ostringstream out, err;
  const int status = RunCall(in, out, err);
  error = err.str();
  if (status == 0) response = json::parse(out.str());
  return status;
}

TEST(BridgeCall, MalformedRequestsExitTwoWithAReason) {
  DllRegisterServer();
  json response;
  std::string error;
  for (const char* bad : {"not json", "[]", R"({"calls":[]})", R"({"object":"KsMain.Kestrel"})",
                          R"({"object":"KsMain.Kestrel","calls":[{"args":[]}]})",
                          R"({"object":"KsMain.Kestrel","calls":[{"member":"x","args":5}]})",
                          // A DISPID wider than 32 bits must not wrap onto another member.
                          R"({"object":"KsMain.Kestrel","calls":[{"member":5905776661}]})",
                          R"({"object":"KsMain.Kestrel","calls":[{"member":18446744073709551615}]})",
                          // A misspelt setting is not silently ignored.
                          R"({"object":"KsMain.Kestrel","calls":[],"settings":{"catalog_host":"db"}})",
                          R"({"object":"KsMain.Kestrel","calls":[],"settings":{"servers":{"db":5}}})"}) {
    EXPECT_EQ(RunRequest(bad, response, error), 2) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

// One request is one instance: colours set by its first calls colour a later call's bar. A
// member without a trap fails to the caller with its number and description, its by-ref
// array as it stood, and the calls after it still run.
TEST(BridgeCall, CallsRunInOrderOnOneInstanceWithArgsAndErrorsReported) {
  DllRegisterServer();
  json response;
  std::string error;
  const std::string bar = R"({"member":"CalcHorizontalBarGraphs","args":[null,40,35,"1/1/2026","4/11/2026",null]})";
  const json grid = json::parse(R"({"$":"array","lbound":[0,0],"ubound":[1,2],"v":[[3,1,2],["c","a","b"]]})");
  const std::string request = R"({"object":"KsMain.Kestrel","calls":[
      {"member":"setProgressBarTarget","args":["red"]}, {"member":"setProgressBarActual","args":["blue"]},
      {"member":"SortArray","args":[)" + grid.dump() + R"(,{"$":"i2","v":7},{"$":"i2","v":1}]},
      {"member":1610809365,"args":[null,"Data Source=/nonexistent/p.db",null,""]},
      {"member":"Get_TypeAll","args":[null]},
      {"member":"NoSuchMember","args":[]}, )" + bar + "]}";
  ASSERT_EQ(RunRequest(request, response, error), 0) << error;
  const json& r = response["results"];
  ASSERT_EQ(r.size(), 7u);
  EXPECT_TRUE(r[0]["error"].is_null());
  EXPECT_EQ(r[0]["args"][0], "red");
  EXPECT_EQ(r[2]["error"]["number"], 9);
  EXPECT_FALSE(r[2]["error"]["description"].get<std::string>().empty());
  EXPECT_EQ(r[2]["args"][0], grid);
  EXPECT_TRUE(r[3]["error"].is_null()) << "a failed connection ends the member silently";
  EXPECT_TRUE(r[3]["return"].is_null());
  EXPECT_EQ(r[3]["args"][3], "typedescription asc") << "the by-ref default is written back";
  EXPECT_EQ(r[3]["args"][0]["ubound"], json::parse("[50,3]"));
  EXPECT_TRUE(r[3]["args"][0]["v"][0][0].is_null()) << "the count stays Empty: the call did not finish";
  EXPECT_EQ(r[4]["error"]["number"], 450);
  EXPECT_EQ(r[4]["args"], json::parse("[null]")) << "the count is checked before the member runs";
  EXPECT_EQ(r[5]["error"]["number"], 438);
  EXPECT_EQ(r[6]["args"][0], json::parse(R"([null,"blue","blue","blue","red","red","red",null,null,null,null])"));
  // A fresh request's instance has no colours: its cells hold empty text.
  ASSERT_EQ(RunRequest(R"({"object":"KsMain.Kestrel","calls":[)" + bar + "]}", response, error), 0) << error;
  EXPECT_EQ(response["results"][0]["args"][0], json::parse(R"([null,"","","","","","",null,null,null,null])"));
}

TEST(BridgeCall, AnyNestingIsServedOrRefusedOnASmallStack) {
  DllRegisterServer();
  // The request wraps the value in four levels: itself, "calls", the call, "args".
  const auto plain = [](int levels) { return std::string(levels, '[') + std::string(levels, ']'); };
  const auto tagged = [](int dims) {
    std::string bounds = "[0";
    for (int d = 1; d < dims; ++d) bounds += ",0";
    bounds += "]";
    return R"({"$":"array","lbound":)" + bounds + R"(,"ubound":)" + bounds + R"(,"v":)" +
           std::string(dims, '[') + "1" + std::string(dims, ']') + "}";
  };
  const struct {
    std::string value;
    int status;
  } rows[] = {{plain(kMaxDepth - 4), 0}, {plain(kMaxDepth - 3), 2},   {plain(100000), 2},
              {tagged(kMaxDepth - 5), 0}, {tagged(kMaxDepth - 4), 2}, {tagged(100000), 2}};
  // The bridge bounds its own depth, so it keeps to 1 MB under the sanitizers too.
  ::ksmain::testing::OnStackOf(std::size_t{1} << 20, [&] {
    for (const auto& row : rows) {
      json response;
      std::string error;
      const std::string request =
          R"({"object":"KsMain.Kestrel","calls":[{"member":"setProgressBarTarget","args":[)" + row.value + "]}]}";
      EXPECT_EQ(RunRequest(request, response, error), row.status) << row.value.substr(0, 40) << error;
      if (row.status == 0) {
        EXPECT_EQ(response["results"][0]["args"][0], json::parse(row.value)) << "echoed at full depth";
      } else {
        EXPECT_NE(error.find("deeper than"), std::string::npos) << error;
      }
    }
    // Encoding is bounded the same way, whoever built the value.
    Variant deep(1);
    for (int i = 0; i <= kMaxDepth; ++i) deep = Variant(VarArray::Of({deep}));
    EXPECT_THROW(ToJson(deep), BadRequest);
  });
}

}  // namespace
}  // namespace ksmain::bridge

// Every registered member of every class, called late-bound as a page calls it, with an odd
// value in each parameter in turn, in all of them at once, and in each cell of an input
// array: nothing crashes, a failure reaches the caller as a runtime error only (and only
// from the members that arm no trap), and no value reaches the database as SQL of its own.
namespace ksmain::testing {
namespace {

struct Odd {
  const char* label;
  Variant value;
  // No member may act on it: in a key parameter the database stays as it was; in a cell of
  // an input array (which a member may store as quoted text) no row goes away.
  bool never_valid;
};

std::vector<Odd> OddValues() {
  std::string huge(200 * 1024, '9');
  huge[10] = '\'';
  VarArray shifted({ArrayBound{5, 7}});
  return {
      {"Empty", Variant(), false},
      {"Null", Variant::Null(), false},
      {"Integer", Variant(std::int16_t{-1}), false},
      {"Long", Variant(std::numeric_limits<std::int32_t>::max()), false},
      {"NaN", Variant(std::nan("")), false},
      {"Inf", Variant(std::numeric_limits<double>::infinity()), false},
      {"Currency", Variant::FromCurrency(-123456789), false},
      {"Date", Variant::FromDate(-657434), false},
      {"Boolean", Variant(true), false},
      {"empty text", Variant(""), false},
      {"huge text", Variant(std::move(huge)), false},
      {"statement text", Variant("1; DROP TABLE ProjectMaster"), true},
      {"quoted statement", Variant("1'; DELETE FROM entries; --"), true},
      {"always true", Variant("x' OR ''='"), true},
      {"row", Variant(VarArray::Of({Variant(1), Variant("a")})), true},
      {"grid", Variant(VarArray::Grid(2, 2)), true},
      {"shifted bounds", Variant(std::move(shifted)), true},
      {"nested", Variant(VarArray::Of(std::vector<Variant>(30, Variant(VarArray::Grid(1, 1))))), true},
  };
}

// Members with no trap of their own: their failures reach the caller as runtime errors.
const std::set<std::string> kUntrapped = {
    "setProgressBarTarget", "setProgressBarActual", "CalcHorizontalBarGraphs", "SortArray",
    "Get_rptKaizenEvents",  "Set_year",             "GetCategoryName",         "GetClientInfo",
    "GetClientLOGO"};

// Parameters that pick the rows a member reads or writes.
const std::set<std::string> kKeys = {"objID", "ProjectNum", "PID", "projectID", "kid",
                                     "strProjectID", "objProjID", "objStepID", "strStepID",
                                     "strResourceID", "strProjectStepID", "clientID",
                                     "categoryID", "artID"};

// A value for each parameter that lets the member get as far as the database.
Variant Usual(const std::string& member, const std::string& param, const Variant& connect) {
  static const std::map<std::string, Variant> by_member = {
      {"UPD_ProjectMasterALL.arrtest", ProjectForm(Variant(1))},
      {"INS_UPD_ProjectSteps.arrtest",
       Form({"UPD", 1, "S", 1, 4, "1", "", "", "", "", "", "", "", 1, "", "", "", "0"})},
      {"UPD_ProjectRank.arrtest", Form({1, 1, 2, 3, 4, 5})},
      {"UpDateMeetingDates.arrtest", Form({"3/1/2026", "3/2/2026", 1})},
      {"UpDateStepResources.arrtest", Form({1, 2, 1})},
      {"UPD_ProjectGanttChart.arrtest", Form({1, "2/1/2026", "7/31/2026", 4})},
      {"UPD_StepGanttChart.arrtest", Form({1, "2/1/2026", "7/31/2026", 4})},
      {"Upd_ResourceAll.arrtest", Form({"", 1, "a.b", "", "Ann", "Lee", "T", "3", "x/y", "update"})},
      {"SortArray.DArray", Variant(VarArray::Grid(2, 1))},
      {"CalcHorizontalBarGraphs.objActualDays", Variant(40)},
      {"CalcHorizontalBarGraphs.objPercentCompleted", Variant(20)},
      {"CalcHorizontalBarGraphs.objEstDateStarted", Variant("1/1/2026")},
      {"CalcHorizontalBarGraphs.objEstDateCompleted", Variant("4/11/2026")},
      {"ManageKaizenEvents.strSQL", Variant("SELECT * FROM KaizenEvents")},
      {"Update_ProjectRevisedCompDates.EstCompletionDate", Variant("7/31/2026")},
      {"Update_ProjectRevisedCompDates.action", Variant("1")},
      {"UpDateMeetingDates.action", Variant("3")},
      {"UpDateStepResources.action", Variant("3")},
      {"Get_Attendees.QueryType", Variant(1)},
      {"Get_ReviewDates.QueryType", Variant(1)},
  };
  if (auto it = by_member.find(member + "." + param); it != by_member.end()) return it->second;
  if (param == "strconnect") return connect;
  if (param == "RC") return Variant("rc");
  if (param == "arrTable") return Variant(VarArray::Of(std::vector<Variant>(29, Variant("1"))));
  if (kKeys.contains(param) || param == "cat" || param == "specs" || param == "levelind" ||
      param == "Element" || param == "SizeOf2ndArrayVar")
    return Variant("1");
  if (param.starts_with("obj") && param.ends_with("Date")) return Variant("1/1/2026");
  if (param == "strActualReviewDate") return Variant("3/1/2026");
  if (param == "year" || param == "inputyear") return Variant("2026");
  return Variant();
}

class Robustness : public ::testing::Test {
 protected:
  Robustness() {
    SetApplicationLogSink([](std::string_view) {});  // several members log each refusal
    data::SetDataSource(data::CatalogueHost(), catalogue_.source());
  }
  ~Robustness() override {
    SetApplicationLogSink({});
    data::ClearDataSources();
  }

  // Rows per table of both databases.
  std::map<std::string, std::string> Counts() {
    std::map<std::string, std::string> counts;
    for (TempDb* db : {&portfolio_, &catalogue_}) {
      for (const auto& row : db->Rows("SELECT name FROM sqlite_master WHERE type = 'table'")) {
        const std::string table = vb::CStr(row[0]);
        counts[db->path() + ":" + table] = db->Scalar("SELECT count(*) FROM \"" + table + "\"");
      }
    }
    return counts;
  }

  TempDb portfolio_{TempDb::Kind::Portfolio, true};
  TempDb catalogue_{TempDb::Kind::Catalogue, true};
};

TEST_F(Robustness, EveryMemberSurvivesAnOddValueInEveryParameterAndCell) {
  ASSERT_EQ(DllRegisterServer(), 0);
  const std::vector<Odd> odds = OddValues();
  std::set<std::string> raised;
  int calls = 0;
  for (const ClassInfo& c : RegisteredClasses()) {
    auto object = CreateObject(c.progid);
    const Variant connect = c.name == "InsertTable_summary" ? catalogue_.connect() : portfolio_.connect();
    for (const MemberInfo& m : c.members) {
      std::vector<Variant> usual;
      for (const ParamInfo& p : m.params) usual.push_back(Usual(m.name, p.name, connect));
      // One call: the odd value in parameter `p` (all of them when p == size), or in cell
      // `cell` of that parameter's array when cell >= 0.
      auto call = [&](const Odd& odd, std::size_t p, int cell) {
        std::vector<Variant> args = usual;
        for (std::size_t i = 0; i < args.size(); ++i) {
          if (i != p && p != args.size()) continue;
          if (cell < 0) {
            args[i] = odd.value;
          } else {
            args[i].MutableArray().cells()[cell] = odd.value;
          }
        }
        const bool check_db = odd.never_valid && p < args.size() &&
                              (kKeys.contains(m.params[p].name) || cell >= 0);
        SCOPED_TRACE(c.name + "." + m.name + " parameter " + std::to_string(p) + " cell " +
                     std::to_string(cell) + " = " + odd.label);
        const auto before = check_db ? Counts() : std::map<std::string, std::string>{};
        std::vector<Variant*> pointers;
        for (Variant& a : args) pointers.push_back(&a);
        try {
          object->Invoke(m.dispid, pointers);
        } catch (const VbError&) {
          // A by-value String parameter converts before the member runs (94, 13).
          bool converting = false;
          for (std::size_t i = 0; i < args.size(); ++i) {
            converting |= (i == p || p == args.size()) && !m.params[i].by_ref &&
                          m.params[i].type == ParamType::String;
          }
          if (!converting) raised.insert(m.name);
        } catch (const std::exception& e) {
          ADD_FAILURE() << "not a runtime error: " << e.what();
        }
        if (check_db && cell < 0) {
          EXPECT_EQ(Counts(), before);
        } else if (check_db) {
          for (const auto& [table, count] : Counts()) {
            EXPECT_GE(std::stol(count), std::stol(before.at(table))) << table;
          }
        }
        ++calls;
      };
      for (const Odd& odd : odds) {
        for (std::size_t p = 0; p <= m.params.size(); ++p) call(odd, p, -1);
        for (std::size_t p = 0; p < m.params.size(); ++p) {
          if (!usual[p].IsArray()) continue;
          for (std::size_t cell = 0; cell < usual[p].AsArray().size(); ++cell) {
            call(odd, p, static_cast<int>(cell));
          }
        }
      }
    }
  }
  EXPECT_GT(calls, 5000);
  for (const std::string& name : raised) {
    EXPECT_TRUE(kUntrapped.contains(name)) << name << " arms a trap yet let an error through";
  }
  // Nothing a value carried reached beyond the rows the members address.
  EXPECT_NE(portfolio_.Scalar("SELECT count(*) FROM sqlite_master WHERE name = 'ProjectMaster'"), "0");
  EXPECT_NE(catalogue_.Scalar("SELECT count(*) FROM entries"), "0");
}


// A long text from a page becomes a long statement: a search of 30,000 blanks (one word
// each) still searches, through the member, the data layer and the engine, without
// exhausting the stack of the thread that calls. (A statement too deep for the front end,
// refused on the same stack: Rejections.LongChainsWorkAndDeepTreesFailAsStatementErrors;
// a refused statement ending a trapped member: Kaizen.PageStatements.)
TEST_F(Robustness, LongCriteriaSearchOnAWorkerThread) {
  // The number of entries a search finds; one empty word finds every available one.
  auto search = [&](const std::string& criteria) {
    InsertTable_summary cat;
    Variant grid(VarArray::Grid(250, 25)), conn = catalogue_.connect(), count;
    cat.Get_SimpleSearch(grid, conn, count, "", "", "", "", "", "", criteria, "", "1", "");
    return vb::CStr(grid.AsArray().at({0, 0}));
  };
  const std::string searched = search("");
  ASSERT_GT(std::stoi(searched), 0);
  std::string outcome;
  OnSmallStack([&] { outcome = search(std::string(30000, ' ')); });
  EXPECT_EQ(outcome, searched);
}

}  // namespace
}  // namespace ksmain::testing
