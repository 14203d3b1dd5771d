#include "include/wrapper/cef_closure_task.h"

#include "cef_standin/src/live_objects.h"
#include "include/base/cef_callback.h"

namespace {

class ClosureTask : public CefTask {
 public:
  explicit ClosureTask(const base::Closure& closure) : closure_(closure) {}
  ClosureTask(const ClosureTask&) = delete;
  ClosureTask& operator=(const ClosureTask&) = delete;

  // CefTask methods:
  void Execute() override {
    if (closure_.is_null())
      return;
    closure_.Run();
    // The bound state (and the references it holds) goes with the run, as
    // with CEF's one-shot closures.
    closure_.Reset();
  }

 private:
  base::Closure closure_;
  standin::internal::LiveObject live_;
  IMPLEMENT_REFCOUNTING(ClosureTask);
};

}  // namespace

CefRefPtr<CefTask> CefCreateClosureTask(const base::Closure& closure) {
  return new ClosureTask(closure);
}

bool CefPostTask(CefThreadId thread_id, const base::Closure& closure) {
  return CefPostTask(thread_id, CefCreateClosureTask(closure));
}

bool CefPostDelayedTask(CefThreadId thread_id,
                        const base::Closure& closure,
                        int64 delay_ms) {
  return CefPostDelayedTask(thread_id, CefCreateClosureTask(closure), delay_ms);
}
