// Pair 5: dropping a frame's 10 callbacks when the registry also holds
// 100,000 of other frames, against the same when those 10 are all it holds.
// Each iteration stores the 10 and removes them, in both alike. The floor
// makes only the CEF calls of that job: per store the frame's identifier and
// the function's name (both go into the descriptor) and a reference kept;
// per removal the frame's identifier and the references dropped.
#include <benchmark/benchmark.h>

#include <utility>
#include <vector>

#include "app/javascript_callback.h"
#include "bench_env.h"
#include "benchmarks.h"

namespace bench {

namespace {

constexpr int kFrameCallbacks = 10;
constexpr int kOtherCallbacks = 100000;

void StoreAndRemove(benchmark::State& state, bool crowded) {
  BenchEnv& env = BenchEnv::Get();
  ScopedContext scope(env.MainContext());
  quillmoss::JavascriptCallbackRegistry& callbacks = env.callbacks();
  callbacks.ResetJavascriptCallbacksForTesting();
  CefRefPtr<CefV8Value> function = env.Eval("(function stored() {})");
  if (crowded) {
    for (int i = 0; i < kOtherCallbacks; ++i) {
      const int64 frame_id = env.other_frames()[i % env.other_frames().size()];
      callbacks.StoreJavascriptCallback(env.Frame(env.page_browser(), frame_id),
                                        function);
    }
  }
  CefRefPtr<CefFrame> target =
      env.Frame(env.page_browser(), env.target_frame());
  size_t iteration = 0;
  for (auto _ : state) {
    for (int i = 0; i < kFrameCallbacks; ++i)
      callbacks.StoreJavascriptCallback(target, function);
    callbacks.RemoveJavascriptCallbacksForFrame(target);
    // Removal logs a line per callback; the log must not grow for ever.
    if (++iteration % 256 == 0)
      env.ClearRecords();
  }
  const size_t expected = crowded ? kOtherCallbacks : 0;
  if (callbacks.CountJavascriptCallbacksForTesting() != expected)
    state.SkipWithError("the frame's callbacks were not all removed");
  callbacks.ResetJavascriptCallbacksForTesting();
  env.ClearRecords();
}

void RemovalOurs(benchmark::State& state) {
  StoreAndRemove(state, true);
}

void RemovalBaseline(benchmark::State& state) {
  StoreAndRemove(state, false);
}

void RemovalFloor(benchmark::State& state) {
  BenchEnv& env = BenchEnv::Get();
  ScopedContext scope(env.MainContext());
  CefRefPtr<CefV8Value> function = env.Eval("(function stored() {})");
  CefRefPtr<CefFrame> target =
      env.Frame(env.page_browser(), env.target_frame());
  std::vector<std::pair<int64, CefRefPtr<CefV8Value>>> stored;
  stored.reserve(kFrameCallbacks);
  for (auto _ : state) {
    for (int i = 0; i < kFrameCallbacks; ++i) {
      const int64 frame_id = target->GetIdentifier();
      benchmark::DoNotOptimize(function->GetFunctionName());
      stored.emplace_back(frame_id, function);
    }
    benchmark::DoNotOptimize(target->GetIdentifier());
    stored.clear();
  }
}

}  // namespace

void RegisterRegistryBenchmarks() {
  benchmark::RegisterBenchmark("5_registry/remove_10_of_100010/ours",
                               RemovalOurs)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("5_registry/remove_10_of_100010/baseline",
                               RemovalBaseline)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("5_registry/remove_10_of_100010/floor",
                               RemovalFloor)
      ->Unit(benchmark::kMicrosecond);
}

}  // namespace bench
