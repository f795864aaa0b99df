// `ksmain serve`: the library resident behind HTTP/1.1 (cpp-httplib), for pages in any web
// stack. POST /call answers a bridge request exactly as `ksmain call` prints it; GET /health
// and GET /metrics report on the process; the reference pages are served at /.
#pragma once

#include <iosfwd>

#include "serve_config.h"

namespace ksmain::serve {

// Runs until SIGTERM or SIGINT: then stops accepting, lets the requests in flight finish,
// closes the pools and returns 0. Returns 1 when it cannot start (the reason goes to
// `err`). Prints "listening on http://HOST:PORT/" to `out` once it accepts connections.
int Run(Config config, std::ostream& out, std::ostream& err);

// The pages' folder when neither the flag nor the config file names one: the installed
// copy beside the binary (<prefix>/share/ksmain/web), else the source tree's.
std::string DefaultWebFolder();

}  // namespace ksmain::serve
