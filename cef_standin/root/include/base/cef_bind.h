// base::Bind for free functions and member functions with bound arguments.
// As in CEF's base library, a raw receiver pointer of a reference-counted
// class is kept alive by the callback (one reference until it is destroyed);
// base::Unretained opts out.
#ifndef CEF_INCLUDE_BASE_CEF_BIND_H_
#define CEF_INCLUDE_BASE_CEF_BIND_H_

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "include/base/cef_callback.h"
#include "include/base/cef_ref_counted.h"

namespace base {
namespace cef_internal {

template <typename T>
class UnretainedWrapper {
 public:
  explicit UnretainedWrapper(T* o) : ptr_(o) {}
  T* get() const { return ptr_; }

 private:
  T* ptr_;
};

// How a bound argument is stored: by value, arrays and functions decayed.
template <typename T>
struct CallbackParamTraits {
  typedef typename std::decay<T>::type StorageType;
};

// What a functor runs as; a method takes its receiver first.
template <typename Functor>
struct FunctorTraits;

template <typename R, typename... A>
struct FunctorTraits<R (*)(A...)> {
  typedef R (*RunnableType)(A...);
  typedef R(RunType)(A...);
};

template <typename R, typename C, typename... A>
struct FunctorTraits<R (C::*)(A...)> {
  typedef R (C::*RunnableType)(A...);
  typedef R(RunType)(C*, A...);
};

template <typename R, typename C, typename... A>
struct FunctorTraits<R (C::*)(A...) const> {
  typedef R (C::*RunnableType)(A...) const;
  typedef R(RunType)(const C*, A...);
};

template <typename T, typename = void>
struct IsRefCounted : std::false_type {};
template <typename T>
struct IsRefCounted<T,
                    decltype(std::declval<const T&>().AddRef(),
                             std::declval<const T&>().Release(),
                             void())> : std::true_type {};

// A method's receiver as the bound state holds it: a raw pointer to a
// reference-counted object keeps it alive, Unretained does not.
template <typename P>
class BoundReceiver;

template <typename T, bool = IsRefCounted<T>::value>
class RawReceiver {
 public:
  explicit RawReceiver(T* p) : ptr_(p) {}
  T* get() const { return ptr_; }

 private:
  T* ptr_;
};

template <typename T>
class RawReceiver<T, true> {
 public:
  explicit RawReceiver(T* p) : ref_(p) {}
  T* get() const { return ref_.get(); }

 private:
  scoped_refptr<T> ref_;
};

template <typename T>
class BoundReceiver<T*> : public RawReceiver<T> {
 public:
  explicit BoundReceiver(T* p) : RawReceiver<T>(p) {}
};

template <typename T>
class BoundReceiver<UnretainedWrapper<T>> {
 public:
  explicit BoundReceiver(const UnretainedWrapper<T>& w) : ptr_(w.get()) {}
  T* get() const { return ptr_; }

 private:
  T* ptr_;
};

template <typename T>
class BoundReceiver<scoped_refptr<T>> {
 public:
  explicit BoundReceiver(const scoped_refptr<T>& r) : ref_(r) {}
  T* get() const { return ref_.get(); }

 private:
  scoped_refptr<T> ref_;
};

// RunType without its first N parameters.
template <size_t N, typename Sig, typename Seq>
struct DropParamsImpl;

template <size_t N, typename R, typename... A, size_t... I>
struct DropParamsImpl<N, R(A...), std::index_sequence<I...>> {
  typedef R(type)(
      typename std::tuple_element<N + I, std::tuple<A...>>::type...);
};

template <size_t N, typename Sig>
struct DropParams;

template <size_t N, typename R, typename... A>
struct DropParams<N, R(A...)>
    : DropParamsImpl<N, R(A...), std::make_index_sequence<sizeof...(A) - N>> {
  static_assert(N <= sizeof...(A), "Bind binds more arguments than it takes");
};

template <bool IsMethod, typename Runnable, typename Sig, typename... Bound>
class BoundCall;

template <typename Runnable, typename R, typename... Unbound, typename... Bound>
class BoundCall<false, Runnable, R(Unbound...), Bound...>
    : public RunnableBindState<R(Unbound...)> {
 public:
  BoundCall(Runnable function, const Bound&... bound)
      : function_(function), bound_(bound...) {}

  R Run(Unbound... args) override {
    return Call(std::index_sequence_for<Bound...>(),
                std::forward<Unbound>(args)...);
  }

 private:
  template <size_t... I>
  R Call(std::index_sequence<I...>, Unbound... args) const {
    return function_(std::get<I>(bound_)..., std::forward<Unbound>(args)...);
  }

  Runnable function_;
  std::tuple<Bound...> bound_;
};

template <typename Runnable,
          typename R,
          typename... Unbound,
          typename Receiver,
          typename... Bound>
class BoundCall<true, Runnable, R(Unbound...), Receiver, Bound...>
    : public RunnableBindState<R(Unbound...)> {
 public:
  BoundCall(Runnable method, const Receiver& receiver, const Bound&... bound)
      : method_(method), receiver_(receiver), bound_(bound...) {}

  R Run(Unbound... args) override {
    return Call(std::index_sequence_for<Bound...>(),
                std::forward<Unbound>(args)...);
  }

 private:
  template <size_t... I>
  R Call(std::index_sequence<I...>, Unbound... args) const {
    return (receiver_.get()->*method_)(std::get<I>(bound_)...,
                                       std::forward<Unbound>(args)...);
  }

  Runnable method_;
  BoundReceiver<Receiver> receiver_;
  std::tuple<Bound...> bound_;
};

template <typename Runnable, typename RunType, typename... Bound>
struct BindState<Runnable, RunType, void(Bound...)>
    : public BoundCall<std::is_member_function_pointer<Runnable>::value,
                       Runnable,
                       typename DropParams<sizeof...(Bound), RunType>::type,
                       Bound...> {
  typedef typename DropParams<sizeof...(Bound), RunType>::type UnboundRunType;

  BindState(Runnable runnable, const Bound&... bound)
      : BindState::BoundCall(runnable, bound...) {}
};

}  // namespace cef_internal

template <typename T>
static inline cef_internal::UnretainedWrapper<T> Unretained(T* o) {
  return cef_internal::UnretainedWrapper<T>(o);
}

template <typename Functor>
base::Callback<typename cef_internal::BindState<
    typename cef_internal::FunctorTraits<Functor>::RunnableType,
    typename cef_internal::FunctorTraits<Functor>::RunType,
    void()>::UnboundRunType>
Bind(Functor functor) {
  typedef cef_internal::BindState<
      typename cef_internal::FunctorTraits<Functor>::RunnableType,
      typename cef_internal::FunctorTraits<Functor>::RunType, void()>
      BindState;
  return Callback<typename BindState::UnboundRunType>(new BindState(functor));
}

template <typename Functor, typename P1>
base::Callback<typename cef_internal::BindState<
    typename cef_internal::FunctorTraits<Functor>::RunnableType,
    typename cef_internal::FunctorTraits<Functor>::RunType,
    void(typename cef_internal::CallbackParamTraits<P1>::StorageType)>::
                   UnboundRunType>
Bind(Functor functor, const P1& p1) {
  typedef cef_internal::BindState<
      typename cef_internal::FunctorTraits<Functor>::RunnableType,
      typename cef_internal::FunctorTraits<Functor>::RunType,
      void(typename cef_internal::CallbackParamTraits<P1>::StorageType)>
      BindState;
  return Callback<typename BindState::UnboundRunType>(
      new BindState(functor, p1));
}

template <typename Functor, typename P1, typename P2>
base::Callback<typename cef_internal::BindState<
    typename cef_internal::FunctorTraits<Functor>::RunnableType,
    typename cef_internal::FunctorTraits<Functor>::RunType,
    void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
         typename cef_internal::CallbackParamTraits<P2>::StorageType)>::
                   UnboundRunType>
Bind(Functor functor, const P1& p1, const P2& p2) {
  typedef cef_internal::BindState<
      typename cef_internal::FunctorTraits<Functor>::RunnableType,
      typename cef_internal::FunctorTraits<Functor>::RunType,
      void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
           typename cef_internal::CallbackParamTraits<P2>::StorageType)>
      BindState;
  return Callback<typename BindState::UnboundRunType>(
      new BindState(functor, p1, p2));
}

template <typename Functor, typename P1, typename P2, typename P3>
base::Callback<typename cef_internal::BindState<
    typename cef_internal::FunctorTraits<Functor>::RunnableType,
    typename cef_internal::FunctorTraits<Functor>::RunType,
    void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
         typename cef_internal::CallbackParamTraits<P2>::StorageType,
         typename cef_internal::CallbackParamTraits<P3>::StorageType)>::
                   UnboundRunType>
Bind(Functor functor, const P1& p1, const P2& p2, const P3& p3) {
  typedef cef_internal::BindState<
      typename cef_internal::FunctorTraits<Functor>::RunnableType,
      typename cef_internal::FunctorTraits<Functor>::RunType,
      void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
           typename cef_internal::CallbackParamTraits<P2>::StorageType,
           typename cef_internal::CallbackParamTraits<P3>::StorageType)>
      BindState;
  return Callback<typename BindState::UnboundRunType>(
      new BindState(functor, p1, p2, p3));
}

template <typename Functor, typename P1, typename P2, typename P3, typename P4>
base::Callback<typename cef_internal::BindState<
    typename cef_internal::FunctorTraits<Functor>::RunnableType,
    typename cef_internal::FunctorTraits<Functor>::RunType,
    void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
         typename cef_internal::CallbackParamTraits<P2>::StorageType,
         typename cef_internal::CallbackParamTraits<P3>::StorageType,
         typename cef_internal::CallbackParamTraits<P4>::StorageType)>::
                   UnboundRunType>
Bind(Functor functor, const P1& p1, const P2& p2, const P3& p3, const P4& p4) {
  typedef cef_internal::BindState<
      typename cef_internal::FunctorTraits<Functor>::RunnableType,
      typename cef_internal::FunctorTraits<Functor>::RunType,
      void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
           typename cef_internal::CallbackParamTraits<P2>::StorageType,
           typename cef_internal::CallbackParamTraits<P3>::StorageType,
           typename cef_internal::CallbackParamTraits<P4>::StorageType)>
      BindState;
  return Callback<typename BindState::UnboundRunType>(
      new BindState(functor, p1, p2, p3, p4));
}

template <typename Functor,
          typename P1,
          typename P2,
          typename P3,
          typename P4,
          typename P5>
base::Callback<typename cef_internal::BindState<
    typename cef_internal::FunctorTraits<Functor>::RunnableType,
    typename cef_internal::FunctorTraits<Functor>::RunType,
    void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
         typename cef_internal::CallbackParamTraits<P2>::StorageType,
         typename cef_internal::CallbackParamTraits<P3>::StorageType,
         typename cef_internal::CallbackParamTraits<P4>::StorageType,
         typename cef_internal::CallbackParamTraits<P5>::StorageType)>::
                   UnboundRunType>
Bind(Functor functor,
     const P1& p1,
     const P2& p2,
     const P3& p3,
     const P4& p4,
     const P5& p5) {
  typedef cef_internal::BindState<
      typename cef_internal::FunctorTraits<Functor>::RunnableType,
      typename cef_internal::FunctorTraits<Functor>::RunType,
      void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
           typename cef_internal::CallbackParamTraits<P2>::StorageType,
           typename cef_internal::CallbackParamTraits<P3>::StorageType,
           typename cef_internal::CallbackParamTraits<P4>::StorageType,
           typename cef_internal::CallbackParamTraits<P5>::StorageType)>
      BindState;
  return Callback<typename BindState::UnboundRunType>(
      new BindState(functor, p1, p2, p3, p4, p5));
}

template <typename Functor,
          typename P1,
          typename P2,
          typename P3,
          typename P4,
          typename P5,
          typename P6>
base::Callback<typename cef_internal::BindState<
    typename cef_internal::FunctorTraits<Functor>::RunnableType,
    typename cef_internal::FunctorTraits<Functor>::RunType,
    void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
         typename cef_internal::CallbackParamTraits<P2>::StorageType,
         typename cef_internal::CallbackParamTraits<P3>::StorageType,
         typename cef_internal::CallbackParamTraits<P4>::StorageType,
         typename cef_internal::CallbackParamTraits<P5>::StorageType,
         typename cef_internal::CallbackParamTraits<P6>::StorageType)>::
                   UnboundRunType>
Bind(Functor functor,
     const P1& p1,
     const P2& p2,
     const P3& p3,
     const P4& p4,
     const P5& p5,
     const P6& p6) {
  typedef cef_internal::BindState<
      typename cef_internal::FunctorTraits<Functor>::RunnableType,
      typename cef_internal::FunctorTraits<Functor>::RunType,
      void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
           typename cef_internal::CallbackParamTraits<P2>::StorageType,
           typename cef_internal::CallbackParamTraits<P3>::StorageType,
           typename cef_internal::CallbackParamTraits<P4>::StorageType,
           typename cef_internal::CallbackParamTraits<P5>::StorageType,
           typename cef_internal::CallbackParamTraits<P6>::StorageType)>
      BindState;
  return Callback<typename BindState::UnboundRunType>(
      new BindState(functor, p1, p2, p3, p4, p5, p6));
}

template <typename Functor,
          typename P1,
          typename P2,
          typename P3,
          typename P4,
          typename P5,
          typename P6,
          typename P7>
base::Callback<typename cef_internal::BindState<
    typename cef_internal::FunctorTraits<Functor>::RunnableType,
    typename cef_internal::FunctorTraits<Functor>::RunType,
    void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
         typename cef_internal::CallbackParamTraits<P2>::StorageType,
         typename cef_internal::CallbackParamTraits<P3>::StorageType,
         typename cef_internal::CallbackParamTraits<P4>::StorageType,
         typename cef_internal::CallbackParamTraits<P5>::StorageType,
         typename cef_internal::CallbackParamTraits<P6>::StorageType,
         typename cef_internal::CallbackParamTraits<P7>::StorageType)>::
                   UnboundRunType>
Bind(Functor functor,
     const P1& p1,
     const P2& p2,
     const P3& p3,
     const P4& p4,
     const P5& p5,
     const P6& p6,
     const P7& p7) {
  typedef cef_internal::BindState<
      typename cef_internal::FunctorTraits<Functor>::RunnableType,
      typename cef_internal::FunctorTraits<Functor>::RunType,
      void(typename cef_internal::CallbackParamTraits<P1>::StorageType,
           typename cef_internal::CallbackParamTraits<P2>::StorageType,
           typename cef_internal::CallbackParamTraits<P3>::StorageType,
           typename cef_internal::CallbackParamTraits<P4>::StorageType,
           typename cef_internal::CallbackParamTraits<P5>::StorageType,
           typename cef_internal::CallbackParamTraits<P6>::StorageType,
           typename cef_internal::CallbackParamTraits<P7>::StorageType)>
      BindState;
  return Callback<typename BindState::UnboundRunType>(
      new BindState(functor, p1, p2, p3, p4, p5, p6, p7));
}

}  // namespace base

#endif  // CEF_INCLUDE_BASE_CEF_BIND_H_
