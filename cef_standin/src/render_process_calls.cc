// What CEF does when the driver says a browser, a context or a message comes
// or goes (standin_core.h): how it calls the application's render-process
// hooks, how it ends a context, how page script runs.
#include <functional>
#include <string>

#include "cef_standin/src/renderer_internal.h"
#include "cef_standin/src/standin_core.h"
#include "cef_standin/src/values_internal.h"

namespace standin {

void CallBrowserCreated(CefRefPtr<CefRenderProcessHandler> handler,
                        CefRefPtr<CefBrowser> browser) {
  if (!handler)
    return;
  // The browser side gave no extra info: CEF hands over an empty, read-only
  // dictionary, as its wrapper drops the call for a null one.
  handler->OnBrowserCreated(browser, internal::CreateReadOnlyDictionary());
}

void CallContextHook(ContextHook hook,
                     CefRefPtr<CefRenderProcessHandler> handler,
                     CefRefPtr<CefBrowser> browser,
                     CefRefPtr<CefFrame> frame,
                     CefRefPtr<CefV8Context> context) {
  if (!handler)
    return;
  const auto call = [&] {
    // As CEF makes one for every hook: Enter() and Exit() count per object.
    const CefRefPtr<CefV8Context> own = internal::NewContextWrapper(context);
    if (hook == ContextHook::kCreated)
      handler->OnContextCreated(browser, frame, own);
    else
      handler->OnContextReleased(browser, frame, own);
  };
  if (hook == ContextHook::kCreated)
    internal::RunInContext(context, call);
  else
    internal::RunWithScriptForbidden(call);
}

bool CallProcessMessageReceived(CefRefPtr<CefRenderProcessHandler> handler,
                                CefRefPtr<CefBrowser> browser,
                                CefRefPtr<CefFrame> frame,
                                CefRefPtr<CefProcessMessage> message) {
  if (!handler)
    return false;
  CefRefPtr<CefProcessMessage> received =
      internal::MakeReceivedMessage(message);
  bool handled = false;
  RunAsRendererTask([&] {
    handled = handler->OnProcessMessageReceived(browser, frame, PID_BROWSER,
                                                received);
  });
  internal::InvalidateReceivedMessage(received);
  return handled;
}

void EndContext(CefRefPtr<CefV8Context> context, bool keep_entered) {
  internal::DisposeContext(context, keep_entered);
}

ScriptResult RunScript(CefRefPtr<CefV8Context> context,
                       const std::string& code) {
  return internal::RunPageScript(context, code, std::string(), 1);
}

}  // namespace standin
