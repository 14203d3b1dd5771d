// What the fuzz targets share: a fresh application and renderer per input
// with a leak check, and CEF value trees built from fuzz bytes.
#ifndef QUILLMOSS_FUZZ_FUZZ_SUPPORT_H_
#define QUILLMOSS_FUZZ_FUZZ_SUPPORT_H_

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/javascript_callback.h"
#include "app/quillmoss_app.h"
#include "cef_standin/driver/renderer_driver.h"
#include "include/cef_values.h"

namespace fuzz {

// Prints |what| and aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] void Fail(const std::string& what);

// FUZZ_VERBOSE=1: the targets print what each input does, to read a crash.
bool Verbose();

// When the checks that cost more than an input itself run. By default a
// target that keeps its world between inputs tears it down and checks it
// every CheckPeriod() inputs and at exit. Every input gets its own world and
// every check (FullChecksEachInput()) when FUZZ_FULL_CHECKS=1 is set or when
// libFuzzer is handed files to run rather than corpus directories, so a saved
// crash reproduces with the checks that found it (FUZZ_FULL_CHECKS=0 keeps
// the shared world for files, to replay a saved sequence).
// Call from LLVMFuzzerInitialize with libFuzzer's arguments.
void InitCheckSchedule(int argc, char** argv);

// Starts V8 without its JIT. A page here runs a few lines once, so the JIT
// only costs; and V8 without it builds no WebAssembly object for each new
// context, a sixth of what a context costs. |more_flags| are V8's too. Call
// from LLVMFuzzerInitialize.
void InitV8(const std::string& more_flags = std::string());
bool FullChecksEachInput();
// FUZZ_CHECK_EVERY=N, 1000 by default.
int CheckPeriod();

// Runs |check| when the process exits normally (libFuzzer's -runs or
// -max_total_time), while thread-local objects that the system's teardown
// uses still exist; std::atexit() would be too late for them. Call it again
// whenever more of them may have been made: the last call runs first, and
// |check| must do nothing when called again.
void AtExit(void (*check)());

// The inputs run since the last periodic check, so that a failed one can
// name the input that fails alone.
class RecentInputs {
 public:
  void Add(const uint8_t* bytes, size_t size);
  void Clear() { inputs_.clear(); }
  size_t size() const { return inputs_.size(); }
  // Saves them where libFuzzer saves crashes, as sequence-<index>-<hash>.
  void SaveSequence() const;
  // Runs each input alone through |run_with_full_checks|, oldest first;
  // should one fail, Fail() saves it as a crash before aborting. When none
  // fails alone, aborts with |failure| and saves them all (SaveSequence()).
  [[noreturn]] void FindCulprit(
      const std::string& failure,
      const std::function<void(const uint8_t*, size_t)>& run_with_full_checks);

 private:
  std::vector<std::vector<uint8_t>> inputs_;
};

// One input's world (or, reused, several inputs' world). Destroying it tears
// the renderer down and aborts when stand-in objects outlive it, or when the
// system made a call that CEF answers with NOTREACHED() or its wrapper
// refuses (standin::CefMisuseCount()): either is a crash for the fuzzer.
class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  standin::Renderer& renderer() { return *renderer_; }
  quillmoss::QuillmossApp* app() { return app_.get(); }
  quillmoss::JavascriptCallbackRegistry& callbacks() {
    return app_->javascript_callbacks_for_testing();
  }

  // Tears the renderer down now and returns what leaked or was misused (""
  // for nothing); the destructor then checks nothing more.
  std::string TearDown();

 private:
  const int live_at_start_;
  const int misuses_at_start_;
  bool torn_down_ = false;
  CefRefPtr<quillmoss::QuillmossApp> app_;
  std::unique_ptr<standin::Renderer> renderer_;
};

// CEF value trees of every type from fuzz bytes: binaries of 0-40 bytes
// (4 and 20 favoured, 20 starting with a small id), doubles with NaN, -0 and
// infinities, strings that need not be UTF-8, lists padded by setting past
// their end, nesting to |max_depth|, at most |max_nodes| values in all.
class ValueBuilder {
 public:
  ValueBuilder(FuzzedDataProvider& data, int max_depth, int max_nodes)
      : data_(data), max_depth_(max_depth), nodes_left_(max_nodes) {}
  ValueBuilder(const ValueBuilder&) = delete;
  ValueBuilder& operator=(const ValueBuilder&) = delete;

  // Appends up to |max_entries| values; |depth| is the list's own depth.
  void FillList(CefRefPtr<CefListValue> list, int depth, int max_entries = 6);
  void FillDictionary(CefRefPtr<CefDictionaryValue> dictionary,
                      int depth,
                      int max_entries = 6);
  // A key, often one the application or JavaScript gives a meaning to.
  std::string Key();

 private:
  template <typename Slot>
  void SetValue(Slot& slot, int depth);

  FuzzedDataProvider& data_;
  const int max_depth_;
  int nodes_left_;
};

}  // namespace fuzz

#endif  // QUILLMOSS_FUZZ_FUZZ_SUPPORT_H_
