// Pair 4: installing 1,000 functions, 1,000 properties and 100 objects of 10
// methods into a fresh context, against the same made by hand with V8.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_env.h"
#include "benchmarks.h"

namespace bench {

namespace {

void EmptyCallback(const v8::FunctionCallbackInfo<v8::Value>& info) {}

v8::Local<v8::String> V8Name(v8::Isolate* isolate, const std::string& name) {
  return v8::String::NewFromUtf8(isolate, name.data(),
                                 v8::NewStringType::kNormal,
                                 static_cast<int>(name.size()))
      .ToLocalChecked();
}

v8::Local<v8::Function> NewFunction(v8::Local<v8::Context> context,
                                    v8::Local<v8::String> name) {
  v8::Local<v8::Function> function =
      v8::Function::New(context, &EmptyCallback).ToLocalChecked();
  function->SetName(name);
  return function;
}

// The names of the installation, made once so the baseline times V8 alone.
struct InstallNames {
  InstallNames() {
    for (int i = 0; i < kInstallFunctions; ++i)
      functions.push_back("function" + std::to_string(i));
    for (int i = 0; i < kInstallProperties; ++i)
      properties.push_back("property" + std::to_string(i));
    for (int i = 0; i < kInstallObjects; ++i)
      objects.push_back("object" + std::to_string(i));
    for (int j = 0; j < kInstallMethods; ++j)
      methods.push_back("method" + std::to_string(j));
  }
  std::vector<std::string> functions;
  std::vector<std::string> properties;
  std::vector<std::string> objects;
  std::vector<std::string> methods;
};

v8::Local<v8::Value> PropertyValue(v8::Isolate* isolate,
                                   int index,
                                   const std::string& name) {
  switch (PropertyKindOf(index)) {
    case PropertyKind::kInt:
      return v8::Integer::New(isolate, index);
    case PropertyKind::kDouble:
      return v8::Number::New(isolate, index + 0.25);
    case PropertyKind::kString:
      return V8Name(isolate, name);
    case PropertyKind::kBool:
      return v8::Boolean::New(isolate, index % 8 == 3);
  }
  return v8::Undefined(isolate);
}

void InstallByHand(const InstallNames& names, const ScopedContext& scope) {
  v8::Isolate* isolate = scope.isolate();
  v8::HandleScope handles(isolate);
  v8::Local<v8::Context> context = scope.v8_context();
  v8::Local<v8::Object> global = context->Global();
  for (const std::string& name : names.functions) {
    v8::Local<v8::String> v8_name = V8Name(isolate, name);
    global->Set(context, v8_name, NewFunction(context, v8_name)).Check();
  }
  for (int i = 0; i < kInstallProperties; ++i) {
    const std::string& name = names.properties[i];
    global->Set(context, V8Name(isolate, name), PropertyValue(isolate, i, name))
        .Check();
  }
  for (const std::string& object_name : names.objects) {
    v8::Local<v8::Object> object = v8::Object::New(isolate);
    global->Set(context, V8Name(isolate, object_name), object).Check();
    for (const std::string& method : names.methods) {
      object
          ->Set(
              context, V8Name(isolate, method),
              NewFunction(context, V8Name(isolate, object_name + "." + method)))
          .Check();
    }
  }
}

// Each iteration installs into a context made for it outside the timing.
void InstallOurs(benchmark::State& state) {
  BenchEnv& env = BenchEnv::Get();
  const int browser_id = env.install_browser();
  const int64 frame_id = env.install_frame();
  CefRefPtr<CefBrowser> browser = env.renderer().GetBrowser(browser_id);
  CefRefPtr<CefFrame> frame = env.Frame(browser_id, frame_id);
  for (auto _ : state) {
    state.PauseTiming();
    env.renderer().CreateContext(browser_id, frame_id);
    CefRefPtr<CefV8Context> context = frame->GetV8Context();
    env.ClearRecords();
    state.ResumeTiming();
    env.app()->DoJavascriptBindingsForFrame(browser, frame, context);
  }
  const standin::ScriptResult check = env.renderer().Eval(
      browser_id, frame_id,
      "typeof function999 + typeof object99.method9 + property998");
  if (check.value != "\"functionfunctionproperty998\"")
    state.SkipWithError(("not installed: " + check.value).c_str());
  env.renderer().ReleaseContext(browser_id, frame_id);
  env.ClearRecords();
}

void InstallBaseline(benchmark::State& state) {
  BenchEnv& env = BenchEnv::Get();
  const InstallNames names;
  const int browser_id = env.install_browser();
  const int64 frame_id = env.raw_install_frame();
  CefRefPtr<CefFrame> frame = env.Frame(browser_id, frame_id);
  for (auto _ : state) {
    state.PauseTiming();
    env.renderer().CreateContext(browser_id, frame_id);
    CefRefPtr<CefV8Context> context = frame->GetV8Context();
    env.ClearRecords();
    state.ResumeTiming();
    // Entered in the timing, as the installation enters its context.
    ScopedContext scope(context);
    InstallByHand(names, scope);
  }
  const standin::ScriptResult check = env.renderer().Eval(
      browser_id, frame_id,
      "typeof function999 + typeof object99.method9 + property998");
  if (check.value != "\"functionfunctionproperty998\"")
    state.SkipWithError(("not installed: " + check.value).c_str());
  env.renderer().ReleaseContext(browser_id, frame_id);
  env.ClearRecords();
}

}  // namespace

void RegisterInstallBenchmarks() {
  benchmark::RegisterBenchmark("4_install/1000f_1000p_100x10m/ours",
                               InstallOurs)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("4_install/1000f_1000p_100x10m/baseline",
                               InstallBaseline)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace bench
