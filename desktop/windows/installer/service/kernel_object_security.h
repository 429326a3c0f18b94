// KernelObjectSecurity: the security of the named kernel objects through
// which the installer processes of one run meet (the installation mutex, the
// mailslot, the run's events). Their names follow from the install folder, so
// any account of the machine can compute them: with default security another
// account could make one first and block installs into a folder, or set the
// interrupt or package-ready event of someone else's run, or write to its
// mailslot.
//
// A new object gets an access list that lets in only the user of this
// process, the built-in Administrators and LocalSystem: the elevated copy and
// the folder-permission helper may run as another administrator account
// (over-the-shoulder elevation) and must still open it. An object of that
// name that exists already is taken only when it is owned by this process's
// user, by the owner this process gives its own objects, by the
// Administrators or by LocalSystem; one that another account made is held
// elsewhere, whatever its access list lets this process do with it. An
// object that is taken over gets this access list in place of the one its
// maker gave it (a process of the same user may have made it open to
// everyone), or is not used when that cannot be done.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_KERNEL_OBJECT_SECURITY_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_KERNEL_OBJECT_SECURITY_H_

#include <windows.h>

#include <string>

#include "base/win/scoped_handle.h"
#include "base/win/scoped_localalloc.h"

namespace installer {

class KernelObjectSecurity {
 public:
  KernelObjectSecurity();
  KernelObjectSecurity(const KernelObjectSecurity&) = delete;
  KernelObjectSecurity& operator=(const KernelObjectSecurity&) = delete;
  ~KernelObjectSecurity();

  // False when the access list could not be built (logged); nothing should
  // then be created with default security instead.
  bool IsValid() const { return descriptor_ != nullptr; }
  // Attributes for a Create* call that gives the object this access list;
  // |inherit_handle| makes the handle inheritable. Null when not valid.
  SECURITY_ATTRIBUTES* GetAttributes(bool inherit_handle);

  // Whether |object| (a handle with READ_CONTROL access) is owned by an
  // account this process trusts with its run: its user, its default owner,
  // the Administrators or LocalSystem. False when the owner cannot be read.
  static bool IsOwnedByTrustedAccount(HANDLE object);

  // Gives |object| (a handle with WRITE_DAC access) this access list, in
  // place of whatever list it has; false when it cannot (logged). Only a
  // handle opened after this keeps to the new list.
  bool ReplaceAccessList(HANDLE object);

  // Creates the event |name|, not set, with this access list. An event of
  // that name that exists already is used, reset and with this access list,
  // when its owner is trusted (a leftover of an earlier run, held open by one
  // of its processes); otherwise, when its list cannot be replaced, and when
  // creation fails, the result is invalid (logged).
  static base::win::ScopedHandle CreateNamedEvent(const std::wstring& name, bool manual_reset);

 private:
  base::win::ScopedLocalAlloc descriptor_;
  SECURITY_ATTRIBUTES attributes_ = {};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_KERNEL_OBJECT_SECURITY_H_
