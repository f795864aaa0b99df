// Describing a C++ class as a dispatch interface.
//
// A class's dispatch table is written once, in slot order, as member function pointers
// with their names and DISPIDs; the parameter modes and types come from the C++
// signature, so the table cannot disagree with the code it calls:
//   Variant&            ByRef Variant
//   ArrayRef            ByRef array of Variant (the argument must hold an array)
//   std::int16_t&       ByRef 16-bit Integer (converted in, written back)
//   Variant / const Variant&          ByVal Variant
//   std::string / const std::string&  ByVal String (the argument's text; Null raises 94)
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "frame/vb_runtime.h"
#include "ksmain/dispatch.h"

namespace ksmain {

// A by-reference array of Variant parameter.
struct ArrayRef {
  Variant& value;
};

namespace bind {

template <class P>
struct Arg;

template <>
struct Arg<Variant&> {
  static constexpr bool kByRef = true;
  static constexpr ParamType kType = ParamType::Variant;
  explicit Arg(Variant* v) : v_(v) {}
  Variant& get() { return *v_; }
  Variant* v_;
};

template <>
struct Arg<ArrayRef> {
  static constexpr bool kByRef = true;
  static constexpr ParamType kType = ParamType::VariantArray;
  explicit Arg(Variant* v) : v_(v) {
    if (!v->IsArray()) throw VbError(ksmain::err::kTypeMismatch);
  }
  ArrayRef get() { return ArrayRef{*v_}; }
  Variant* v_;
};

template <>
struct Arg<std::int16_t&> {
  static constexpr bool kByRef = true;
  static constexpr ParamType kType = ParamType::Integer;
  explicit Arg(Variant* v) : v_(v), value_(vb::CInt(*v)) {}
  // The caller's variable receives the member's value as an Integer, also when the
  // member fails, since by-reference writes are never rolled back.
  ~Arg() { *v_ = Variant(value_); }
  Arg(const Arg&) = delete;
  Arg& operator=(const Arg&) = delete;
  std::int16_t& get() { return value_; }
  Variant* v_;
  std::int16_t value_;
};

template <>
struct Arg<Variant> {
  static constexpr bool kByRef = false;
  static constexpr ParamType kType = ParamType::Variant;
  explicit Arg(Variant* v) : copy_(*v) {}
  Variant get() { return copy_; }
  Variant copy_;
};
template <>
struct Arg<const Variant&> : Arg<Variant> {
  using Arg<Variant>::Arg;
  const Variant& get() { return copy_; }
};

template <>
struct Arg<std::string> {
  static constexpr bool kByRef = false;
  static constexpr ParamType kType = ParamType::String;
  explicit Arg(Variant* v) : text_(vb::CStr(*v)) {}
  std::string get() { return text_; }
  std::string text_;
};
template <>
struct Arg<const std::string&> : Arg<std::string> {
  using Arg<std::string>::Arg;
  const std::string& get() { return text_; }
};

template <class T>
using Thunk = std::function<Variant(T&, std::span<Variant* const>)>;

template <class T, class R, class... P, std::size_t... I>
Variant CallWith(T& self, R (T::*fn)(P...), std::span<Variant* const> args,
                 std::index_sequence<I...>) {
  // Each holder is built in place from the caller's variable (holders of by-ref Integers
  // write back when they go, so they are neither copied nor moved).
  std::tuple<Arg<P>...> held{args[I]...};
  if constexpr (std::is_void_v<R>) {
    (self.*fn)(std::get<I>(held).get()...);
    return Variant();
  } else {
    return (self.*fn)(std::get<I>(held).get()...);
  }
}

template <class T>
class DispatchImpl;

}  // namespace bind

// Builds one class's dispatch interface and registers it with the process registry.
template <class T>
class ClassBuilder {
 public:
  explicit ClassBuilder(ClassInfo info) : info_(std::move(info)) {}

  template <class... P>
  ClassBuilder& Function(std::string name, std::int32_t dispid, Variant (T::*fn)(P...),
                         std::initializer_list<const char*> names) {
    return Add(MemberKind::Function, std::move(name), dispid, fn, names);
  }
  template <class... P>
  ClassBuilder& Procedure(std::string name, std::int32_t dispid, void (T::*fn)(P...),
                          std::initializer_list<const char*> names) {
    return Add(MemberKind::Procedure, std::move(name), dispid, fn, names);
  }
  template <class P>
  ClassBuilder& PropertyPut(std::string name, std::int32_t dispid, void (T::*fn)(P),
                            std::initializer_list<const char*> names) {
    return Add(MemberKind::PropertyPut, std::move(name), dispid, fn, names);
  }

  void Register();

 private:
  template <class R, class... P>
  ClassBuilder& Add(MemberKind kind, std::string name, std::int32_t dispid, R (T::*fn)(P...),
                    std::initializer_list<const char*> names) {
    static_assert(sizeof...(P) < 16);
    MemberInfo m{std::move(name), dispid, kind, {}};
    const bool by_ref[] = {bind::Arg<P>::kByRef..., false};
    const ParamType types[] = {bind::Arg<P>::kType..., ParamType::Variant};
    std::size_t i = 0;
    for (const char* n : names) {
      if (i < sizeof...(P)) m.params.push_back({n, by_ref[i], types[i]});
      ++i;
    }
    // A table whose names do not match the signature is a programming error caught by
    // the registry test; keep the signature's arity regardless.
    for (; m.params.size() < sizeof...(P); ++i) {
      m.params.push_back({"arg" + std::to_string(i), by_ref[i], types[i]});
    }
    info_.members.push_back(std::move(m));
    thunks_.push_back([fn](T& self, std::span<Variant* const> args) {
      return bind::CallWith(self, fn, args, std::index_sequence_for<P...>{});
    });
    return *this;
  }

  ClassInfo info_;
  std::vector<bind::Thunk<T>> thunks_;
};

// The registry behind CreateObject (frame/dispatch.cpp).
using ObjectFactory = std::function<std::unique_ptr<DispatchObject>()>;
void RegisterClass(ClassInfo info, ObjectFactory factory);
void UnregisterAllClasses();
// Counts live objects for DllCanUnloadNow.
void NoteObjectCreated();
void NoteObjectReleased();

namespace bind {

template <class T>
class DispatchImpl final : public DispatchObject {
 public:
  DispatchImpl(std::shared_ptr<const ClassInfo> info, std::shared_ptr<const std::vector<Thunk<T>>> thunks)
      : info_(std::move(info)), thunks_(std::move(thunks)) {
    NoteObjectCreated();
  }
  ~DispatchImpl() override { NoteObjectReleased(); }
  const ClassInfo& type_info() const override { return *info_; }

 protected:
  Variant Call(std::size_t slot, std::span<Variant* const> args) override {
    return (*thunks_)[slot](object_, args);
  }

 private:
  std::shared_ptr<const ClassInfo> info_;
  std::shared_ptr<const std::vector<Thunk<T>>> thunks_;
  T object_;
};

}  // namespace bind

template <class T>
void ClassBuilder<T>::Register() {
  auto info = std::make_shared<const ClassInfo>(info_);
  auto thunks = std::make_shared<const std::vector<bind::Thunk<T>>>(thunks_);
  RegisterClass(info_, [info, thunks]() -> std::unique_ptr<DispatchObject> {
    return std::make_unique<bind::DispatchImpl<T>>(info, thunks);
  });
}

}  // namespace ksmain
