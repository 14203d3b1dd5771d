// One renderer process for every benchmark: the system's application object
// driven by the stand-in, with the browsers, frames and page values that the
// benchmarks share. Everything runs on the thread that made the isolate.
#ifndef QUILLMOSS_BENCH_BENCH_ENV_H_
#define QUILLMOSS_BENCH_BENCH_ENV_H_

#include <memory>
#include <string>
#include <vector>

#include "app/javascript_callback.h"
#include "app/quillmoss_app.h"
#include "cef_standin/driver/renderer_driver.h"
#include "include/cef_v8.h"
#include "v8.h"

namespace bench {

// Keeps a CefV8Context entered for a scope. The stand-in enters the real V8
// context with it, which is what gives the raw-V8 baselines their isolate
// and current context.
class ScopedContext {
 public:
  explicit ScopedContext(CefRefPtr<CefV8Context> context);
  ~ScopedContext();
  ScopedContext(const ScopedContext&) = delete;
  ScopedContext& operator=(const ScopedContext&) = delete;

  v8::Isolate* isolate() const { return isolate_; }
  v8::Local<v8::Context> v8_context() const;

 private:
  const CefRefPtr<CefV8Context> context_;
  v8::Isolate* isolate_ = nullptr;
};

class BenchEnv {
 public:
  // Made by main() before the benchmarks run, destroyed after them.
  static void Create();
  static void Destroy();
  static BenchEnv& Get();

  BenchEnv(const BenchEnv&) = delete;
  BenchEnv& operator=(const BenchEnv&) = delete;
  ~BenchEnv();

  standin::Renderer& renderer() { return *renderer_; }
  CefRefPtr<quillmoss::QuillmossApp> app() { return app_; }
  // The app's callback registry, which the benchmarks empty after use.
  quillmoss::JavascriptCallbackRegistry& callbacks() {
    return app_->javascript_callbacks_for_testing();
  }

  // Browser 1: its main frame has a context with "saveFile" bound, and the
  // sub-frames that the callback registry benchmarks store from.
  int page_browser() const { return page_browser_; }
  int64 page_frame() const;
  CefRefPtr<CefFrame> Frame(int browser, int64 frame);
  CefRefPtr<CefV8Context> MainContext();
  const std::vector<int64>& other_frames() const { return other_frames_; }
  int64 target_frame() const { return target_frame_; }

  // Browser 2: the large bindings, installed by the benchmark into fresh
  // contexts of |install_frame|; |raw_install_frame| gets the same by hand.
  int install_browser() const { return install_browser_; }
  int64 install_frame() const { return install_frame_; }
  int64 raw_install_frame() const { return raw_install_frame_; }

  // Evaluates |code| in the main frame's context; aborts on an exception,
  // since a benchmark of a broken set-up measures nothing.
  CefRefPtr<CefV8Value> Eval(const std::string& code);

  // Drops what the driver recorded (messages, log lines).
  void ClearRecords();

 private:
  BenchEnv();

  CefRefPtr<quillmoss::QuillmossApp> app_;
  std::unique_ptr<standin::Renderer> renderer_;
  int page_browser_ = 0;
  int64 target_frame_ = 0;
  std::vector<int64> other_frames_;
  int install_browser_ = 0;
  int64 install_frame_ = 0;
  int64 raw_install_frame_ = 0;
};

// Numbers of the installation benchmark.
constexpr int kInstallFunctions = 1000;
constexpr int kInstallProperties = 1000;
constexpr int kInstallObjects = 100;
constexpr int kInstallMethods = 10;

// The value of property |index| of the installation bindings: ints,
// doubles, strings and booleans in turn.
enum class PropertyKind { kInt, kDouble, kString, kBool };
PropertyKind PropertyKindOf(int index);

// The JavaScript global |name| of the main frame's context, as V8 has it.
// Needs the context entered.
v8::Local<v8::Value> RawGlobal(const ScopedContext& scope,
                               const std::string& name);

}  // namespace bench

#endif  // QUILLMOSS_BENCH_BENCH_ENV_H_
