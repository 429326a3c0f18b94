// Runs the current thread's MessageLoop until told to stop. A RunLoop runs
// once; nest them by making a new one inside a task.
//
// Quit ends Run after the current task, leaving pending tasks queued.
// QuitWhenIdle ends Run once no immediate task is pending and no delayed task
// is due. Both may be called before Run (Run then returns at once, after idle
// work for QuitWhenIdle) and from any thread (they are then posted to the
// loop's thread). Quitting an outer loop while an inner one runs takes effect
// when the inner one returns.
//
// QuitClosure and QuitWhenIdleClosure may be run on any thread, at any time,
// also after this RunLoop has been destroyed (they then do nothing).
//
// A RunLoop given a MessagePumpDispatcher shows it every window message when
// the loop is a TYPE_UI loop.

#ifndef BASE_RUN_LOOP_H_
#define BASE_RUN_LOOP_H_

#include "base/functional/callback.h"
#include "base/memory/weak_ptr.h"
#include "base/task/single_thread_task_runner.h"

namespace base {

class MessageLoop;
class MessagePumpDispatcher;

class RunLoop {
 public:
  RunLoop();
  explicit RunLoop(MessagePumpDispatcher* dispatcher);
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;
  ~RunLoop();

  void Run();
  // Runs until idle: QuitWhenIdle then Run.
  void RunUntilIdle();
  bool running() const { return running_; }

  void Quit();
  void QuitWhenIdle();
  RepeatingClosure QuitClosure();
  RepeatingClosure QuitWhenIdleClosure();

  // True when a RunLoop is running on this thread.
  static bool IsRunningOnCurrentThread();
  // True when more than one RunLoop is running on this thread.
  static bool IsNestedOnCurrentThread();

 private:
  friend class MessageLoop;

  // Runs Quit or QuitWhenIdle on the loop's thread, posting there if needed.
  static void QuitOnOrigin(scoped_refptr<SingleThreadTaskRunner> origin, WeakPtr<RunLoop> run_loop,
                           bool when_idle);
  bool BeforeRun();
  void AfterRun();

  MessageLoop* loop_;
  scoped_refptr<SingleThreadTaskRunner> origin_task_runner_;
  MessagePumpDispatcher* dispatcher_;
  RunLoop* previous_run_loop_ = nullptr;
  int run_depth_ = 0;
  bool run_called_ = false;
  bool running_ = false;
  bool quit_called_ = false;
  bool quit_when_idle_received_ = false;
  WeakPtrFactory<RunLoop> weak_factory_{this};
  // Made at construction so other threads can copy it.
  const WeakPtr<RunLoop> weak_this_;
};

}  // namespace base

#endif  // BASE_RUN_LOOP_H_
