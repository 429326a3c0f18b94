// The in-process crash handler of a crash client: connected to a crash
// reporter's pipe, it takes every fatal error of the process (crash_hooks.h)
// and has the reporter write a minidump of it. The request to the reporter is
// made from a thread of the handler's own, so that a crash on an exhausted
// stack is still reported. One handler is active in a process at a time.

#ifndef CRASH_EXCEPTION_HANDLER_H_
#define CRASH_EXCEPTION_HANDLER_H_

#include <windows.h>

#include <memory>
#include <string>

#include "base/win/scoped_handle.h"
#include "crash/crash_generation_client.h"
#include "crash/crash_pipe_protocol.h"

namespace crash {

class ExceptionHandler {
 public:
  // Decides, on the crashing thread, whether this crash is dumped. It may
  // also never return (a thread that must not disturb another's dump).
  using FilterCallback = bool (*)(void* context, EXCEPTION_POINTERS* exception_pointers,
                                  const AssertionInfo* assertion);
  // Told after the dump request, with its outcome.
  using MinidumpCallback = bool (*)(void* context, EXCEPTION_POINTERS* exception_pointers,
                                    const AssertionInfo* assertion, bool succeeded);

  // How long a crashing process waits for the reporter's dump.
  static constexpr DWORD kDumpTimeoutMs = 120000;

  // Connects to |pipe_name| at once; IsOutOfProcess() tells whether that
  // worked. The hooks are installed only then. |custom_info| must outlive
  // the handler.
  ExceptionHandler(const std::wstring& pipe_name, FilterCallback filter,
                   MinidumpCallback callback, void* context,
                   const CustomClientInfo* custom_info);
  ExceptionHandler(const ExceptionHandler&) = delete;
  ExceptionHandler& operator=(const ExceptionHandler&) = delete;
  ~ExceptionHandler();

  // Whether the handler reached a reporter and handles crashes.
  bool IsOutOfProcess() const { return client_ && client_->IsRegistered(); }
  // Breakpoint and single-step exceptions are left to the debugger unless set.
  void set_handle_debug_exceptions(bool handle) { handle_debug_exceptions_ = handle; }

  // Has the reporter dump this process for |exception_pointers|, from any
  // thread, without ending the process. True when a dump was written.
  bool WriteMinidumpForException(EXCEPTION_POINTERS* exception_pointers);

 private:
  static bool OnCrash(EXCEPTION_POINTERS* exception_pointers, const AssertionInfo* assertion);
  static DWORD WINAPI HandlerThreadMain(void* parameter);
  bool RequestDumpOnHandlerThread(EXCEPTION_POINTERS* exception_pointers,
                                  const AssertionInfo* assertion);

  const FilterCallback filter_;
  const MinidumpCallback callback_;
  void* const context_;
  bool handle_debug_exceptions_ = false;
  std::unique_ptr<CrashGenerationClient> client_;

  // The handler thread and its hand-over, guarded by |lock_|.
  CRITICAL_SECTION lock_;
  base::win::ScopedHandle handler_thread_;
  base::win::ScopedHandle request_event_;
  base::win::ScopedHandle done_event_;
  bool stopping_ = false;
  EXCEPTION_POINTERS* requested_pointers_ = nullptr;
  const AssertionInfo* requested_assertion_ = nullptr;
  DWORD requesting_thread_id_ = 0;
  bool request_succeeded_ = false;
};

}  // namespace crash

#endif  // CRASH_EXCEPTION_HANDLER_H_
