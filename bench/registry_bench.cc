// Pair 5: dropping a frame's 10 callbacks when the registry also holds
// 100,000 of other frames, against the same when those 10 are all it holds.
// Each iteration stores the 10 and removes them, in both alike. The floor
// makes only the CEF calls of that job: per store the frame's identifier and
// the function's name (both go into the descriptor) and a reference kept;
// per removal the frame's identifier and the references dropped.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/javascript_callback.h"
#include "bench_env.h"
#include "benchmarks.h"
#include "common/process_messages.h"
#include "include/internal/cef_logging_internal.h"
#include "include/internal/cef_types.h"

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

// The required floor: the floor and what the system must do whatever its
// design. Per store the descriptor's text (the name scanned for what JSON
// must escape, the ids written out) and an entry the host's id finds among
// all the registry holds, the 100,000 others included, in the ordered map
// that the registry is; per removal the frame's entries found and erased,
// and a line for each. How the frame's entries are found is design.
void RemovalRequired(benchmark::State& state) {
  BenchEnv& env = BenchEnv::Get();
  ScopedContext scope(env.MainContext());
  CefRefPtr<CefV8Value> function = env.Eval("(function stored() {})");
  CefRefPtr<CefFrame> target =
      env.Frame(env.page_browser(), env.target_frame());
  std::map<int, std::pair<int64, CefRefPtr<CefV8Value>>> stored;
  int last_id = 0;
  for (; last_id < kOtherCallbacks; ++last_id)
    stored.emplace(last_id + 1, std::make_pair(int64{0}, function));
  std::vector<int> frame_ids;
  size_t iteration = 0;
  for (auto _ : state) {
    for (int i = 0; i < kFrameCallbacks; ++i) {
      const int64 frame_id = target->GetIdentifier();
      const std::string name = function->GetFunctionName().ToString();
      std::string descriptor = quillmoss::kCallbackDescriptorMarker;
      descriptor += "{\"what\":\"javascript-callback\",\"callbackId\":";
      descriptor += std::to_string(++last_id);
      descriptor += ",\"frameId\":" + std::to_string(frame_id);
      descriptor += ",\"functionName\":\"";
      for (const char c : name) {
        if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
          descriptor += '\\';
        descriptor += c;
      }
      descriptor += "\"}";
      benchmark::DoNotOptimize(CefString(descriptor));
      stored.emplace(last_id, std::make_pair(frame_id, function));
      frame_ids.push_back(last_id);
    }
    benchmark::DoNotOptimize(target->GetIdentifier());
    for (const int id : frame_ids) {
      stored.erase(id);
      if (LOGSEVERITY_INFO >= cef_get_min_log_level()) {
        cef_log(__FILE__, __LINE__, LOGSEVERITY_INFO,
                "[Renderer process] RemoveJavascriptCallbacksForFrame(): "
                "removed js callback from the map");
      }
    }
    frame_ids.clear();
    if (++iteration % 256 == 0)
      env.ClearRecords();
  }
  env.ClearRecords();
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
  benchmark::RegisterBenchmark("5_registry/remove_10_of_100010/required",
                               RemovalRequired)
      ->Unit(benchmark::kMicrosecond);
}

}  // namespace bench
