#include "base/run_loop.h"

#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"

namespace base {

RunLoop::RunLoop() : RunLoop(nullptr) {}

RunLoop::RunLoop(MessagePumpDispatcher* dispatcher)
    : loop_(MessageLoop::current()),
      dispatcher_(dispatcher),
      weak_this_(weak_factory_.GetWeakPtr()) {
  CHECK(loop_) << "A RunLoop needs a MessageLoop on its thread";
  origin_task_runner_ = loop_->task_runner();
}

RunLoop::~RunLoop() {
  DCHECK(!running_);
}

void RunLoop::Run() {
  if (!BeforeRun())
    return;
  loop_->pump()->Run(loop_, dispatcher_);
  AfterRun();
}

void RunLoop::RunUntilIdle() {
  quit_when_idle_received_ = true;
  Run();
}

void RunLoop::Quit() {
  if (!origin_task_runner_->RunsTasksInCurrentSequence()) {
    QuitOnOrigin(origin_task_runner_, weak_this_, false);
    return;
  }
  quit_called_ = true;
  if (running_ && loop_->run_loop_ == this)
    loop_->pump()->Quit();
}

void RunLoop::QuitWhenIdle() {
  if (!origin_task_runner_->RunsTasksInCurrentSequence()) {
    QuitOnOrigin(origin_task_runner_, weak_this_, true);
    return;
  }
  quit_when_idle_received_ = true;
}

RepeatingClosure RunLoop::QuitClosure() {
  return BindRepeating(&RunLoop::QuitOnOrigin, origin_task_runner_, weak_this_, false);
}

RepeatingClosure RunLoop::QuitWhenIdleClosure() {
  return BindRepeating(&RunLoop::QuitOnOrigin, origin_task_runner_, weak_this_, true);
}

// static
void RunLoop::QuitOnOrigin(scoped_refptr<SingleThreadTaskRunner> origin,
                           WeakPtr<RunLoop> run_loop, bool when_idle) {
  if (!origin->RunsTasksInCurrentSequence()) {
    // Refused when the loop is gone: nothing left to quit.
    origin->PostTask(FROM_HERE, BindOnce(&RunLoop::QuitOnOrigin, origin, run_loop, when_idle));
    return;
  }
  if (!run_loop)
    return;
  if (when_idle)
    run_loop->QuitWhenIdle();
  else
    run_loop->Quit();
}

bool RunLoop::IsRunningOnCurrentThread() {
  MessageLoop* loop = MessageLoop::current();
  return loop && loop->run_loop_;
}

bool RunLoop::IsNestedOnCurrentThread() {
  MessageLoop* loop = MessageLoop::current();
  return loop && loop->IsNested();
}

bool RunLoop::BeforeRun() {
  CHECK(!run_called_) << "A RunLoop runs only once";
  CHECK_EQ(loop_, MessageLoop::current());
  run_called_ = true;
  if (quit_called_)
    return false;
  previous_run_loop_ = loop_->run_loop_;
  run_depth_ = previous_run_loop_ ? previous_run_loop_->run_depth_ + 1 : 1;
  loop_->run_loop_ = this;
  running_ = true;
  return true;
}

void RunLoop::AfterRun() {
  running_ = false;
  loop_->run_loop_ = previous_run_loop_;
  // An outer loop told to quit while this one ran quits now.
  if (previous_run_loop_ && previous_run_loop_->quit_called_)
    loop_->pump()->Quit();
}

}  // namespace base
