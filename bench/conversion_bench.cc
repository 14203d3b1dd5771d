// Pairs 1 and 2: the value conversions against V8's own JSON.stringify and
// JSON.parse of the same value in the same isolate.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "bench_env.h"
#include "benchmarks.h"
#include "convert/v8utils.h"

namespace bench {

namespace {

struct PayloadRecipe {
  const char* name;
  const char* script;  // evaluates to the value
};

// (d) is 11,110 records, arrays of objects four levels deep: as deep as the
// conversion's nesting limit lets an argument go. Its JSON is about 1 MB.
const PayloadRecipe kPayloads[] = {
    {"ints", "Array.from({length: 100000}, (_, i) => i)"},
    {"doubles", "Array.from({length: 100000}, (_, i) => i + 0.5)"},
    {"strings",
     "(() => { const o = {};"
     " for (let i = 0; i < 10000; ++i) o['key' + i] = 'v' + i;"
     " return o; })()"},
    {"records",
     "(() => { const make = (level) => Array.from({length: 10}, (_, i) => {"
     "  const r = {name: 'record-' + level + '-' + i, id: level * 1000 + i,"
     "   score: i * 1.5 + 0.25, active: i % 2 === 0, note: "
     "'abcdefghijklmnopqrst'};"
     "  if (level < 4) r.children = make(level + 1);"
     "  return r; });"
     " return make(1); })()"},
};

// A payload in every form the pairs need, made once.
struct Payload {
  CefRefPtr<CefV8Value> page_value;
  v8::Global<v8::Value> raw_value;
  // The host's form: the argument list [value], as the conversion makes it.
  CefRefPtr<CefListValue> host_arguments;
  // JSON.stringify([value]): what JSON.parse gets. Made once, so the
  // baseline times the parse alone.
  v8::Global<v8::String> json_arguments;
};

std::map<std::string, std::unique_ptr<Payload>>& Payloads() {
  static auto* payloads = new std::map<std::string, std::unique_ptr<Payload>>;
  return *payloads;
}

Payload& GetPayload(const PayloadRecipe& recipe, const ScopedContext& scope) {
  std::unique_ptr<Payload>& slot = Payloads()[recipe.name];
  if (slot)
    return *slot;
  slot = std::make_unique<Payload>();
  BenchEnv& env = BenchEnv::Get();
  const std::string global = std::string("__bench_") + recipe.name;
  env.Eval("globalThis." + global + " = " + recipe.script + "; undefined");
  slot->page_value = env.Eval(global);

  v8::Isolate* isolate = scope.isolate();
  v8::HandleScope handles(isolate);
  v8::Local<v8::Value> raw = RawGlobal(scope, global);
  slot->raw_value.Reset(isolate, raw);
  slot->host_arguments = V8ArgumentsToCefListValue({slot->page_value});
  v8::Local<v8::String> json =
      v8::JSON::Stringify(scope.v8_context(), v8::Array::New(isolate, &raw, 1))
          .ToLocalChecked();
  slot->json_arguments.Reset(isolate, json);
  std::fprintf(stderr, "payload %s: %d characters of JSON\n", recipe.name,
               json->Length());
  return *slot;
}

void PageToHostOurs(benchmark::State& state, const PayloadRecipe* recipe) {
  ScopedContext scope(BenchEnv::Get().MainContext());
  Payload& payload = GetPayload(*recipe, scope);
  const CefV8ValueList arguments{payload.page_value};
  for (auto _ : state) {
    CefRefPtr<CefListValue> list = V8ArgumentsToCefListValue(arguments);
    benchmark::DoNotOptimize(list.get());
  }
}

void PageToHostBaseline(benchmark::State& state, const PayloadRecipe* recipe) {
  ScopedContext scope(BenchEnv::Get().MainContext());
  Payload& payload = GetPayload(*recipe, scope);
  v8::Isolate* isolate = scope.isolate();
  for (auto _ : state) {
    v8::HandleScope handles(isolate);
    v8::Local<v8::String> json =
        v8::JSON::Stringify(scope.v8_context(), payload.raw_value.Get(isolate))
            .ToLocalChecked();
    benchmark::DoNotOptimize(json);
  }
}

void HostToPageOurs(benchmark::State& state, const PayloadRecipe* recipe) {
  ScopedContext scope(BenchEnv::Get().MainContext());
  Payload& payload = GetPayload(*recipe, scope);
  for (auto _ : state) {
    CefRefPtr<CefV8Value> array =
        CefListValueToV8Value(payload.host_arguments, 0);
    benchmark::DoNotOptimize(array.get());
  }
}

void HostToPageBaseline(benchmark::State& state, const PayloadRecipe* recipe) {
  ScopedContext scope(BenchEnv::Get().MainContext());
  Payload& payload = GetPayload(*recipe, scope);
  v8::Isolate* isolate = scope.isolate();
  for (auto _ : state) {
    v8::HandleScope handles(isolate);
    v8::Local<v8::Value> value =
        v8::JSON::Parse(scope.v8_context(), payload.json_arguments.Get(isolate))
            .ToLocalChecked();
    benchmark::DoNotOptimize(value);
  }
}

}  // namespace

void RegisterConversionBenchmarks() {
  for (const PayloadRecipe& recipe : kPayloads) {
    const std::string name = recipe.name;
    benchmark::RegisterBenchmark(("1_page_to_host/" + name + "/ours").c_str(),
                                 PageToHostOurs, &recipe)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        ("1_page_to_host/" + name + "/baseline").c_str(), PageToHostBaseline,
        &recipe)
        ->Unit(benchmark::kMillisecond);
  }
  for (const PayloadRecipe& recipe : kPayloads) {
    const std::string name = recipe.name;
    benchmark::RegisterBenchmark(("2_host_to_page/" + name + "/ours").c_str(),
                                 HostToPageOurs, &recipe)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        ("2_host_to_page/" + name + "/baseline").c_str(), HostToPageBaseline,
        &recipe)
        ->Unit(benchmark::kMillisecond);
  }
}

void ReleasePayloads() {
  Payloads().clear();
}

int RunRssMode(const std::string& mode) {
  if (mode != "setup" && mode != "convert" && mode != "stringify") {
    std::fprintf(stderr, "unknown --rss_mode %s\n", mode.c_str());
    return 2;
  }
  BenchEnv& env = BenchEnv::Get();
  ScopedContext scope(env.MainContext());
  env.Eval(
      "globalThis.__bench_million = "
      "Array.from({length: 1000000}, (_, i) => i); undefined");
  CefRefPtr<CefV8Value> array = env.Eval("__bench_million");
  if (mode == "convert") {
    CefRefPtr<CefListValue> list = V8ArgumentsToCefListValue({array});
    if (list->GetList(0)->GetSize() != 1000000)
      return 1;
  } else if (mode == "stringify") {
    v8::HandleScope handles(scope.isolate());
    v8::Local<v8::String> json =
        v8::JSON::Stringify(scope.v8_context(),
                            RawGlobal(scope, "__bench_million"))
            .ToLocalChecked();
    benchmark::DoNotOptimize(json);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("maxrss_kb=%ld\n", usage.ru_maxrss);
  return 0;
}

}  // namespace bench
