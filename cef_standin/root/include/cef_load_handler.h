#ifndef CEF_INCLUDE_CEF_LOAD_HANDLER_H_
#define CEF_INCLUDE_CEF_LOAD_HANDLER_H_

#include "include/cef_base.h"
#include "include/cef_browser.h"
#include "include/cef_frame.h"

// Browser load status events; every method has a default implementation.
/*--cef(source=client)--*/
class CefLoadHandler : public virtual CefBaseRefCounted {
 public:
  virtual void OnLoadingStateChange(CefRefPtr<CefBrowser> browser,
                                    bool isLoading,
                                    bool canGoBack,
                                    bool canGoForward) {}
};

#endif  // CEF_INCLUDE_CEF_LOAD_HANDLER_H_
