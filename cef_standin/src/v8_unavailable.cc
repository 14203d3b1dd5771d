// The V8 entry points of a build without a JavaScript engine (Windows). Each
// says so in the log and answers empty, false or null, so the rest of the
// renderer works and the missing engine is plain to see.
#include <string>

#include "include/cef_v8.h"
#include "live_objects.h"
#include "renderer_internal.h"
#include "standin_core.h"
#include "verify_param.h"

namespace standin {
namespace internal {

namespace {

void ReportNoEngine(const char* entry_point) {
  RendererError(std::string("no JavaScript engine in this build: ") +
                entry_point);
}

// What CefFrame::GetV8Context() answers: never valid.
class NoContext : public CefV8Context {
 public:
  NoContext() = default;
  NoContext(const NoContext&) = delete;
  NoContext& operator=(const NoContext&) = delete;

  // CefV8Context methods:
  CefRefPtr<CefTaskRunner> GetTaskRunner() override {
    return CefTaskRunner::GetForThread(TID_RENDERER);
  }
  bool IsValid() override { return false; }
  CefRefPtr<CefBrowser> GetBrowser() override { return nullptr; }
  CefRefPtr<CefFrame> GetFrame() override { return nullptr; }
  CefRefPtr<CefV8Value> GetGlobal() override {
    ReportNoEngine("CefV8Context::GetGlobal");
    return nullptr;
  }
  bool Enter() override {
    ReportNoEngine("CefV8Context::Enter");
    return false;
  }
  bool Exit() override {
    ReportNoEngine("CefV8Context::Exit");
    return false;
  }
  bool IsSame(CefRefPtr<CefV8Context> that) override { return false; }
  bool Eval(const CefString& code,
            const CefString& script_url,
            int start_line,
            CefRefPtr<CefV8Value>& retval,
            CefRefPtr<CefV8Exception>& exception) override {
    retval = nullptr;
    exception = nullptr;
    ReportNoEngine("CefV8Context::Eval");
    return false;
  }

 private:
  LiveObject live_;
  IMPLEMENT_REFCOUNTING(NoContext);
};

}  // namespace

CefRefPtr<CefV8Context> CreateFrameContext(CefRefPtr<CefFrame> frame,
                                           CefRefPtr<CefTaskRunner> runner) {
  ReportNoEngine("a page context for the frame");
  return nullptr;
}

CefRefPtr<CefV8Context> CreateInvalidContext() {
  return new NoContext();
}

// No page context exists to wrap again.
CefRefPtr<CefV8Context> NewContextWrapper(CefRefPtr<CefV8Context> context) {
  return new NoContext();
}

void RunInContext(CefRefPtr<CefV8Context> context,
                  const std::function<void()>& callback) {
  ReportNoEngine("entering a context");
}

void RunWithScriptForbidden(const std::function<void()>& callback) {
  callback();
}

void DisposeContext(CefRefPtr<CefV8Context> context, bool keep_entered) {}

size_t EnteredContextDepth() {
  return 0;
}

void LeaveContextsAbove(size_t depth) {}

ScriptResult RunPageScript(CefRefPtr<CefV8Context> context,
                           const std::string& code,
                           const std::string& script_url,
                           int start_line) {
  ScriptResult result;
  result.exception = "no JavaScript engine in this build";
  return result;
}

bool IsAnyContextEntered() {
  return false;
}

void RunEngineTasks() {}

void DropLeftoverFunctions() {}

void CollectGarbageForTesting() {}

int ContextsMadeForTesting() {
  return 0;
}

}  // namespace internal

bool SetV8Flags(const std::string&) {
  return false;
}

}  // namespace standin

using standin::internal::ReportNoEngine;

// static
CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
  return nullptr;
}

// static
CefRefPtr<CefV8Context> CefV8Context::GetEnteredContext() {
  return nullptr;
}

// static
bool CefV8Context::InContext() {
  return false;
}

// static
CefRefPtr<CefV8StackTrace> CefV8StackTrace::GetCurrent(int frame_limit) {
  ReportNoEngine("CefV8StackTrace::GetCurrent");
  return nullptr;
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateUndefined() {
  ReportNoEngine("CefV8Value::CreateUndefined");
  return nullptr;
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateNull() {
  ReportNoEngine("CefV8Value::CreateNull");
  return nullptr;
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateBool(bool value) {
  ReportNoEngine("CefV8Value::CreateBool");
  return nullptr;
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateInt(int32 value) {
  ReportNoEngine("CefV8Value::CreateInt");
  return nullptr;
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateUInt(uint32 value) {
  ReportNoEngine("CefV8Value::CreateUInt");
  return nullptr;
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateDouble(double value) {
  ReportNoEngine("CefV8Value::CreateDouble");
  return nullptr;
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateDate(const CefTime& date) {
  ReportNoEngine("CefV8Value::CreateDate");
  return nullptr;
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateString(const CefString& value) {
  ReportNoEngine("CefV8Value::CreateString");
  return nullptr;
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateObject(
    CefRefPtr<CefV8Accessor> accessor,
    CefRefPtr<CefV8Interceptor> interceptor) {
  ReportNoEngine("CefV8Value::CreateObject");
  return nullptr;
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateArray(int length) {
  ReportNoEngine("CefV8Value::CreateArray");
  return nullptr;
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateFunction(
    const CefString& name,
    CefRefPtr<CefV8Handler> handler) {
  if (!standin::internal::VerifyParam(!name.empty(),
                                      "CefV8Value::CreateFunction",
                                      "!name.empty()") ||
      !standin::internal::VerifyParam(handler != nullptr,
                                      "CefV8Value::CreateFunction",
                                      "handler.get()")) {
    return nullptr;
  }
  ReportNoEngine("CefV8Value::CreateFunction");
  return nullptr;
}
