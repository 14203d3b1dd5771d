// The application object: CEF's application, browser-process handler and
// render-process handler in one, with the renderer's bindings store, its
// callback registry and its contexts' built-ins, and the hooks that value
// conversion gets from them. Its methods are defined by job: the handlers,
// context hooks and conversion hooks in quillmoss_app.cc, message dispatch in
// message_dispatch.cc, the store in bindings_store.cc, installation in
// binding_installation.cc.
#ifndef QUILLMOSS_APP_QUILLMOSS_APP_H_
#define QUILLMOSS_APP_QUILLMOSS_APP_H_

#include <map>

#include "app/context_builtins.h"
#include "app/javascript_callback.h"
#include "convert/conversion_hooks.h"
#include "include/cef_app.h"

namespace quillmoss {

class QuillmossApp : public CefApp,
                     public CefBrowserProcessHandler,
                     public CefRenderProcessHandler,
                     public ConversionHooks {
 public:
  QuillmossApp();
  QuillmossApp(const QuillmossApp&) = delete;
  QuillmossApp& operator=(const QuillmossApp&) = delete;

  // CefApp methods:
  void OnBeforeCommandLineProcessing(
      const CefString& process_type,
      CefRefPtr<CefCommandLine> command_line) override;
  void OnRegisterCustomSchemes(
      CefRawPtr<CefSchemeRegistrar> registrar) override;
  CefRefPtr<CefResourceBundleHandler> GetResourceBundleHandler() override;
  CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() override;
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override;

  // CefBrowserProcessHandler methods:
  void OnContextInitialized() override;
  void OnBeforeChildProcessLaunch(
      CefRefPtr<CefCommandLine> command_line) override;
  void OnRenderProcessThreadCreated(
      CefRefPtr<CefListValue> extra_info) override;
  CefRefPtr<CefPrintHandler> GetPrintHandler() override;
  void OnScheduleMessagePumpWork(int64 delay_ms) override;

  // CefRenderProcessHandler methods:
  void OnRenderThreadCreated(CefRefPtr<CefListValue> extra_info) override;
  void OnWebKitInitialized() override;
  void OnBrowserCreated(CefRefPtr<CefBrowser> browser,
                        CefRefPtr<CefDictionaryValue> extra_info) override;
  void OnBrowserDestroyed(CefRefPtr<CefBrowser> browser) override;
  CefRefPtr<CefLoadHandler> GetLoadHandler() override;
  void OnContextCreated(CefRefPtr<CefBrowser> browser,
                        CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override;
  void OnContextReleased(CefRefPtr<CefBrowser> browser,
                         CefRefPtr<CefFrame> frame,
                         CefRefPtr<CefV8Context> context) override;
  void OnUncaughtException(CefRefPtr<CefBrowser> browser,
                           CefRefPtr<CefFrame> frame,
                           CefRefPtr<CefV8Context> context,
                           CefRefPtr<CefV8Exception> exception,
                           CefRefPtr<CefV8StackTrace> stack_trace) override;
  void OnFocusedNodeChanged(CefRefPtr<CefBrowser> browser,
                            CefRefPtr<CefFrame> frame,
                            CefRefPtr<CefDOMNode> node) override;
  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                CefRefPtr<CefFrame> frame,
                                CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override;

  // ConversionHooks methods:
  CefString StoreJavascriptCallback(CefRefPtr<CefFrame> frame,
                                    CefRefPtr<CefV8Value> function,
                                    const CefString& name) override;
  CefRefPtr<CefV8Value> CreateHostCallbackFunction(
      int host_callback_id) override;
  size_t GetJavascriptCallbackDescriptorLength(
      const CefString& name) const override;
  CefRefPtr<CefV8Value> GetCurrentContextValueDescriber() const override;
  ConversionBudget* GetActiveConversionBudget() override;
  void SetActiveConversionBudget(ConversionBudget* budget) override;

  // Bindings store: the last bindings dictionary each browser received, the
  // renderer's own copy, read by installation and by every bound call.
  void SetBindingsForBrowser(CefRefPtr<CefBrowser> browser,
                             CefRefPtr<CefDictionaryValue> bindings);
  CefRefPtr<CefDictionaryValue> GetBindingsForBrowser(
      CefRefPtr<CefBrowser> browser);
  void RemoveBindingsForBrowser(CefRefPtr<CefBrowser> browser);
  bool BindedFunctionExists(CefRefPtr<CefBrowser> browser,
                            const CefString& function_name);
  // Whether the browser's current bindings reach |frame|: the main frame
  // always, a sub-frame only while "bindToFrames" is true. A sub-frame bound
  // earlier keeps its functions after the host turned that off.
  bool BindingsReachFrame(CefRefPtr<CefBrowser> browser,
                          CefRefPtr<CefFrame> frame);

  // Installation of the stored bindings: scheduled into every chosen frame of
  // a browser, or done at once into one V8 context.
  void DoJavascriptBindingsForBrowser(CefRefPtr<CefBrowser> browser);
  void DoJavascriptBindingsForFrame(CefRefPtr<CefBrowser> browser,
                                    CefRefPtr<CefFrame> frame,
                                    CefRefPtr<CefV8Context> context);

  // The registry this app's hooks store into, for tests, benchmarks and
  // fuzzers.
  JavascriptCallbackRegistry& javascript_callbacks_for_testing() {
    return javascript_callbacks_;
  }

 private:
  ~QuillmossApp() override;

  // Browser id -> that browser's bindings dictionary. An entry lives from the
  // first accepted bindings message until the browser is destroyed.
  std::map<int, CefRefPtr<CefDictionaryValue>> bindings_by_browser_;
  // Nothing sets it; CEF asks for it in the browser process.
  CefRefPtr<CefPrintHandler> print_handler_;
  // The functions page script handed to the host, each until its frame's
  // context is released. Their handlers point back at this app without a
  // reference (V8FunctionHandler), so what it keeps cannot keep it alive.
  JavascriptCallbackRegistry javascript_callbacks_;
  // Each frame's value describer, from its context's creation to its
  // release.
  ContextBuiltins context_builtins_;
  // The budget of the outermost conversion in progress: the renderer's V8
  // runs on one thread, and a page call nested in a conversion (a getter
  // calling a bound function) draws from it.
  ConversionBudget* active_conversion_budget_ = nullptr;

  friend class QuillmossAppTestPeer;

  IMPLEMENT_REFCOUNTING(QuillmossApp);
};

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_QUILLMOSS_APP_H_
