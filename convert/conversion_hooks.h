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

// The entries one page call may still convert, shared by every crossing
// nested in it (a getter calling a bound function again): the outermost
// crossing makes it and hands it to its hooks for as long as it runs.
struct ConversionBudget {
  int remaining = 0;
  bool refused = false;
};

// The forms ValueDescriber gives, by their first UTF-16 unit.
enum class DescriberMode {
  kObject = 0,    // 'A' an array for JavaScript, 'L' + count, or 'K' + keys
  kKeys = 1,      // 'L' + count or 'K' + keys
  kKind = 2,      // 'A' or 'O'
  kFunction = 3,  // 'F': ask CEF for the name; 'N' + a name to use
};

class ConversionHooks {
 public:
  // Keeps |function| under a new id and returns its callback descriptor,
  // which names it |name|. |frame| is the frame of the current V8 context.
  // Never fails.
  virtual CefString StoreJavascriptCallback(CefRefPtr<CefFrame> frame,
                                            CefRefPtr<CefV8Value> function,
                                            const CefString& name) = 0;

  // A function that, when page script calls it, sends the host callback
  // |host_callback_id| its arguments. Null outside an entered V8 context.
  virtual CefRefPtr<CefV8Value> CreateHostCallbackFunction(
      int host_callback_id) = 0;

  // The most UTF-16 units that the descriptor StoreJavascriptCallback would
  // return for a function named |name| can take (the name JSON-escaped, the
  // ids at their longest), so that a crossing can pay for the copy before
  // it is made. Stores nothing.
  virtual size_t GetJavascriptCallbackDescriptorLength(
      const CefString& name) const = 0;

  // The current V8 context's value describer, a function made when CEF
  // created the context from built-ins captured before any page script ran
  // (app/context_builtins.cc): called as describer(value, DescriberMode)
  // through ExecuteFunction, it runs no page code but the traps of a Proxy
  // that CEF's own key listing would run, and a throw is an empty result.
  // Null outside a context or for one whose creation was not seen; possibly
  // no longer valid.
  virtual CefRefPtr<CefV8Value> GetCurrentContextValueDescriber() const = 0;

  // The budget of the crossing in progress on this thread, or null.
  virtual ConversionBudget* GetActiveConversionBudget() = 0;
  virtual void SetActiveConversionBudget(ConversionBudget* budget) = 0;

 protected:
  // Not owned through this interface.
  ~ConversionHooks() = default;
};

}  // namespace quillmoss

#endif  // QUILLMOSS_CONVERT_CONVERSION_HOOKS_H_
