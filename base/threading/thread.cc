#include "base/threading/thread.h"

#include <memory>

#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/message_loop/message_loop_for_io.h"
#include "base/run_loop.h"
#include "base/synchronization/waitable_event.h"

namespace base {

Thread::Thread(const std::string& name) : name_(name) {}

Thread::~Thread() {
  Stop();
}

bool Thread::Start() {
  return StartWithOptions(Options());
}

bool Thread::StartWithOptions(const Options& options) {
  if (thread_.IsValid()) {
    LOG(ERROR) << "Thread " << name_ << " is already running";
    return false;
  }
  options_ = options;
  stopping_ = false;
  WaitableEvent started;
  start_event_ = &started;
  DWORD thread_id = 0;
  thread_.Set(CreateThread(nullptr, options_.stack_size, &Thread::ThreadMain, this,
                           options_.stack_size ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0,
                           &thread_id));
  if (!thread_.IsValid()) {
    PLOG(ERROR) << "Cannot create thread " << name_;
    start_event_ = nullptr;
    return false;
  }
  thread_id_ = thread_id;
  started.Wait();
  start_event_ = nullptr;
  return true;
}

bool Thread::WaitUntilThreadStarted() const {
  return thread_.IsValid();
}

void Thread::Stop() {
  if (!thread_.IsValid())
    return;
  DCHECK_NE(GetCurrentThreadId(), thread_id_) << "A thread cannot join itself";
  StopSoon();
  WaitForSingleObject(thread_.Get(), INFINITE);
  thread_.Close();
  thread_id_ = kInvalidThreadId;
}

void Thread::StopSoon() {
  if (stopping_ || !thread_.IsValid())
    return;
  stopping_ = true;
  // A loop that already ended by itself (a UI loop that received WM_QUIT)
  // has no runner left, or refuses the task: nothing is left to stop then.
  scoped_refptr<SingleThreadTaskRunner> runner = task_runner();
  if (!runner)
    return;
  // The thread object outlives the loop: Stop joins before it returns.
  runner->PostTask(FROM_HERE, BindOnce(
                                  [](Thread* thread) {
                                    if (thread->run_loop_)
                                      thread->run_loop_->QuitWhenIdle();
                                  },
                                  Unretained(this)));
}

bool Thread::IsRunning() const {
  return thread_.IsValid() && !stopping_ && task_runner();
}

scoped_refptr<SingleThreadTaskRunner> Thread::task_runner() const {
  AutoLock lock(lock_);
  return task_runner_;
}

// static
DWORD WINAPI Thread::ThreadMain(void* param) {
  static_cast<Thread*>(param)->Run();
  return 0;
}

void Thread::Run() {
  PlatformThread::SetName(name_);
  std::unique_ptr<MessageLoop> loop;
  if (options_.message_loop_type == MessageLoop::TYPE_IO)
    loop = std::make_unique<MessageLoopForIO>();
  else
    loop = std::make_unique<MessageLoop>(options_.message_loop_type);
  message_loop_ = loop.get();
  {
    AutoLock lock(lock_);
    task_runner_ = loop->task_runner();
  }
  Init();
  RunLoop run_loop;
  run_loop_ = &run_loop;
  start_event_->Signal();
  run_loop.Run();
  run_loop_ = nullptr;
  CleanUp();
  {
    AutoLock lock(lock_);
    task_runner_ = nullptr;
  }
  message_loop_ = nullptr;
  loop.reset();
}

}  // namespace base
