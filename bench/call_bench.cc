// Pair 3: a bound function called from page script, against an empty native
// function made with the raw V8 API. Pair 6: a stored callback run for the
// host, against v8::Function::Call with the same arguments.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "app/javascript_callback.h"
#include "app/javascript_callback_test_hooks.h"
#include "bench_env.h"
#include "benchmarks.h"

namespace bench {

namespace {

constexpr int kCallsPerScript = 1000;

void EmptyCallback(const v8::FunctionCallbackInfo<v8::Value>& info) {}

std::string CallLoop(const char* function) {
  return "for (let i = 0; i < " + std::to_string(kCallsPerScript) + "; ++i) " +
         function + "('x', 1);";
}

// One Eval of the loop per iteration. The driver's records of the calls
// (one message and one log line each) are cleared outside the timing, in
// both benchmarks of the pair alike.
void RunCallLoop(benchmark::State& state, const std::string& code) {
  BenchEnv& env = BenchEnv::Get();
  for (auto _ : state) {
    const standin::ScriptResult result =
        env.renderer().Eval(env.page_browser(), env.page_frame(), code);
    state.PauseTiming();
    if (!result.ok) {
      state.SkipWithError(result.exception.c_str());
      break;
    }
    env.ClearRecords();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kCallsPerScript);
}

void BoundCallOurs(benchmark::State& state) {
  BenchEnv& env = BenchEnv::Get();
  // Proves each call reaches the host before anything is timed.
  env.renderer().Eval(env.page_browser(), env.page_frame(),
                      CallLoop("saveFile"));
  if (env.renderer().SentMessages().size() != kCallsPerScript) {
    state.SkipWithError("saveFile() sent no message");
    return;
  }
  env.ClearRecords();
  RunCallLoop(state, CallLoop("saveFile"));
}

void BoundCallBaseline(benchmark::State& state) {
  BenchEnv& env = BenchEnv::Get();
  {
    ScopedContext scope(env.MainContext());
    v8::HandleScope handles(scope.isolate());
    v8::Local<v8::Context> context = scope.v8_context();
    v8::Local<v8::Function> function =
        v8::FunctionTemplate::New(scope.isolate(), &EmptyCallback)
            ->GetFunction(context)
            .ToLocalChecked();
    context->Global()
        ->Set(context,
              v8::String::NewFromUtf8Literal(scope.isolate(), "emptyNative"),
              function)
        .Check();
  }
  RunCallLoop(state, CallLoop("emptyNative"));
}

// The stored callback and the host's arguments for it: (7, "seven", 7.5).
struct CallbackCase {
  CefRefPtr<CefV8Value> function;
  int id = 0;
  CefRefPtr<CefListValue> arguments;
};

CallbackCase MakeCallbackCase() {
  BenchEnv& env = BenchEnv::Get();
  CallbackCase result;
  result.function = env.Eval(
      "globalThis.__bench_callback = function callback(a, b, c) {"
      " return a; }");
  StoreJavascriptCallback(env.Frame(env.page_browser(), env.page_frame()),
                          result.function);
  result.id = quillmoss::GetLastJavascriptCallbackIdForTesting();
  result.arguments = CefListValue::Create();
  result.arguments->SetInt(0, 7);
  result.arguments->SetString(1, "seven");
  result.arguments->SetDouble(2, 7.5);
  return result;
}

void CallbackOurs(benchmark::State& state) {
  ScopedContext scope(BenchEnv::Get().MainContext());
  const CallbackCase callback = MakeCallbackCase();
  for (auto _ : state) {
    if (!ExecuteJavascriptCallback(callback.id, callback.arguments)) {
      state.SkipWithError("the callback did not run");
      break;
    }
  }
  quillmoss::ResetJavascriptCallbacksForTesting();
}

void CallbackBaseline(benchmark::State& state) {
  ScopedContext scope(BenchEnv::Get().MainContext());
  const CallbackCase callback = MakeCallbackCase();
  v8::Isolate* isolate = scope.isolate();
  v8::HandleScope outer(isolate);
  v8::Local<v8::Context> context = scope.v8_context();
  v8::Local<v8::Function> function =
      RawGlobal(scope, "__bench_callback").As<v8::Function>();
  for (auto _ : state) {
    v8::HandleScope handles(isolate);
    v8::Local<v8::Value> argv[] = {
        v8::Integer::New(isolate, 7),
        v8::String::NewFromUtf8Literal(isolate, "seven"),
        v8::Number::New(isolate, 7.5)};
    v8::Local<v8::Value> result =
        function->Call(context, context->Global(), 3, argv).ToLocalChecked();
    benchmark::DoNotOptimize(result);
  }
  quillmoss::ResetJavascriptCallbacksForTesting();
}

}  // namespace

void RegisterCallBenchmarks() {
  benchmark::RegisterBenchmark("3_bound_call/saveFile_x1000/ours",
                               BoundCallOurs)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("3_bound_call/saveFile_x1000/baseline",
                               BoundCallBaseline)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("6_callback/three_arguments/ours", CallbackOurs)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("6_callback/three_arguments/baseline",
                               CallbackBaseline)
      ->Unit(benchmark::kMicrosecond);
}

}  // namespace bench
