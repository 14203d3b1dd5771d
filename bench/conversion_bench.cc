// Pairs 1 and 2: the value conversions against V8's own JSON.stringify and
// JSON.parse of the same value in the same isolate, and against their floor:
// the least CEF calls that any conversion of the same value must make.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "bench_env.h"
#include "benchmarks.h"
#include "convert/v8utils.h"

namespace bench {

namespace {

// What the page-to-host floor knows of a payload's shape, so that it makes
// one kind test per value and no more.
enum class Shape { kInts, kDoubles, kStrings, kRecords, kProxiedRecord };

struct PayloadRecipe {
  const char* name;
  const char* script;  // evaluates to the value
  Shape shape;
};

// (d) is 11,110 records, arrays of objects four levels deep: as deep as the
// conversion's nesting limit lets an argument go. Its JSON is about 1 MB.
const PayloadRecipe kPayloads[] = {
    {"ints", "Array.from({length: 100000}, (_, i) => i)", Shape::kInts},
    {"doubles", "Array.from({length: 100000}, (_, i) => i + 0.5)",
     Shape::kDoubles},
    {"strings",
     "(() => { const o = {};"
     " for (let i = 0; i < 10000; ++i) o['key' + i] = 'v' + i;"
     " return o; })()",
     Shape::kStrings},
    {"records",
     "(() => { const make = (level) => Array.from({length: 10}, (_, i) => {"
     "  const r = {name: 'record-' + level + '-' + i, id: level * 1000 + i,"
     "   score: i * 1.5 + 0.25, active: i % 2 === 0, note: "
     "'abcdefghijklmnopqrst'};"
     "  if (level < 4) r.children = make(level + 1);"
     "  return r; });"
     " return make(1); })()",
     Shape::kRecords},
    // A state library's record: its array of 100,000 numbers in a Proxy
    // whose traps forward, as Vue's reactive() makes them.
    {"proxied",
     "({name: 'state', items: new Proxy("
     " Array.from({length: 100000}, (_, i) => i), {"
     " get(t, k, r) { return Reflect.get(t, k, r); },"
     " has(t, k) { return Reflect.has(t, k); },"
     " ownKeys(t) { return Reflect.ownKeys(t); },"
     " getOwnPropertyDescriptor(t, k) {"
     "  return Reflect.getOwnPropertyDescriptor(t, k); }})})",
     Shape::kProxiedRecord},
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
  slot->host_arguments =
      quillmoss::V8ArgumentsToCefListValue(*env.app(), {slot->page_value});
  v8::Local<v8::String> json =
      v8::JSON::Stringify(scope.v8_context(), v8::Array::New(isolate, &raw, 1))
          .ToLocalChecked();
  slot->json_arguments.Reset(isolate, json);
  std::fprintf(stderr, "payload %s: %d characters of JSON\n", recipe.name,
               json->Length());
  return *slot;
}

// The page-to-host floor. Knowing the shape, it makes per value the one kind
// test that confirms it, its getter and the list or dictionary setter; per
// array the length and one GetValue per element; per object GetKeys and one
// GetValue per key. No validity, level or range test, no log line.
enum class Kind { kInt, kDouble, kBool, kString, kArray, kObject };

// The members of a record in the order GetKeys reports them: name, id,
// score, active, note and, above the last level, children.
constexpr Kind kRecordKinds[] = {Kind::kString, Kind::kInt,    Kind::kDouble,
                                 Kind::kBool,   Kind::kString, Kind::kArray};

template <class Container, class Key>
void FloorWriteScalar(const CefRefPtr<CefV8Value>& value,
                      Kind kind,
                      const CefRefPtr<Container>& container,
                      const Key& key) {
  switch (kind) {
    case Kind::kInt:
      if (value->IsInt())
        container->SetInt(key, value->GetIntValue());
      break;
    case Kind::kDouble:
      if (value->IsDouble())
        container->SetDouble(key, value->GetDoubleValue());
      break;
    case Kind::kBool:
      if (value->IsBool())
        container->SetBool(key, value->GetBoolValue());
      break;
    case Kind::kString:
      if (value->IsString())
        container->SetString(key, value->GetStringValue());
      break;
    case Kind::kArray:
    case Kind::kObject:
      break;
  }
}

CefRefPtr<CefListValue> FloorArrayToList(const CefRefPtr<CefV8Value>& array,
                                         Kind element_kind);

// A record (|member_kinds| gives each key's kind) or, with none, an object
// of strings.
CefRefPtr<CefDictionaryValue> FloorObjectToDictionary(
    const CefRefPtr<CefV8Value>& object,
    const Kind* member_kinds) {
  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  std::vector<CefString> keys;
  object->GetKeys(keys);
  for (size_t i = 0; i < keys.size(); ++i) {
    const CefRefPtr<CefV8Value> member = object->GetValue(keys[i]);
    const Kind kind = member_kinds ? member_kinds[i] : Kind::kString;
    if (kind == Kind::kArray) {
      if (member->IsArray())
        dictionary->SetList(keys[i], FloorArrayToList(member, Kind::kObject));
    } else {
      FloorWriteScalar(member, kind, dictionary, keys[i]);
    }
  }
  return dictionary;
}

CefRefPtr<CefListValue> FloorArrayToList(const CefRefPtr<CefV8Value>& array,
                                         Kind element_kind) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  const int length = array->GetArrayLength();
  for (int i = 0; i < length; ++i) {
    const CefRefPtr<CefV8Value> element = array->GetValue(i);
    if (element_kind == Kind::kObject) {
      if (element->IsObject())
        list->SetDictionary(i, FloorObjectToDictionary(element, kRecordKinds));
    } else {
      FloorWriteScalar(element, element_kind, list, i);
    }
  }
  return list;
}

// The proxied record's floor knows "items" is an array of ints: its length
// and elements through the get trap, and no key listing.
CefRefPtr<CefDictionaryValue> FloorProxiedRecord(
    const CefRefPtr<CefV8Value>& record) {
  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  std::vector<CefString> keys;
  record->GetKeys(keys);
  for (const CefString& key : keys) {
    const CefRefPtr<CefV8Value> member = record->GetValue(key);
    if (member->IsString()) {
      dictionary->SetString(key, member->GetStringValue());
      continue;
    }
    CefRefPtr<CefListValue> list = CefListValue::Create();
    const int length = member->GetValue("length")->GetIntValue();
    for (int i = 0; i < length; ++i)
      FloorWriteScalar(member->GetValue(i), Kind::kInt, list, i);
    dictionary->SetList(key, list);
  }
  return dictionary;
}

CefRefPtr<CefListValue> FloorPageToHost(const CefRefPtr<CefV8Value>& value,
                                        Shape shape) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  switch (shape) {
    case Shape::kInts:
      if (value->IsArray())
        list->SetList(0, FloorArrayToList(value, Kind::kInt));
      break;
    case Shape::kDoubles:
      if (value->IsArray())
        list->SetList(0, FloorArrayToList(value, Kind::kDouble));
      break;
    case Shape::kStrings:
      if (value->IsObject())
        list->SetDictionary(0, FloorObjectToDictionary(value, nullptr));
      break;
    case Shape::kRecords:
      if (value->IsArray())
        list->SetList(0, FloorArrayToList(value, Kind::kObject));
      break;
    case Shape::kProxiedRecord:
      if (value->IsObject())
        list->SetDictionary(0, FloorProxiedRecord(value));
      break;
  }
  return list;
}

// The host-to-page floor: per entry GetType, its getter, the V8 creator and
// SetValue on the array or object; per list GetSize and CreateArray, per
// dictionary GetKeys and CreateObject. No validity or level test, no log.
template <class Container, class Key>
CefRefPtr<CefV8Value> FloorEntryToV8(const CefRefPtr<Container>& container,
                                     const Key& key);

CefRefPtr<CefV8Value> FloorListToV8(const CefRefPtr<CefListValue>& list) {
  const int size = static_cast<int>(list->GetSize());
  CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(size);
  for (int i = 0; i < size; ++i)
    array->SetValue(i, FloorEntryToV8(list, static_cast<size_t>(i)));
  return array;
}

CefRefPtr<CefV8Value> FloorDictionaryToV8(
    const CefRefPtr<CefDictionaryValue>& dictionary) {
  CefDictionaryValue::KeyList keys;
  dictionary->GetKeys(keys);
  CefRefPtr<CefV8Value> object = CefV8Value::CreateObject(nullptr, nullptr);
  for (const CefString& key : keys) {
    object->SetValue(key, FloorEntryToV8(dictionary, key),
                     V8_PROPERTY_ATTRIBUTE_NONE);
  }
  return object;
}

template <class Container, class Key>
CefRefPtr<CefV8Value> FloorEntryToV8(const CefRefPtr<Container>& container,
                                     const Key& key) {
  switch (container->GetType(key)) {
    case VTYPE_BOOL:
      return CefV8Value::CreateBool(container->GetBool(key));
    case VTYPE_INT:
      return CefV8Value::CreateInt(container->GetInt(key));
    case VTYPE_DOUBLE:
      return CefV8Value::CreateDouble(container->GetDouble(key));
    case VTYPE_STRING:
      return CefV8Value::CreateString(container->GetString(key));
    case VTYPE_DICTIONARY:
      return FloorDictionaryToV8(container->GetDictionary(key));
    case VTYPE_LIST:
      return FloorListToV8(container->GetList(key));
    default:
      return CefV8Value::CreateNull();
  }
}

void PageToHostOurs(benchmark::State& state, const PayloadRecipe* recipe) {
  ScopedContext scope(BenchEnv::Get().MainContext());
  Payload& payload = GetPayload(*recipe, scope);
  const CefV8ValueList arguments{payload.page_value};
  quillmoss::QuillmossApp& app = *BenchEnv::Get().app();
  for (auto _ : state) {
    CefRefPtr<CefListValue> list =
        quillmoss::V8ArgumentsToCefListValue(app, arguments);
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

void PageToHostFloor(benchmark::State& state, const PayloadRecipe* recipe) {
  ScopedContext scope(BenchEnv::Get().MainContext());
  Payload& payload = GetPayload(*recipe, scope);
  // A floor that converted less than ours would flatter ours.
  if (!FloorPageToHost(payload.page_value, recipe->shape)
           ->IsEqual(payload.host_arguments)) {
    state.SkipWithError("the floor's list differs from ours");
    return;
  }
  for (auto _ : state) {
    CefRefPtr<CefListValue> list =
        FloorPageToHost(payload.page_value, recipe->shape);
    benchmark::DoNotOptimize(list.get());
  }
}

void HostToPageOurs(benchmark::State& state, const PayloadRecipe* recipe) {
  ScopedContext scope(BenchEnv::Get().MainContext());
  Payload& payload = GetPayload(*recipe, scope);
  quillmoss::QuillmossApp& app = *BenchEnv::Get().app();
  for (auto _ : state) {
    CefRefPtr<CefV8Value> array =
        quillmoss::CefListValueToV8Value(app, payload.host_arguments, 0);
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

void HostToPageFloor(benchmark::State& state, const PayloadRecipe* recipe) {
  ScopedContext scope(BenchEnv::Get().MainContext());
  Payload& payload = GetPayload(*recipe, scope);
  for (auto _ : state) {
    CefRefPtr<CefV8Value> array = FloorListToV8(payload.host_arguments);
    benchmark::DoNotOptimize(array.get());
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
    benchmark::RegisterBenchmark(("1_page_to_host/" + name + "/floor").c_str(),
                                 PageToHostFloor, &recipe)
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
    benchmark::RegisterBenchmark(("2_host_to_page/" + name + "/floor").c_str(),
                                 HostToPageFloor, &recipe)
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
    CefRefPtr<CefListValue> list =
        quillmoss::V8ArgumentsToCefListValue(*env.app(), {array});
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
