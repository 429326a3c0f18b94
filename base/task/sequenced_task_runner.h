// A TaskRunner whose tasks run one at a time, in posting order: an immediate
// task runs after every immediate task posted before it; delayed tasks run no
// earlier than their delay, and tasks due at the same time run in posting
// order. Every task of the sequence sees the effects of the ones before.
//
// GetCurrentDefault returns the runner of the sequence the caller is running
// on (a message loop's thread or a pool sequence), HasCurrentDefault tells
// whether there is one. Whoever runs a sequence installs itself for the
// duration with a CurrentDefaultHandle.

#ifndef BASE_TASK_SEQUENCED_TASK_RUNNER_H_
#define BASE_TASK_SEQUENCED_TASK_RUNNER_H_

#include "base/task/task_runner.h"

namespace base {

class SequencedTaskRunner : public TaskRunner {
 public:
  // Installs |task_runner| as the current default of this thread while in
  // scope; handles nest and restore the previous default.
  class CurrentDefaultHandle {
   public:
    explicit CurrentDefaultHandle(scoped_refptr<SequencedTaskRunner> task_runner);
    CurrentDefaultHandle(const CurrentDefaultHandle&) = delete;
    CurrentDefaultHandle& operator=(const CurrentDefaultHandle&) = delete;
    ~CurrentDefaultHandle();

   private:
    scoped_refptr<SequencedTaskRunner> task_runner_;
    SequencedTaskRunner* previous_;
  };

  // The current sequence's runner, null when there is none.
  static scoped_refptr<SequencedTaskRunner> GetCurrentDefault();
  static bool HasCurrentDefault();

  // Deletes |object| on this sequence, later. When the task is dropped the
  // object leaks rather than being deleted on the wrong sequence.
  template <class T>
  bool DeleteSoon(const Location& from_here, const T* object) {
    return DeleteOrReleaseSoon(from_here, [](const void* p) { delete static_cast<const T*>(p); },
                               object);
  }
  template <class T>
  bool DeleteSoon(const Location& from_here, std::unique_ptr<T> object) {
    return DeleteSoon(from_here, object.release());
  }
  // Drops the reference on this sequence, later (same leak rule as DeleteSoon).
  template <class T>
  bool ReleaseSoon(const Location& from_here, scoped_refptr<T>&& object) {
    if (!object)
      return false;
    return DeleteOrReleaseSoon(from_here, [](const void* p) { static_cast<const T*>(p)->Release(); },
                               object.release());
  }

 protected:
  SequencedTaskRunner() = default;
  ~SequencedTaskRunner() override = default;

 private:
  bool DeleteOrReleaseSoon(const Location& from_here, void (*deleter)(const void*),
                           const void* object);
};

}  // namespace base

#endif  // BASE_TASK_SEQUENCED_TASK_RUNNER_H_
