// The logging entry points exported by the framework library.
#ifndef CEF_INCLUDE_INTERNAL_CEF_LOGGING_INTERNAL_H_
#define CEF_INCLUDE_INTERNAL_CEF_LOGGING_INTERNAL_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// The current minimum log level (LOG_INFO 0 ... LOG_FATAL 3).
int cef_get_min_log_level();

// The verbose level in force for the source file whose name is the |N| - 1
// characters at |file_start| (N counts a terminator: sizeof of a literal).
int cef_get_vlog_level(const char* file_start, size_t N);

// Adds a log message; |file| and |line| name the place it came from.
void cef_log(const char* file, int line, int severity, const char* message);

#ifdef __cplusplus
}
#endif

#endif  // CEF_INCLUDE_INTERNAL_CEF_LOGGING_INTERNAL_H_
