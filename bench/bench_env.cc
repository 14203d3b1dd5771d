#include "bench_env.h"

#include <cstdio>
#include <cstdlib>

#include "common/process_messages.h"
#include "support/bindings_builder.h"

namespace bench {

namespace {

BenchEnv* g_env = nullptr;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "benchmark set-up failed: %s\n", what.c_str());
  std::abort();
}

CefRefPtr<CefDictionaryValue> PageBindings() {
  return testing_support::BindingsBuilder().Function("saveFile").Build();
}

CefRefPtr<CefDictionaryValue> InstallBindings() {
  testing_support::BindingsBuilder bindings;
  for (int i = 0; i < kInstallFunctions; ++i)
    bindings.Function("function" + std::to_string(i));
  for (int i = 0; i < kInstallProperties; ++i) {
    const std::string name = "property" + std::to_string(i);
    switch (PropertyKindOf(i)) {
      case PropertyKind::kInt:
        bindings.Property(name, i);
        break;
      case PropertyKind::kDouble:
        bindings.Property(name, i + 0.25);
        break;
      case PropertyKind::kString:
        bindings.Property(name, name);
        break;
      case PropertyKind::kBool:
        bindings.Property(name, i % 8 == 3);
        break;
    }
  }
  for (int i = 0; i < kInstallObjects; ++i) {
    std::vector<std::string> methods;
    for (int j = 0; j < kInstallMethods; ++j)
      methods.push_back("method" + std::to_string(j));
    bindings.Object("object" + std::to_string(i), methods);
  }
  return bindings.Build();
}

}  // namespace

PropertyKind PropertyKindOf(int index) {
  return static_cast<PropertyKind>(index % 4);
}

ScopedContext::ScopedContext(CefRefPtr<CefV8Context> context)
    : context_(context) {
  if (!context_ || !context_->Enter())
    Fail("a context could not be entered");
  isolate_ = v8::Isolate::GetCurrent();
  if (!isolate_ || !isolate_->InContext())
    Fail("entering a CefV8Context entered no V8 context");
}

ScopedContext::~ScopedContext() {
  context_->Exit();
}

v8::Local<v8::Context> ScopedContext::v8_context() const {
  return isolate_->GetCurrentContext();
}

v8::Local<v8::Value> RawGlobal(const ScopedContext& scope,
                               const std::string& name) {
  v8::Local<v8::Context> context = scope.v8_context();
  v8::Local<v8::String> key =
      v8::String::NewFromUtf8(scope.isolate(), name.c_str()).ToLocalChecked();
  return context->Global()->Get(context, key).ToLocalChecked();
}

// static
void BenchEnv::Create() {
  g_env = new BenchEnv();
}

// static
void BenchEnv::Destroy() {
  delete g_env;
  g_env = nullptr;
}

// static
BenchEnv& BenchEnv::Get() {
  return *g_env;
}

BenchEnv::BenchEnv()
    : app_(new quillmoss::QuillmossApp),
      renderer_(std::make_unique<standin::Renderer>(app_.get())) {
  page_browser_ = renderer_->CreateBrowser();
  target_frame_ = renderer_->AddFrame(page_browser_, "target");
  for (int i = 0; i < 10; ++i)
    other_frames_.push_back(
        renderer_->AddFrame(page_browser_, "other" + std::to_string(i)));
  renderer_->CreateContext(page_browser_, page_frame());
  CefRefPtr<CefProcessMessage> message =
      CefProcessMessage::Create(quillmoss::kDoJavascriptBindingsMessage);
  message->GetArgumentList()->SetDictionary(0, PageBindings());
  if (!renderer_->DeliverMessage(page_browser_, page_frame(), message))
    Fail("the bindings message was refused");
  renderer_->RunPendingTasks();
  if (Eval("typeof saveFile")->GetStringValue() != "function")
    Fail("saveFile was not bound");

  install_browser_ = renderer_->CreateBrowser();
  install_frame_ = renderer_->AddFrame(install_browser_, "install");
  raw_install_frame_ = renderer_->AddFrame(install_browser_, "raw-install");
  app_->SetBindingsForBrowser(renderer_->GetBrowser(install_browser_),
                              InstallBindings());
  ClearRecords();
}

BenchEnv::~BenchEnv() {
  renderer_.reset();
  app_ = nullptr;
}

int64 BenchEnv::page_frame() const {
  return renderer_->MainFrameId(page_browser_);
}

CefRefPtr<CefFrame> BenchEnv::Frame(int browser, int64 frame) {
  return renderer_->GetFrame(browser, frame);
}

CefRefPtr<CefV8Context> BenchEnv::MainContext() {
  return Frame(page_browser_, page_frame())->GetV8Context();
}

CefRefPtr<CefV8Value> BenchEnv::Eval(const std::string& code) {
  CefRefPtr<CefV8Value> result;
  CefRefPtr<CefV8Exception> exception;
  if (!MainContext()->Eval(code, CefString(), 1, result, exception)) {
    Fail("script threw: " +
         (exception ? exception->GetMessage().ToString() : std::string()) +
         "\n" + code);
  }
  return result;
}

void BenchEnv::ClearRecords() {
  renderer_->ClearSentMessages();
  standin::ClearLog();
}

}  // namespace bench
