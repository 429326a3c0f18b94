// Stateless questions to Windows about the user and the machine, and the
// product's naming rules: administrator and elevation checks, user names,
// known folders, names of kernel objects and of the product's registry keys,
// the build's channel, the architecture of an executable, the validity of a
// path, and the association-registration object that makes the browser the
// default on Windows 10. Each function returns its answer, or false (2, an
// empty string, a null pointer) on failure. Access checks and grants live in
// object_security.h.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_SYSTEM_UTILS_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_SYSTEM_UTILS_H_

#include <windows.h>

#include <shlobj.h>
#include <wrl/client.h>

#include <string>

#include "base/files/file_path.h"

#define SECURITY_WIN32
#include <security.h>

namespace installer {

class UserToken;

// Whether the user is a member of the built-in Administrators group. With
// |use_linked_token| a UAC-filtered administrator counts too (the full token
// linked to the filtered one is asked); without it only a token that holds
// the rights now (elevated, or UAC off) counts.
bool IsUserAdministrator(bool use_linked_token);
bool IsUserAdministrator(const UserToken& token, bool use_linked_token);

// Whether installing into a folder needs an elevated process: never for a
// process running as administrator; otherwise when elevation was |asked| for
// (all users) or the folder is not writable.
bool NeedsElevation(bool asked, bool folder_writable);
bool NeedsElevation(const UserToken& token, bool asked, bool folder_writable);

// The path of a known folder; |csidl| is used where SHGetKnownFolderPath does
// not exist. With |create| the folder is created when missing; with
// |even_when_missing| the path of a folder that does not exist yet is given
// without creating it.
bool GetKnownFolderPath(const KNOWNFOLDERID& folder_id, int csidl, base::FilePath* path,
                        bool create, bool even_when_missing = false);

// GetUserNameW.
bool GetCurrentUserName(std::wstring* name);
// GetUserNameExW in |format| (NameSamCompatible gives "DOMAIN\user").
bool GetUserNameInFormat(EXTENDED_NAME_FORMAT format, std::wstring* name);
bool GetUserDisplayName(std::wstring* name);

// "Global\" (or "Local\") + |base_name| + "/" + |suffix|, every backslash
// after the prefix turned into "/", so that an install path can name a
// mutex or an event.
std::wstring GetKernelObjectName(const std::wstring& suffix, const std::wstring& base_name,
                                 bool global);

// The product configuration's file name base followed by ".exe".
std::string GetBrowserExecutableName();

enum PeArchitecture {
  PE_ARCHITECTURE_I386 = 0,
  PE_ARCHITECTURE_OTHER = 1,
  PE_ARCHITECTURE_NOT_PE = 2,
};
// The machine an executable is built for; PE_ARCHITECTURE_NOT_PE for a
// missing, empty, huge (2 GiB or more) or non-PE file.
PeArchitecture GetPeArchitecture(const base::FilePath& path);

// The name of the build's channel: 1 "Ulvane", 2 "Fennick", 3 "Pallex",
// 4 "Tamber"; any other number gives the stream name.
std::string GetChannelName();
std::string GetChannelName(int channel_number);

// "Software\" + the configured company name.
std::wstring GetProductRegistryKey();
// "Software\Microsoft\Windows\CurrentVersion\Uninstall".
std::wstring GetUninstallRegistryKey();

// Whether |path| is a usable Win32 path: shorter than 260 characters (248
// for a folder), a drive or "\\server\share\" prefix, and components free of
// control characters, ?"<>*|:, leading spaces, trailing spaces or dots and
// device names such as CON or LPT1.
bool IsValidFileName(const std::wstring& path, bool for_folder);

// The association-registration object's interface that sets a default
// handler on Windows 10, where the public SetAppAsDefault no longer does.
// Only the set-as-default method is used; the two before it are unknown.
struct IApplicationAssociationRegistrationInternal : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Unknown1() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unknown2() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAppAsDefault(LPCWSTR app_registry_name, LPCWSTR set,
                                                    ASSOCIATIONTYPE type) = 0;
};

// Null when the object or none of the known interface versions exists.
Microsoft::WRL::ComPtr<IApplicationAssociationRegistrationInternal>
GetAppAssociationRegistration();
bool HasAppAssociationRegistration();
// Makes |app_name| the handler of |extension_or_protocol|.
bool SetDefaultThroughAssociationRegistration(const std::wstring& app_name,
                                              const std::wstring& extension_or_protocol,
                                              bool is_extension);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_SYSTEM_UTILS_H_
