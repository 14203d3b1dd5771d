// Dispatch of the messages the browser process sends to a renderer.
// A message's name and argument positions are in common/process_messages.h;
// the dispatch fuzzer's kMessageNames and fuzz/make_seeds.py list the names
// again.
#include <string>

#include "app/javascript_callback.h"
#include "app/quillmoss_app.h"
#include "app/quillmoss_app_log.h"
#include "common/log_line.h"
#include "common/process_messages.h"

namespace quillmoss {

bool QuillmossApp::OnProcessMessageReceived(
    CefRefPtr<CefBrowser> browser,
    CefRefPtr<CefFrame> frame,
    CefProcessId source_process,
    CefRefPtr<CefProcessMessage> message) {
  // Every message here comes from the browser process, never from a page:
  // the protocol has the host send through a browser's main frame, and a
  // message through any other frame is a host's mistake, refused so that it
  // is seen in the log.
  if (!frame || !frame->IsMain()) {
    QLOG(ERROR)
        << "QuillmossApp::OnProcessMessageReceived: received process message from non-main frame.";
    return false;
  }
  const std::string name = message->GetName().ToString();
  RENDERER_LOG(INFO) << "OnProcessMessageReceived(): " << name;
  const CefRefPtr<CefListValue> arguments = message->GetArgumentList();

  if (name == kDoJavascriptBindingsMessage) {
    if (arguments->GetSize() != 1 ||
        arguments->GetType(kBindingsIndex) != VTYPE_DICTIONARY ||
        !arguments->GetDictionary(kBindingsIndex)->IsValid()) {
      RENDERER_LOG(ERROR)
          << "OnProcessMessageReceived(): invalid arguments, messageName=DoJavascriptBindings";
      return false;
    }
    // The received message goes invalid when this returns; keep a copy.
    SetBindingsForBrowser(
        browser, arguments->GetDictionary(kBindingsIndex)->Copy(false));
    DoJavascriptBindingsForBrowser(browser);
    return true;
  }

  if (name == kExecuteJavascriptCallbackMessage) {
    if (arguments->GetType(kCallbackIdIndex) != VTYPE_INT) {
      RENDERER_LOG(ERROR)
          << "OnProcessMessageReceived: invalid arguments, expected first argument to be a javascript callback (int)";
      return false;
    }
    const int callback_id = arguments->GetInt(kCallbackIdIndex);
    // A received argument list is read-only.
    CefRefPtr<CefListValue> call_arguments =
        arguments->IsReadOnly() ? arguments->Copy() : arguments;
    call_arguments->Remove(kCallbackIdIndex);
    javascript_callbacks_.ExecuteJavascriptCallback(*this, browser, callback_id,
                                                    call_arguments);
    return true;
  }

  return true;
}

}  // namespace quillmoss
