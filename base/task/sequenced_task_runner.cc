#include "base/task/sequenced_task_runner.h"

#include <utility>

namespace base {

namespace {

thread_local SequencedTaskRunner* g_current_sequenced = nullptr;

}  // namespace

SequencedTaskRunner::CurrentDefaultHandle::CurrentDefaultHandle(
    scoped_refptr<SequencedTaskRunner> task_runner)
    : task_runner_(std::move(task_runner)), previous_(g_current_sequenced) {
  g_current_sequenced = task_runner_.get();
}

SequencedTaskRunner::CurrentDefaultHandle::~CurrentDefaultHandle() {
  g_current_sequenced = previous_;
}

scoped_refptr<SequencedTaskRunner> SequencedTaskRunner::GetCurrentDefault() {
  return scoped_refptr<SequencedTaskRunner>(g_current_sequenced);
}

bool SequencedTaskRunner::HasCurrentDefault() {
  return g_current_sequenced != nullptr;
}

bool SequencedTaskRunner::DeleteOrReleaseSoon(const Location& from_here,
                                              void (*deleter)(const void*),
                                              const void* object) {
  if (!object)
    return false;
  return PostTask(from_here, BindOnce(
                                 [](void (*deleter)(const void*), const void* object) {
                                   deleter(object);
                                 },
                                 deleter, object));
}

}  // namespace base
