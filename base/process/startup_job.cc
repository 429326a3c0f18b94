#include "base/process/startup_job.h"

#include "base/logging.h"

namespace base {

namespace {

bool SetLimits(HANDLE job, DWORD limits) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION information = {};
  information.BasicLimitInformation.LimitFlags = limits;
  return ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &information,
                                   sizeof(information)) != FALSE;
}

}  // namespace

StartupJob::StartupJob() = default;

StartupJob::~StartupJob() = default;

HANDLE StartupJob::Get() {
  if (let_go_)
    return nullptr;
  if (!job_.IsValid()) {
    // Not inheritable: a child holding the handle would keep itself alive.
    job_.Set(::CreateJobObjectW(nullptr, nullptr));
    if (!job_.IsValid() ||
        !SetLimits(job_.Get(),
                   JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK)) {
      PLOG(ERROR) << "Cannot make a startup job";
      job_.Close();
    }
  }
  return job_.Get();
}

void StartupJob::LetGo() {
  let_go_ = true;
  if (!job_.IsValid())
    return;
  // The child stays in the job, which from now on neither ends it nor takes
  // in what it starts.
  if (!SetLimits(job_.Get(), JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK)) {
    // Closing the handle would end the child: it stays open, and the child
    // ends with this process at the latest.
    PLOG(ERROR) << "Cannot let a started child go";
    static_cast<void>(job_.Take());
    return;
  }
  job_.Close();
}

}  // namespace base
