// A thread running a MessageLoop of a chosen type.
//
// Start creates the thread and returns once its loop exists, so task_runner()
// can be used at once (WaitUntilThreadStarted is then immediate). Tasks posted
// before Start fail (there is no runner yet).
//
// Stop asks the loop to quit when idle and joins the thread: every immediate
// task posted before Stop (and those they post) still runs, delayed tasks not
// yet due are dropped. After Stop, posting through a task runner obtained
// earlier returns false. The destructor calls Stop. Stop must not be called on
// the thread itself; StopSoon may be, and only asks the loop to quit. A loop
// may also end by itself (a UI loop receiving WM_QUIT); Stop then only joins.
//
// The thread's name (UTF-8) is set with PlatformThread::SetName.

#ifndef BASE_THREADING_THREAD_H_
#define BASE_THREADING_THREAD_H_

#include <windows.h>

#include <cstddef>
#include <string>

#include "base/message_loop/message_loop.h"
#include "base/synchronization/lock.h"
#include "base/task/single_thread_task_runner.h"
#include "base/threading/platform_thread.h"
#include "base/win/scoped_handle.h"

namespace base {

class RunLoop;
class WaitableEvent;

class Thread {
 public:
  struct Options {
    Options() = default;
    explicit Options(MessageLoop::Type type) : message_loop_type(type) {}
    MessageLoop::Type message_loop_type = MessageLoop::TYPE_DEFAULT;
    // 0: the system default.
    size_t stack_size = 0;
  };

  explicit Thread(const std::string& name);
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  virtual ~Thread();

  // False (and logged) when the thread cannot be created or already runs.
  bool Start();
  bool StartWithOptions(const Options& options);
  // True when the thread has started (Start already waits for that).
  bool WaitUntilThreadStarted() const;

  void Stop();
  void StopSoon();

  // True from Start until Stop or StopSoon, or until the loop ended by itself.
  bool IsRunning() const;
  // Null before Start and after Stop.
  scoped_refptr<SingleThreadTaskRunner> task_runner() const;
  // The thread's loop; only for use on that thread (e.g. MessageLoopForIO
  // registration), valid between Start and Stop.
  MessageLoop* message_loop() const { return message_loop_; }
  const std::string& thread_name() const { return name_; }
  PlatformThreadId GetThreadId() const { return thread_id_; }

 protected:
  // Called on the thread before the loop runs and after it has ended.
  virtual void Init() {}
  virtual void CleanUp() {}

 private:
  static DWORD WINAPI ThreadMain(void* param);
  void Run();

  const std::string name_;
  Options options_;
  win::ScopedHandle thread_;
  WaitableEvent* start_event_ = nullptr;
  PlatformThreadId thread_id_ = kInvalidThreadId;
  // Written by the thread before it signals the start, cleared by Stop.
  MessageLoop* message_loop_ = nullptr;
  RunLoop* run_loop_ = nullptr;
  mutable Lock lock_;  // guards task_runner_
  scoped_refptr<SingleThreadTaskRunner> task_runner_;
  bool stopping_ = false;
};

}  // namespace base

#endif  // BASE_THREADING_THREAD_H_
