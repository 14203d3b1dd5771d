// C++ wrappers around CEF's plain structures.
#ifndef CEF_INCLUDE_INTERNAL_CEF_TYPES_WRAPPERS_H_
#define CEF_INCLUDE_INTERNAL_CEF_TYPES_WRAPPERS_H_

#include "include/internal/cef_string.h"
#include "include/internal/cef_types.h"

typedef cef_process_id_t CefProcessId;
typedef cef_thread_id_t CefThreadId;
typedef cef_value_type_t CefValueType;

template <class traits>
class CefStructBase : public traits::struct_type {
 public:
  typedef typename traits::struct_type struct_type;

  CefStructBase() : attached_to_(nullptr) { Init(); }
  virtual ~CefStructBase() {
    if (!attached_to_)
      traits::clear(this);
  }
  CefStructBase(const CefStructBase& r) {
    Init();
    *this = r;
  }
  CefStructBase(const struct_type& r) {
    Init();
    *this = r;
  }
  CefStructBase& operator=(const CefStructBase& r) {
    return CefStructBase<traits>::operator=(static_cast<const struct_type&>(r));
  }
  CefStructBase& operator=(const struct_type& s) {
    traits::set(&s, this, true);
    return *this;
  }

 protected:
  void Init() {
    memset(static_cast<struct_type*>(this), 0, sizeof(struct_type));
    attached_to_ = nullptr;
    traits::init(this);
  }

  struct_type* attached_to_;
};

struct CefTimeTraits {
  typedef cef_time_t struct_type;
  static inline void init(struct_type* s) {}
  static inline void clear(struct_type* s) {}
  static inline void set(const struct_type* src,
                         struct_type* target,
                         bool copy) {
    *target = *src;
  }
};

// A point in time, broken down as CEF's date values carry it.
class CefTime : public CefStructBase<CefTimeTraits> {
 public:
  typedef CefStructBase<CefTimeTraits> parent;
  CefTime() : parent() {}
  CefTime(const cef_time_t& r) : parent(r) {}
};

#if defined(_WIN32)
#include "include/internal/cef_win.h"
#else
#include "include/internal/cef_linux.h"
#endif

#endif  // CEF_INCLUDE_INTERNAL_CEF_TYPES_WRAPPERS_H_
