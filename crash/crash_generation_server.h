// The reporter end of the crash pipe (see crash_pipe_protocol.h).
//
// The pipe admits only local clients of the user that runs the reporter: it
// rejects remote clients, its DACL grants access to that user alone, and it
// keeps the default integrity label, so processes of lower integrity cannot
// write to it. A registering client must be the process at the other end of
// the pipe (GetNamedPipeClientProcessId), so one process cannot have another
// dumped. Each connection is served on its own pipe thread; the dump callback
// runs there.

#ifndef CRASH_CRASH_GENERATION_SERVER_H_
#define CRASH_CRASH_GENERATION_SERVER_H_

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/win/scoped_handle.h"
#include "crash/crash_pipe_protocol.h"

namespace crash {

// A client asking for a dump. The addresses are in the client's memory.
struct ClientInfo {
  DWORD process_id = 0;
  // Opened with query, read and synchronize access; owned by the server.
  HANDLE process = nullptr;
  uint64_t thread_id_address = 0;
  uint64_t exception_pointers_address = 0;
  // 0 when the crash carries no assertion record.
  uint64_t assertion_info_address = 0;
  // The client's crash keys as they stood when it asked.
  std::vector<CustomInfoEntry> custom_info;
};

class CrashGenerationServer {
 public:
  // Returns whether a dump was written.
  using DumpRequestCallback = std::function<bool(const ClientInfo&)>;

  CrashGenerationServer(std::wstring pipe_name, DumpRequestCallback callback);
  CrashGenerationServer(const CrashGenerationServer&) = delete;
  CrashGenerationServer& operator=(const CrashGenerationServer&) = delete;
  ~CrashGenerationServer();

  // Creates the pipe and starts serving; false when the pipe cannot be made
  // (for instance when another server has the name).
  bool Start();
  // Stops serving and waits for every pipe thread. Called by the destructor.
  void Stop();

  // The security descriptor (SDDL) of the pipe: access for |user_sid| alone.
  static std::wstring PipeSecurityDescriptor(const std::wstring& user_sid);
  // The string SID of the user this process runs as; empty on failure.
  static std::wstring CurrentUserSid();

 private:
  HANDLE CreatePipeInstance(bool first);
  void Listen(HANDLE first_pipe);
  void ServeClient(HANDLE pipe);
  // Reads one whole message; false on a broken pipe, a stop or a malformed
  // message.
  bool ReadMessage(HANDLE pipe, HANDLE io_event, PipeMessage* message);
  bool WriteMessage(HANDLE pipe, HANDLE io_event, const PipeMessage& message);
  // Waits for an overlapped operation or the stop event.
  bool WaitForIo(HANDLE pipe, HANDLE io_event, OVERLAPPED* overlapped, DWORD* bytes);
  bool ReadCustomInfo(HANDLE process, uint64_t address, std::vector<CustomInfoEntry>* entries);

  const std::wstring pipe_name_;
  const DumpRequestCallback callback_;
  SECURITY_ATTRIBUTES security_attributes_ = {};
  PSECURITY_DESCRIPTOR security_descriptor_ = nullptr;
  base::win::ScopedHandle stop_event_;
  std::thread listener_;
  std::mutex threads_lock_;
  std::vector<std::thread> client_threads_;
  bool started_ = false;
};

}  // namespace crash

#endif  // CRASH_CRASH_GENERATION_SERVER_H_
