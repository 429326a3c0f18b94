// Starting child processes with CreateProcessW.
//
// LaunchProcess takes a complete command line (program and arguments quoted as
// the child expects; base::CommandLine builds one). Standard handles given in
// the options are inherited by the child; when any is given the others default
// to this process's own. GetAppOutput runs a console program hidden and collects
// everything it writes to its standard output.

#ifndef BASE_PROCESS_LAUNCH_H_
#define BASE_PROCESS_LAUNCH_H_

#include <windows.h>

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/process/process.h"
#include "base/process/startup_job.h"

namespace base {

struct LaunchOptions {
  LaunchOptions();
  LaunchOptions(const LaunchOptions&);
  LaunchOptions& operator=(const LaunchOptions&);
  ~LaunchOptions();

  // Wait for the child to end before returning.
  bool wait = false;
  // Start the child's window hidden (SW_HIDE).
  bool start_hidden = false;
  // Let the child inherit every inheritable handle of this process. Prefer
  // handles_to_inherit, which passes only the listed ones.
  bool inherit_handles = false;
  // Handles (made inheritable by the caller) passed to the child alone, through
  // PROC_THREAD_ATTRIBUTE_HANDLE_LIST. The standard handles below are added.
  std::vector<HANDLE> handles_to_inherit;
  // Standard handles for the child; null keeps the default.
  HANDLE stdin_handle = nullptr;
  HANDLE stdout_handle = nullptr;
  HANDLE stderr_handle = nullptr;
  // The child's current directory; empty keeps this process's.
  FilePath current_directory;
  // Extra CreateProcessW creation flags (e.g. CREATE_NO_WINDOW, CREATE_SUSPENDED).
  DWORD creation_flags = 0;
  // When given, the child is created in this job, so that it ends with this
  // process should this process end before the child runs (see
  // startup_job.h). LaunchProcess lets the child go once it runs; with
  // CREATE_SUSPENDED that is left to the caller.
  StartupJob* startup_job = nullptr;
};

// Starts |command_line|. Returns the child's process (invalid on failure, with
// the reason logged). With options.wait the returned process has already ended.
Process LaunchProcess(const std::wstring& command_line, const LaunchOptions& options);

// Runs |command_line| hidden, waits for it and returns in |output| what it wrote
// to its standard output. True when it could be started and its exit code was 0.
bool GetAppOutput(const std::wstring& command_line, std::string* output);
// As GetAppOutput; true when it could be started and ran to its end whatever
// its exit code, which goes to |exit_code|.
bool GetAppOutputWithExitCode(const std::wstring& command_line, std::string* output,
                              int* exit_code);
// As GetAppOutputWithExitCode for programs that are not ours to trust: keeps at
// most |max_output| bytes of the output (the rest is read and dropped), and
// ends the child when it has not finished within |timeout_ms|. True only when
// it was started and ended by itself in time; its exit code goes to
// |exit_code|.
bool GetAppOutputWithTimeout(const std::wstring& command_line, size_t max_output,
                             DWORD timeout_ms, std::string* output, int* exit_code);

}  // namespace base

#endif  // BASE_PROCESS_LAUNCH_H_
