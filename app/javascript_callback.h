// The registry of JavaScript functions that page script handed to the host,
// and their execution when the host calls them back by id.
#ifndef QUILLMOSS_APP_JAVASCRIPT_CALLBACK_H_
#define QUILLMOSS_APP_JAVASCRIPT_CALLBACK_H_

#include <map>
#include <utility>

#include "include/cef_frame.h"
#include "include/cef_v8.h"
#include "include/cef_values.h"

using JavascriptCallback =
    std::pair<CefRefPtr<CefFrame>, CefRefPtr<CefV8Value>>;

// The last callback id issued in this process; 0 before the first.
extern int g_lastJavascriptCallbackId;

// Callback id -> (frame of the context the function was stored from, the
// function). An entry is added each time a function crosses to the host and
// goes when its frame's V8 context is released; calling it keeps it.
extern std::map<int, JavascriptCallback> g_javascriptCallbacks;

// Keeps |function| under a new id and returns its callback descriptor.
CefString StoreJavascriptCallback(CefRefPtr<CefFrame> frame,
                                  CefRefPtr<CefV8Value> function);

// The entry stored under |callbackId|, or false when there is none.
bool GetJavascriptCallback(int callbackId, JavascriptCallback* callback);

// Drops every function stored from a frame with |frame|'s identifier.
void RemoveJavascriptCallbacksForFrame(CefRefPtr<CefFrame> frame);

// Calls the function stored under |callbackId| with |args| converted, inside
// its frame's current V8 context. True when the function ran and returned.
bool ExecuteJavascriptCallback(int callbackId, CefRefPtr<CefListValue> args);

// Lets tests reach the id counter's wrap-around without two billion stores.
void SetLastJavascriptCallbackIdForTesting(int id);
// Empties the registry and its frame index (tests only).
void ResetJavascriptCallbacksForTesting();

#endif  // QUILLMOSS_APP_JAVASCRIPT_CALLBACK_H_
