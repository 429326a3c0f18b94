// The waiting half of a message loop. A pump repeatedly asks its Delegate (the
// MessageLoop) for work and, when there is none, sleeps in the way its kind of
// loop needs (an event, the window message queue, an I/O completion port)
// until ScheduleWork, a due delayed task or a native event wakes it.
//
// Run may nest (a task may run another RunLoop); Quit ends the innermost Run
// after the current work item. Only ScheduleWork may be called from other
// threads.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_PUMP_H_
#define BASE_MESSAGE_LOOP_MESSAGE_PUMP_H_

#include "base/time/time.h"

namespace base {

class MessagePumpDispatcher;

class MessagePump {
 public:
  class Delegate {
   public:
    virtual ~Delegate() = default;
    // Runs at most one immediate task; true when one ran.
    virtual bool DoWork() = 0;
    // Runs at most one due delayed task; true when one ran. Sets
    // |*next_delayed_work_time| to when the next one is due (null when none).
    virtual bool DoDelayedWork(TimeTicks* next_delayed_work_time) = 0;
    // Called when nothing is left to do now; true when it found more work.
    virtual bool DoIdleWork() = 0;
  };

  MessagePump() = default;
  MessagePump(const MessagePump&) = delete;
  MessagePump& operator=(const MessagePump&) = delete;
  virtual ~MessagePump() = default;

  // Runs until Quit. |dispatcher| (may be null) is used by the UI pump only.
  // Each pass handles native work (messages, completions), one task, one due
  // delayed task; with nothing done, idle work, then it waits.
  void Run(Delegate* delegate, MessagePumpDispatcher* dispatcher);
  // Ends the innermost Run once the current work item returns.
  void Quit();
  // Wakes the pump to call DoWork. Thread-safe.
  virtual void ScheduleWork() = 0;
  // Tells the pump when the earliest delayed task is due (null: none). Loop
  // thread only; Run calls it after every pass over the delayed tasks.
  virtual void ScheduleDelayedWork(TimeTicks delayed_work_time) {
    delayed_work_time_ = delayed_work_time;
  }

 protected:
  struct RunState {
    Delegate* delegate = nullptr;
    MessagePumpDispatcher* dispatcher = nullptr;
    bool should_quit = false;
    int run_depth = 0;
  };

  // Pushes a run state for one Run call and restores the outer one after.
  class ScopedRunState {
   public:
    ScopedRunState(MessagePump* pump, RunState* state);
    ~ScopedRunState();

   private:
    MessagePump* pump_;
    RunState* previous_;
  };

  // Handles what the pump itself waits for (one window message, one I/O
  // completion); true when something was handled.
  virtual bool DoNativeWork() { return false; }
  // Sleeps until ScheduleWork, native work or the next delayed task is due.
  virtual void WaitForWork() = 0;

  // How long to wait for the next delayed task, in milliseconds, rounded up
  // (INFINITE when there is none).
  unsigned long GetCurrentDelay() const;

  RunState* state_ = nullptr;
  TimeTicks delayed_work_time_;
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_H_
