// The process-wide class registry, CreateObject, and the argument checks of Invoke.
#include <algorithm>
#include <atomic>
#include <mutex>

#include "frame/dispatch_bind.h"

namespace ksmain {
namespace {

struct Registration {
  ClassInfo info;
  ObjectFactory factory;
};

struct Registry {
  std::mutex mutex;
  std::vector<std::shared_ptr<const Registration>> classes;
};

Registry& TheRegistry() {
  static Registry r;
  return r;
}

std::atomic<long> g_live_objects{0};

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

}  // namespace

std::int32_t DispatchObject::GetIdOfName(std::string_view name) const {
  for (const MemberInfo& m : type_info().members) {
    if (SameText(m.name, name)) return m.dispid;
  }
  throw VbError(err::kNoSuchMember, DescriptionOf(err::kNoSuchMember));
}

const MemberInfo* DispatchObject::FindMember(std::int32_t dispid) const {
  for (const MemberInfo& m : type_info().members) {
    if (m.dispid == dispid) return &m;
  }
  return nullptr;
}

Variant DispatchObject::Invoke(std::int32_t dispid, std::span<Variant* const> args) {
  const auto& members = type_info().members;
  for (std::size_t slot = 0; slot < members.size(); ++slot) {
    if (members[slot].dispid != dispid) continue;
    if (args.size() != members[slot].params.size()) throw VbError(err::kWrongArgCount);
    for (Variant* a : args) {
      if (a == nullptr) throw VbError(err::kWrongArgCount);
    }
    return Call(slot, args);
  }
  throw VbError(err::kNoSuchMember, DescriptionOf(err::kNoSuchMember));
}

void RegisterClass(ClassInfo info, ObjectFactory factory) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto entry = std::make_shared<const Registration>(Registration{std::move(info), std::move(factory)});
  for (auto& existing : r.classes) {
    if (SameText(existing->info.progid, entry->info.progid)) {
      existing = entry;
      return;
    }
  }
  r.classes.push_back(std::move(entry));
}

void UnregisterAllClasses() {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.classes.clear();
}

std::unique_ptr<DispatchObject> CreateObject(std::string_view progid) {
  std::shared_ptr<const Registration> found;
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    for (const auto& c : r.classes) {
      if (SameText(c->info.progid, progid) || SameText(c->info.clsid, progid)) found = c;
    }
  }
  if (!found) throw VbError(err::kCannotCreate, "ActiveX component can't create object");
  return found->factory();
}

std::vector<ClassInfo> RegisteredClasses() {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::vector<ClassInfo> out;
  for (const auto& c : r.classes) out.push_back(c->info);
  return out;
}

long LiveObjectCount() { return g_live_objects.load(); }
void NoteObjectCreated() { ++g_live_objects; }
void NoteObjectReleased() { --g_live_objects; }

}  // namespace ksmain
