// A ceiling on how long one statement may run, busy waits included, for a host that
// answers callers it does not trust (the service). Unset (0), statements run as long as
// the connection's command time-out lets them, as a page's own host expects. Drivers read
// it when a statement starts; a statement past it fails as a database error.
#pragma once

#include <algorithm>
#include <atomic>

namespace ksmain::data {

namespace detail {
inline std::atomic<int> statement_time_limit{0};
}  // namespace detail

inline void SetStatementTimeLimit(int seconds) { detail::statement_time_limit.store(std::max(0, seconds)); }
inline int StatementTimeLimit() { return detail::statement_time_limit.load(std::memory_order_relaxed); }

}  // namespace ksmain::data
