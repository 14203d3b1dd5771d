// The registry of JavaScript functions that page script handed to the host,
// and their execution when the host calls them back by id. The application
// owns one and stores into it for value conversion
// (convert/conversion_hooks.h).
#ifndef QUILLMOSS_APP_JAVASCRIPT_CALLBACK_H_
#define QUILLMOSS_APP_JAVASCRIPT_CALLBACK_H_

#include <cstddef>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "convert/conversion_hooks.h"
#include "include/cef_browser.h"
#include "include/cef_frame.h"
#include "include/cef_v8.h"
#include "include/cef_values.h"

namespace quillmoss {

// The frame of the context the function was stored from, and the function.
using JavascriptCallback =
    std::pair<CefRefPtr<CefFrame>, CefRefPtr<CefV8Value>>;

class JavascriptCallbackRegistry {
 public:
  JavascriptCallbackRegistry();
  JavascriptCallbackRegistry(const JavascriptCallbackRegistry&) = delete;
  JavascriptCallbackRegistry& operator=(const JavascriptCallbackRegistry&) =
      delete;
  ~JavascriptCallbackRegistry();

  // What value conversion asks through its hooks (convert/conversion_hooks.h
  // says what each does); the application forwards them here. Without a
  // name, the descriptor takes CEF's GetFunctionName(), which a callable
  // Proxy crashes.
  CefString StoreJavascriptCallback(CefRefPtr<CefFrame> frame,
                                    CefRefPtr<CefV8Value> function);
  CefString StoreJavascriptCallback(CefRefPtr<CefFrame> frame,
                                    CefRefPtr<CefV8Value> function,
                                    const CefString& name);
  static size_t GetJavascriptCallbackDescriptorLength(
      CefRefPtr<CefV8Value> function);
  static size_t GetJavascriptCallbackDescriptorLength(const CefString& name);

  // The entry stored under |callback_id|, or false when there is none. Never
  // adds an entry.
  bool GetJavascriptCallback(int callback_id,
                             JavascriptCallback* callback) const;

  // Drops every function stored from a frame with |frame|'s identifier.
  void RemoveJavascriptCallbacksForFrame(CefRefPtr<CefFrame> frame);

  // Calls the function stored under |callback_id| with |args| converted
  // through |hooks|, inside its frame's current V8 context, when that frame
  // belongs to |browser|, the one the host's message came through. True when
  // the function ran and returned.
  bool ExecuteJavascriptCallback(ConversionHooks& hooks,
                                 CefRefPtr<CefBrowser> browser,
                                 int callback_id,
                                 CefRefPtr<CefListValue> args);

  // For tests, benchmarks and fuzzers only.
  // Empties the registry and its frame index and sets the last id to 0.
  void ResetJavascriptCallbacksForTesting();
  // Lets tests reach the id counter's wrap-around without two billion stores.
  void SetLastJavascriptCallbackIdForTesting(int id);
  // The last callback id issued; 0 before the first.
  int GetLastJavascriptCallbackIdForTesting() const;
  size_t CountJavascriptCallbacksForTesting() const;
  bool HasJavascriptCallbackForTesting(int callback_id) const;
  // The stored ids, ascending.
  std::vector<int> GetJavascriptCallbackIdsForTesting() const;
  // True when the frame index lists exactly the stored ids, each under the
  // identifier of the frame it was stored with.
  bool IsFrameIndexInStepForTesting() const;

 private:
  int NextJavascriptCallbackId();
  bool IsLiveJavascriptCallbackId(int callback_id) const;

  // The last callback id issued by this registry; 0 before the first.
  int last_javascript_callback_id_ = 0;

  // Callback id -> (frame of the context the function was stored from, the
  // function). An entry is added each time a function crosses to the host
  // and goes when its frame's V8 context is released; calling it keeps it.
  std::map<int, JavascriptCallback> javascript_callbacks_;

  // Frame identifier -> the ids stored from it, ascending. Lets a context
  // release find its frame's entries without visiting every other frame's.
  // Frame identifiers never change, so the one read at store time stays
  // right. Changes only together with |javascript_callbacks_|.
  std::unordered_map<int64, std::set<int>> callback_ids_by_frame_;
};

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_JAVASCRIPT_CALLBACK_H_
