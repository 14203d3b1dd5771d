#include "fuzz/fuzz_support.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "app/javascript_callback.h"
#include "common/process_messages.h"
#include "support/misuse_lines.h"

// The C++ ABI's registration of thread-local destructors.
extern "C" int __cxa_thread_atexit(void (*destructor)(void*),
                                   void* object,
                                   void* dso_handle);
extern "C" void* __dso_handle;

namespace fuzz {

namespace {

// Keys the application reads, JavaScript treats specially, or that split
// object and method names.
const char* const kKeys[] = {
    quillmoss::kBindToFramesKey,
    quillmoss::kFunctionsKey,
    quillmoss::kPropertiesKey,
    quillmoss::kObjectsKey,
    "__proto__",
    "constructor",
    "toString",
    "window",
    "",
    "a.b",
    "0",
    "4294967295",
    "length",
    "f",
    "$int",
};

const double kDoubles[] = {
    0.0,
    -0.0,
    0.5,
    -1.5,
    2147483648.0,
    4294967295.0,
    4294967296.0,
    1e300,
    std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::denorm_min(),
};

const int kInts[] = {0,
                     1,
                     -1,
                     20,
                     std::numeric_limits<int>::max(),
                     std::numeric_limits<int>::min()};

const size_t kBinarySizes[] = {0, 1, 3, 4, 5, 19, 20, 21, 40};

class ListSlot {
 public:
  ListSlot(CefRefPtr<CefListValue> list, size_t index)
      : list_(list), index_(index) {}
  void SetNull() { list_->SetNull(index_); }
  void SetBool(bool value) { list_->SetBool(index_, value); }
  void SetInt(int value) { list_->SetInt(index_, value); }
  void SetDouble(double value) { list_->SetDouble(index_, value); }
  void SetString(const std::string& value) { list_->SetString(index_, value); }
  void SetBinary(CefRefPtr<CefBinaryValue> value) {
    list_->SetBinary(index_, value);
  }
  void SetList(CefRefPtr<CefListValue> value) { list_->SetList(index_, value); }
  void SetDictionary(CefRefPtr<CefDictionaryValue> value) {
    list_->SetDictionary(index_, value);
  }

 private:
  CefRefPtr<CefListValue> list_;
  size_t index_;
};

class DictionarySlot {
 public:
  DictionarySlot(CefRefPtr<CefDictionaryValue> dictionary,
                 const std::string& key)
      : dictionary_(dictionary), key_(key) {}
  void SetNull() { dictionary_->SetNull(key_); }
  void SetBool(bool value) { dictionary_->SetBool(key_, value); }
  void SetInt(int value) { dictionary_->SetInt(key_, value); }
  void SetDouble(double value) { dictionary_->SetDouble(key_, value); }
  void SetString(const std::string& value) {
    dictionary_->SetString(key_, value);
  }
  void SetBinary(CefRefPtr<CefBinaryValue> value) {
    dictionary_->SetBinary(key_, value);
  }
  void SetList(CefRefPtr<CefListValue> value) {
    dictionary_->SetList(key_, value);
  }
  void SetDictionary(CefRefPtr<CefDictionaryValue> value) {
    dictionary_->SetDictionary(key_, value);
  }

 private:
  CefRefPtr<CefDictionaryValue> dictionary_;
  std::string key_;
};

bool g_full_checks = false;
int g_check_period = 1000;
std::string g_artifact_prefix = "./";

// The input being run alone to find which one broke a periodic check.
const std::vector<uint8_t>* g_replaying = nullptr;
// The inputs that shared the world of the input running now.
const RecentInputs* g_shared = nullptr;

std::string Hex64(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof(text), "%016llx",
                static_cast<unsigned long long>(value));
  return text;
}

// Saves |bytes| where libFuzzer saves its crashes, named by content.
std::string SaveArtifact(const std::string& kind,
                         const std::vector<uint8_t>& bytes) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (uint8_t byte : bytes)
    hash = (hash ^ byte) * 1099511628211ull;
  const std::string path = g_artifact_prefix + kind + "-" + Hex64(hash);
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return path;
}

void RunExitCheck(void* check) {
  reinterpret_cast<void (*)()>(check)();
}

}  // namespace

void AtExit(void (*check)()) {
  // Thread-local destructors run before std::atexit() handlers, the latest
  // registered first.
  __cxa_thread_atexit(RunExitCheck, reinterpret_cast<void*>(check),
                      &__dso_handle);
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  if (g_replaying) {
    // libFuzzer saves the input it is running, not this one.
    std::fprintf(stderr, "the input that fails alone is saved as %s\n",
                 SaveArtifact("crash-alone", *g_replaying).c_str());
  } else if (g_shared && g_shared->size() > 1) {
    // Should the input not fail alone, what ran before it in the same world
    // is needed to see it fail.
    g_shared->SaveSequence();
  }
  std::fflush(stderr);
  std::abort();
}

void InitCheckSchedule(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strncmp(arg, "-artifact_prefix=", 17) == 0) {
      g_artifact_prefix = arg + 17;
    } else if (arg[0] != '-') {
      struct stat info;
      if (stat(arg, &info) == 0 && S_ISREG(info.st_mode))
        g_full_checks = true;  // reproducing saved inputs
    }
  }
  // "0" keeps the shared world even for files: to replay a saved sequence.
  if (const char* full = std::getenv("FUZZ_FULL_CHECKS"))
    g_full_checks = *full && std::strcmp(full, "0") != 0;
  if (const char* every = std::getenv("FUZZ_CHECK_EVERY")) {
    const int period = std::atoi(every);
    if (period > 0)
      g_check_period = period;
  }
  if (g_full_checks || g_check_period == 1)
    std::fprintf(stderr, "fuzz: a fresh world and every check per input\n");
  else
    std::fprintf(stderr, "fuzz: world checked every %d inputs and at exit\n",
                 g_check_period);
}

void InitV8(const std::string& more_flags) {
  if (!standin::SetV8Flags("--jitless " + more_flags))
    Fail("V8 was started before its flags were set");
}

bool FullChecksEachInput() {
  return g_full_checks || g_check_period == 1;
}

int CheckPeriod() {
  return g_check_period;
}

void RecentInputs::Add(const uint8_t* bytes, size_t size) {
  g_shared = this;
  inputs_.emplace_back(bytes, bytes + size);
}

void RecentInputs::SaveSequence() const {
  std::string first;
  for (size_t i = 0; i < inputs_.size(); ++i) {
    char index[8];
    std::snprintf(index, sizeof(index), "%04zu", i);
    const std::string path =
        SaveArtifact(std::string("sequence-") + index, inputs_[i]);
    if (i == 0)
      first = path;
  }
  std::fprintf(stderr,
               "the %zu inputs that ran in this world, in order, are saved "
               "as %s and on; replay them in one world with FUZZ_FULL_CHECKS=0 "
               "TARGET sequence-*\n",
               inputs_.size(), first.c_str());
}

void RecentInputs::FindCulprit(
    const std::string& failure,
    const std::function<void(const uint8_t*, size_t)>& run_with_full_checks) {
  std::fprintf(stderr,
               "fuzz: periodic check failed (%s); running the last %zu "
               "inputs alone\n",
               failure.c_str(), inputs_.size());
  for (const std::vector<uint8_t>& input : inputs_) {
    g_replaying = &input;
    run_with_full_checks(input.data(), input.size());
  }
  g_replaying = nullptr;
  for (size_t i = 0; i < inputs_.size(); ++i) {
    std::fprintf(
        stderr, "input %zu of the run: %s\n", i,
        SaveArtifact("sequence-" + std::to_string(i), inputs_[i]).c_str());
  }
  Fail(failure + " (no input fails alone; the sequence is saved)");
}

bool Verbose() {
  static const bool verbose = std::getenv("FUZZ_VERBOSE") != nullptr;
  return verbose;
}

Session::Session()
    : live_at_start_(standin::LiveObjectCount()),
      misuses_at_start_(standin::CefMisuseCount()),
      app_(new quillmoss::QuillmossApp) {
  standin::ClearLog();
  renderer_ = std::make_unique<standin::Renderer>(app_.get());
}

Session::~Session() {
  if (torn_down_)
    return;
  const std::string leak = TearDown();
  if (!leak.empty())
    Fail(leak);
}

std::string Session::TearDown() {
  torn_down_ = true;
  // The renderer first: its pages' functions point at the app.
  renderer_.reset();
  app_ = nullptr;
  // The lines say which call it was; the log goes now.
  const std::vector<std::string> misuse_lines = testing_support::MisuseLines();
  const std::string misuse =
      misuse_lines.empty() ? std::string() : misuse_lines.front();
  standin::ClearLog();
  const int misuses = standin::CefMisuseCount();
  if (misuses != misuses_at_start_) {
    return "the system made " + std::to_string(misuses - misuses_at_start_) +
           " call(s) that CEF refuses or asserts on" +
           (misuse.empty() ? std::string() : ", the first logged: " + misuse);
  }
  const int live = standin::LiveObjectCount();
  if (live == live_at_start_)
    return std::string();
  return "stand-in objects leaked: " + std::to_string(live) + " alive, " +
         std::to_string(live_at_start_) + " at the start";
}

std::string ValueBuilder::Key() {
  if (data_.ConsumeBool())
    return kKeys[data_.ConsumeIntegralInRange<size_t>(
        0, sizeof(kKeys) / sizeof(kKeys[0]) - 1)];
  return data_.ConsumeRandomLengthString(16);
}

template <typename Slot>
void ValueBuilder::SetValue(Slot& slot, int depth) {
  --nodes_left_;
  const bool may_nest = depth < max_depth_ && nodes_left_ > 0;
  switch (data_.ConsumeIntegralInRange(0, may_nest ? 10 : 7)) {
    case 0:
      slot.SetNull();
      break;
    case 1:
      slot.SetBool(data_.ConsumeBool());
      break;
    case 2:
      slot.SetInt(data_.ConsumeBool()
                      ? kInts[data_.ConsumeIntegralInRange<size_t>(
                            0, sizeof(kInts) / sizeof(kInts[0]) - 1)]
                      : data_.ConsumeIntegral<int>());
      break;
    case 3:
      switch (data_.ConsumeIntegralInRange(0, 2)) {
        case 0:
          slot.SetDouble(kDoubles[data_.ConsumeIntegralInRange<size_t>(
              0, sizeof(kDoubles) / sizeof(kDoubles[0]) - 1)]);
          break;
        case 1: {
          // ConsumeFloatingPoint() gives huge magnitudes or 0; ordinary
          // fractions come from here.
          const double whole = data_.ConsumeIntegral<int32_t>();
          slot.SetDouble(
              std::ldexp(whole, -data_.ConsumeIntegralInRange(0, 16)));
          break;
        }
        default:
          slot.SetDouble(data_.ConsumeFloatingPoint<double>());
          break;
      }
      break;
    case 4:
      slot.SetString(data_.ConsumeRandomLengthString(24));
      break;
    case 5:
    case 6: {
      const size_t size =
          data_.ConsumeBool()
              ? kBinarySizes[data_.ConsumeIntegralInRange<size_t>(
                    0, sizeof(kBinarySizes) / sizeof(kBinarySizes[0]) - 1)]
              : data_.ConsumeIntegralInRange<size_t>(0, 40);
      std::vector<unsigned char> bytes(size, 0);
      // A 20-byte value reads as a host callback: give it a small id.
      if (size >= 4 && data_.ConsumeBool())
        bytes[0] = data_.ConsumeIntegral<unsigned char>();
      else
        for (unsigned char& byte : bytes)
          byte = data_.ConsumeIntegral<unsigned char>();
      // An empty binary value cannot be made: Create() gives null and the
      // setter refuses it.
      slot.SetBinary(CefBinaryValue::Create(bytes.data(), bytes.size()));
      break;
    }
    case 7: {
      // A dictionary already handed to another container: CEF invalidated
      // the reference, so the setter must refuse it.
      CefRefPtr<CefDictionaryValue> taken = CefDictionaryValue::Create();
      taken->SetInt("x", 1);
      CefRefPtr<CefListValue> owner = CefListValue::Create();
      owner->SetDictionary(0, taken);
      slot.SetDictionary(taken);
      break;
    }
    case 8:
    case 9: {
      CefRefPtr<CefListValue> list = CefListValue::Create();
      FillList(list, depth + 1);
      slot.SetList(list);
      break;
    }
    default: {
      CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
      FillDictionary(dictionary, depth + 1);
      slot.SetDictionary(dictionary);
      break;
    }
  }
}

void ValueBuilder::FillList(CefRefPtr<CefListValue> list,
                            int depth,
                            int max_entries) {
  const int count = data_.ConsumeIntegralInRange(0, max_entries);
  for (int i = 0; i < count && nodes_left_ > 0; ++i) {
    // Now and then past the end, which pads with nulls.
    const size_t index =
        list->GetSize() + (data_.ConsumeIntegralInRange(0, 7) == 0
                               ? data_.ConsumeIntegralInRange<size_t>(1, 3)
                               : 0);
    ListSlot slot(list, index);
    SetValue(slot, depth);
  }
}

void ValueBuilder::FillDictionary(CefRefPtr<CefDictionaryValue> dictionary,
                                  int depth,
                                  int max_entries) {
  const int count = data_.ConsumeIntegralInRange(0, max_entries);
  for (int i = 0; i < count && nodes_left_ > 0; ++i) {
    DictionarySlot slot(dictionary, Key());
    SetValue(slot, depth);
  }
}

}  // namespace fuzz
