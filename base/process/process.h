// base::Process owns a handle to a process (this one or another) and waits for
// it, ends it and reads its exit code. Move-only; the handle is closed on
// destruction. The handle of the current process is a pseudo handle that is
// never closed. Waits take milliseconds; INFINITE waits without limit.

#ifndef BASE_PROCESS_PROCESS_H_
#define BASE_PROCESS_PROCESS_H_

#include <windows.h>

#include <cstdint>

#include "base/process/process_handle.h"
#include "base/win/scoped_handle.h"

namespace base {

class Process {
 public:
  // Takes ownership of |handle| (may be null: then IsValid() is false).
  explicit Process(ProcessHandle handle = kNullProcessHandle);
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  // This process.
  static Process Current();
  // Another process with the rights needed to wait, query and terminate
  // (SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE).
  // Invalid when it cannot be opened.
  static Process Open(ProcessId pid);
  // As Open with the given access mask.
  static Process OpenWithAccess(ProcessId pid, DWORD desired_access);

  bool IsValid() const;
  bool is_current() const { return is_current_process_; }
  ProcessHandle Handle() const;
  // A second owner of the same process (DuplicateHandle), invalid on failure.
  Process Duplicate() const;
  // The process id, 0 when invalid.
  ProcessId Pid() const;
  // Closes the handle (the process itself keeps running).
  void Close();
  // True while the process has not ended.
  bool IsRunning() const;

  // Ends the process with |exit_code|. With |wait|, returns only once it has
  // ended (up to 60 s). True when it was ended (or had already ended).
  bool Terminate(int exit_code, bool wait) const;
  // Waits until the process ends; |exit_code| (optional) receives its code.
  bool WaitForExit(int* exit_code) const;
  // As WaitForExit but gives up after |timeout_ms| milliseconds (false then).
  bool WaitForExitWithTimeout(DWORD timeout_ms, int* exit_code) const;

 private:
  win::ScopedHandle process_;
  bool is_current_process_ = false;
};

}  // namespace base

#endif  // BASE_PROCESS_PROCESS_H_
