// CefDOMNode, only named by the render-process handler here.
#ifndef CEF_INCLUDE_CEF_DOM_H_
#define CEF_INCLUDE_CEF_DOM_H_

#include "include/cef_base.h"

/*--cef(source=library)--*/
class CefDOMNode : public virtual CefBaseRefCounted {
 public:
  typedef cef_dom_node_type_t Type;

  virtual Type GetType() = 0;
  virtual bool IsText() = 0;
  virtual bool IsElement() = 0;
  virtual CefString GetName() = 0;
  virtual CefString GetValue() = 0;
};

#endif  // CEF_INCLUDE_CEF_DOM_H_
