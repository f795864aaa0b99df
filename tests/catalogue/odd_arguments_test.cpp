// Every member of the class, called late-bound with an odd value in each parameter in
// turn: nothing crashes, failures arrive as runtime errors only, and no value reaches the
// database as SQL of its own.
#include <cmath>
#include <limits>
#include <optional>

#include "catalogue/catalogue_fixture.h"
#include "ksmain/dispatch.h"

namespace ksmain::testing {
namespace {

using OddArgumentsTest = CatalogueTest;

std::vector<std::pair<std::string, Variant>> OddValues() {
  VarArray shifted({ArrayBound{5, 7}});
  return {
      {"Empty", Variant()},
      {"Null", Variant::Null()},
      {"Integer", Variant(std::int16_t{-1})},
      {"Long", Variant(std::numeric_limits<std::int32_t>::max())},
      {"Double", Variant(1e300)},
      {"NaN", Variant(std::nan(""))},
      {"Currency", Variant::FromCurrency(-5)},
      {"Boolean", Variant(true)},
      {"Date", Variant::FromDate(-657434)},
      {"empty text", Variant("")},
      {"huge text", Variant(std::string(200000, 'x'))},
      {"statement text", Variant("1'; DELETE FROM entries; --")},
      {"row", Variant(VarArray::Of({"1", "2", "3"}))},
      {"grid", Variant(VarArray::Grid(2, 2))},
      {"shifted bounds", Variant(std::move(shifted))},
      {"nested arrays",
       Variant(VarArray::Of(std::vector<Variant>(30, Variant(VarArray::Grid(1, 1)))))},
  };
}

// A value for each parameter that lets the member get as far as the database.
Variant Ordinary(const std::string& name, const Variant& connect) {
  if (name == "strconnect") return connect;
  if (name == "arrTable") return Variant(VarArray::Of(std::vector<Variant>(29, Variant("1"))));
  if (name == "arrtest") return Variant(VarArray::Grid(250, 30));
  if (name == "CategoryName") return Variant("cat");
  if (name == "specs" || name == "cat" || name == "clientID" || name == "categoryID" ||
      name == "artID" || name == "levelind")
    return Variant("1");
  return Variant("");
}

TEST_F(OddArgumentsTest, EveryMemberSurvivesAnOddValueInEveryParameter) {
  ASSERT_EQ(DllRegisterServer(), 0);
  AddEntries(1, 3, "Part", 1);
  db_.Exec("INSERT INTO clients (ID, username, password) VALUES (1, '1', '1')");
  std::optional<ClassInfo> info;
  for (const ClassInfo& c : RegisteredClasses()) {
    if (c.name == "InsertTable_summary") info = c;
  }
  ASSERT_TRUE(info.has_value());
  auto object = CreateObject("KsMain.InsertTable_summary");
  int calls = 0;
  for (const MemberInfo& m : info->members) {
    for (std::size_t p = 0; p < m.params.size(); ++p) {
      for (const auto& [label, odd] : OddValues()) {
        SCOPED_TRACE(m.name + "." + m.params[p].name + " = " + label);
        std::vector<Variant> args;
        for (const ParamInfo& param : m.params) args.push_back(Ordinary(param.name, db_.connect()));
        args[p] = odd;
        std::vector<Variant*> pointers;
        for (Variant& a : args) pointers.push_back(&a);
        try {
          object->Invoke(m.dispid, pointers);
        } catch (const VbError&) {
          // A runtime error is an acceptable answer; anything else is not.
        }
        ++calls;
      }
    }
  }
  EXPECT_GT(calls, 1000);
  EXPECT_EQ(db_.Scalar("SELECT count(*) FROM entries"), "3");
}

}  // namespace
}  // namespace ksmain::testing
