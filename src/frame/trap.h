// The error trap a member arms after creating its grid.
//
// With a trap, any run-time failure ends the member at once and quietly: nothing is rolled
// back and what was written so far stays written. Some members report the failure to the
// application log first; members without a trap let it reach their caller as a VbError.
// Every member goes through this one helper, so a page, the dispatch layer and a sibling
// member calling it see the same behaviour.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "ksmain/error.h"

namespace ksmain {

enum class Trap {
  Silent,  // end the member, report nothing
  Log,     // write prefix + description to the application log, then end
  None,    // no trap: the failure reaches the caller
};

// The runtime error a caught exception stands for (a foreign exception becomes a
// database or out-of-memory error with its text).
VbError AsVbError(const std::exception_ptr& failure);

void ReportTrapped(const VbError& failure, std::string_view log_prefix);

template <class Body>
void RunTrapped(Trap trap, Body&& body, std::string_view log_prefix = {}) {
  try {
    body();
  } catch (...) {
    VbError failure = AsVbError(std::current_exception());
    switch (trap) {
      case Trap::Silent:
        return;
      case Trap::Log:
        ReportTrapped(failure, log_prefix);
        return;
      case Trap::None:
        throw failure;
    }
  }
}

}  // namespace ksmain
