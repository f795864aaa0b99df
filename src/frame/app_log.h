// The application log: where the library, running unattended, puts the messages that the
// original code would have shown in a message box. Syslog with ident "KsMain" unless a
// sink is installed (tests capture messages that way).
#pragma once

#include <functional>
#include <string_view>

namespace ksmain {

using LogSink = std::function<void(std::string_view message)>;

void LogApplicationMessage(std::string_view message);
// Installs a sink for every later message (process-wide); an empty sink restores syslog.
void SetApplicationLogSink(LogSink sink);

}  // namespace ksmain
