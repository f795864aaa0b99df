// The library's life cycle as a host sees it.
#pragma once

namespace ksmain {

// Closes every idle pooled database session, which writes each database's write-ahead log
// back into its file: after it, a copy of the database file alone holds every committed
// row. Call it when the host is about to end (or wants its files released). Safe to call
// more than once; the library stays usable afterwards and opens sessions anew as calls
// need them. Sessions still lent to a running call are closed when that call returns.
void Shutdown() noexcept;

}  // namespace ksmain
