#include "base/task/single_thread_task_runner.h"

#include <utility>

namespace base {

namespace {

thread_local SingleThreadTaskRunner* g_current_single_thread = nullptr;

}  // namespace

SingleThreadTaskRunner::CurrentDefaultHandle::CurrentDefaultHandle(
    scoped_refptr<SingleThreadTaskRunner> task_runner)
    : task_runner_(std::move(task_runner)),
      previous_(g_current_single_thread),
      sequenced_handle_(task_runner_) {
  g_current_single_thread = task_runner_.get();
}

SingleThreadTaskRunner::CurrentDefaultHandle::~CurrentDefaultHandle() {
  g_current_single_thread = previous_;
}

scoped_refptr<SingleThreadTaskRunner> SingleThreadTaskRunner::GetCurrentDefault() {
  return scoped_refptr<SingleThreadTaskRunner>(g_current_single_thread);
}

bool SingleThreadTaskRunner::HasCurrentDefault() {
  return g_current_single_thread != nullptr;
}

}  // namespace base
