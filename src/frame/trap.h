// The error trap a member arms after creating its grid.
//
// With a trap, any run-time failure ends the member at once and quietly: nothing is rolled
// back and what was written so far stays written. Some members report the failure to the
// application log first; members without a trap let it reach their caller as a VbError.
// Every member goes through this one helper, so a page, the dispatch layer and a sibling
// member calling it see the same behaviour.
#pragma once

#include <exception>
#include <source_location>
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

// The member calls running on this thread: how deeply they nest (a member calling its
// sibling is 2 deep) and which one is innermost. The data layer lets a sibling's link
// borrow the session its caller has open on the same database; the fill loops name the
// member in what they write to the application log.
class MemberCall {
 public:
  explicit MemberCall(const char* function) noexcept;
  ~MemberCall();
  MemberCall(const MemberCall&) = delete;
  MemberCall& operator=(const MemberCall&) = delete;

  static int Depth() noexcept;
  // The innermost member's name ("Get_ResourceAttendees"); empty outside any member.
  static std::string CurrentName();

 private:
  const char* outer_;
};

template <class Body>
void RunTrapped(Trap trap, Body&& body, std::string_view log_prefix = {},
                std::source_location where = std::source_location::current()) {
  MemberCall call(where.function_name());
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
