#ifndef CEF_INCLUDE_CEF_SCHEME_H_
#define CEF_INCLUDE_CEF_SCHEME_H_

#include "include/cef_base.h"

// Registers custom schemes; only valid inside OnRegisterCustomSchemes.
/*--cef(source=library)--*/
class CefSchemeRegistrar : public CefBaseScoped {
 public:
  virtual bool AddCustomScheme(const CefString& scheme_name, int options) = 0;
};

#endif  // CEF_INCLUDE_CEF_SCHEME_H_
