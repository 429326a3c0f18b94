// AssociationShell: the parts of the Windows shell that decide and announce
// which application handles a protocol or file type — the association
// registration object, the open-with dialog, the Settings app's default-apps
// page and the change notifications. The installation model and the OS
// operations talk to the shell only through it, so that every Windows
// version's road (and the answers Wine cannot give) can be tested; the real
// implementation, AssociationShellImpl, makes the plain shell and COM calls.
//
// Calls are made on a thread with COM initialised (apartment-threaded). Every
// operation reports failure by its result and has no other effect then.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_ASSOCIATION_SHELL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_ASSOCIATION_SHELL_H_

#include <windows.h>

#include <shobjidl.h>

#include <string>

namespace installer {

class AssociationShell {
 public:
  virtual ~AssociationShell() = default;

  // IApplicationAssociationRegistration::QueryAppIsDefault at the effective
  // level. False when the object cannot be created or the query fails;
  // otherwise true with the answer in |is_default|.
  virtual bool QueryAppIsDefault(const std::wstring& query, ASSOCIATIONTYPE type,
                                 const std::wstring& app_name, bool* is_default) = 0;
  // IApplicationAssociationRegistration::SetAppAsDefault.
  virtual bool SetAppAsDefault(const std::wstring& app_name, const std::wstring& query,
                               ASSOCIATIONTYPE type) = 0;

  // The Windows 10 association registration of the system utilities.
  virtual bool HasAppAssociationRegistration() = 0;
  virtual bool SetDefaultThroughAssociationRegistration(const std::wstring& app_name,
                                                        const std::wstring& name,
                                                        bool is_extension) = 0;

  // The open-with dialog for a protocol or extension, offering to register
  // the user's choice.
  virtual bool ShowOpenWithDialog(const std::wstring& name) = 0;

  // Opens the Settings app on its default-apps page, then on |target| within
  // it. True when the page itself could be opened.
  virtual bool OpenDefaultAppsSettings(const std::wstring& target) = 0;

  // SHChangeNotify(SHCNE_ASSOCCHANGED).
  virtual void NotifyAssociationsChanged() = 0;
  // Broadcasts WM_SETTINGCHANGE for |area| to every top-level window without
  // waiting for them.
  virtual void BroadcastSettingChange(const std::wstring& area) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_ASSOCIATION_SHELL_H_
