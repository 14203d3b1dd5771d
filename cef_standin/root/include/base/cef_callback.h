// base::Callback: a copyable bound call. Copies share the bound state. Only
// the arity the system uses (every argument bound) is provided.
#ifndef CEF_INCLUDE_BASE_CEF_CALLBACK_H_
#define CEF_INCLUDE_BASE_CEF_CALLBACK_H_

#include <memory>
#include <type_traits>

#include "include/base/cef_callback_forward.h"

namespace base {
namespace cef_internal {

// The bound state a callback shares with its copies.
class BindStateBase {
 public:
  virtual ~BindStateBase() {}
};

// Bound state callable with the arguments left unbound.
template <typename Sig>
class RunnableBindState;

template <typename R, typename... Args>
class RunnableBindState<R(Args...)> : public BindStateBase {
 public:
  virtual R Run(Args... args) = 0;
};

class CallbackBase {
 public:
  bool is_null() const { return !bind_state_; }
  void Reset() { bind_state_.reset(); }

 protected:
  explicit CallbackBase(BindStateBase* bind_state) : bind_state_(bind_state) {}
  bool Equals(const CallbackBase& other) const {
    return bind_state_ == other.bind_state_;
  }

  std::shared_ptr<BindStateBase> bind_state_;
};

template <typename Runnable, typename RunType, typename BoundArgsType>
struct BindState;

}  // namespace cef_internal

template <typename R>
class Callback<R(void)> : public cef_internal::CallbackBase {
 public:
  typedef R(RunType)();

  Callback() : CallbackBase(nullptr) {}

  template <typename Runnable, typename BindRunType, typename BoundArgsType>
  Callback(
      cef_internal::BindState<Runnable, BindRunType, BoundArgsType>* bind_state)
      : CallbackBase(bind_state) {
    static_assert(
        std::is_base_of<cef_internal::RunnableBindState<R()>,
                        cef_internal::BindState<Runnable, BindRunType,
                                                BoundArgsType>>::value,
        "the bound state leaves arguments unbound");
  }

  bool Equals(const Callback& other) const {
    return CallbackBase::Equals(other);
  }

  R Run() const {
    return static_cast<cef_internal::RunnableBindState<R()>*>(bind_state_.get())
        ->Run();
  }
};

}  // namespace base

#endif  // CEF_INCLUDE_BASE_CEF_CALLBACK_H_
