// CefBaseRefCounted, CefBaseScoped and IMPLEMENT_REFCOUNTING.
#ifndef CEF_INCLUDE_CEF_BASE_H_
#define CEF_INCLUDE_CEF_BASE_H_

#include "include/base/cef_atomic_ref_count.h"
#include "include/base/cef_basictypes.h"
#include "include/base/cef_macros.h"
#include "include/internal/cef_ptr.h"
#include "include/internal/cef_string.h"
#include "include/internal/cef_types.h"
#include "include/internal/cef_types_wrappers.h"

// All reference-counted framework classes must extend this class.
class CefBaseRefCounted {
 public:
  virtual void AddRef() const = 0;
  // Returns true if the reference count is 0 after this call.
  virtual bool Release() const = 0;
  virtual bool HasOneRef() const = 0;
  virtual bool HasAtLeastOneRef() const = 0;

 protected:
  virtual ~CefBaseRefCounted() {}
};

// All scoped framework classes must extend this class.
class CefBaseScoped {
 public:
  virtual ~CefBaseScoped() {}
};

// Class that implements atomic reference counting.
class CefRefCount {
 public:
  CefRefCount() : ref_count_(0) {}

  void AddRef() const { base::AtomicRefCountInc(&ref_count_); }
  bool Release() const { return !base::AtomicRefCountDec(&ref_count_); }
  bool HasOneRef() const { return base::AtomicRefCountIsOne(&ref_count_); }
  bool HasAtLeastOneRef() const {
    return !base::AtomicRefCountIsZero(&ref_count_);
  }

 private:
  mutable base::AtomicRefCount ref_count_;
  DISALLOW_COPY_AND_ASSIGN(CefRefCount);
};

// Implements the CefBaseRefCounted methods in a class; leaves the class in
// private: and is followed by a semicolon.
#define IMPLEMENT_REFCOUNTING(ClassName)                             \
 public:                                                             \
  void AddRef() const override { ref_count_.AddRef(); }              \
  bool Release() const override {                                    \
    if (ref_count_.Release()) {                                      \
      delete static_cast<const ClassName*>(this);                    \
      return true;                                                   \
    }                                                                \
    return false;                                                    \
  }                                                                  \
  bool HasOneRef() const override { return ref_count_.HasOneRef(); } \
  bool HasAtLeastOneRef() const override {                           \
    return ref_count_.HasAtLeastOneRef();                            \
  }                                                                  \
                                                                     \
 private:                                                            \
  CefRefCount ref_count_

#endif  // CEF_INCLUDE_CEF_BASE_H_
