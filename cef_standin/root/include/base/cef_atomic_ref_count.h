// The atomic counter behind IMPLEMENT_REFCOUNTING: a plain 32-bit integer,
// as in CEF, updated with the compiler's atomic builtins.
#ifndef CEF_INCLUDE_BASE_CEF_ATOMIC_REF_COUNT_H_
#define CEF_INCLUDE_BASE_CEF_ATOMIC_REF_COUNT_H_

#include <stdint.h>

namespace base {

namespace subtle {
typedef int32_t Atomic32;
}  // namespace subtle

typedef subtle::Atomic32 AtomicRefCount;

inline void AtomicRefCountInc(volatile AtomicRefCount* ptr) {
  __atomic_fetch_add(ptr, 1, __ATOMIC_RELAXED);
}

// Returns false when the count reached zero.
inline bool AtomicRefCountDec(volatile AtomicRefCount* ptr) {
  return __atomic_sub_fetch(ptr, 1, __ATOMIC_ACQ_REL) != 0;
}

inline bool AtomicRefCountIsOne(volatile AtomicRefCount* ptr) {
  return __atomic_load_n(ptr, __ATOMIC_ACQUIRE) == 1;
}

inline bool AtomicRefCountIsZero(volatile AtomicRefCount* ptr) {
  return __atomic_load_n(ptr, __ATOMIC_ACQUIRE) == 0;
}

}  // namespace base

#endif  // CEF_INCLUDE_BASE_CEF_ATOMIC_REF_COUNT_H_
