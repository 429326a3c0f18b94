// StartupJob keeps a child that is being started from outliving its launcher.
//
// Windows creates every new process suspended and lets it run only at the end
// of CreateProcessW. A launcher that ends in between (killed, or its session
// ending) leaves a child that never runs and never ends, holding whatever it
// inherited. A child created in a startup job (LaunchOptions::startup_job)
// belongs to a job that ends its processes when its one handle is closed:
// when this process ends, or when the StartupJob is destroyed. Once the child
// runs, LetGo lets it live on alone; what it starts from then on is created
// outside the job.
//
// Creating a process in a job needs Windows 10 (PROC_THREAD_ATTRIBUTE_JOB_LIST);
// before, LaunchProcess starts the child without one.

#ifndef BASE_PROCESS_STARTUP_JOB_H_
#define BASE_PROCESS_STARTUP_JOB_H_

#include <windows.h>

#include "base/win/scoped_handle.h"

namespace base {

class StartupJob {
 public:
  StartupJob();
  StartupJob(const StartupJob&) = delete;
  StartupJob& operator=(const StartupJob&) = delete;
  // Ends the job's child unless it was let go.
  ~StartupJob();

  // The job to create the child in, made on the first call; null when it
  // cannot be made, or once the child was let go.
  HANDLE Get();
  // The child runs: it is no longer ended with the job's handle.
  void LetGo();

 private:
  win::ScopedHandle job_;
  bool let_go_ = false;
};

}  // namespace base

#endif  // BASE_PROCESS_STARTUP_JOB_H_
