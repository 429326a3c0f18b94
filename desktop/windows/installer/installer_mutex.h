// InstallerMutex: the machine-wide lock that keeps two installers off one
// install folder. Its name is built from the install path normalised so that
// two spellings of one folder meet on one mutex: case folded, every backslash
// a slash, repeated and trailing separators dropped.
//
// The front end's runner takes it with TryAcquire before it starts a back
// end, and releases it once that back end has ended. The back end keeps the
// folder locked after its front end is gone with HoldInBackground: a thread
// of its own waits for the mutex from the moment the back end knows its
// folder (before it touches the folder), so that the front end's release, or
// the abandonment when the front end dies, hands the mutex straight to the
// back end, which holds it until it is destroyed (after its rollback).
// HoldInBackground returns only once that thread waits: a front end found
// alive after it can no longer leave the folder to anyone else.
#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_MUTEX_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_MUTEX_H_

#include <windows.h>

#include <string>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {

class InstallerMutex {
 public:
  enum AcquireResult {
    ACQUIRED = 0,
    // CreateMutexW failed (category 9 for the front ends).
    NOT_CREATED = 1,
    // Another installer holds it (category 10).
    HELD_ELSEWHERE = 2,
  };

  // "Global\Velto/Installer/" followed by the normalised |install_path|.
  static std::wstring GetName(const base::FilePath& install_path);

  InstallerMutex();
  InstallerMutex(const InstallerMutex&) = delete;
  InstallerMutex& operator=(const InstallerMutex&) = delete;
  // Closes the handle; a mutex still owned by this thread is not released
  // (see Release), and a background hold is released and its thread joined.
  ~InstallerMutex();

  // Creates or opens the mutex |name| with an inheritable handle and takes it
  // without waiting; an abandoned mutex counts as taken. A new mutex gets the
  // access list of KernelObjectSecurity, and so does one that existed when
  // it is taken (held elsewhere when that cannot be done); one that another
  // account made is held elsewhere.
  AcquireResult TryAcquire(const std::wstring& name);
  bool owned() const { return owned_; }
  // Releases a mutex taken by TryAcquire (same thread). Safe when not owned.
  void Release();
  // Closes the handle; an owned mutex stays owned until this thread or its
  // process ends.
  void Close();

  // Starts the thread that waits for the mutex |name| and then holds it, and
  // returns once that thread is waiting (or already holds it). False when
  // the mutex or the thread cannot be made, or the mutex belongs to another
  // account.
  bool HoldInBackground(const std::wstring& name);
  // Whether the background thread holds the mutex, waiting at most
  // |timeout_ms| for it.
  bool WaitUntilHeld(DWORD timeout_ms);

 private:
  // Creates or opens the mutex |name| into |mutex|, with |existed| set when
  // it was there before. False when it cannot be made, and with |foreign|
  // set when it exists and belongs to another account.
  static bool Open(const std::wstring& name, bool inherit_handle, base::win::ScopedHandle* mutex,
                   bool* foreign, bool* existed);
  static DWORD WINAPI HoldThread(void* param);
  // Queued to the holder thread to end its wait for the mutex.
  static void CALLBACK WakeHolder(ULONG_PTR param);
  void StopHolding();

  base::win::ScopedHandle mutex_;
  bool owned_ = false;
  base::win::ScopedHandle holder_thread_;
  base::win::ScopedHandle stop_event_;
  base::win::ScopedHandle waiting_event_;
  base::win::ScopedHandle held_event_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_MUTEX_H_
