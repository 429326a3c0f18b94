#include "desktop/windows/installer/cleanup_batch_launch.h"

#include <string>

#include "base/base_paths.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/launch.h"

namespace installer {

base::Process StartCleanupBatchFile(const base::FilePath& folder) {
  base::FilePath system;
  if (!base::PathService::Get(base::DIR_SYSTEM, &system)) {
    LOG(ERROR) << "No system folder to start the clean-up batch file from";
    return base::Process();
  }
  // The command processor by its full path: the current folder below is the
  // install folder, where a program of that name must not be picked up.
  // "/d" leaves out the AutoRun commands, which could change the current
  // folder; "/v:off" keeps "!" in names plain text.
  const std::wstring command_line = L"\"" + system.Append(L"cmd.exe").value() +
                                    L"\" /d /v:off /c .\\" + kCleanupBatchFileName;
  base::LaunchOptions options;
  options.start_hidden = true;
  options.current_directory = folder;
  return base::LaunchProcess(command_line, options);
}

}  // namespace installer
