#include "cef_standin/src/task_runner.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "cef_standin/src/renderer_internal.h"
#include "cef_standin/src/verify_param.h"

namespace standin {
namespace internal {

namespace {

std::mutex& RendererQueuesLock() {
  static std::mutex lock;
  return lock;
}

// Newest last. weak_ptr: a runner handed out must not keep a renderer's
// queue alive past the renderer.
std::vector<std::weak_ptr<TaskQueue>>& RendererQueues() {
  static std::vector<std::weak_ptr<TaskQueue>> queues;
  return queues;
}

std::shared_ptr<TaskQueue> CurrentRendererQueue() {
  std::lock_guard<std::mutex> guard(RendererQueuesLock());
  auto& queues = RendererQueues();
  for (auto it = queues.rbegin(); it != queues.rend(); ++it) {
    if (auto queue = it->lock())
      return queue;
  }
  return nullptr;
}

bool SameQueue(const std::weak_ptr<TaskQueue>& a,
               const std::weak_ptr<TaskQueue>& b) {
  return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

TaskQueue::TaskQueue() : thread_id_(std::this_thread::get_id()) {}

void TaskQueue::Post(CefRefPtr<CefTask> task) {
  std::lock_guard<std::mutex> guard(lock_);
  tasks_.push_back(task);
}

size_t TaskQueue::RunPending() {
  size_t ran = 0;
  while (true) {
    CefRefPtr<CefTask> task;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (tasks_.empty())
        break;
      task = tasks_.front();
      tasks_.pop_front();
    }
    // Not under the lock: a task may post more. Like a message or a page's
    // call, a task ends with every context it left entered left: one whose
    // frame went while entered cannot be left through CEF.
    RunAsRendererTask([&] { task->Execute(); });
    ++ran;
  }
  return ran;
}

size_t TaskQueue::PendingCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return tasks_.size();
}

bool TaskQueue::BelongsToCurrentThread() const {
  return std::this_thread::get_id() == thread_id_;
}

void TaskQueue::Clear() {
  std::deque<CefRefPtr<CefTask>> dropped;
  {
    std::lock_guard<std::mutex> guard(lock_);
    dropped.swap(tasks_);
  }
  // |dropped| goes out of scope outside the lock: a task's destructor may
  // post.
}

TaskRunnerImpl::TaskRunnerImpl(std::weak_ptr<TaskQueue> queue)
    : queue_(std::move(queue)) {}

bool TaskRunnerImpl::IsSame(CefRefPtr<CefTaskRunner> that) {
  if (!that)
    return false;
  // Every CefTaskRunner of the stand-in is a TaskRunnerImpl.
  const auto* other = static_cast<TaskRunnerImpl*>(that.get());
  return SameQueue(queue_, other->queue_);
}

bool TaskRunnerImpl::BelongsToCurrentThread() {
  const auto queue = queue_.lock();
  return queue && queue->BelongsToCurrentThread();
}

bool TaskRunnerImpl::BelongsToThread(CefThreadId thread_id) {
  return thread_id == TID_RENDERER && queue_.lock() != nullptr;
}

bool TaskRunnerImpl::PostTask(CefRefPtr<CefTask> task) {
  if (!VerifyParam(task != nullptr, "CefTaskRunner::PostTask", "task.get()"))
    return false;
  const auto queue = queue_.lock();
  if (!queue) {
    RendererError("CefTaskRunner::PostTask: the renderer is gone");
    return false;
  }
  queue->Post(task);
  return true;
}

bool TaskRunnerImpl::PostDelayedTask(CefRefPtr<CefTask> task, int64 delay_ms) {
  if (!VerifyParam(task != nullptr, "CefTaskRunner::PostDelayedTask",
                   "task.get()")) {
    return false;
  }
  // Nothing here keeps time: a delayed task simply waits its turn.
  return PostTask(task);
}

void PushRendererQueue(std::shared_ptr<TaskQueue> queue) {
  std::lock_guard<std::mutex> guard(RendererQueuesLock());
  RendererQueues().push_back(queue);
}

void PopRendererQueue(const std::shared_ptr<TaskQueue>& queue) {
  std::lock_guard<std::mutex> guard(RendererQueuesLock());
  auto& queues = RendererQueues();
  const std::weak_ptr<TaskQueue> weak = queue;
  queues.erase(std::remove_if(queues.begin(), queues.end(),
                              [&](const std::weak_ptr<TaskQueue>& entry) {
                                return entry.expired() ||
                                       SameQueue(entry, weak);
                              }),
               queues.end());
}

}  // namespace internal

RendererThread::RendererThread()
    : queue_(std::make_shared<internal::TaskQueue>()) {
  internal::PushRendererQueue(queue_);
}

RendererThread::~RendererThread() {
  internal::DropLeftoverFunctions();
  queue_->Clear();
  internal::PopRendererQueue(queue_);
}

CefRefPtr<CefV8Context> RendererThread::CreateContext(
    CefRefPtr<CefFrame> frame) const {
  return internal::CreateFrameContext(frame,
                                      new internal::TaskRunnerImpl(queue_));
}

size_t RendererThread::RunPendingTasks() {
  if (internal::IsAnyContextEntered())
    RendererError("tasks run while a context is entered");
  const size_t ran = queue_->RunPending();
  internal::RunEngineTasks();
  return ran;
}

size_t RendererThread::PendingTaskCount() const {
  return queue_->PendingCount();
}

void RunAsRendererTask(const std::function<void()>& task) {
  const size_t depth = internal::EnteredContextDepth();
  task();
  internal::LeaveContextsAbove(depth);
}

}  // namespace standin

using standin::RendererError;
using standin::internal::CurrentRendererQueue;
using standin::internal::TaskRunnerImpl;

// static
CefRefPtr<CefTaskRunner> CefTaskRunner::GetForCurrentThread() {
  auto queue = CurrentRendererQueue();
  if (!queue || !queue->BelongsToCurrentThread())
    return nullptr;
  return new TaskRunnerImpl(queue);
}

// static
CefRefPtr<CefTaskRunner> CefTaskRunner::GetForThread(CefThreadId thread_id) {
  // A renderer process has no browser-process threads.
  if (thread_id != TID_RENDERER)
    return nullptr;
  auto queue = CurrentRendererQueue();
  if (!queue)
    return nullptr;
  return new TaskRunnerImpl(queue);
}

bool CefCurrentlyOn(CefThreadId thread_id) {
  if (thread_id != TID_RENDERER)
    return false;
  const auto queue = CurrentRendererQueue();
  return queue && queue->BelongsToCurrentThread();
}

bool CefPostTask(CefThreadId thread_id, CefRefPtr<CefTask> task) {
  return CefPostDelayedTask(thread_id, task, 0);
}

bool CefPostDelayedTask(CefThreadId thread_id,
                        CefRefPtr<CefTask> task,
                        int64 delay_ms) {
  CefRefPtr<CefTaskRunner> runner = CefTaskRunner::GetForThread(thread_id);
  if (!runner) {
    RendererError("CefPostTask: no task runner for thread " +
                  std::to_string(static_cast<int>(thread_id)) +
                  " in this renderer process");
    return false;
  }
  return runner->PostDelayedTask(task, delay_ms);
}
