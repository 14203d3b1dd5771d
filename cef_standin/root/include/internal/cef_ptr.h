// CefRefPtr and CefRawPtr as CEF 81 defines them.
#ifndef CEF_INCLUDE_INTERNAL_CEF_PTR_H_
#define CEF_INCLUDE_INTERNAL_CEF_PTR_H_

#include "include/base/cef_ref_counted.h"

template <class T>
using CefRawPtr = T*;

// A smart pointer for reference-counted CEF objects: scoped_refptr itself, so
// like CEF 81's it has copy constructors only (moving a CefRefPtr copies it)
// and no operator*.
template <class T>
using CefRefPtr = scoped_refptr<T>;

#endif  // CEF_INCLUDE_INTERNAL_CEF_PTR_H_
