#ifndef CEF_INCLUDE_CEF_RESOURCE_BUNDLE_HANDLER_H_
#define CEF_INCLUDE_CEF_RESOURCE_BUNDLE_HANDLER_H_

#include "include/cef_base.h"

/*--cef(source=client)--*/
class CefResourceBundleHandler : public virtual CefBaseRefCounted {
 public:
  virtual bool GetLocalizedString(int string_id, CefString& string) = 0;
  virtual bool GetDataResource(int resource_id,
                               void*& data,
                               size_t& data_size) = 0;
};

#endif  // CEF_INCLUDE_CEF_RESOURCE_BUNDLE_HANDLER_H_
