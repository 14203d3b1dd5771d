// CefRefPtr and CefRawPtr as CEF 81 defines them.
#ifndef CEF_INCLUDE_INTERNAL_CEF_PTR_H_
#define CEF_INCLUDE_INTERNAL_CEF_PTR_H_

#include "include/base/cef_ref_counted.h"

template <class T>
using CefRawPtr = T*;

// A smart pointer for reference-counted CEF objects. Like CEF 81's, it has
// copy constructors only: moving a CefRefPtr copies it.
template <class T>
class CefRefPtr : public scoped_refptr<T> {
 public:
  typedef scoped_refptr<T> parent;

  CefRefPtr() : parent() {}
  CefRefPtr(T* p) : parent(p) {}
  CefRefPtr(const CefRefPtr<T>& r) : parent(r) {}
  template <typename U>
  CefRefPtr(const CefRefPtr<U>& r) : parent(r) {}
  CefRefPtr<T>& operator=(const CefRefPtr<T>& r) = default;
  using parent::operator=;
};

#endif  // CEF_INCLUDE_INTERNAL_CEF_PTR_H_
