// base::BindOnce / base::BindRepeating: make a callback from a callable and
// some leading arguments; the remaining arguments are given to Run.
//
//   base::BindOnce(&Free, 1)                      free function, partial application
//   base::BindOnce([](int a, int b) {...}, 1)     lambda (captures may be move-only)
//   base::BindOnce(&Foo::Bar, base::Unretained(foo))  raw receiver, not owned
//   base::BindOnce(&Foo::Bar, scoped_refptr<Foo>)  receiver kept alive by the callback
//   base::BindOnce(&Foo::Bar, weak_foo)           no-op once weak_foo is invalidated
//                                                 (void results only)
//   base::BindOnce(&Take, std::move(unique))      move-only argument, moved into Run
//   base::BindRepeating(&Take, base::Passed(std::move(unique)))  moved out on the
//                                                 first Run; a second Run is fatal
//   base::BindOnce(&Foo::Bar, base::Owned(new Foo))  receiver deleted with the callback
//
// Bound arguments are stored by value (decayed). A OnceCallback moves them into
// the call; a RepeatingCallback passes them as lvalues.

#ifndef BASE_FUNCTIONAL_BIND_H_
#define BASE_FUNCTIONAL_BIND_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

#include "base/functional/callback.h"
#include "base/logging.h"
#include "base/memory/weak_ptr.h"

namespace base {

namespace internal {

template <typename T>
class UnretainedWrapper {
 public:
  explicit UnretainedWrapper(T* ptr) : ptr_(ptr) {}
  T* get() const { return ptr_; }

 private:
  T* ptr_;
};

template <typename T>
class OwnedWrapper {
 public:
  explicit OwnedWrapper(T* ptr) : ptr_(ptr) {}
  T* get() const { return ptr_.get(); }

 private:
  std::shared_ptr<T> ptr_;
};

// Copying moves the value along, so that a repeating callback can carry a
// move-only value until its first Run takes it.
template <typename T>
class PassedWrapper {
 public:
  explicit PassedWrapper(T&& scoper) : valid_(true), scoper_(std::move(scoper)) {}
  PassedWrapper(const PassedWrapper& other)
      : valid_(std::exchange(other.valid_, false)), scoper_(std::move(other.scoper_)) {}
  PassedWrapper(PassedWrapper&& other) noexcept
      : valid_(std::exchange(other.valid_, false)), scoper_(std::move(other.scoper_)) {}
  T Take() const {
    CHECK(valid_) << "A base::Passed value was already taken";
    valid_ = false;
    return std::move(scoper_);
  }

 private:
  mutable bool valid_;
  mutable T scoper_;
};

template <typename T>
struct Unwrapper {
  template <typename U>
  static U&& Do(U&& value) {
    return std::forward<U>(value);
  }
};
template <typename T>
struct Unwrapper<UnretainedWrapper<T>> {
  static T* Do(const UnretainedWrapper<T>& w) { return w.get(); }
};
template <typename T>
struct Unwrapper<OwnedWrapper<T>> {
  static T* Do(const OwnedWrapper<T>& w) { return w.get(); }
};
template <typename T>
struct Unwrapper<PassedWrapper<T>> {
  static T Do(const PassedWrapper<T>& w) { return w.Take(); }
};

template <typename U>
decltype(auto) Unwrap(U&& value) {
  return Unwrapper<std::decay_t<U>>::Do(std::forward<U>(value));
}

template <typename T>
struct IsWeakPtr : std::false_type {};
template <typename T>
struct IsWeakPtr<WeakPtr<T>> : std::true_type {};

template <typename T>
struct IsOnceCallback : std::false_type {};
template <typename S>
struct IsOnceCallback<OnceCallback<S>> : std::true_type {};
template <typename T>
struct IsRepeatingCallback : std::false_type {};
template <typename S>
struct IsRepeatingCallback<RepeatingCallback<S>> : std::true_type {};

// RunType: the full signature of a callable; is_method: a member function
// pointer, whose receiver is the first parameter.
template <typename F, typename = void>
struct FunctorTraits;

template <typename R, typename... P>
struct FunctorTraits<R (*)(P...)> {
  using RunType = R(P...);
  static constexpr bool is_method = false;
};
template <typename R, typename... P>
struct FunctorTraits<R (*)(P...) noexcept> : FunctorTraits<R (*)(P...)> {};
template <typename R, typename C, typename... P>
struct FunctorTraits<R (C::*)(P...)> {
  using RunType = R(C*, P...);
  static constexpr bool is_method = true;
};
template <typename R, typename C, typename... P>
struct FunctorTraits<R (C::*)(P...) const> {
  using RunType = R(const C*, P...);
  static constexpr bool is_method = true;
};
template <typename R, typename C, typename... P>
struct FunctorTraits<R (C::*)(P...) noexcept> : FunctorTraits<R (C::*)(P...)> {};
template <typename R, typename C, typename... P>
struct FunctorTraits<R (C::*)(P...) const noexcept> : FunctorTraits<R (C::*)(P...) const> {};
template <typename S>
struct FunctorTraits<OnceCallback<S>> {
  using RunType = S;
  static constexpr bool is_method = false;
};
template <typename S>
struct FunctorTraits<RepeatingCallback<S>> {
  using RunType = S;
  static constexpr bool is_method = false;
};

template <typename M>
struct CallOperatorTraits;
template <typename R, typename C, typename... P>
struct CallOperatorTraits<R (C::*)(P...)> {
  using RunType = R(P...);
};
template <typename R, typename C, typename... P>
struct CallOperatorTraits<R (C::*)(P...) const> {
  using RunType = R(P...);
};
template <typename R, typename C, typename... P>
struct CallOperatorTraits<R (C::*)(P...) noexcept> {
  using RunType = R(P...);
};
template <typename R, typename C, typename... P>
struct CallOperatorTraits<R (C::*)(P...) const noexcept> {
  using RunType = R(P...);
};
// Lambdas and other function objects with one non-template operator().
template <typename F>
struct FunctorTraits<F, std::void_t<decltype(&F::operator())>> {
  using RunType = typename CallOperatorTraits<decltype(&F::operator())>::RunType;
  static constexpr bool is_method = false;
};

// Drops the first N parameters of a signature.
template <size_t N, typename RunType>
struct DropParams;
template <typename R, typename... P>
struct DropParams<0, R(P...)> {
  using type = R(P...);
};
template <size_t N, typename R, typename First, typename... P>
  requires(N > 0)
struct DropParams<N, R(First, P...)> {
  using type = typename DropParams<N - 1, R(P...)>::type;
};

template <typename F, typename... A>
decltype(auto) InvokeFunctor(F&& functor, A&&... args) {
  using Functor = std::decay_t<F>;
  if constexpr (IsOnceCallback<Functor>::value) {
    static_assert(std::is_rvalue_reference_v<F&&>, "a bound OnceCallback runs only once");
    return std::move(functor).Run(std::forward<A>(args)...);
  } else if constexpr (IsRepeatingCallback<Functor>::value) {
    return functor.Run(std::forward<A>(args)...);
  } else {
    return std::invoke(std::forward<F>(functor), std::forward<A>(args)...);
  }
}

template <bool kOnce, typename Functor, typename UnboundRunType, typename... Bound>
class BindState;

template <bool kOnce, typename Functor, typename R, typename... Args, typename... Bound>
class BindState<kOnce, Functor, R(Args...), Bound...> final : public BindStateBase<R, Args...> {
 public:
  template <typename F, typename... B>
  explicit BindState(F&& functor, B&&... bound)
      : functor_(std::forward<F>(functor)), bound_(std::forward<B>(bound)...) {}

  R Run(Args... args) override {
    return RunImpl(std::index_sequence_for<Bound...>(), std::forward<Args>(args)...);
  }

  bool IsCancelled() const override {
    if constexpr (kWeakReceiver)
      return !std::get<0>(bound_);
    else
      return false;
  }

 private:
  static constexpr bool FirstIsWeak() {
    if constexpr (sizeof...(Bound) == 0)
      return false;
    else
      return IsWeakPtr<std::tuple_element_t<0, std::tuple<Bound...>>>::value;
  }
  static constexpr bool kWeakReceiver = FunctorTraits<Functor>::is_method && FirstIsWeak();
  static_assert(!kWeakReceiver || std::is_void_v<R>,
                "a callback with a weak receiver must return void");

  template <size_t... I>
  R RunImpl(std::index_sequence<I...>, Args&&... args) {
    if constexpr (kWeakReceiver) {
      if (!std::get<0>(bound_))
        return;
    }
    if constexpr (kOnce) {
      return InvokeFunctor(std::move(functor_), Unwrap(std::move(std::get<I>(bound_)))...,
                           std::forward<Args>(args)...);
    } else {
      return InvokeFunctor(functor_, Unwrap(std::get<I>(bound_))..., std::forward<Args>(args)...);
    }
  }

  Functor functor_;
  std::tuple<Bound...> bound_;
};

template <typename F, typename... B>
using UnboundRunType =
    typename DropParams<sizeof...(B), typename FunctorTraits<std::decay_t<F>>::RunType>::type;

}  // namespace internal

template <typename F, typename... B>
OnceCallback<internal::UnboundRunType<F, B...>> BindOnce(F&& functor, B&&... bound) {
  using State = internal::BindState<true, std::decay_t<F>, internal::UnboundRunType<F, B...>,
                                    std::decay_t<B>...>;
  return OnceCallback<internal::UnboundRunType<F, B...>>(
      std::make_shared<State>(std::forward<F>(functor), std::forward<B>(bound)...));
}

template <typename F, typename... B>
RepeatingCallback<internal::UnboundRunType<F, B...>> BindRepeating(F&& functor, B&&... bound) {
  static_assert(!internal::IsOnceCallback<std::decay_t<F>>::value,
                "a OnceCallback cannot back a RepeatingCallback");
  using State = internal::BindState<false, std::decay_t<F>, internal::UnboundRunType<F, B...>,
                                    std::decay_t<B>...>;
  return RepeatingCallback<internal::UnboundRunType<F, B...>>(
      std::make_shared<State>(std::forward<F>(functor), std::forward<B>(bound)...));
}

// A receiver or argument the callback neither owns nor keeps alive.
template <typename T>
internal::UnretainedWrapper<T> Unretained(T* ptr) {
  return internal::UnretainedWrapper<T>(ptr);
}

// An object owned by the callback and deleted with its bound state.
template <typename T>
internal::OwnedWrapper<T> Owned(T* ptr) {
  return internal::OwnedWrapper<T>(ptr);
}
template <typename T>
internal::OwnedWrapper<T> Owned(std::unique_ptr<T>&& ptr) {
  return internal::OwnedWrapper<T>(ptr.release());
}

// A move-only value handed to the call by move (needed for BindRepeating;
// BindOnce also takes plain std::move).
template <typename T>
internal::PassedWrapper<T> Passed(T&& scoper) {
  static_assert(!std::is_lvalue_reference_v<T>, "base::Passed takes an rvalue");
  return internal::PassedWrapper<T>(std::move(scoper));
}
template <typename T>
internal::PassedWrapper<T> Passed(T* scoper) {
  return internal::PassedWrapper<T>(std::move(*scoper));
}

}  // namespace base

#endif  // BASE_FUNCTIONAL_BIND_H_
