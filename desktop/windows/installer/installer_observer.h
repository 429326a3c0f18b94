// InstallerObserver: the events of one installation run, in the order the
// installer raises them. The back end turns each call (except
// OnInstallerTerminated) into one mailslot message; the front ends implement
// it to move their progress and show the outcome. Every operation is called on
// the thread that owns the observer. OnError or OnSuccess ends a run;
// OnInstallerTerminated is raised by the front end itself when the back-end
// process has ended, and never travels over the mailslot.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_OBSERVER_H_

#include <string>

namespace installer {

class InstallerObserver {
 public:
  virtual ~InstallerObserver() = default;

  // The install folder exists: from here on the run changes the machine.
  virtual void OnImportantEvent() = 0;
  // A new installer process takes over the run (|process_id| is its id).
  virtual void OnStartingNewMainProcess(int process_id) = 0;
  // That process has ended and the previous one carries on.
  virtual void OnReturnedToPreviousMainProcess() = 0;
  // The number of progress steps the run will report with OnStep.
  virtual void OnTotalSteps(int total_steps) = 0;
  virtual void OnStep() = 0;
  // Copying |file| failed for now and will be tried again.
  virtual void OnFileCopyRetry(const std::string& file) = 0;
  // The run failed: |error_code| is the error category, |detail| its UTF-16
  // detail (a folder or file for some categories) and |message| a diagnostic.
  virtual void OnError(int error_code, const std::wstring& detail, const std::string& message) = 0;
  virtual void OnSuccess() = 0;
  // The back-end process has ended; |success| is its result.
  virtual void OnInstallerTerminated(bool success) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_OBSERVER_H_
