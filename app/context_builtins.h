// The built-ins of each frame's V8 context that value conversion relies on,
// kept from the context's creation, before the page's script runs in it and
// can replace them. Read through convert/callback_hooks.h.
#ifndef QUILLMOSS_APP_CONTEXT_BUILTINS_H_
#define QUILLMOSS_APP_CONTEXT_BUILTINS_H_

#include "include/cef_frame.h"
#include "include/cef_v8.h"

namespace quillmoss {

// Called as CEF creates |context|, |frame|'s new one.
void RememberContextBuiltins(CefRefPtr<CefFrame> frame,
                             CefRefPtr<CefV8Context> context);
// Called as CEF releases |frame|'s context.
void ForgetContextBuiltins(CefRefPtr<CefFrame> frame);

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_CONTEXT_BUILTINS_H_
