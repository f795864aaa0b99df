// The JSON bridge: the Variant encoding both ways and the request/response contract.
#include <gtest/gtest.h>

#include <sstream>

#include "bridge.h"
#include "json_variant.h"
#include "ksmain/dispatch.h"

namespace ksmain::bridge {
namespace {

using nlohmann::json;

TEST(BridgeEncoding, EveryKindRoundTrips) {
  VarArray grid({{0, 1}, {0, 2}});
  grid.at({1, 2}) = Variant("x");
  grid.at({0, 1}) = Variant(std::int16_t{3});
  VarArray shifted({{1, 2}});
  const Variant values[] = {Variant(), Variant::Null(), Variant(std::int16_t{-7}), Variant(42),
                            Variant(2.5), Variant(1e300), Variant::FromCurrency(123400),
                            Variant::FromCurrency(-5), Variant(true), Variant("text"),
                            Variant(VarArray::Of({Variant(1), Variant("a")})), Variant(grid),
                            Variant(shifted)};
  for (const Variant& v : values) EXPECT_EQ(FromJson(ToJson(v)), v) << v;
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
  const json column_first = ToJson(Variant(VarArray::Grid(2, 1)));
  EXPECT_EQ(column_first["ubound"], json::parse("[2,1]"));
  EXPECT_EQ(column_first["v"].size(), 3u);
  EXPECT_EQ(column_first["v"][0].size(), 2u);
}

TEST(BridgeEncoding, MalformedValuesAreRejected) {
  for (const char* bad : {R"({"$":"i2","v":40000})", R"({"$":"what"})", R"({"$":"date","v":"soon"})",
                          R"({"$":"array","lbound":[0],"ubound":[2],"v":[1]})",
                          R"({"$":"array","lbound":[0,0],"ubound":[9999999,9999999],"v":[]})"}) {
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
                          R"({"object":"KsMain.Kestrel","calls":[{"member":"x","args":5}]})"}) {
    EXPECT_EQ(RunRequest(bad, response, error), 2) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(BridgeCall, CallsRunInOrderWithArgsAndErrorsReported) {
  DllRegisterServer();
  json response;
  std::string error;
  const std::string request = R"({"object":"KsMain.Kestrel","calls":[
      {"member":"setProgressBarTarget","args":["red"]},
      {"member":1610809365,"args":[null,"Data Source=/nonexistent/p.db",null,""]},
      {"member":"Get_TypeAll","args":[null]},
      {"member":"NoSuchMember","args":[]}]})";
  ASSERT_EQ(RunRequest(request, response, error), 0) << error;
  const json& r = response["results"];
  ASSERT_EQ(r.size(), 4u);
  EXPECT_TRUE(r[0]["error"].is_null());
  EXPECT_EQ(r[0]["args"][0], "red");
  EXPECT_TRUE(r[1]["error"].is_null()) << "a failed connection ends the member silently";
  EXPECT_EQ(r[1]["args"][3], "typedescription asc");
  EXPECT_EQ(r[1]["args"][0]["ubound"], json::parse("[50,3]"));
  EXPECT_EQ(r[2]["error"]["number"], 450);
  EXPECT_EQ(r[3]["error"]["number"], 438);
}

}  // namespace
}  // namespace ksmain::bridge
