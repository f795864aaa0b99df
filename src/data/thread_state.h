// A thread's own state on the data layer's per-open paths, made at the thread's first use.
#pragma once

namespace ksmain::data {

// Reached through a plain thread-local pointer: a thread-local object with a destructor
// would cost a call into the dynamic linker and a check of its construction at every use.
// The library is part of the programs that use it, never loaded later, so its thread-locals
// sit in the initial block. The state is destroyed when its thread ends.
template <class T>
class ThreadState {
 public:
  // The thread's state; nullptr until its first Get().
  static T* Find() { return current; }
  static T& Get() {
    if (current == nullptr) {
      thread_local Holder holder;
      current = &holder.value;
    }
    return *current;
  }

 private:
  struct Holder {
    T value;
    ~Holder() { current = nullptr; }
  };
  [[gnu::tls_model("initial-exec")]] static inline thread_local T* current = nullptr;
};

}  // namespace ksmain::data
