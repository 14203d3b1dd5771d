// Pair 3: a bound function called from page script, against an empty native
// function made with the raw V8 API. Pair 6: a stored callback run for the
// host, against v8::Function::Call with the same arguments. Each also
// against its floor: the least CEF calls that any implementation of the
// same job makes; the bound call also against its required floor, that and
// the steps the system must take whatever its design.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "app/javascript_callback.h"
#include "bench_env.h"
#include "benchmarks.h"
#include "common/process_messages.h"
#include "include/internal/cef_logging_internal.h"
#include "include/internal/cef_types.h"

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

// The bound-call floor: what any handler must do through CEF to send
// ('x', 1) to the browser process: find the frame of the current context,
// test, read and set each argument into a new list, create the message, set
// its two arguments, send it through the frame, return null. No context
// test, no look-up of the name, no log line.
//
// The required floor adds what the system must do whatever its design: ask
// whether the name is still bound for the frame's browser (one look-up of
// the name among that browser's) and write the call's info line.
class FloorHandler : public CefV8Handler {
 public:
  explicit FloorHandler(bool required) : required_(required) {}
  FloorHandler(const FloorHandler&) = delete;
  FloorHandler& operator=(const FloorHandler&) = delete;

  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override {
    const CefRefPtr<CefFrame> frame =
        CefV8Context::GetCurrentContext()->GetFrame();
    if (required_) {
      const auto browser =
          bound_names_.find(frame->GetBrowser()->GetIdentifier());
      if (browser == bound_names_.end() ||
          browser->second.count(name.ToString()) == 0) {
        exception = "not bound";
        return true;
      }
      if (LOGSEVERITY_INFO >= cef_get_min_log_level()) {
        cef_log(__FILE__, __LINE__, LOGSEVERITY_INFO,
                "[Renderer process] V8FunctionHandler::Execute(): js binding");
      }
    }
    CefRefPtr<CefListValue> list = CefListValue::Create();
    if (arguments[0]->IsString())
      list->SetString(0, arguments[0]->GetStringValue());
    if (arguments[1]->IsInt())
      list->SetInt(1, arguments[1]->GetIntValue());
    CefRefPtr<CefProcessMessage> message =
        CefProcessMessage::Create(quillmoss::kV8FunctionHandlerExecuteMessage);
    CefRefPtr<CefListValue> message_arguments = message->GetArgumentList();
    message_arguments->SetString(0, name);
    message_arguments->SetList(1, list);
    frame->SendProcessMessage(PID_BROWSER, message);
    retval = CefV8Value::CreateNull();
    return true;
  }

  void Bind(int browser_id, const std::string& name) {
    bound_names_[browser_id].insert(name);
  }

 private:
  const bool required_;
  std::unordered_map<int, std::unordered_set<std::string>> bound_names_;
  IMPLEMENT_REFCOUNTING(FloorHandler);
};

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

void RunFloorCalls(benchmark::State& state, bool required) {
  BenchEnv& env = BenchEnv::Get();
  {
    ScopedContext scope(env.MainContext());
    CefRefPtr<FloorHandler> handler = new FloorHandler(required);
    handler->Bind(env.page_browser(), "floorCall");
    CefRefPtr<CefV8Value> global = env.MainContext()->GetGlobal();
    global->SetValue("floorCall",
                     CefV8Value::CreateFunction("floorCall", handler),
                     V8_PROPERTY_ATTRIBUTE_NONE);
  }
  env.renderer().Eval(env.page_browser(), env.page_frame(),
                      CallLoop("floorCall"));
  if (env.renderer().SentMessages().size() != kCallsPerScript) {
    state.SkipWithError("floorCall() sent no message");
    return;
  }
  env.ClearRecords();
  RunCallLoop(state, CallLoop("floorCall"));
}

void BoundCallFloor(benchmark::State& state) {
  RunFloorCalls(state, false);
}

void BoundCallRequired(benchmark::State& state) {
  RunFloorCalls(state, true);
}

// The stored callback and the host's arguments for it: (7, "seven", 7.5).
struct CallbackCase {
  CefRefPtr<CefBrowser> browser;
  CefRefPtr<CefV8Value> function;
  int id = 0;
  CefRefPtr<CefListValue> arguments;
};

CallbackCase MakeCallbackCase() {
  BenchEnv& env = BenchEnv::Get();
  CallbackCase result;
  result.browser = env.renderer().GetBrowser(env.page_browser());
  result.function = env.Eval(
      "globalThis.__bench_callback = function callback(a, b, c) {"
      " return a; }");
  env.callbacks().StoreJavascriptCallback(
      env.Frame(env.page_browser(), env.page_frame()), result.function);
  result.id = env.callbacks().GetLastJavascriptCallbackIdForTesting();
  result.arguments = CefListValue::Create();
  result.arguments->SetInt(0, 7);
  result.arguments->SetString(1, "seven");
  result.arguments->SetDouble(2, 7.5);
  return result;
}

void CallbackOurs(benchmark::State& state) {
  BenchEnv& env = BenchEnv::Get();
  ScopedContext scope(env.MainContext());
  const CallbackCase callback = MakeCallbackCase();
  quillmoss::JavascriptCallbackRegistry& callbacks = env.callbacks();
  quillmoss::QuillmossApp& app = *env.app();
  for (auto _ : state) {
    if (!callbacks.ExecuteJavascriptCallback(app, callback.browser, callback.id,
                                             callback.arguments)) {
      state.SkipWithError("the callback did not run");
      break;
    }
  }
  callbacks.ResetJavascriptCallbacksForTesting();
}

// The callback floor: the frame and function at hand (no registry), the
// frame's context entered, each argument's type, getter and V8 creator into
// the argument vector (no intermediate array), the call, the exit.
void CallbackFloor(benchmark::State& state) {
  ScopedContext scope(BenchEnv::Get().MainContext());
  const CallbackCase callback = MakeCallbackCase();
  BenchEnv& env = BenchEnv::Get();
  const CefRefPtr<CefFrame> frame =
      env.Frame(env.page_browser(), env.page_frame());
  const CefRefPtr<CefListValue>& list = callback.arguments;
  for (auto _ : state) {
    CefRefPtr<CefV8Context> context = frame->GetV8Context();
    context->Enter();
    CefV8ValueList arguments;
    const size_t size = list->GetSize();
    arguments.reserve(size);
    for (size_t i = 0; i < size; ++i) {
      switch (list->GetType(i)) {
        case VTYPE_INT:
          arguments.push_back(CefV8Value::CreateInt(list->GetInt(i)));
          break;
        case VTYPE_DOUBLE:
          arguments.push_back(CefV8Value::CreateDouble(list->GetDouble(i)));
          break;
        case VTYPE_STRING:
          arguments.push_back(CefV8Value::CreateString(list->GetString(i)));
          break;
        default:
          arguments.push_back(CefV8Value::CreateNull());
      }
    }
    const CefRefPtr<CefV8Value> result =
        callback.function->ExecuteFunction(nullptr, arguments);
    context->Exit();
    if (!result) {
      state.SkipWithError("the callback did not run");
      break;
    }
  }
  BenchEnv::Get().callbacks().ResetJavascriptCallbacksForTesting();
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
  BenchEnv::Get().callbacks().ResetJavascriptCallbacksForTesting();
}

}  // namespace

void RegisterCallBenchmarks() {
  benchmark::RegisterBenchmark("3_bound_call/saveFile_x1000/ours",
                               BoundCallOurs)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("3_bound_call/saveFile_x1000/baseline",
                               BoundCallBaseline)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("3_bound_call/saveFile_x1000/floor",
                               BoundCallFloor)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("3_bound_call/saveFile_x1000/required",
                               BoundCallRequired)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("6_callback/three_arguments/ours", CallbackOurs)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("6_callback/three_arguments/baseline",
                               CallbackBaseline)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("6_callback/three_arguments/floor",
                               CallbackFloor)
      ->Unit(benchmark::kMicrosecond);
}

}  // namespace bench
