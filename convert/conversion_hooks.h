// What value conversion needs from its caller: keeping a page's function for
// the host, making a function that calls the host back, and the calling
// context's own built-ins. The application implements it and hands it to
// every conversion, so convert/ depends on nothing above it.
#ifndef QUILLMOSS_CONVERT_CONVERSION_HOOKS_H_
#define QUILLMOSS_CONVERT_CONVERSION_HOOKS_H_

#include <cstddef>

#include "include/cef_frame.h"
#include "include/cef_v8.h"

namespace quillmoss {

class ConversionHooks {
 public:
  // Keeps |function| under a new id and returns its callback descriptor.
  // |frame| is the frame of the current V8 context. Never fails.
  virtual CefString StoreJavascriptCallback(CefRefPtr<CefFrame> frame,
                                            CefRefPtr<CefV8Value> function) = 0;

  // A function that, when page script calls it, sends the host callback
  // |host_callback_id| its arguments. Null outside an entered V8 context.
  virtual CefRefPtr<CefV8Value> CreateHostCallbackFunction(
      int host_callback_id) = 0;

  // The most UTF-16 units that the descriptor StoreJavascriptCallback would
  // return for |function| can take (its name JSON-escaped, the ids at their
  // longest), so that a crossing can pay for the copy before it is made.
  // Stores nothing.
  virtual size_t GetJavascriptCallbackDescriptorLength(
      CefRefPtr<CefV8Value> function) const = 0;

  // The current V8 context's Array.isArray as it was when CEF created the
  // context, before any page script could replace it. Null outside a context
  // or for one whose creation was not seen; possibly no longer valid.
  virtual CefRefPtr<CefV8Value> GetCurrentContextArrayIsArray() const = 0;

 protected:
  // Not owned through this interface.
  ~ConversionHooks() = default;
};

}  // namespace quillmoss

#endif  // QUILLMOSS_CONVERT_CONVERSION_HOOKS_H_
