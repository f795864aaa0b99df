// The member error trap: what a caught failure means and where it is reported.
#include "frame/trap.h"

#include <new>

#include "frame/app_log.h"

namespace ksmain {

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
