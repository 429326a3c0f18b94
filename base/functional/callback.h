// Type-erased callables with bound state.
//
// OnceCallback<R(Args...)> is move-only and is consumed by running it:
//   std::move(cb).Run(args...);
// RepeatingCallback<R(Args...)> is copyable and may run any number of times;
// it converts to a OnceCallback of the same signature. Copies of a
// RepeatingCallback share their bound state.
//
// Callbacks are made with base::BindOnce / base::BindRepeating (bind.h). A
// callback bound to a WeakPtr receiver that has been invalidated does nothing
// when run; IsCancelled() reports that case.
//
// Running a null callback is a fatal error. Bound state is destroyed with the
// last callback holding it (for a OnceCallback: right after Run returns).

#ifndef BASE_FUNCTIONAL_CALLBACK_H_
#define BASE_FUNCTIONAL_CALLBACK_H_

#include <cstddef>
#include <memory>
#include <utility>

#include "base/logging.h"

namespace base {

template <typename Signature>
class OnceCallback;
template <typename Signature>
class RepeatingCallback;

using OnceClosure = OnceCallback<void()>;
using RepeatingClosure = RepeatingCallback<void()>;

namespace internal {

// The erased bound state of one callback signature. A state made for a
// OnceCallback may move its bound arguments out when run.
template <typename R, typename... Args>
class BindStateBase {
 public:
  virtual ~BindStateBase() = default;
  virtual R Run(Args... args) = 0;
  virtual bool IsCancelled() const { return false; }
};

}  // namespace internal

template <typename R, typename... Args>
class OnceCallback<R(Args...)> {
 public:
  using RunType = R(Args...);
  using ResultType = R;
  using State = internal::BindStateBase<R, Args...>;

  OnceCallback() = default;
  OnceCallback(std::nullptr_t) {}
  explicit OnceCallback(std::shared_ptr<State> state) : state_(std::move(state)) {}
  OnceCallback(OnceCallback&&) noexcept = default;
  OnceCallback& operator=(OnceCallback&&) noexcept = default;
  OnceCallback(const OnceCallback&) = delete;
  OnceCallback& operator=(const OnceCallback&) = delete;
  // A repeating callback may be given where a once callback is expected.
  OnceCallback(RepeatingCallback<R(Args...)> other) : state_(std::move(other.state_)) {}
  OnceCallback& operator=(RepeatingCallback<R(Args...)> other) {
    state_ = std::move(other.state_);
    return *this;
  }

  bool is_null() const { return !state_; }
  explicit operator bool() const { return !!state_; }
  void Reset() { state_.reset(); }
  // True when running would do nothing because the receiver is gone.
  bool IsCancelled() const { return state_ && state_->IsCancelled(); }

  R Run(Args... args) && {
    CHECK(state_) << "Running a null OnceCallback";
    std::shared_ptr<State> state = std::move(state_);
    return state->Run(std::forward<Args>(args)...);
  }
  // A OnceCallback must be run as an rvalue: std::move(cb).Run().
  R Run(Args... args) const& = delete;

 private:
  std::shared_ptr<State> state_;
};

template <typename R, typename... Args>
class RepeatingCallback<R(Args...)> {
 public:
  using RunType = R(Args...);
  using ResultType = R;
  using State = internal::BindStateBase<R, Args...>;

  RepeatingCallback() = default;
  RepeatingCallback(std::nullptr_t) {}
  explicit RepeatingCallback(std::shared_ptr<State> state) : state_(std::move(state)) {}

  bool is_null() const { return !state_; }
  explicit operator bool() const { return !!state_; }
  void Reset() { state_.reset(); }
  bool IsCancelled() const { return state_ && state_->IsCancelled(); }

  R Run(Args... args) const& {
    CHECK(state_) << "Running a null RepeatingCallback";
    // Keeps the state alive should the callee reset this callback.
    std::shared_ptr<State> state = state_;
    return state->Run(std::forward<Args>(args)...);
  }
  R Run(Args... args) && {
    CHECK(state_) << "Running a null RepeatingCallback";
    std::shared_ptr<State> state = std::move(state_);
    return state->Run(std::forward<Args>(args)...);
  }

  bool operator==(const RepeatingCallback& other) const { return state_ == other.state_; }

 private:
  friend class OnceCallback<R(Args...)>;
  std::shared_ptr<State> state_;
};

}  // namespace base

#endif  // BASE_FUNCTIONAL_CALLBACK_H_
