#include "desktop/windows/installer/steps/copy_pref_overrides_step.h"

#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "desktop/windows/installer/installer_step_host.h"

namespace installer {

namespace {
constexpr char kPrefOverridesFileName[] = "pref_default_overrides";
}  // namespace

CopyPrefOverridesStep::CopyPrefOverridesStep(InstallerStepHost* host)
    : CopyFileStep(host, kPrefOverridesFileName) {}

bool CopyPrefOverridesStep::IsRequired() {
  return false;
}

bool CopyPrefOverridesStep::ShouldSkip(const base::FilePath& source) {
  std::string contents;
  if (!base::PathExists(source) || !base::ReadFileToString(source, &contents))
    return true;
  return !base::JSONReader::Read(contents).has_value();
}

base::FilePath CopyPrefOverridesStep::GetDestinationFolder() {
  return host_->GetInstallFolder();
}

}  // namespace installer
