// Installation: one installation of the browser in a folder — its installer
// preferences ("installer_prefs.json" in the folder, read-only here), its
// status record ("installation_status.json", loaded once on first need), its
// profile, data and user-data folders, its application user model id and
// autoupdate task name, and its default-browser state and registration with
// Windows.
//
// InstallationImpl implements the whole interface; FolderInstallation is made
// for a folder the caller names; GetCurrent() is the installation of the
// running executable. Objects are used on the thread that made them; the
// default-browser operations need COM initialised (apartment-threaded) on it.
// Boolean results stand for absence and failure alike; nothing here reports
// an error text.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_H_

#include <cstdint>
#include <string>

#include "base/files/file_path.h"
#include "base/memory/ref_counted.h"

class JsonPrefStore;

namespace installer {

struct InstallationStatus;

// The installer preferences of an installation folder.
inline constexpr wchar_t kInstallerPrefsFileName[] = L"installer_prefs.json";
// The installer preference that keeps the profile inside the install folder.
inline constexpr char kSingleProfilePref[] = "single_profile";
// The program a registered handler's command must run.
inline constexpr wchar_t kLauncherExeName[] = L"launcher.exe";
// Its default value names the start-menu browser (HKCU or HKLM); also the
// area named when default-browser changes are broadcast.
inline constexpr wchar_t kStartMenuInternetKey[] = L"Software\\Clients\\StartMenuInternet";
// Under the product key: the http command that was the default before this
// installation took over, for a later uninstall.
inline constexpr wchar_t kPreviousDefaultBrowserValue[] = L"Previous Default Browser";

class Installation {
 public:
  virtual ~Installation() = default;

  // The installation of the running executable, created on the first call
  // (from the main thread during start-up) and kept until the process ends.
  static Installation* GetCurrent();

  // The store of "installer_prefs.json", opened and read on the first call.
  // Writes through it never reach the file.
  virtual scoped_refptr<JsonPrefStore> GetPrefStore() = 0;
  // Preference getters: false when the key is missing or of another type.
  virtual bool GetBooleanPref(const std::string& key, bool* value) = 0;
  // A string preference as UTF-16.
  virtual bool GetPrefValue(const std::string& key, std::wstring* value) = 0;
  virtual bool GetStringPref(const std::string& key, std::string* value) = 0;
  // A string preference read as a signed decimal number. False (|value|
  // untouched) when it is missing, not a string, or not wholly a number: a
  // JSON number is not found by it.
  virtual bool GetInt64Pref(const std::string& key, int64_t* value) = 0;

  virtual const base::FilePath& GetFolder() const = 0;
  // The status record as it stands, without loading it.
  virtual const InstallationStatus& GetStatus() const = 0;
  virtual bool IsCopyOnly() = 0;

  // Default browser and registration. |all_users| chooses HKEY_LOCAL_MACHINE
  // (true) or HKEY_CURRENT_USER (false) for what is written.
  virtual bool IsDefaultForHttpAndHttps() = 0;
  // The open command registered for a protocol or (with a leading ".") an
  // extension: the user's choice first unless |machine|, then the class.
  virtual bool GetHandlerCommand(const std::wstring& name, bool machine,
                                 std::wstring* command) = 0;
  // Whether the user's command for |name| runs this installation's launcher
  // (or, with |use_browser_executable|, its browser executable).
  virtual bool IsRegisteredHandler(const std::wstring& name, bool use_browser_executable) = 0;
  // Whether this installation is the start-menu browser.
  virtual bool IsDefaultClient() = 0;
  virtual bool IsSingleProfile() = 0;
  // "Previous Default Browser" of the product key, HKCU first, then HKLM.
  virtual bool GetPreviousDefaultBrowser(std::wstring* value) = 0;
  virtual bool SetPreviousDefaultBrowser(const std::wstring& value, bool all_users) = 0;
  // Keeps the current http command for a later uninstall, unless this
  // installation is already the http handler.
  virtual void SavePreviousDefaultBrowser(bool all_users) = 0;
  virtual bool SetAsDefaultBrowser(bool all_users) = 0;
  // Writes the ProgID; all or nothing.
  virtual bool RegisterClasses(bool all_users) = 0;
  // Makes this installation the handler of a protocol or extension the way
  // the running Windows version allows; all or nothing in the registry.
  virtual bool SetDefaultFor(const std::wstring& name, bool all_users) = 0;
  virtual bool RegisterStartMenuClient(bool all_users) = 0;

  // "VeltoSoftware.VeltoWebBrowser." + the status record's app id.
  virtual std::wstring GetAppUserModelId() = 0;
  // "Autoupdate " + the status record's app id.
  virtual std::wstring GetAutoupdateTaskName() = 0;

  // Folders; false when they cannot be determined.
  virtual bool GetDataFolder(base::FilePath* path) = 0;
  virtual bool GetProfileFolder(base::FilePath* path) = 0;
  virtual bool GetUserDataFolder(base::FilePath* path) = 0;
  virtual bool GetDataFolderForChannel(base::FilePath* path, int channel) = 0;
  // Maps a path below the roaming application data folder to the same place
  // below the local one; other paths come out unchanged.
  virtual void RebaseProfilePath(const base::FilePath& path, base::FilePath* rebased) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_H_
