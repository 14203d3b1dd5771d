#include "app/quillmoss_app.h"

#include <string>

#include "app/bindings_dictionary.h"
#include "app/context_builtins.h"
#include "app/javascript_callback.h"
#include "app/platform_shell.h"
#include "app/quillmoss_app_log.h"
#include "app/v8function_handler.h"
#include "common/log_line.h"
#include "common/process_messages.h"

namespace quillmoss {
namespace {

void SendContextMessage(CefRefPtr<CefFrame> frame, const char* name) {
  frame->SendProcessMessage(PID_BROWSER, CefProcessMessage::Create(name));
}

}  // namespace

QuillmossApp::QuillmossApp() = default;

// Members go in reverse order: the built-ins, the registry with every
// function still in it, the print handler, then the store with every
// dictionary in it.
QuillmossApp::~QuillmossApp() = default;

// CefApp methods.

void QuillmossApp::OnBeforeCommandLineProcessing(
    const CefString& process_type,
    CefRefPtr<CefCommandLine> command_line) {
  // Loaded in every process and never freed, so the look-up is cheap
  // wherever the switch appears.
  LoadShellLibrary();
  if (!command_line)
    return;
  const CefString app_user_model_id =
      command_line->GetSwitchValue("app-user-model-id");
  if (app_user_model_id.empty())
    return;
  if (!SetAppUserModelId(app_user_model_id.ToWString()))
    QLOG(ERROR) << "SetCurrentProcessExplicitAppUserModelID failed";
}

void QuillmossApp::OnRegisterCustomSchemes(
    CefRawPtr<CefSchemeRegistrar> registrar) {}

CefRefPtr<CefResourceBundleHandler> QuillmossApp::GetResourceBundleHandler() {
  return nullptr;
}

CefRefPtr<CefBrowserProcessHandler> QuillmossApp::GetBrowserProcessHandler() {
  return this;
}

CefRefPtr<CefRenderProcessHandler> QuillmossApp::GetRenderProcessHandler() {
  return this;
}

// CefBrowserProcessHandler methods.

void QuillmossApp::OnContextInitialized() {}

void QuillmossApp::OnBeforeChildProcessLaunch(
    CefRefPtr<CefCommandLine> command_line) {
  QLOG(INFO) << "[Non-browser process] OnBeforeChildProcessLaunch() command line: "
             << (command_line ? command_line->GetCommandLineString().ToString()
                              : std::string());
}

void QuillmossApp::OnRenderProcessThreadCreated(
    CefRefPtr<CefListValue> extra_info) {}

CefRefPtr<CefPrintHandler> QuillmossApp::GetPrintHandler() {
  return print_handler_;
}

void QuillmossApp::OnScheduleMessagePumpWork(int64 delay_ms) {}

// CefRenderProcessHandler methods.

void QuillmossApp::OnRenderThreadCreated(CefRefPtr<CefListValue> extra_info) {}

void QuillmossApp::OnWebKitInitialized() {}

void QuillmossApp::OnBrowserCreated(CefRefPtr<CefBrowser> browser,
                                    CefRefPtr<CefDictionaryValue> extra_info) {}

void QuillmossApp::OnBrowserDestroyed(CefRefPtr<CefBrowser> browser) {
  RENDERER_LOG(INFO) << "OnBrowserDestroyed()";
  RemoveBindingsForBrowser(browser);
}

CefRefPtr<CefLoadHandler> QuillmossApp::GetLoadHandler() {
  return nullptr;
}

void QuillmossApp::OnContextCreated(CefRefPtr<CefBrowser> browser,
                                    CefRefPtr<CefFrame> frame,
                                    CefRefPtr<CefV8Context> context) {
  RENDERER_LOG(INFO) << "OnContextCreated()";
  context_builtins_.Remember(frame, context);
  // The host hears of every context before any binding is installed in it.
  SendContextMessage(frame, kOnContextCreatedMessage);

  const CefRefPtr<CefDictionaryValue> bindings = GetBindingsForBrowser(browser);
  if (!bindings)
    return;
  if (frame->IsMain() || ReadBindToFrames(bindings))
    DoJavascriptBindingsForFrame(browser, frame, context);
}

void QuillmossApp::OnContextReleased(CefRefPtr<CefBrowser> browser,
                                     CefRefPtr<CefFrame> frame,
                                     CefRefPtr<CefV8Context> context) {
  RENDERER_LOG(INFO) << "OnContextReleased()";
  SendContextMessage(frame, kOnContextReleasedMessage);
  javascript_callbacks_.RemoveJavascriptCallbacksForFrame(frame);
  context_builtins_.Forget(frame);
}

void QuillmossApp::OnUncaughtException(CefRefPtr<CefBrowser> browser,
                                       CefRefPtr<CefFrame> frame,
                                       CefRefPtr<CefV8Context> context,
                                       CefRefPtr<CefV8Exception> exception,
                                       CefRefPtr<CefV8StackTrace> stack_trace) {
}

void QuillmossApp::OnFocusedNodeChanged(CefRefPtr<CefBrowser> browser,
                                        CefRefPtr<CefFrame> frame,
                                        CefRefPtr<CefDOMNode> node) {}

// ConversionHooks methods.

CefString QuillmossApp::StoreJavascriptCallback(CefRefPtr<CefFrame> frame,
                                                CefRefPtr<CefV8Value> function,
                                                const CefString& name) {
  return javascript_callbacks_.StoreJavascriptCallback(frame, function, name);
}

CefRefPtr<CefV8Value> QuillmossApp::CreateHostCallbackFunction(
    int host_callback_id) {
  // Each conversion makes a new handler and function.
  const std::string name =
      kHostCallbackFunctionPrefix + std::to_string(host_callback_id);
  return CefV8Value::CreateFunction(
      name, new V8FunctionHandler(this, host_callback_id));
}

size_t QuillmossApp::GetJavascriptCallbackDescriptorLength(
    const CefString& name) const {
  return JavascriptCallbackRegistry::GetJavascriptCallbackDescriptorLength(
      name);
}

CefRefPtr<CefV8Value> QuillmossApp::GetCurrentContextValueDescriber() const {
  return context_builtins_.GetCurrentContextValueDescriber();
}

ConversionBudget* QuillmossApp::GetActiveConversionBudget() {
  return active_conversion_budget_;
}

void QuillmossApp::SetActiveConversionBudget(ConversionBudget* budget) {
  active_conversion_budget_ = budget;
}

}  // namespace quillmoss
