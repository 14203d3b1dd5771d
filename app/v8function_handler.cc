#include "app/v8function_handler.h"

#include <string>

#include "app/quillmoss_app.h"
#include "common/log_line.h"
#include "common/process_messages.h"
#include "convert/v8utils.h"

namespace quillmoss {
namespace {

constexpr char kLogSource[] = "v8function_handler";

// Both kinds of call travel alike: a message |message_name| whose first
// argument names the callee (set by |set_callee|) and whose second is the
// call's arguments converted. Sent through |frame|.
// False, with nothing sent, when a page getter run by the conversion removed
// |frame| (or a frame above it), or otherwise released |context|, the
// calling page's: CEF released it at once and dropped the callbacks stored
// for it; those met later became null.
template <class SetCallee>
bool SendCallToBrowser(ConversionHooks& hooks,
                       const CefRefPtr<CefV8Context>& context,
                       const CefRefPtr<CefFrame>& frame,
                       const char* message_name,
                       const CefV8ValueList& arguments,
                       SetCallee set_callee) {
  const CefRefPtr<CefListValue> call_arguments =
      V8ArgumentsToCefListValue(hooks, arguments);
  if (!context->IsValid() || !frame->IsValid())
    return false;
  CefRefPtr<CefProcessMessage> message =
      CefProcessMessage::Create(message_name);
  CefRefPtr<CefListValue> message_arguments = message->GetArgumentList();
  set_callee(message_arguments);
  message_arguments->SetList(kCallArgumentsIndex, call_arguments);
  frame->SendProcessMessage(PID_BROWSER, message);
  return true;
}

// What the page sees of a call whose page went, on entry or meanwhile.
void SetPageGoneException(const CefString& name, CefString& exception) {
  exception.FromString(
      "[Quillmoss] V8FunctionHandler::Execute() FAILED: the page of this function is gone: " +
      name.ToString() + "()");
}

void LogFrameGoneDuringCall(const CefString& name) {
  RENDERER_LOG(ERROR)
      << "V8FunctionHandler::Execute(): the frame went while the arguments converted: "
      << name.ToString();
}

}  // namespace

V8FunctionHandler::V8FunctionHandler(QuillmossApp* app, int host_callback_id)
    : app_(app), host_callback_id_(host_callback_id) {}

V8FunctionHandler::~V8FunctionHandler() = default;

bool V8FunctionHandler::Execute(const CefString& name,
                                CefRefPtr<CefV8Value> object,
                                const CefV8ValueList& arguments,
                                CefRefPtr<CefV8Value>& retval,
                                CefString& exception) {
  if (!CefV8Context::InContext()) {
    RENDERER_LOG(ERROR)
        << "V8FunctionHandler::Execute(): not inside a V8 context";
    return false;
  }
  const CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
  const CefRefPtr<CefBrowser> browser = context->GetBrowser();
  const CefRefPtr<CefFrame> frame = context->GetFrame();
  // A function kept by another frame's page is still callable after its own
  // page went; CEF then runs it in that old context, which has no frame and
  // no browser. Nothing can be sent, and no callback could be stored.
  if (!browser || !frame) {
    RENDERER_LOG(ERROR)
        << "V8FunctionHandler::Execute(): the V8 context has no browser or frame: "
        << name.ToString();
    SetPageGoneException(name, exception);
    return true;
  }

  if (host_callback_id_ != 0) {
    RENDERER_LOG(INFO) << "V8FunctionHandler::Execute(): python callback";
    if (!SendCallToBrowser(
            *app_, context, frame, kExecutePythonCallbackMessage, arguments,
            [this](const CefRefPtr<CefListValue>& message_arguments) {
              message_arguments->SetInt(kHostCallbackIdIndex,
                                        host_callback_id_);
            })) {
      LogFrameGoneDuringCall(name);
      SetPageGoneException(name, exception);
      return true;
    }
    retval = CefV8Value::CreateNull();
    return true;
  }

  RENDERER_LOG(INFO) << "V8FunctionHandler::Execute(): js binding";
  // A sub-frame's call counts as unbound once the bindings no longer reach
  // sub-frames, though its function objects stay in the page.
  if (!app_->BindedFunctionExists(browser, name) ||
      !app_->BindingsReachFrame(browser, frame)) {
    exception.FromString(
        "[Quillmoss] V8FunctionHandler::Execute() FAILED: function does not exist: " +
        name.ToString() + "()");
    return true;
  }
  if (!SendCallToBrowser(
          *app_, context, frame, kV8FunctionHandlerExecuteMessage, arguments,
          [&name](const CefRefPtr<CefListValue>& message_arguments) {
            message_arguments->SetString(kFunctionNameIndex, name);
          })) {
    LogFrameGoneDuringCall(name);
    SetPageGoneException(name, exception);
    return true;
  }
  retval = CefV8Value::CreateNull();
  return true;
}

}  // namespace quillmoss
