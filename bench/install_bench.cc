// Pair 4: installing 1,000 functions, 1,000 properties and 100 objects of 10
// methods into a fresh context, against the same made by hand with V8, and
// against its floor: the least CEF calls that read the bindings dictionary
// and make the same globals.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_env.h"
#include "benchmarks.h"
#include "common/process_messages.h"

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

// Each iteration installs into a context made for it outside the timing;
// afterwards the last installation is checked and its context released.
template <class Install>
void RunInstallations(benchmark::State& state,
                      int64 frame_id,
                      Install install) {
  BenchEnv& env = BenchEnv::Get();
  const int browser_id = env.install_browser();
  CefRefPtr<CefFrame> frame = env.Frame(browser_id, frame_id);
  for (auto _ : state) {
    state.PauseTiming();
    env.renderer().CreateContext(browser_id, frame_id);
    CefRefPtr<CefV8Context> context = frame->GetV8Context();
    env.ClearRecords();
    state.ResumeTiming();
    install(context);
  }
  const standin::ScriptResult check = env.renderer().Eval(
      browser_id, frame_id,
      "typeof function999 + typeof object99.method9 + property998");
  if (check.value != "\"functionfunctionproperty998\"")
    state.SkipWithError(("not installed: " + check.value).c_str());
  env.renderer().ReleaseContext(browser_id, frame_id);
  env.ClearRecords();
}

void InstallOurs(benchmark::State& state) {
  BenchEnv& env = BenchEnv::Get();
  CefRefPtr<CefBrowser> browser =
      env.renderer().GetBrowser(env.install_browser());
  CefRefPtr<CefFrame> frame =
      env.Frame(env.install_browser(), env.install_frame());
  RunInstallations(
      state, env.install_frame(), [&](const CefRefPtr<CefV8Context>& context) {
        env.app()->DoJavascriptBindingsForFrame(browser, frame, context);
      });
}

void InstallBaseline(benchmark::State& state) {
  const InstallNames names;
  RunInstallations(state, BenchEnv::Get().raw_install_frame(),
                   [&](const CefRefPtr<CefV8Context>& context) {
                     // Entered in the timing, as the installation enters its
                     // context.
                     ScopedContext scope(context);
                     InstallByHand(names, scope);
                   });
}

// A handler for the floor's functions; never called.
class IdleHandler : public CefV8Handler {
 public:
  IdleHandler() = default;
  IdleHandler(const IdleHandler&) = delete;
  IdleHandler& operator=(const IdleHandler&) = delete;

  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override {
    return false;
  }

 private:
  IMPLEMENT_REFCOUNTING(IdleHandler);
};

CefRefPtr<CefV8Value> FloorPropertyValue(
    const CefRefPtr<CefDictionaryValue>& properties,
    const CefString& key) {
  switch (properties->GetType(key)) {
    case VTYPE_BOOL:
      return CefV8Value::CreateBool(properties->GetBool(key));
    case VTYPE_INT:
      return CefV8Value::CreateInt(properties->GetInt(key));
    case VTYPE_DOUBLE:
      return CefV8Value::CreateDouble(properties->GetDouble(key));
    case VTYPE_STRING:
      return CefV8Value::CreateString(properties->GetString(key));
    default:
      return CefV8Value::CreateNull();
  }
}

// The floor: enter the context, take its global, read the three
// dictionaries, and per function CreateFunction and SetValue; per property
// GetType, its getter, the V8 creator and SetValue straight onto the global;
// per object GetDictionary, CreateObject, SetValue, GetKeys and per method
// CreateFunction under "object.method" (the one name a shared handler gets)
// and SetValue. One handler; no validation, no log line.
void InstallFloorOnce(const CefRefPtr<CefDictionaryValue>& bindings,
                      const CefRefPtr<CefV8Context>& context) {
  context->Enter();
  const CefRefPtr<CefV8Value> global = context->GetGlobal();
  const CefRefPtr<CefV8Handler> handler = new IdleHandler;

  const CefRefPtr<CefDictionaryValue> functions =
      bindings->GetDictionary(quillmoss::kFunctionsKey);
  CefDictionaryValue::KeyList names;
  functions->GetKeys(names);
  for (const CefString& name : names) {
    global->SetValue(name, CefV8Value::CreateFunction(name, handler),
                     V8_PROPERTY_ATTRIBUTE_NONE);
  }

  const CefRefPtr<CefDictionaryValue> properties =
      bindings->GetDictionary(quillmoss::kPropertiesKey);
  names.clear();
  properties->GetKeys(names);
  for (const CefString& name : names) {
    global->SetValue(name, FloorPropertyValue(properties, name),
                     V8_PROPERTY_ATTRIBUTE_NONE);
  }

  const CefRefPtr<CefDictionaryValue> objects =
      bindings->GetDictionary(quillmoss::kObjectsKey);
  names.clear();
  objects->GetKeys(names);
  CefDictionaryValue::KeyList method_names;
  for (const CefString& object_name : names) {
    const CefRefPtr<CefDictionaryValue> methods =
        objects->GetDictionary(object_name);
    const CefRefPtr<CefV8Value> object =
        CefV8Value::CreateObject(nullptr, nullptr);
    global->SetValue(object_name, object, V8_PROPERTY_ATTRIBUTE_NONE);
    method_names.clear();
    methods->GetKeys(method_names);
    const std::string prefix = object_name.ToString() + ".";
    for (const CefString& method_name : method_names) {
      object->SetValue(
          method_name,
          CefV8Value::CreateFunction(prefix + method_name.ToString(), handler),
          V8_PROPERTY_ATTRIBUTE_NONE);
    }
  }
  context->Exit();
}

void InstallFloor(benchmark::State& state) {
  BenchEnv& env = BenchEnv::Get();
  // The same dictionary that the installation reads.
  const CefRefPtr<CefDictionaryValue> bindings =
      env.app()->GetBindingsForBrowser(
          env.renderer().GetBrowser(env.install_browser()));
  RunInstallations(state, env.raw_install_frame(),
                   [&](const CefRefPtr<CefV8Context>& context) {
                     InstallFloorOnce(bindings, context);
                   });
}

}  // namespace

void RegisterInstallBenchmarks() {
  benchmark::RegisterBenchmark("4_install/1000f_1000p_100x10m/ours",
                               InstallOurs)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("4_install/1000f_1000p_100x10m/baseline",
                               InstallBaseline)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("4_install/1000f_1000p_100x10m/floor",
                               InstallFloor)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace bench
