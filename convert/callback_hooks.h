// The two things value conversion needs from the renderer's bindings: keeping
// a page's function for the host, and making a function that calls the host
// back. app/ defines them; declaring them here lets convert/ depend on
// nothing above it.
#ifndef QUILLMOSS_CONVERT_CALLBACK_HOOKS_H_
#define QUILLMOSS_CONVERT_CALLBACK_HOOKS_H_

#include <cstddef>

#include "include/cef_frame.h"
#include "include/cef_v8.h"

// Keeps |function| under a new id and returns its callback descriptor.
// |frame| is the frame of the current V8 context. Never fails.
CefString StoreJavascriptCallback(CefRefPtr<CefFrame> frame,
                                  CefRefPtr<CefV8Value> function);

namespace quillmoss {

// A function that, when page script calls it, sends the host callback
// |host_callback_id| its arguments. Null outside an entered V8 context.
CefRefPtr<CefV8Value> CreateHostCallbackFunction(int host_callback_id);

// UTF-16 units that |function|'s name takes in the descriptor that
// StoreJavascriptCallback would return for it (the name JSON-escaped), so
// that a crossing can pay for the copy before it is made. Stores nothing.
size_t GetJavascriptCallbackNameLength(CefRefPtr<CefV8Value> function);

}  // namespace quillmoss

#endif  // QUILLMOSS_CONVERT_CALLBACK_HOOKS_H_
