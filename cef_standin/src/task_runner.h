// The renderer's main-thread task queue and the CefTaskRunner that posts to
// it.
#ifndef CEF_STANDIN_SRC_TASK_RUNNER_H_
#define CEF_STANDIN_SRC_TASK_RUNNER_H_

#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "cef_standin/src/live_objects.h"
#include "include/cef_task.h"

namespace standin {
namespace internal {

// Tasks wait here until the driver runs them; nothing runs on its own. Safe
// to post to from any thread.
class TaskQueue {
 public:
  TaskQueue();
  TaskQueue(const TaskQueue&) = delete;
  TaskQueue& operator=(const TaskQueue&) = delete;

  void Post(CefRefPtr<CefTask> task);
  // Runs tasks in posting order until none is left, including those posted
  // while running. Returns how many ran.
  size_t RunPending();
  size_t PendingCount() const;
  bool BelongsToCurrentThread() const;
  // Drops what is still queued without running it.
  void Clear();

 private:
  const std::thread::id thread_id_;
  mutable std::mutex lock_;
  std::deque<CefRefPtr<CefTask>> tasks_;
};

// A runner for the renderer thread. It only holds the queue weakly: once the
// renderer is gone, posting fails with an error line instead of crashing.
class TaskRunnerImpl : public CefTaskRunner {
 public:
  explicit TaskRunnerImpl(std::weak_ptr<TaskQueue> queue);
  TaskRunnerImpl(const TaskRunnerImpl&) = delete;
  TaskRunnerImpl& operator=(const TaskRunnerImpl&) = delete;

  // CefTaskRunner methods:
  bool IsSame(CefRefPtr<CefTaskRunner> that) override;
  bool BelongsToCurrentThread() override;
  bool BelongsToThread(CefThreadId thread_id) override;
  bool PostTask(CefRefPtr<CefTask> task) override;
  bool PostDelayedTask(CefRefPtr<CefTask> task, int64 delay_ms) override;

 private:
  const std::weak_ptr<TaskQueue> queue_;
  LiveObject live_;
  IMPLEMENT_REFCOUNTING(TaskRunnerImpl);
};

// The queue of the renderer that GetForThread(TID_RENDERER) answers for. The
// last renderer made wins; its destruction restores the one before.
void PushRendererQueue(std::shared_ptr<TaskQueue> queue);
void PopRendererQueue(const std::shared_ptr<TaskQueue>& queue);

}  // namespace internal
}  // namespace standin

#endif  // CEF_STANDIN_SRC_TASK_RUNNER_H_
