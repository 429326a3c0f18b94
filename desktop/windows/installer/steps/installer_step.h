// InstallerStep: one unit of the work of an install, upgrade, uninstall or
// protocol-handler registration. The installer keeps its steps in a list,
// runs them one at a time as posted tasks on its thread and decides from each
// StepResult whether to go on, run the step again one retry delay later, or
// fail the run (which rolls back every change of the run).
//
// Contract for steps:
// - Every change to files or the registry goes through the host's
//   Transaction, so that a failed or cancelled run takes it back.
// - Run may be called again for the same step (a retry, |attempt| counting
//   up from 0); it starts its work from the beginning and keeps no state
//   between runs beyond what its constructor stored.
// - A step reaches the installer only through its InstallerStepHost, which
//   outlives it.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALLER_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALLER_STEP_H_

#include <cstdint>
#include <string>

namespace installer {

class InstallerStepHost;

// Error categories a run reports with InstallerObserver::OnError.
enum InstallerErrorCategory : uint32_t {
  ERROR_CATEGORY_INSTALLATION = 0,
  ERROR_CATEGORY_UNINSTALLATION = 1,
  ERROR_CATEGORY_INVALID_OPERATION = 2,
  ERROR_CATEGORY_NOT_ALLOWED_IN_AUTOUPDATE = 3,
  ERROR_CATEGORY_FOLDER_NOT_CREATED = 4,
  ERROR_CATEGORY_NO_FOLDER_RIGHTS = 5,
  ERROR_CATEGORY_ELEVATION_FAILED = 6,
  ERROR_CATEGORY_BROWSER_IN_USE = 7,
  ERROR_CATEGORY_FILE_COPY = 8,
  ERROR_CATEGORY_MUTEX_NOT_CREATED = 9,
  ERROR_CATEGORY_MUTEX_HELD = 10,
};

struct StepResult {
  enum Code : uint32_t {
    // Done: go on with the following step.
    CODE_DONE = 0,
    // Failed: the run fails at once.
    CODE_FAILED = 1,
    // Run the step again; fail when the retries are used up.
    CODE_RETRY_THEN_FAIL = 2,
    // Run the step again; go on when the retries are used up.
    CODE_RETRY_THEN_CONTINUE = 3,
  };

  StepResult() = default;
  // A result built from a code alone: category 0 and empty texts.
  explicit StepResult(uint32_t code) : code(code) {}
  StepResult(uint32_t code, uint32_t category, std::wstring detail, std::string message)
      : code(code), category(category), detail(std::move(detail)), message(std::move(message)) {}

  uint32_t code = CODE_DONE;
  // An InstallerErrorCategory; what the front end turns into its message.
  uint32_t category = ERROR_CATEGORY_INSTALLATION;
  // The argument of the front end's message (the destination path for
  // ERROR_CATEGORY_FILE_COPY); empty otherwise.
  std::wstring detail;
  // Diagnostic text, logged and sent with the error.
  std::string message;
};

class InstallerStep {
 public:
  explicit InstallerStep(InstallerStepHost* host) : host_(host) {}
  InstallerStep(const InstallerStep&) = delete;
  InstallerStep& operator=(const InstallerStep&) = delete;
  virtual ~InstallerStep() = default;

  // Does the step's work and fills |result|. |attempt| is 0 for the first run
  // and one more for each retry.
  virtual void Run(StepResult* result, int attempt) = 0;

 protected:
  InstallerStepHost* host() const { return host_; }

  InstallerStepHost* host_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALLER_STEP_H_
