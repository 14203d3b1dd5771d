// The native handler behind every JavaScript function made for the host: a
// bound function (or object method) or a host callback.
#ifndef QUILLMOSS_APP_V8FUNCTION_HANDLER_H_
#define QUILLMOSS_APP_V8FUNCTION_HANDLER_H_

#include "app/quillmoss_app.h"
#include "include/cef_v8.h"

namespace quillmoss {

class V8FunctionHandler : public CefV8Handler {
 public:
  // |app| empty and a non-zero |host_callback_id|: a host callback. |app|
  // and 0: bound functions, looked up by the name CEF passes with each call.
  V8FunctionHandler(CefRefPtr<QuillmossApp> app, int host_callback_id);
  V8FunctionHandler(const V8FunctionHandler&) = delete;
  V8FunctionHandler& operator=(const V8FunctionHandler&) = delete;

  // CefV8Handler methods:
  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override;

 private:
  ~V8FunctionHandler() override;

  CefRefPtr<QuillmossApp> app_;
  const int host_callback_id_;

  IMPLEMENT_REFCOUNTING(V8FunctionHandler);
};

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_V8FUNCTION_HANDLER_H_
