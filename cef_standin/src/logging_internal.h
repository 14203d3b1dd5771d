// How a running child process logs, as opposed to a test.
#ifndef CEF_STANDIN_SRC_LOGGING_INTERNAL_H_
#define CEF_STANDIN_SRC_LOGGING_INTERNAL_H_

#include <cstdio>

namespace standin {
namespace internal {

// While alive, every line also goes to |stream| as it is logged, the lines
// recorded before coming first: a child process shows its parent the whole
// log. Restores the earlier echo.
class ScopedProcessLog {
 public:
  explicit ScopedProcessLog(FILE* stream);
  ScopedProcessLog(const ScopedProcessLog&) = delete;
  ScopedProcessLog& operator=(const ScopedProcessLog&) = delete;
  ~ScopedProcessLog();

 private:
  FILE* previous_echo_;
};

// What CEF offers and the stand-in does not (browser-process features, DOM,
// navigation): one FATAL line naming |what|, then the process ends. Reaching
// one means a test or scenario went beyond what the stand-in plays.
[[noreturn]] void NotImplemented(const char* what);

}  // namespace internal
}  // namespace standin

#endif  // CEF_STANDIN_SRC_LOGGING_INTERNAL_H_
