#include "base/functional/callback_helpers.h"

#include <atomic>
#include <memory>
#include <utility>

namespace base {

namespace {

class BarrierInfo {
 public:
  BarrierInfo(int num_callbacks, OnceClosure done)
      : num_callbacks_left_(num_callbacks), done_(std::move(done)) {}

  void Run() {
    DCHECK_GT(num_callbacks_left_.load(), 0);
    if (num_callbacks_left_.fetch_sub(1) == 1)
      std::move(done_).Run();
  }

 private:
  std::atomic<int> num_callbacks_left_;
  OnceClosure done_;
};

}  // namespace

RepeatingClosure BarrierClosure(int num_closures, OnceClosure done) {
  DCHECK_GE(num_closures, 0);
  if (num_closures <= 0) {
    std::move(done).Run();
    return DoNothing();
  }
  return BindRepeating(&BarrierInfo::Run,
                       Owned(std::make_unique<BarrierInfo>(num_closures, std::move(done))));
}

ScopedClosureRunner::ScopedClosureRunner(OnceClosure closure) : closure_(std::move(closure)) {}

ScopedClosureRunner::ScopedClosureRunner(ScopedClosureRunner&& other) noexcept
    : closure_(other.Release()) {}

ScopedClosureRunner& ScopedClosureRunner::operator=(ScopedClosureRunner&& other) noexcept {
  if (this != &other) {
    RunAndReset();
    closure_ = other.Release();
  }
  return *this;
}

ScopedClosureRunner::~ScopedClosureRunner() {
  RunAndReset();
}

void ScopedClosureRunner::RunAndReset() {
  if (closure_)
    std::move(closure_).Run();
}

void ScopedClosureRunner::ReplaceClosure(OnceClosure closure) {
  closure_ = std::move(closure);
}

OnceClosure ScopedClosureRunner::Release() {
  return std::move(closure_);
}

}  // namespace base
