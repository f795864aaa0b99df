// The library as a whole: registration of the three classes and the four
// self-registration exports over the process-wide class registry.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "catalogue/register.h"
#include "frame/dispatch_bind.h"
#include "maint/register.h"
#include "portfolio/register.h"

namespace {

constexpr long kOk = 0;
constexpr long kFalse = 1;
constexpr long kClassNotAvailable = static_cast<long>(0x80040111u);
constexpr long kPointerError = static_cast<long>(0x80004003u);  // E_POINTER

std::mutex g_register_mutex;

// The class object that DllGetClassObject hands out: it names a class and creates its
// instances for as long as the class stays registered.
struct ClassObject {
  std::string progid;
};

}  // namespace

extern "C" {

long DllRegisterServer() {
  std::lock_guard lock(g_register_mutex);
  ksmain::RegisterKestrel();
  ksmain::RegisterInsertTableSummary();
  ksmain::RegisterKsMaint();
  return kOk;
}

long DllUnregisterServer() {
  std::lock_guard lock(g_register_mutex);
  ksmain::UnregisterAllClasses();
  return kOk;
}

long DllGetClassObject(const char* clsid, void** class_object) {
  if (class_object == nullptr) return kPointerError;
  *class_object = nullptr;
  if (clsid == nullptr) return kClassNotAvailable;
  for (const ksmain::ClassInfo& c : ksmain::RegisteredClasses()) {
    if (c.clsid == clsid) {
      // One class object per class, living as long as the process, as the platform's do.
      static std::mutex m;
      static std::map<std::string, std::unique_ptr<ClassObject>> objects;
      std::lock_guard lock(m);
      auto& slot = objects[c.clsid];
      if (!slot) slot = std::make_unique<ClassObject>(ClassObject{c.progid});
      *class_object = slot.get();
      return kOk;
    }
  }
  return kClassNotAvailable;
}

long DllCanUnloadNow() { return ksmain::LiveObjectCount() == 0 ? kOk : kFalse; }

long ksmain_create_instance(void* class_object, void** object) {
  if (class_object == nullptr || object == nullptr) return kPointerError;
  *object = nullptr;
  try {
    auto created = ksmain::CreateObject(static_cast<ClassObject*>(class_object)->progid);
    *object = created.release();
    return kOk;
  } catch (...) {
    return kClassNotAvailable;
  }
}

void ksmain_release_instance(void* object) {
  delete static_cast<ksmain::DispatchObject*>(object);
}

}  // extern "C"
