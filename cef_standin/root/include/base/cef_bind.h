// base::Bind for free functions and member functions with bound arguments.
// As in CEF's base library, a raw receiver pointer of a reference-counted
// class is kept alive by the callback (one reference until it is destroyed);
// base::Unretained opts out.
#ifndef CEF_INCLUDE_BASE_CEF_BIND_H_
#define CEF_INCLUDE_BASE_CEF_BIND_H_

#include <tuple>
#include <type_traits>
#include <utility>

#include "include/base/cef_callback.h"
#include "include/base/cef_ref_counted.h"

namespace base {

template <typename T>
class UnretainedWrapper {
 public:
  explicit UnretainedWrapper(T* o) : ptr_(o) {}
  T* get() const { return ptr_; }

 private:
  T* ptr_;
};

template <typename T>
inline UnretainedWrapper<T> Unretained(T* o) {
  return UnretainedWrapper<T>(o);
}

namespace cef_internal {

template <typename T, typename = void>
struct IsRefCounted : std::false_type {};
template <typename T>
struct IsRefCounted<T,
                    decltype(std::declval<const T&>().AddRef(),
                             std::declval<const T&>().Release(),
                             void())> : std::true_type {};

// How a receiver is held by the bound state.
template <typename T, bool = IsRefCounted<T>::value>
struct ReceiverStorage {
  explicit ReceiverStorage(T* p) : ptr(p) {}
  T* get() const { return ptr; }
  T* ptr;
};
template <typename T>
struct ReceiverStorage<T, true> {
  explicit ReceiverStorage(T* p) : ref(p) {}
  T* get() const { return ref.get(); }
  scoped_refptr<T> ref;
};

template <typename P>
struct ReceiverOf {
  typedef P type;
};

template <typename T>
T* UnwrapReceiver(T* p) {
  return p;
}
template <typename T>
T* UnwrapReceiver(const UnretainedWrapper<T>& w) {
  return w.get();
}
template <typename T>
T* UnwrapReceiver(const scoped_refptr<T>& r) {
  return r.get();
}

template <typename T>
struct StoredReceiver {
  typedef ReceiverStorage<T> type;
};

template <typename Class, typename Receiver>
auto StoreReceiver(const Receiver& receiver) {
  return ReceiverStorage<Class>(UnwrapReceiver(receiver));
}
template <typename Class, typename T>
auto StoreReceiver(const UnretainedWrapper<T>& receiver) {
  return ReceiverStorage<Class, false>(receiver.get());
}

}  // namespace cef_internal

// Free function.
template <typename R, typename... Params, typename... BoundArgs>
Callback<R()> Bind(R (*function)(Params...), BoundArgs... args) {
  static_assert(sizeof...(Params) == sizeof...(BoundArgs),
                "Bind binds every parameter");
  std::tuple<typename std::decay<BoundArgs>::type...> bound(args...);
  return Callback<R()>([function, bound]() {
    return std::apply(function, bound);
  });
}

// Member function, with a receiver and every argument bound.
template <typename R,
          typename Class,
          typename... Params,
          typename Receiver,
          typename... BoundArgs>
Callback<R()> Bind(R (Class::*method)(Params...),
                   const Receiver& receiver,
                   BoundArgs... args) {
  static_assert(sizeof...(Params) == sizeof...(BoundArgs),
                "Bind binds every parameter");
  auto stored = cef_internal::StoreReceiver<Class>(receiver);
  std::tuple<typename std::decay<BoundArgs>::type...> bound(args...);
  return Callback<R()>([method, stored, bound]() {
    return std::apply(
        [&](const auto&... a) { return (stored.get()->*method)(a...); },
        bound);
  });
}

template <typename R,
          typename Class,
          typename... Params,
          typename Receiver,
          typename... BoundArgs>
Callback<R()> Bind(R (Class::*method)(Params...) const,
                   const Receiver& receiver,
                   BoundArgs... args) {
  static_assert(sizeof...(Params) == sizeof...(BoundArgs),
                "Bind binds every parameter");
  auto stored = cef_internal::StoreReceiver<Class>(receiver);
  std::tuple<typename std::decay<BoundArgs>::type...> bound(args...);
  return Callback<R()>([method, stored, bound]() {
    return std::apply(
        [&](const auto&... a) { return (stored.get()->*method)(a...); },
        bound);
  });
}

}  // namespace base

#endif  // CEF_INCLUDE_BASE_CEF_BIND_H_
