// The built-ins of each frame's V8 context that value conversion relies on,
// kept from the context's creation, before the page's script runs in it and
// can replace them. The application owns one and hands its value describer
// to conversion (convert/conversion_hooks.h).
#ifndef QUILLMOSS_APP_CONTEXT_BUILTINS_H_
#define QUILLMOSS_APP_CONTEXT_BUILTINS_H_

#include <unordered_map>

#include "include/cef_frame.h"
#include "include/cef_v8.h"

namespace quillmoss {

class ContextBuiltins {
 public:
  ContextBuiltins();
  ContextBuiltins(const ContextBuiltins&) = delete;
  ContextBuiltins& operator=(const ContextBuiltins&) = delete;
  ~ContextBuiltins();

  // Called as CEF creates |context|, |frame|'s new one.
  void Remember(CefRefPtr<CefFrame> frame, CefRefPtr<CefV8Context> context);
  // Called as CEF releases |frame|'s context.
  void Forget(CefRefPtr<CefFrame> frame);

  // The current V8 context's value describer (ConversionHooks). Null outside
  // a context or for one whose creation was not seen.
  CefRefPtr<CefV8Value> GetCurrentContextValueDescriber() const;

 private:
  // Frame identifier -> the describer of the frame's current context. A
  // frame has one context at a time: CEF releases the old one before it
  // creates the next.
  std::unordered_map<int64, CefRefPtr<CefV8Value>> describer_by_frame_;
};

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_CONTEXT_BUILTINS_H_
