// The atomic counter behind IMPLEMENT_REFCOUNTING.
#ifndef CEF_INCLUDE_BASE_CEF_ATOMIC_REF_COUNT_H_
#define CEF_INCLUDE_BASE_CEF_ATOMIC_REF_COUNT_H_

#include <atomic>

namespace base {

typedef std::atomic<int> AtomicRefCount;

inline void AtomicRefCountInc(volatile AtomicRefCount* ptr) {
  const_cast<AtomicRefCount*>(ptr)->fetch_add(1, std::memory_order_relaxed);
}

// Returns false when the count reached zero.
inline bool AtomicRefCountDec(volatile AtomicRefCount* ptr) {
  return const_cast<AtomicRefCount*>(ptr)->fetch_sub(
             1, std::memory_order_acq_rel) != 1;
}

inline bool AtomicRefCountIsOne(volatile AtomicRefCount* ptr) {
  return const_cast<AtomicRefCount*>(ptr)->load(std::memory_order_acquire) ==
         1;
}

inline bool AtomicRefCountIsZero(volatile AtomicRefCount* ptr) {
  return const_cast<AtomicRefCount*>(ptr)->load(std::memory_order_acquire) ==
         0;
}

}  // namespace base

#endif  // CEF_INCLUDE_BASE_CEF_ATOMIC_REF_COUNT_H_
