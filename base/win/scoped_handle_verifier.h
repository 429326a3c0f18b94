// The process's record of which scoped owner holds each kernel handle.
//
// Every ScopedHandle reports here when it takes a handle (StartTracking) and
// when it lets one go (StopTracking, before closing it or handing it out). The
// verifier catches three faults, each a bug that would otherwise close or use
// somebody else's handle later: a handle taken by a second owner while the
// first still holds it, a handle released by an owner that does not hold it,
// and a close that fails because the handle was already closed behind its
// owner's back. A fault goes to the verifier's fault handler; the default one
// is a fatal error (logged, then the process crashes and is reported).
//
// One verifier serves the whole process: the installer library exports its
// instance as "GetHandleVerifier", and Get() in any module of the process
// takes the first exported instance it finds among the loaded modules before
// falling back on its module's own. Its operations are virtual so that a
// module built apart calls the exporting module's code.

#ifndef BASE_WIN_SCOPED_HANDLE_VERIFIER_H_
#define BASE_WIN_SCOPED_HANDLE_VERIFIER_H_

#include <windows.h>

#include <cstddef>
#include <unordered_map>

namespace base::win {

class ScopedHandleVerifier {
 public:
  enum class Fault {
    kAlreadyOwned,  // StartTracking of a handle another owner holds.
    kNotOwner,      // StopTracking by an owner that does not hold the handle.
    kDoubleClose,   // CloseHandle failed: the handle was closed already.
  };
  using FaultHandler = void (*)(Fault fault, HANDLE handle);

  // The name of the exported function that returns the shared instance.
  static constexpr char kExportName[] = "GetHandleVerifier";

  explicit ScopedHandleVerifier(FaultHandler fault_handler);
  ScopedHandleVerifier(const ScopedHandleVerifier&) = delete;
  ScopedHandleVerifier& operator=(const ScopedHandleVerifier&) = delete;
  virtual ~ScopedHandleVerifier();

  // The verifier shared by the process (see above). Never null.
  static ScopedHandleVerifier* Get();
  // This module's own instance, with the default fault handler; what the
  // exported function returns.
  static ScopedHandleVerifier* GetModuleInstance();

  virtual void StartTracking(HANDLE handle, const void* owner);
  virtual void StopTracking(HANDLE handle, const void* owner);
  // Called when closing |handle| failed with ERROR_INVALID_HANDLE.
  virtual void OnCloseFailed(HANDLE handle);
  // The number of handles held by scoped owners right now.
  virtual size_t TrackedCount();

  // A fatal error: logs |fault| and crashes the process.
  static void CrashOnFault(Fault fault, HANDLE handle);

 private:
  const FaultHandler fault_handler_;
  SRWLOCK lock_ = SRWLOCK_INIT;
  std::unordered_map<HANDLE, const void*> owners_;
};

}  // namespace base::win

#endif  // BASE_WIN_SCOPED_HANDLE_VERIFIER_H_
