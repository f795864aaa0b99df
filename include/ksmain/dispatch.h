// Late-bound access to the library's classes: creation by programmatic identifier, member
// lookup by name or dispatch identifier, and Invoke with variant arguments.
//
// Pages never see the C++ classes; they create "KsMain.Kestrel" and call members by name.
// Each class describes its dispatch interface once (members in slot order with their
// DISPIDs, kinds and parameters); Invoke binds by-reference parameters to the caller's own
// variables and copies and converts by-value ones, as the automation runtime does.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ksmain/variant.h"

namespace ksmain {

enum class MemberKind { Function, Procedure, PropertyPut };

// The declared type of a parameter: Variant, String, 16-bit Integer, or array of Variant.
enum class ParamType { Variant, String, Integer, VariantArray };

struct ParamInfo {
  std::string name;
  bool by_ref = true;
  ParamType type = ParamType::Variant;
};

struct MemberInfo {
  std::string name;
  std::int32_t dispid = 0;
  MemberKind kind = MemberKind::Function;
  std::vector<ParamInfo> params;
};

struct ClassInfo {
  std::string name;            // "Kestrel"
  std::string progid;          // "KsMain.Kestrel"
  std::string interface_name;  // "_Kestrel"
  std::string clsid;           // "{...}"
  std::string iid;             // "{...}"
  std::vector<MemberInfo> members;  // slot order
};

// The type library the classes belong to.
inline constexpr const char* kTypeLibraryName = "KsMain";
inline constexpr const char* kTypeLibraryId = "{6F1C2A10-4B7E-4D2A-9C35-0E8B1A7D5301}";
inline constexpr int kTypeLibraryMajor = 1;
inline constexpr int kTypeLibraryMinor = 0;

// Errors raised at the dispatch layer, before any member code runs.
namespace err {
inline constexpr int kCannotCreate = 429;      // "ActiveX component can't create object"
inline constexpr int kNoSuchMember = 438;      // "Object doesn't support this property or method"
}  // namespace err

class DispatchObject {
 public:
  virtual ~DispatchObject() = default;
  virtual const ClassInfo& type_info() const = 0;

  // GetIDsOfNames: the DISPID of a member named without regard to case; 438 if none.
  std::int32_t GetIdOfName(std::string_view name) const;
  // The member with this DISPID, or nullptr.
  const MemberInfo* FindMember(std::int32_t dispid) const;

  // Invoke: one pointer per parameter, in parameter order. By-reference parameters are
  // bound to *args[i] (the member writes there); by-value ones are copied and converted
  // first (a String parameter gets the argument's text; Null there raises 94). An unknown
  // DISPID raises 438 and a wrong argument count 450, and nothing runs.
  Variant Invoke(std::int32_t dispid, std::span<Variant* const> args);
  Variant Invoke(std::string_view name, std::span<Variant* const> args) {
    return Invoke(GetIdOfName(name), args);
  }

 protected:
  virtual Variant Call(std::size_t slot, std::span<Variant* const> args) = 0;
};

// CreateObject by programmatic identifier (without regard to case); 429 if not registered.
std::unique_ptr<DispatchObject> CreateObject(std::string_view progid);
// The classes registered in this process, in registration order.
std::vector<ClassInfo> RegisteredClasses();
// Number of live objects created through CreateObject (what DllCanUnloadNow answers on).
long LiveObjectCount();

}  // namespace ksmain

// The self-registration exports of the library.
extern "C" {
// Registers the three classes in the process-wide registry; idempotent. Returns 0 (S_OK).
long DllRegisterServer();
// Removes them; later creation fails. Returns 0.
long DllUnregisterServer();
// Stores the class object of the class with this CLSID (text form "{...}") into
// *class_object. 0 on success, CLASS_E_CLASSNOTAVAILABLE (0x80040111) otherwise.
long DllGetClassObject(const char* clsid, void** class_object);
// 0 (S_OK) when no instance is alive, 1 (S_FALSE) otherwise.
long DllCanUnloadNow();
// The class object's CreateInstance: a new ksmain::DispatchObject into *object, released
// with ksmain_release_instance. 0 on success, CLASS_E_CLASSNOTAVAILABLE once unregistered.
long ksmain_create_instance(void* class_object, void** object);
void ksmain_release_instance(void* object);
}
