// InstallationImpl: the Installation of a folder, reading its preferences and
// status from that folder, asking Windows through the given platform seams
// (the Windows version and the shell's association interfaces) and writing
// registrations through registry templates, each registration in a
// transaction of its own that is rolled back when any row fails.
//
// The default constructor makes the installation of the running executable:
// the executable's folder, or its parent when only the parent holds the
// launcher. Every constructor reads "profile_path" from the folder's
// installer preferences. The status record is loaded from the folder at most
// once, before the first operation that needs it, unless one was given.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_IMPL_H_

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "base/memory/ref_counted.h"
#include "desktop/windows/installer/service/installation.h"

class JsonPrefStore;

namespace base {
class Value;
}

namespace installer {

class AssociationShell;
class WindowsVersionProvider;
struct InstallationStatus;
struct RegistryTemplate;

class InstallationImpl : public Installation {
 public:
  // What the installation asks of Windows beyond files and the registry.
  // Neither pointer is owned; both outlive the installation.
  struct Platform {
    // The real system: the process-wide version provider and shell.
    static Platform Real();

    const WindowsVersionProvider* version = nullptr;
    AssociationShell* shell = nullptr;
  };

  // The installation of the running executable.
  InstallationImpl();
  InstallationImpl(const InstallationImpl&) = delete;
  InstallationImpl& operator=(const InstallationImpl&) = delete;
  ~InstallationImpl() override;

  scoped_refptr<JsonPrefStore> GetPrefStore() override;
  bool GetBooleanPref(const std::string& key, bool* value) override;
  bool GetPrefValue(const std::string& key, std::wstring* value) override;
  bool GetStringPref(const std::string& key, std::string* value) override;
  bool GetInt64Pref(const std::string& key, int64_t* value) override;
  const base::FilePath& GetFolder() const override;
  const InstallationStatus& GetStatus() const override;
  bool IsCopyOnly() override;
  bool IsDefaultForHttpAndHttps() override;
  bool GetHandlerCommand(const std::wstring& name, bool machine, std::wstring* command) override;
  bool IsRegisteredHandler(const std::wstring& name, bool use_browser_executable) override;
  bool IsDefaultClient() override;
  bool IsSingleProfile() override;
  bool GetPreviousDefaultBrowser(std::wstring* value) override;
  bool SetPreviousDefaultBrowser(const std::wstring& value, bool all_users) override;
  void SavePreviousDefaultBrowser(bool all_users) override;
  bool SetAsDefaultBrowser(bool all_users) override;
  bool RegisterClasses(bool all_users) override;
  bool SetDefaultFor(const std::wstring& name, bool all_users) override;
  bool RegisterStartMenuClient(bool all_users) override;
  std::wstring GetAppUserModelId() override;
  std::wstring GetAutoupdateTaskName() override;
  bool GetDataFolder(base::FilePath* path) override;
  bool GetProfileFolder(base::FilePath* path) override;
  bool GetUserDataFolder(base::FilePath* path) override;
  bool GetDataFolderForChannel(base::FilePath* path, int channel) override;
  void RebaseProfilePath(const base::FilePath& path, base::FilePath* rebased) override;

 protected:
  // An installation in |folder|. With |status_given| the record (an empty
  // INVALID one when |status| is null) counts as loaded and is never read.
  InstallationImpl(const base::FilePath& folder,
                   std::unique_ptr<InstallationStatus> status,
                   bool status_given,
                   const Platform& platform);

 private:
  // The folder of the running executable, or its parent when only the parent
  // holds the launcher.
  static base::FilePath GetExecutableInstallationFolder();

  void Initialize();
  const base::Value* FindPref(const std::string& key);
  void LoadStatus();
  bool GetSingleProfileFolder(base::FilePath* path);
  bool GetChannelProfileFolder(int channel, base::FilePath* path);
  // Applies |count| rows in one local transaction under |root|.
  bool ApplyTemplates(const RegistryTemplate* rows, size_t count,
                      const std::wstring& target_name, HKEY root);

  scoped_refptr<JsonPrefStore> prefs_;
  base::FilePath folder_;
  std::wstring profile_path_;
  bool status_loaded_ = false;
  std::unique_ptr<InstallationStatus> status_;
  std::wstring app_registration_name_;
  Platform platform_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_INSTALLATION_IMPL_H_
