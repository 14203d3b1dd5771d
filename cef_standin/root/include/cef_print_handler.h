#ifndef CEF_INCLUDE_CEF_PRINT_HANDLER_H_
#define CEF_INCLUDE_CEF_PRINT_HANDLER_H_

#include "include/cef_base.h"

// Printing on Linux; the browser process asks the application for it.
/*--cef(source=client)--*/
class CefPrintHandler : public virtual CefBaseRefCounted {
 public:
  virtual void OnPrintStart(CefRefPtr<class CefBrowser> browser) = 0;
};

#endif  // CEF_INCLUDE_CEF_PRINT_HANDLER_H_
