// The runtime error a call raises, for the many cases that expect one: the number (0 when
// the call raised nothing) and the description the page's trap would show.
#pragma once

#include <functional>
#include <string>

#include "ksmain/error.h"

namespace ksmain::testing {

struct Raised {
  int number = 0;
  std::string description;
};

inline Raised RaisedBy(const std::function<void()>& call) {
  try {
    call();
  } catch (const VbError& e) {
    return {e.number(), e.description()};
  }
  return {};
}

inline int ErrorOf(const std::function<void()>& call) { return RaisedBy(call).number; }

}  // namespace ksmain::testing
