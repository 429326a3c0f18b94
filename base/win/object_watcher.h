// Watches a kernel object (event, process, thread...) and tells a delegate
// when it is signaled, on the sequence that started the watch. A wait-thread
// callback (RegisterWaitForSingleObject) posts the notification to the
// starting sequence's task runner, so the starting thread must run a loop.
//
// StartWatchingOnce delivers one notification and ends the watch before the
// delegate runs; StartWatchingMultipleTimes keeps watching after each one (an
// object that stays signaled, such as a manual-reset event, notifies over and
// over). StopWatching (also called by the destructor) cancels the watch and
// any notification already posted but not yet delivered. Start and stop on the
// same sequence.

#ifndef BASE_WIN_OBJECT_WATCHER_H_
#define BASE_WIN_OBJECT_WATCHER_H_

#include <windows.h>

#include "base/functional/callback.h"
#include "base/memory/weak_ptr.h"
#include "base/task/sequenced_task_runner.h"

namespace base::win {

class ObjectWatcher {
 public:
  class Delegate {
   public:
    virtual ~Delegate() = default;
    virtual void OnObjectSignaled(HANDLE object) = 0;
  };

  ObjectWatcher();
  ObjectWatcher(const ObjectWatcher&) = delete;
  ObjectWatcher& operator=(const ObjectWatcher&) = delete;
  ~ObjectWatcher();

  // False (and logged) when already watching, without a current sequenced
  // task runner, or when the system refuses the wait.
  bool StartWatchingOnce(HANDLE object, Delegate* delegate);
  bool StartWatchingMultipleTimes(HANDLE object, Delegate* delegate);
  // False when nothing was being watched.
  bool StopWatching();
  bool IsWatching() const;
  // The watched object, null when not watching.
  HANDLE GetWatchedObject() const;

 private:
  static void CALLBACK DoneWaiting(void* param, BOOLEAN timed_out);
  bool StartWatchingInternal(HANDLE object, Delegate* delegate, bool execute_only_once);
  void Signal(Delegate* delegate);
  void Reset();

  HANDLE object_ = nullptr;
  HANDLE wait_object_ = nullptr;
  bool run_once_ = true;
  scoped_refptr<SequencedTaskRunner> task_runner_;
  // Posted by the wait thread; bound to a weak pointer so StopWatching
  // cancels a notification on its way.
  RepeatingClosure callback_;
  WeakPtrFactory<ObjectWatcher> weak_factory_{this};
};

}  // namespace base::win

#endif  // BASE_WIN_OBJECT_WATCHER_H_
