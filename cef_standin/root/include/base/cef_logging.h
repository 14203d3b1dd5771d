// LOG, DLOG and CHECK as CEF's base logging provides them. A statement checks
// its severity against cef_get_min_log_level() before it composes anything;
// the message object hands the line to cef_log() when it is destroyed.
#ifndef CEF_INCLUDE_BASE_CEF_LOGGING_H_
#define CEF_INCLUDE_BASE_CEF_LOGGING_H_

#include <sstream>
#include <string>

#include "include/base/cef_macros.h"
#include "include/internal/cef_logging_internal.h"

namespace cef {
namespace logging {

typedef int LogSeverity;
const LogSeverity LOG_VERBOSE = -1;
const LogSeverity LOG_INFO = 0;
const LogSeverity LOG_WARNING = 1;
const LogSeverity LOG_ERROR = 2;
const LogSeverity LOG_FATAL = 3;
const LogSeverity LOG_NUM_SEVERITIES = 4;
const LogSeverity LOG_DFATAL = LOG_FATAL;

#if defined(_WIN32)
// wingdi.h defines ERROR to be 0, which turns LOG(ERROR) into names ending in
// _0; these make it mean what it says.
#define ERROR 0
#define COMPACT_GOOGLE_LOG_EX_0(ClassName, ...) \
  COMPACT_GOOGLE_LOG_EX_ERROR(ClassName, ##__VA_ARGS__)
#define COMPACT_GOOGLE_LOG_0 COMPACT_GOOGLE_LOG_ERROR
const LogSeverity LOG_0 = LOG_ERROR;
#endif

inline int GetMinLogLevel() {
  return cef_get_min_log_level();
}

class LogMessage {
 public:
  LogMessage(const char* file, int line, LogSeverity severity)
      : severity_(severity), file_(file), line_(line) {}
  LogMessage(const char* file, int line, std::string* result)
      : severity_(LOG_FATAL), file_(file), line_(line) {
    stream_ << "Check failed: " << *result;
    delete result;
  }
  ~LogMessage() {
    const std::string str_newline(stream_.str());
    cef_log(file_, line_, severity_, str_newline.c_str());
  }

  std::ostream& stream() { return stream_; }

 private:
  LogSeverity severity_;
  std::ostringstream stream_;
  const char* file_;
  const int line_;

  DISALLOW_COPY_AND_ASSIGN(LogMessage);
};

// Turns "stream << x" into a void expression for the ternary of LAZY_STREAM.
class LogMessageVoidify {
 public:
  LogMessageVoidify() {}
  void operator&(std::ostream&) {}
};

}  // namespace logging
}  // namespace cef

#define COMPACT_GOOGLE_LOG_EX_INFO(ClassName, ...) \
  ::cef::logging::ClassName(__FILE__, __LINE__, ::cef::logging::LOG_INFO, ##__VA_ARGS__)
#define COMPACT_GOOGLE_LOG_EX_WARNING(ClassName, ...)                        \
  ::cef::logging::ClassName(__FILE__, __LINE__, ::cef::logging::LOG_WARNING, \
                            ##__VA_ARGS__)
#define COMPACT_GOOGLE_LOG_EX_ERROR(ClassName, ...) \
  ::cef::logging::ClassName(__FILE__, __LINE__, ::cef::logging::LOG_ERROR, ##__VA_ARGS__)
#define COMPACT_GOOGLE_LOG_EX_FATAL(ClassName, ...) \
  ::cef::logging::ClassName(__FILE__, __LINE__, ::cef::logging::LOG_FATAL, ##__VA_ARGS__)

#define COMPACT_GOOGLE_LOG_INFO COMPACT_GOOGLE_LOG_EX_INFO(LogMessage)
#define COMPACT_GOOGLE_LOG_WARNING COMPACT_GOOGLE_LOG_EX_WARNING(LogMessage)
#define COMPACT_GOOGLE_LOG_ERROR COMPACT_GOOGLE_LOG_EX_ERROR(LogMessage)
#define COMPACT_GOOGLE_LOG_FATAL COMPACT_GOOGLE_LOG_EX_FATAL(LogMessage)

#define LAZY_STREAM(stream, condition) \
  !(condition) ? (void)0 : ::cef::logging::LogMessageVoidify() & (stream)

#define LOG_IS_ON(severity) \
  ((::cef::logging::LOG_##severity) >= ::cef::logging::GetMinLogLevel())

#define LOG_STREAM(severity) COMPACT_GOOGLE_LOG_##severity.stream()

#define LOG(severity) LAZY_STREAM(LOG_STREAM(severity), LOG_IS_ON(severity))
#define LOG_IF(severity, condition) \
  LAZY_STREAM(LOG_STREAM(severity), LOG_IS_ON(severity) && (condition))

#define CHECK(condition)                       \
  LAZY_STREAM(LOG_STREAM(FATAL), !(condition)) \
      << "Check failed: " #condition ". "

#if defined(NDEBUG)
#define DCHECK_IS_ON() 0
#else
#define DCHECK_IS_ON() 1
#endif

#define DLOG(severity) \
  LAZY_STREAM(LOG_STREAM(severity), DCHECK_IS_ON() && LOG_IS_ON(severity))
#define DCHECK(condition)                                         \
  LAZY_STREAM(LOG_STREAM(FATAL), DCHECK_IS_ON() && !(condition)) \
      << "Check failed: " #condition ". "
#define NOTREACHED() DCHECK(false)

#endif  // CEF_INCLUDE_BASE_CEF_LOGGING_H_
