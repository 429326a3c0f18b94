// The thread that closes a downloader's WinINet session once WinINet has
// finished with the connection being closed (the downloader signals the event
// from the connection's handle-closing status). Closing the session earlier
// could let a late status callback reach a downloader that no longer exists.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_WININET_TERMINATION_THREAD_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_WININET_TERMINATION_THREAD_H_

#include <windows.h>

#include "base/synchronization/waitable_event.h"
#include "base/win/scoped_handle.h"

namespace installer {

class WininetTerminationThread {
 public:
  // |event| and |session| (a HINTERNET field) must outlive the thread.
  WininetTerminationThread(base::WaitableEvent* event, void** session);
  WininetTerminationThread(const WininetTerminationThread&) = delete;
  WininetTerminationThread& operator=(const WininetTerminationThread&) = delete;
  // Joins.
  ~WininetTerminationThread();

  bool Start();
  void Join();

 private:
  static DWORD WINAPI ThreadMain(void* param);
  void Run();

  base::WaitableEvent* const event_;
  void** const session_;
  base::win::ScopedHandle thread_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_WININET_TERMINATION_THREAD_H_
