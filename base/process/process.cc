#include "base/process/process.h"

#include <utility>

#include "base/logging.h"

namespace base {

namespace {

constexpr DWORD kDefaultAccess = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION |
                                 PROCESS_TERMINATE;
constexpr DWORD kTerminateWaitMs = 60 * 1000;

}  // namespace

Process::Process(ProcessHandle handle) : process_(handle) {}

Process::Process(Process&& other) noexcept
    : process_(std::move(other.process_)),
      is_current_process_(std::exchange(other.is_current_process_, false)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    process_ = std::move(other.process_);
    is_current_process_ = std::exchange(other.is_current_process_, false);
  }
  return *this;
}

Process::~Process() = default;

Process Process::Current() {
  Process process;
  process.is_current_process_ = true;
  return process;
}

Process Process::Open(ProcessId pid) {
  return OpenWithAccess(pid, kDefaultAccess);
}

Process Process::OpenWithAccess(ProcessId pid, DWORD desired_access) {
  if (pid == ::GetCurrentProcessId())
    return Current();
  return Process(::OpenProcess(desired_access, FALSE, pid));
}

bool Process::IsValid() const {
  return is_current_process_ || process_.IsValid();
}

ProcessHandle Process::Handle() const {
  return is_current_process_ ? ::GetCurrentProcess() : process_.Get();
}

Process Process::Duplicate() const {
  if (is_current_process_)
    return Current();
  if (!process_.IsValid())
    return Process();
  HANDLE copy = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), process_.Get(), ::GetCurrentProcess(), &copy, 0,
                         FALSE, DUPLICATE_SAME_ACCESS)) {
    return Process();
  }
  return Process(copy);
}

ProcessId Process::Pid() const {
  if (!IsValid())
    return kNullProcessId;
  return ::GetProcessId(Handle());
}

void Process::Close() {
  is_current_process_ = false;
  process_.Close();
}

bool Process::IsRunning() const {
  if (!IsValid())
    return false;
  return ::WaitForSingleObject(Handle(), 0) == WAIT_TIMEOUT;
}

bool Process::Terminate(int exit_code, bool wait) const {
  if (!IsValid())
    return false;
  if (!::TerminateProcess(Handle(), static_cast<UINT>(exit_code))) {
    DWORD error = ::GetLastError();
    // Access is denied when the process has already ended.
    if (error == ERROR_ACCESS_DENIED && ::WaitForSingleObject(Handle(), 0) == WAIT_OBJECT_0)
      return true;
    LOG(ERROR) << "Cannot terminate process " << Pid() << ": "
               << logging::SystemErrorCodeToString(error);
    return false;
  }
  if (wait && ::WaitForSingleObject(Handle(), kTerminateWaitMs) != WAIT_OBJECT_0) {
    LOG(ERROR) << "Process " << Pid() << " did not end after termination";
    return false;
  }
  return true;
}

bool Process::WaitForExit(int* exit_code) const {
  return WaitForExitWithTimeout(INFINITE, exit_code);
}

bool Process::WaitForExitWithTimeout(DWORD timeout_ms, int* exit_code) const {
  if (!IsValid() || is_current_process_)
    return false;
  if (::WaitForSingleObject(process_.Get(), timeout_ms) != WAIT_OBJECT_0)
    return false;
  DWORD code = 0;
  if (!::GetExitCodeProcess(process_.Get(), &code))
    return false;
  if (exit_code)
    *exit_code = static_cast<int>(code);
  return true;
}

}  // namespace base
