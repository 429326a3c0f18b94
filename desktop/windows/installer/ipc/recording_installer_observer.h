// For tests: an InstallerObserver that writes each call down as one line,
// e.g. "TotalSteps(5)" or "Error(8,C:\x,text)", so a whole sequence of events
// can be compared at once.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_RECORDING_INSTALLER_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_RECORDING_INSTALLER_OBSERVER_H_

#include <string>
#include <vector>

#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_observer.h"

namespace installer {

class RecordingInstallerObserver : public InstallerObserver {
 public:
  void OnImportantEvent() override { calls.push_back("ImportantEvent"); }
  void OnStartingNewMainProcess(int process_id) override {
    calls.push_back("StartingNewMainProcess(" + std::to_string(process_id) + ")");
  }
  void OnReturnedToPreviousMainProcess() override {
    calls.push_back("ReturnedToPreviousMainProcess");
  }
  void OnTotalSteps(int total_steps) override {
    calls.push_back("TotalSteps(" + std::to_string(total_steps) + ")");
  }
  void OnStep() override { calls.push_back("Step"); }
  void OnFileCopyRetry(const std::string& file) override {
    calls.push_back("FileCopyRetry(" + file + ")");
  }
  void OnError(int error_code, const std::wstring& detail, const std::string& message) override {
    calls.push_back("Error(" + std::to_string(error_code) + "," + base::WideToUTF8(detail) + "," +
                    message + ")");
  }
  void OnSuccess() override { calls.push_back("Success"); }
  void OnInstallerTerminated(bool success) override {
    calls.push_back(success ? "Terminated(1)" : "Terminated(0)");
  }

  std::vector<std::string> calls;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_RECORDING_INSTALLER_OBSERVER_H_
