#include "app/v8function_handler.h"

#include "common/log_line.h"
#include "common/process_messages.h"
#include "app/quillmoss_app.h"
#include "convert/v8utils.h"

namespace {

constexpr char kLogSource[] = "v8function_handler";

}  // namespace

V8FunctionHandler::V8FunctionHandler(CefRefPtr<QuillmossApp> app,
                                     int hostCallbackId)
    : app_(app), hostCallbackId_(hostCallbackId) {}

V8FunctionHandler::~V8FunctionHandler() = default;

bool V8FunctionHandler::Execute(const CefString& name,
                                CefRefPtr<CefV8Value> object,
                                const CefV8ValueList& arguments,
                                CefRefPtr<CefV8Value>& retval,
                                CefString& exception) {
  if (!CefV8Context::InContext()) {
    QLOG(ERROR) << "[Renderer process] V8FunctionHandler::Execute(): not "
                   "inside a V8 context";
    return false;
  }
  const CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
  const CefRefPtr<CefBrowser> browser = context->GetBrowser();
  const CefRefPtr<CefFrame> frame = context->GetFrame();

  if (hostCallbackId_ != 0) {
    QLOG(INFO) << "[Renderer process] V8FunctionHandler::Execute(): python "
                  "callback";
    const CefRefPtr<CefListValue> callArguments =
        V8ArgumentsToCefListValue(arguments);
    CefRefPtr<CefProcessMessage> message =
        CefProcessMessage::Create(quillmoss::kExecutePythonCallbackMessage);
    CefRefPtr<CefListValue> messageArguments = message->GetArgumentList();
    messageArguments->SetInt(quillmoss::kHostCallbackIdIndex, hostCallbackId_);
    messageArguments->SetList(quillmoss::kCallArgumentsIndex, callArguments);
    if (frame)
      frame->SendProcessMessage(PID_BROWSER, message);
    retval = CefV8Value::CreateNull();
    return true;
  }

  QLOG(INFO) << "[Renderer process] V8FunctionHandler::Execute(): js binding";
  if (!app_ || !app_->BindedFunctionExists(browser, name)) {
    exception.FromString(
        "[Quillmoss] V8FunctionHandler::Execute() FAILED: function does not "
        "exist: " +
        name.ToString() + "()");
    return true;
  }
  const CefRefPtr<CefListValue> callArguments =
      V8ArgumentsToCefListValue(arguments);
  CefRefPtr<CefProcessMessage> message =
      CefProcessMessage::Create(quillmoss::kV8FunctionHandlerExecuteMessage);
  CefRefPtr<CefListValue> messageArguments = message->GetArgumentList();
  messageArguments->SetString(quillmoss::kFunctionNameIndex, name);
  messageArguments->SetList(quillmoss::kCallArgumentsIndex, callArguments);
  if (frame)
    frame->SendProcessMessage(PID_BROWSER, message);
  retval = CefV8Value::CreateNull();
  return true;
}
