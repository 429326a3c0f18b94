// Small callback utilities.
//   DoNothing()        converts to any void-returning once or repeating callback.
//   BarrierClosure     runs |done| once it has itself been run |num_closures| times.
//   ScopedClosureRunner runs its closure when it goes out of scope (unless released).

#ifndef BASE_FUNCTIONAL_CALLBACK_HELPERS_H_
#define BASE_FUNCTIONAL_CALLBACK_HELPERS_H_

#include "base/functional/bind.h"
#include "base/functional/callback.h"

namespace base {

class DoNothing {
 public:
  template <typename... Args>
  operator OnceCallback<void(Args...)>() const {
    return Once<Args...>();
  }
  template <typename... Args>
  operator RepeatingCallback<void(Args...)>() const {
    return Repeatedly<Args...>();
  }

  template <typename... Args>
  static OnceCallback<void(Args...)> Once() {
    return BindOnce([](Args...) {});
  }
  template <typename... Args>
  static RepeatingCallback<void(Args...)> Repeatedly() {
    return BindRepeating([](Args...) {});
  }
};

// The returned closure may be run from any thread; |done| runs on the thread
// of the last run. With |num_closures| 0, |done| runs at once.
RepeatingClosure BarrierClosure(int num_closures, OnceClosure done);

class ScopedClosureRunner {
 public:
  ScopedClosureRunner() = default;
  explicit ScopedClosureRunner(OnceClosure closure);
  ScopedClosureRunner(ScopedClosureRunner&& other) noexcept;
  ScopedClosureRunner& operator=(ScopedClosureRunner&& other) noexcept;
  ~ScopedClosureRunner();

  explicit operator bool() const { return !!closure_; }
  // Runs the closure now (if any); the destructor then does nothing.
  void RunAndReset();
  // Replaces the closure; the old one is dropped without running.
  void ReplaceClosure(OnceClosure closure);
  [[nodiscard]] OnceClosure Release();

 private:
  OnceClosure closure_;
};

}  // namespace base

#endif  // BASE_FUNCTIONAL_CALLBACK_HELPERS_H_
