// CopyTrackingDataStep: copies the package file named by the switch
// server-tracking-data into the install folder as "server_tracking_data".
// Optional: a missing source is skipped, a failed copy is left out.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_TRACKING_DATA_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_TRACKING_DATA_STEP_H_

#include <string>

#include "desktop/windows/installer/steps/copy_file_step.h"

namespace installer {

class CopyTrackingDataStep : public CopyFileStep {
 public:
  explicit CopyTrackingDataStep(InstallerStepHost* host);

 protected:
  bool IsRequired() override;
  bool ShouldSkip(const base::FilePath& source) override;
  std::string GetName() override;
  base::FilePath GetDestinationFolder() override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_COPY_TRACKING_DATA_STEP_H_
