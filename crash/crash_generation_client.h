// The client end of a crash reporter's pipe (see crash_pipe_protocol.h): it
// registers the process's crash slots once and, when the process crashes,
// fills them and asks the reporter for a dump.

#ifndef CRASH_CRASH_GENERATION_CLIENT_H_
#define CRASH_CRASH_GENERATION_CLIENT_H_

#include <windows.h>

#include <string>

#include "base/win/scoped_handle.h"
#include "crash/crash_pipe_protocol.h"

namespace crash {

class CrashGenerationClient {
 public:
  // |custom_info| must outlive the client; its entries are read at dump time.
  CrashGenerationClient(std::wstring pipe_name, const CustomClientInfo* custom_info);
  CrashGenerationClient(const CrashGenerationClient&) = delete;
  CrashGenerationClient& operator=(const CrashGenerationClient&) = delete;
  ~CrashGenerationClient();

  // Connects to the pipe and registers; false when no reporter answers.
  bool Register();
  bool IsRegistered() const { return registered_; }
  // The reporter's process id, once registered.
  DWORD server_process_id() const { return server_process_id_; }

  // Asks the reporter to dump this process for |exception_pointers| raised on
  // |thread_id| (|assertion| may be null). Blocks until the reporter answers,
  // at most |timeout_ms|. True when a dump was written.
  bool RequestDump(EXCEPTION_POINTERS* exception_pointers, DWORD thread_id,
                   const AssertionInfo* assertion, DWORD timeout_ms);

 private:
  // One message out and one back, each bounded by |timeout_ms|.
  bool Transact(const PipeMessage& request, PipeMessage* reply, DWORD timeout_ms);

  const std::wstring pipe_name_;
  const CustomClientInfo* const custom_info_;
  base::win::ScopedHandle pipe_;
  base::win::ScopedHandle io_event_;
  bool registered_ = false;
  DWORD server_process_id_ = 0;

  // The slots the reporter reads (their addresses are registered).
  DWORD thread_id_ = 0;
  EXCEPTION_POINTERS* exception_pointers_ = nullptr;
  AssertionInfo assertion_info_ = {};
};

}  // namespace crash

#endif  // CRASH_CRASH_GENERATION_CLIENT_H_
