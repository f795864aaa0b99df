// The application log: syslog under the ident "KsMain", or a sink installed by a host or test.
#include "frame/app_log.h"

#include <syslog.h>

#include <mutex>
#include <string>

namespace ksmain {
namespace {

std::mutex& SinkMutex() {
  static std::mutex m;
  return m;
}

LogSink& Sink() {
  static LogSink sink;
  return sink;
}

}  // namespace

void LogApplicationMessage(std::string_view message) {
  std::lock_guard lock(SinkMutex());
  if (Sink()) {
    Sink()(message);
    return;
  }
  // openlog keeps the ident pointer, so it must outlive every later syslog call.
  static const bool opened = [] {
    openlog("KsMain", LOG_PID, LOG_USER);
    return true;
  }();
  (void)opened;
  const std::string text(message);
  syslog(LOG_WARNING, "%s", text.c_str());
}

void SetApplicationLogSink(LogSink sink) {
  std::lock_guard lock(SinkMutex());
  Sink() = std::move(sink);
}

}  // namespace ksmain
