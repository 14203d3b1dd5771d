// The page's console. Chromium hands console calls to the browser process
// (CefDisplayHandler::OnConsoleMessage); V8 alone sends them nowhere, and
// libnode's V8 exposes no console delegate, so the methods that reach the
// host are native functions that report to the frame's renderer.
#include <iterator>

#include "cef_standin/src/renderer_internal.h"
#include "cef_standin/src/v8_engine.h"

namespace standin {
namespace internal {

namespace {

struct ConsoleMethod {
  const char* name;
  cef_log_severity_t level;
};

// Chromium's console levels as CEF 81 maps them to log severities.
constexpr ConsoleMethod kConsoleMethods[] = {
    {"log", LOGSEVERITY_INFO},     {"info", LOGSEVERITY_INFO},
    {"warn", LOGSEVERITY_WARNING}, {"error", LOGSEVERITY_ERROR},
    {"debug", LOGSEVERITY_DEBUG},
};

void OnConsoleCall(const v8::FunctionCallbackInfo<v8::Value>& info) {
  v8::Isolate* isolate = info.GetIsolate();
  v8::HandleScope handle_scope(isolate);
  v8::Local<v8::Context> context = isolate->GetCurrentContext();
  const std::shared_ptr<ContextState> state = ContextState::From(context);
  if (!state)
    return;
  const uint32_t index = info.Data().As<v8::Uint32>()->Value();
  if (index >= std::size(kConsoleMethods))
    return;
  ConsoleMessage message;
  message.method = kConsoleMethods[index].name;
  message.level = kConsoleMethods[index].level;
  for (int i = 0; i < info.Length(); ++i) {
    if (i > 0)
      message.message += " ";
    message.message += DescribeValue(isolate, context, info[i]);
  }
  v8::Local<v8::StackTrace> stack = v8::StackTrace::CurrentStackTrace(
      isolate, 1, v8::StackTrace::kScriptName);
  if (stack->GetFrameCount() > 0) {
    v8::Local<v8::StackFrame> caller = stack->GetFrame(isolate, 0);
    message.source = ToCefString(isolate, caller->GetScriptName()).ToString();
    message.line = caller->GetLineNumber();
  }
  ReportConsoleMessage(state->frame(), std::move(message));
}

}  // namespace

void InstallConsole(v8::Isolate* isolate, v8::Local<v8::Context> context) {
  v8::HandleScope handle_scope(isolate);
  v8::Local<v8::Object> global = context->Global();
  v8::Local<v8::String> console_name = ToV8String(isolate, "console");
  // V8's own console keeps its other methods (no-ops without a delegate).
  v8::Local<v8::Value> existing;
  v8::Local<v8::Object> console;
  if (global->Get(context, console_name).ToLocal(&existing) &&
      existing->IsObject()) {
    console = existing.As<v8::Object>();
  } else {
    console = v8::Object::New(isolate);
    global->Set(context, console_name, console).Check();
  }
  for (uint32_t i = 0; i < std::size(kConsoleMethods); ++i) {
    v8::Local<v8::String> name = ToV8String(isolate, kConsoleMethods[i].name);
    v8::Local<v8::Function> method;
    if (!v8::Function::New(context, &OnConsoleCall,
                           v8::Integer::NewFromUnsigned(isolate, i))
             .ToLocal(&method)) {
      continue;
    }
    method->SetName(name);
    console->Set(context, name, method).Check();
  }
}

}  // namespace internal
}  // namespace standin
