// base::Callback: a copyable bound call. Copies share the bound state.
#ifndef CEF_INCLUDE_BASE_CEF_CALLBACK_H_
#define CEF_INCLUDE_BASE_CEF_CALLBACK_H_

#include <functional>
#include <memory>
#include <utility>

#include "include/base/cef_callback_forward.h"

namespace base {

template <typename R, typename... Args>
class Callback<R(Args...)> {
 public:
  typedef R(RunType)(Args...);

  Callback() {}
  explicit Callback(std::function<R(Args...)> bound)
      : bound_(std::make_shared<std::function<R(Args...)>>(std::move(bound))) {
  }

  bool is_null() const { return !bound_ || !*bound_; }
  void Reset() { bound_.reset(); }
  bool Equals(const Callback& other) const { return bound_ == other.bound_; }

  R Run(Args... args) const { return (*bound_)(std::forward<Args>(args)...); }

 private:
  std::shared_ptr<std::function<R(Args...)>> bound_;
};

}  // namespace base

#endif  // CEF_INCLUDE_BASE_CEF_CALLBACK_H_
