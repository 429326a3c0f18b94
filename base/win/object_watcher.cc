#include "base/win/object_watcher.h"

#include "base/functional/bind.h"
#include "base/location.h"
#include "base/logging.h"

namespace base::win {

ObjectWatcher::ObjectWatcher() = default;

ObjectWatcher::~ObjectWatcher() {
  StopWatching();
}

bool ObjectWatcher::StartWatchingOnce(HANDLE object, Delegate* delegate) {
  return StartWatchingInternal(object, delegate, true);
}

bool ObjectWatcher::StartWatchingMultipleTimes(HANDLE object, Delegate* delegate) {
  return StartWatchingInternal(object, delegate, false);
}

bool ObjectWatcher::StartWatchingInternal(HANDLE object, Delegate* delegate,
                                          bool execute_only_once) {
  if (wait_object_) {
    LOG(ERROR) << "Already watching an object";
    return false;
  }
  task_runner_ = SequencedTaskRunner::GetCurrentDefault();
  if (!task_runner_) {
    LOG(ERROR) << "Watching an object needs a sequence to report to";
    return false;
  }
  run_once_ = execute_only_once;
  callback_ = BindRepeating(&ObjectWatcher::Signal, weak_factory_.GetWeakPtr(), delegate);
  object_ = object;
  ULONG flags = WT_EXECUTEINWAITTHREAD;
  if (run_once_)
    flags |= WT_EXECUTEONLYONCE;
  if (!RegisterWaitForSingleObject(&wait_object_, object, &ObjectWatcher::DoneWaiting, this,
                                   INFINITE, flags)) {
    PLOG(ERROR) << "RegisterWaitForSingleObject failed";
    wait_object_ = nullptr;
    Reset();
    return false;
  }
  return true;
}

bool ObjectWatcher::StopWatching() {
  if (!wait_object_)
    return false;
  // Blocks until a callback in progress has finished posting.
  if (!UnregisterWaitEx(wait_object_, INVALID_HANDLE_VALUE))
    PLOG(ERROR) << "UnregisterWaitEx failed";
  wait_object_ = nullptr;
  Reset();
  return true;
}

bool ObjectWatcher::IsWatching() const {
  return object_ != nullptr;
}

HANDLE ObjectWatcher::GetWatchedObject() const {
  return object_;
}

// static
void CALLBACK ObjectWatcher::DoneWaiting(void* param, BOOLEAN timed_out) {
  // On the system's wait thread: only post. StopWatching waits for this to
  // return before it touches |callback_|.
  auto* self = static_cast<ObjectWatcher*>(param);
  self->task_runner_->PostTask(FROM_HERE, self->callback_);
}

void ObjectWatcher::Signal(Delegate* delegate) {
  HANDLE object = object_;
  if (run_once_)
    StopWatching();
  delegate->OnObjectSignaled(object);
}

void ObjectWatcher::Reset() {
  object_ = nullptr;
  callback_.Reset();
  task_runner_ = nullptr;
  // A notification already posted must not arrive.
  weak_factory_.InvalidateWeakPtrs();
}

}  // namespace base::win
