// The renderer half's log: its lines under one source name, the misuse lines
// that CefMisuseCount() counts, and the fatal lines where CEF 81 aborts.
#include "cef_standin/src/renderer_internal.h"

#include <atomic>
#include <cstdlib>

#include "include/internal/cef_logging_internal.h"

namespace standin {
namespace internal {

namespace {
std::atomic<int> g_misuse_count{0};
}  // namespace

void RendererLog(int severity, const std::string& message) {
  cef_log("cef_standin", 0, severity, message.c_str());
}

void CountMisuse() {
  ++g_misuse_count;
}

void RendererMisuse(const std::string& message) {
  CountMisuse();
  RendererError("CEF NOTREACHED(): " + message);
}

void RendererFatal(const std::string& message) {
  const std::string line =
      "[stand-in] CEF 81 aborts the renderer here: " + message;
  // cef_log() ends the process on a FATAL line.
  RendererLog(kLogFatal, line);
  std::abort();
}

}  // namespace internal

void RendererError(const std::string& message) {
  internal::RendererLog(kLogError, "[stand-in] " + message);
}

int CefMisuseCount() {
  return internal::g_misuse_count.load();
}

}  // namespace standin
