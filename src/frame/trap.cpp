// The member error trap: what a caught failure means and where it is reported.
#include "frame/trap.h"

#include <new>

#include "frame/app_log.h"

namespace ksmain {
namespace {

thread_local int call_depth = 0;
thread_local const char* call_function = nullptr;

}  // namespace

MemberCall::MemberCall(const char* function) noexcept : outer_(call_function) {
  ++call_depth;
  call_function = function;
}

MemberCall::~MemberCall() {
  --call_depth;
  call_function = outer_;
}

int MemberCall::Depth() noexcept { return call_depth; }

// The compiler's signature of the member ("ksmain::Variant ksmain::Kestrel::Get_X(...)")
// cut down to the member's own name.
std::string MemberCall::CurrentName() {
  if (call_function == nullptr) return {};
  std::string_view name(call_function);
  name = name.substr(0, name.find('('));
  if (const std::size_t colon = name.rfind("::"); colon != std::string_view::npos) {
    name.remove_prefix(colon + 2);
  }
  if (const std::size_t blank = name.rfind(' '); blank != std::string_view::npos) {
    name.remove_prefix(blank + 1);
  }
  return std::string(name);
}

VbError AsVbError(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const VbError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return VbError(7);
  } catch (const std::exception& e) {
    return VbError(err::kDatabaseError, e.what());
  } catch (...) {
    return VbError(err::kDatabaseError, DescriptionOf(err::kDatabaseError));
  }
}

void ReportTrapped(const VbError& failure, std::string_view log_prefix) {
  std::string message(log_prefix);
  message += failure.description();
  LogApplicationMessage(message);
}

}  // namespace ksmain
