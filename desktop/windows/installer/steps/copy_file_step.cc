#include "desktop/windows/installer/steps/copy_file_step.h"

#include <memory>
#include <utility>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/contained_path.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"

namespace installer {

CopyFileStep::CopyFileStep(InstallerStepHost* host, std::string name)
    : InstallerStep(host), name_(std::move(name)) {}

void CopyFileStep::Run(StepResult* result, int attempt) {
  if (attempt > 0)
    host_->OnFileCopyRetry(kFileCopyRetryText);
  StepResult copy_result = CopyFile();
  if (copy_result.code == StepResult::CODE_DONE)
    OnFileCopied();
  *result = std::move(copy_result);
}

StepResult CopyFileStep::CopyFile() {
  VLOG(1) << "Copying file " << name_;
  base::FilePath source;
  base::FilePath destination;
  // An optional file that was not given (no tracking data) has nothing to copy.
  if (name_.empty() && !IsRequired())
    return StepResult(StepResult::CODE_DONE);
  // A name that could leave the package or the install folder is never used:
  // a required file fails the run, an optional one is left out as a failed
  // optional copy would be.
  if (!AppendContainedPath(host_->GetPackageFolder(), base::UTF8ToWide(name_), &source) ||
      !AppendContainedPath(GetDestinationFolder(), base::UTF8ToWide(GetName()), &destination)) {
    LOG(ERROR) << "Refusing to copy a file outside the installation: " << name_;
    if (!IsRequired())
      return StepResult(StepResult::CODE_DONE);
    return StepResult(StepResult::CODE_FAILED, ERROR_CATEGORY_FILE_COPY,
                      base::UTF8ToWide(name_), "Failed copying " + name_);
  }
  if (ShouldSkip(source))
    return StepResult(StepResult::CODE_DONE);
  if (host_->GetTransaction()->Do(
          std::make_unique<CopyFileOperation>(source.value(), destination.value()))) {
    return StepResult(StepResult::CODE_DONE);
  }
  return StepResult(IsRequired() ? StepResult::CODE_RETRY_THEN_FAIL
                                 : StepResult::CODE_RETRY_THEN_CONTINUE,
                    ERROR_CATEGORY_FILE_COPY, destination.value(), "Failed copying " + name_);
}

}  // namespace installer
