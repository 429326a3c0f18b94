#include "desktop/windows/installer/steps/check_localization_digests_step.h"

#include <string>

#include "base/base64.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/installer_step_host.h"
#include "desktop/windows/installer/service/contained_path.h"
#include "desktop/windows/installer/steps/file_digest.h"
#include "desktop/windows/installer/steps/localization_digests.h"

namespace installer {

void CheckLocalizationDigestsStep::Run(StepResult* result, int attempt) {
  *result = StepResult(StepResult::CODE_DONE);
  if (!host_->IsMinimalInstall())
    return;
  for (const LocalizationDigest& row : GetLocalizationDigests()) {
    std::string relative;
    base::FilePath file;
    if (!base::Base64Decode(row.path, &relative) ||
        !AppendContainedPath(host_->GetPackageFolder(), base::FilePath::FromUTF8Unsafe(relative).value(),
                             &file)) {
      *result = StepResult(StepResult::CODE_FAILED);
      return;
    }
    if (!base::PathExists(file))
      continue;
    if (!CheckFileDigest(file, row.digest)) {
      LOG(ERROR) << "Localization file differs from the build's: " << relative;
      *result = StepResult(StepResult::CODE_FAILED);
      return;
    }
  }
}

}  // namespace installer
