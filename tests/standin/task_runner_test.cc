// The renderer's task queue seen through CefTaskRunner and CefPostTask.
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_closure_task.h"
#include "renderer_test_support.h"
#include "support/live_object_check.h"

namespace {

using TaskRunnerTest = testing_support::LiveObjectCheckedTest;

class AppendTask : public CefTask {
 public:
  AppendTask(std::vector<int>* order, int value)
      : order_(order), value_(value) {}
  void Execute() override { order_->push_back(value_); }

 private:
  std::vector<int>* const order_;
  const int value_;
  IMPLEMENT_REFCOUNTING(AppendTask);
};

TEST_F(TaskRunnerTest, OnlyTheRendererThreadExists) {
  EXPECT_EQ(nullptr, CefTaskRunner::GetForThread(TID_RENDERER))
      << "no renderer yet";
  EXPECT_FALSE(CefPostTask(TID_RENDERER, new AppendTask(nullptr, 0)));

  standin::Renderer renderer(new standin_test::RecordingApp());
  CefRefPtr<CefTaskRunner> runner = CefTaskRunner::GetForThread(TID_RENDERER);
  ASSERT_TRUE(runner);
  EXPECT_TRUE(runner->IsSame(CefTaskRunner::GetForCurrentThread()));
  EXPECT_TRUE(runner->BelongsToThread(TID_RENDERER));
  EXPECT_FALSE(runner->BelongsToThread(TID_UI));
  EXPECT_TRUE(CefCurrentlyOn(TID_RENDERER));
  EXPECT_FALSE(CefCurrentlyOn(TID_IO));
  EXPECT_EQ(nullptr, CefTaskRunner::GetForThread(TID_UI));
  EXPECT_FALSE(runner->PostTask(nullptr));
}

TEST_F(TaskRunnerTest, TasksRunInPostingOrderWhenTheDriverSays) {
  std::vector<int> order;
  auto renderer =
      std::make_unique<standin::Renderer>(new standin_test::RecordingApp());
  CefRefPtr<CefTaskRunner> runner = CefTaskRunner::GetForCurrentThread();
  runner->PostTask(new AppendTask(&order, 1));
  runner->PostDelayedTask(new AppendTask(&order, 2), 50);
  CefPostTask(TID_RENDERER, new AppendTask(&order, 3));
  EXPECT_TRUE(order.empty());
  EXPECT_EQ(3u, renderer->PendingTaskCount());
  EXPECT_EQ(3u, renderer->RunPendingTasks());
  EXPECT_EQ((std::vector<int>{1, 2, 3}), order);
  EXPECT_EQ(0u, renderer->RunPendingTasks());

  runner->PostTask(new AppendTask(&order, 4));
  renderer.reset();
  EXPECT_EQ(3u, order.size()) << "queued tasks are dropped, not run";
  EXPECT_FALSE(runner->PostTask(new AppendTask(&order, 5)))
      << "the runner outlived its renderer";
  EXPECT_FALSE(runner->BelongsToCurrentThread());
}

void Increment(int* count) {
  ++*count;
}

TEST_F(TaskRunnerTest, ClosureTasksRunTheirClosureOnce) {
  standin::Renderer renderer(new standin_test::RecordingApp());
  int count = 0;
  CefRefPtr<CefTask> task =
      CefCreateClosureTask(base::Bind(&Increment, &count));
  task->Execute();
  task->Execute();
  EXPECT_EQ(1, count) << "the bound state goes with the first run";

  EXPECT_TRUE(CefPostTask(TID_RENDERER, base::Bind(&Increment, &count)));
  EXPECT_TRUE(
      CefPostDelayedTask(TID_RENDERER, base::Bind(&Increment, &count), 10));
  EXPECT_FALSE(CefPostTask(TID_IO, base::Bind(&Increment, &count)));
  EXPECT_EQ(2u, renderer.RunPendingTasks());
  EXPECT_EQ(3, count);
}

class Counter : public CefBaseRefCounted {
 public:
  void Add(int n) { total_ += n; }
  void Report(int* out) const { *out = total_; }

 private:
  int total_ = 0;
  IMPLEMENT_REFCOUNTING(Counter);
};

TEST(BindTest, ARefCountedReceiverIsKeptUnlessUnretained) {
  CefRefPtr<Counter> counter = new Counter();
  base::Closure retained = base::Bind(&Counter::Add, counter.get(), 2);
  EXPECT_FALSE(counter->HasOneRef());
  base::Closure copy = retained;
  EXPECT_TRUE(copy.Equals(retained));
  retained.Run();
  retained.Reset();
  EXPECT_TRUE(retained.is_null());
  EXPECT_FALSE(counter->HasOneRef()) << "the copy shares the bound state";
  copy.Run();
  copy.Reset();
  EXPECT_TRUE(counter->HasOneRef());

  base::Closure unretained =
      base::Bind(&Counter::Add, base::Unretained(counter.get()), 1);
  EXPECT_TRUE(counter->HasOneRef());
  unretained.Run();

  int total = 0;
  base::Bind(&Counter::Report, counter, &total).Run();
  EXPECT_EQ(5, total);
}

}  // namespace
