// The registry of JavaScript functions that page script handed to the host,
// and their execution when the host calls them back by id. Storing is
// declared with value conversion, which does it (convert/callback_hooks.h).
#ifndef QUILLMOSS_APP_JAVASCRIPT_CALLBACK_H_
#define QUILLMOSS_APP_JAVASCRIPT_CALLBACK_H_

#include <utility>

#include "convert/callback_hooks.h"
#include "include/cef_frame.h"
#include "include/cef_v8.h"
#include "include/cef_values.h"

namespace quillmoss {

// The frame of the context the function was stored from, and the function.
using JavascriptCallback =
    std::pair<CefRefPtr<CefFrame>, CefRefPtr<CefV8Value>>;

// The entry stored under |callback_id|, or false when there is none. Never
// adds an entry.
bool GetJavascriptCallback(int callback_id, JavascriptCallback* callback);

// Drops every function stored from a frame with |frame|'s identifier.
void RemoveJavascriptCallbacksForFrame(CefRefPtr<CefFrame> frame);

// Calls the function stored under |callback_id| with |args| converted, inside
// its frame's current V8 context. True when the function ran and returned.
bool ExecuteJavascriptCallback(int callback_id, CefRefPtr<CefListValue> args);

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_JAVASCRIPT_CALLBACK_H_
