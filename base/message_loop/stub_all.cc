// Temporary stubs so that the headers link; replaced by the real units.
#include "base/message_loop/message_loop.h"
#include "base/message_loop/message_loop_for_io.h"
#include "base/message_loop/message_pump_default.h"
#include "base/message_loop/message_pump_for_io.h"
#include "base/message_loop/message_pump_for_ui.h"
#include "base/run_loop.h"
#include "base/task/cancelable_task_tracker.h"
#include "base/threading/sequenced_worker_pool.h"
#include "base/threading/thread.h"
#include "base/win/object_watcher.h"

#include "base/at_exit.h"
#include "base/functional/callback_helpers.h"
#include "base/lazy_instance.h"
#include "base/observer_list.h"
#include "base/synchronization/condition_variable.h"
#include "base/time/default_clock.h"
#include "base/time/default_tick_clock.h"

namespace base {
namespace internal {
class MessageLoopTaskRunner : public SingleThreadTaskRunner {
 public:
  bool PostDelayedTask(const Location&, OnceClosure, TimeDelta) override { return false; }
  bool RunsTasksInCurrentSequence() const override { return false; }
};
}  // namespace internal
void MessagePump::Quit() {}
MessageLoop::MessageLoop(Type type) : type_(type) {}
MessageLoop::~MessageLoop() = default;
MessageLoop* MessageLoop::current() { return nullptr; }
bool MessageLoop::IsNested() const { return false; }
bool MessageLoop::LaterTask::operator()(const PendingTask&, const PendingTask&) const { return false; }
bool MessageLoop::DoWork() { return false; }
bool MessageLoop::DoDelayedWork(TimeTicks*) { return false; }
bool MessageLoop::DoIdleWork() { return false; }
MessageLoopForIO::MessageLoopForIO() : MessageLoop(TYPE_IO) {}
MessageLoopForIO* MessageLoopForIO::current() { return nullptr; }
bool MessageLoopForIO::RegisterIOHandler(HANDLE, IOHandler*) { return false; }
RunLoop::RunLoop() : RunLoop(nullptr) {}
RunLoop::RunLoop(MessagePumpDispatcher* d) : loop_(nullptr), dispatcher_(d) {}
RunLoop::~RunLoop() = default;
void RunLoop::Run() {}
void RunLoop::RunUntilIdle() {}
void RunLoop::Quit() {}
void RunLoop::QuitWhenIdle() {}
RepeatingClosure RunLoop::QuitClosure() { return {}; }
RepeatingClosure RunLoop::QuitWhenIdleClosure() { return {}; }
bool RunLoop::IsRunningOnCurrentThread() { return false; }
bool RunLoop::IsNestedOnCurrentThread() { return false; }
class CancelableTaskTracker::CancellationFlag : public RefCountedThreadSafe<CancellationFlag> {};
CancelableTaskTracker::CancelableTaskTracker() = default;
CancelableTaskTracker::~CancelableTaskTracker() = default;
CancelableTaskTracker::TaskId CancelableTaskTracker::PostTask(TaskRunner*, const Location&, OnceClosure) { return 0; }
CancelableTaskTracker::TaskId CancelableTaskTracker::PostTaskAndReply(TaskRunner*, const Location&, OnceClosure, OnceClosure) { return 0; }
void CancelableTaskTracker::TryCancel(TaskId) {}
void CancelableTaskTracker::TryCancelAll() {}
bool CancelableTaskTracker::HasTrackedTasks() const { return false; }
class SequencedWorkerPool::Inner : public RefCountedThreadSafe<Inner> {};
SequencedWorkerPool::SequencedWorkerPool(size_t, const std::string&) {}
SequencedWorkerPool::~SequencedWorkerPool() = default;
SequencedWorkerPool::SequenceToken SequencedWorkerPool::GetSequenceToken() { return {}; }
SequencedWorkerPool::SequenceToken SequencedWorkerPool::GetNamedSequenceToken(const std::string&) { return {}; }
scoped_refptr<SequencedTaskRunner> SequencedWorkerPool::GetSequencedTaskRunner(SequenceToken) { return nullptr; }
scoped_refptr<SequencedTaskRunner> SequencedWorkerPool::GetSequencedTaskRunnerWithShutdownBehavior(SequenceToken, WorkerShutdown) { return nullptr; }
bool SequencedWorkerPool::PostWorkerTask(const Location&, OnceClosure) { return false; }
bool SequencedWorkerPool::PostWorkerTaskWithShutdownBehavior(const Location&, OnceClosure, WorkerShutdown) { return false; }
bool SequencedWorkerPool::PostSequencedWorkerTask(SequenceToken, const Location&, OnceClosure) { return false; }
bool SequencedWorkerPool::PostSequencedWorkerTaskWithShutdownBehavior(SequenceToken, const Location&, OnceClosure, WorkerShutdown) { return false; }
bool SequencedWorkerPool::PostDelayedTask(const Location&, OnceClosure, TimeDelta) { return false; }
bool SequencedWorkerPool::RunsTasksInCurrentSequence() const { return false; }
bool SequencedWorkerPool::IsRunningSequenceOnCurrentThread(SequenceToken) const { return false; }
void SequencedWorkerPool::Shutdown() {}
bool SequencedWorkerPool::IsShutdownInProgress() const { return false; }
Thread::Thread(const std::string& name) : name_(name) {}
Thread::~Thread() = default;
bool Thread::Start() { return false; }
bool Thread::StartWithOptions(const Options&) { return false; }
bool Thread::WaitUntilThreadStarted() const { return false; }
void Thread::Stop() {}
void Thread::StopSoon() {}
bool Thread::IsRunning() const { return false; }
scoped_refptr<SingleThreadTaskRunner> Thread::task_runner() const { return nullptr; }
namespace win {
ObjectWatcher::ObjectWatcher() = default;
ObjectWatcher::~ObjectWatcher() = default;
bool ObjectWatcher::StartWatchingOnce(HANDLE, Delegate*) { return false; }
bool ObjectWatcher::StartWatchingMultipleTimes(HANDLE, Delegate*) { return false; }
bool ObjectWatcher::StopWatching() { return false; }
bool ObjectWatcher::IsWatching() const { return false; }
HANDLE ObjectWatcher::GetWatchedObject() const { return nullptr; }
}  // namespace win
}  // namespace base
