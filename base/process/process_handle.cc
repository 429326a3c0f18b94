#include "base/process/process_handle.h"

#include <tlhelp32.h>

#include "base/win/scoped_handle.h"

namespace base {

ProcessId GetCurrentProcId() {
  return ::GetCurrentProcessId();
}

ProcessHandle GetCurrentProcessHandle() {
  return ::GetCurrentProcess();
}

ProcessId GetProcId(ProcessHandle process) {
  return process ? ::GetProcessId(process) : kNullProcessId;
}

ProcessId GetParentProcessId(ProcessId process_id) {
  win::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid())
    return kNullProcessId;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == process_id)
      return entry.th32ParentProcessID;
  }
  return kNullProcessId;
}

}  // namespace base
