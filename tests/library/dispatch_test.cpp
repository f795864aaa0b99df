// The dispatch layer: member tables against the published interfaces, lookup, Invoke's
// argument binding and checks, and the registration exports.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ksmain/dispatch.h"
#include "reference_interfaces.inc"
#include "support/raised.h"

namespace ksmain {
namespace {

using testing::ErrorOf;

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
      while (i < ref.size() && !(c.name == ref[i].class_name && m.name == ref[i].name)) ++i;
      ASSERT_LT(i, ref.size()) << c.name << "." << m.name << " is unpublished or out of slot order";
      const ReferenceMember& r = ref[i];
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

// (A wrong argument count, and a by-ref default written back when the connection fails:
// BridgeCall.CallsRunInOrderOnOneInstanceWithArgsAndErrorsReported.)

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

}  // namespace
}  // namespace ksmain
