// Logging for the system's units. A statement names its unit's source name
// (`kLogSource` in the unit) and, like CEF's own LOG, asks for the minimum
// log level before it composes anything. It is a separate macro so that it
// never clashes with CEF's LOG when built against a real CEF. The texts are
// a contract with whoever reads the host's logs: they stand whole at their
// call sites and are never reworded (README: The code).
#ifndef QUILLMOSS_COMMON_LOG_LINE_H_
#define QUILLMOSS_COMMON_LOG_LINE_H_

#include <ostream>

#include "include/internal/cef_logging_internal.h"

namespace quillmoss {

constexpr int kLogSeverityINFO = 0;
constexpr int kLogSeverityERROR = 2;

// Composes one line in a narrow string stream and hands it to cef_log()
// when destroyed.
class LogLine {
 public:
  LogLine(const char* source, int line, int severity);
  LogLine(const LogLine&) = delete;
  LogLine& operator=(const LogLine&) = delete;
  ~LogLine();

  std::ostream& stream() { return stream_; }

 private:
  const char* const source_;
  const int line_;
  const int severity_;
  // Borrowed from the thread's pool for the life of the line.
  std::ostream& stream_;
};

// Lets the macro below be one expression whose stream part is skipped.
struct LogLineVoidify {
  void operator&(std::ostream&) {}
};

}  // namespace quillmoss

// The severity is pasted before anything expands it: windows.h defines
// ERROR as a macro.
#define QLOG(severity) QLOG_AT_LEVEL(::quillmoss::kLogSeverity##severity)

// A line of the renderer-side code. Its text begins "[Renderer process] ",
// composed here; the call site streams the rest, as a rule the function's
// name and "(): " first.
#define RENDERER_LOG(severity) \
  RENDERER_LOG_AT_LEVEL(::quillmoss::kLogSeverity##severity)
// For macros that compose more of a line's beginning: they paste the
// severity themselves, since passing it on would expand ERROR first.
#define RENDERER_LOG_AT_LEVEL(level) \
  QLOG_AT_LEVEL(level) << "[Renderer process] "

#define QLOG_AT_LEVEL(level)            \
  !((level) >= cef_get_min_log_level()) \
      ? (void)0                         \
      : ::quillmoss::LogLineVoidify() & \
            ::quillmoss::LogLine(kLogSource, __LINE__, (level)).stream()

#endif  // QUILLMOSS_COMMON_LOG_LINE_H_
