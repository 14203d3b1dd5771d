// The native handler behind every JavaScript function made for the host: a
// bound function (or object method) or a host callback.
#ifndef QUILLMOSS_APP_V8FUNCTION_HANDLER_H_
#define QUILLMOSS_APP_V8FUNCTION_HANDLER_H_

#include "app/quillmoss_app.h"
#include "include/cef_v8.h"

namespace quillmoss {

class V8FunctionHandler : public CefV8Handler {
 public:
  // A non-zero |host_callback_id|: a host callback. 0: bound functions,
  // looked up in |app| by the name CEF passes with each call. Either way
  // |app| converts the call's arguments. It must outlive every call.
  V8FunctionHandler(QuillmossApp* app, int host_callback_id);
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

  // Not a reference: a page may hand a bound function or a host callback
  // back to the host, and the app's callback registry then keeps its V8
  // function, and through it this handler; a reference back would keep the
  // app alive for as long, past the end of RunChildProcess() if no context
  // release empties the registry. It cannot dangle: CEF runs a handler only
  // for page script, on the render thread inside CefExecuteProcess(), for
  // all of which RunChildProcess() holds the app; handlers that V8 still
  // holds afterwards are only ever destroyed. (The tests, benchmarks and
  // fuzzers likewise end their renderers before their apps.)
  QuillmossApp* const app_;
  const int host_callback_id_;

  IMPLEMENT_REFCOUNTING(V8FunctionHandler);
};

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_V8FUNCTION_HANDLER_H_
