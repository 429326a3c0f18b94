// ProtectedPackage: the package as an installer started elevated takes it
// before it runs or copies any of it.
//
// The unpacked package such an installer is pointed at lies in the temporary
// folder of the user who started the installation. Any program of that user
// can change it after the front end checked it and before the elevated
// installer starts its installer.exe or copies its files into a folder of all
// users. So none of the unpacked files is used. The package file kept beside
// them (kPackageFileName: the package as downloaded, or the installer that
// carries the full package) is copied into a new folder that only the system
// and administrators can change, checked there as the fetcher checks a
// download (its signature, unless the running installer is an unsigned
// development build) and unpacked there (a full package's payload where it
// lies in the file); the unpacked installer.exe and
// installer_lib.dll must carry the expected signature as well, and that
// installer must be of this build's stream and not older. What the front end
// writes into a package by design (tracking data, welcome page, preference
// overrides) is taken from the user's folder as it is, read without following
// links. Of a companion component only its installer is taken, alone in a
// folder of its own, checked as the package file is: a program started
// elevated searches its own folder first for libraries, so nothing else of
// the user's component folder may lie beside it. The folder (a
// ProtectedFolder) goes when the object goes.
//
// The checksum the fetcher checks comes with the package server's reply, which
// only the front end has seen: compared here it would prove nothing.
//

#ifndef DESKTOP_WINDOWS_INSTALLER_PROTECTED_PACKAGE_H_
#define DESKTOP_WINDOWS_INSTALLER_PROTECTED_PACKAGE_H_

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/steps/component_entry.h"

namespace installer {

class ProtectedFolder;

class ProtectedPackage {
 public:
  struct Options {
    Options();
    Options(const Options&);
    Options& operator=(const Options&);
    ~Options();

    // Whether the package file and the unpacked installer and library must
    // carry the expected signature (IsRunningExecutableUnsigned decides it
    // for a run).
    bool require_signatures = true;
    // Where the protected folder is made; empty: the Windows folder's
    // "Temp", whose entries the users cannot take from one another.
    base::FilePath parent;
    // The companion components whose installers to take along, from their
    // folders beside the user's package folder.
    std::vector<ComponentEntry> components;
  };

  explicit ProtectedPackage(const Options& options);
  ProtectedPackage(const ProtectedPackage&) = delete;
  ProtectedPackage& operator=(const ProtectedPackage&) = delete;
  // Removes the protected folder with everything in it.
  ~ProtectedPackage();

  // Takes the package of |user_package_folder|. False, with the reason in
  // |error|, when it cannot be taken or fails a check; nothing of it is then
  // left.
  bool Take(const base::FilePath& user_package_folder, std::string* error);

  // The taken package's folder (empty until Take succeeded). Its parent holds
  // the component folders, as the package folder's parent does for a run
  // from the user's folder.
  const base::FilePath& folder() const { return folder_; }
  // The folder made for it; empty until then.
  const base::FilePath& root() const { return root_; }
  // That folder's owner, to hand down to the package's installer; null until
  // then.
  const ProtectedFolder* protected_folder() const { return protected_folder_.get(); }

 private:
  bool MakeRoot(std::string* error);
  bool Unpack(const base::FilePath& user_package_folder, std::string* error);
  bool CheckUnpacked(std::string* error);
  bool TakeFrontEndFiles(const base::FilePath& user_package_folder, std::string* error);
  bool TakeComponents(const base::FilePath& user_package_folder, std::string* error);

  Options options_;
  std::unique_ptr<ProtectedFolder> protected_folder_;
  base::FilePath root_;
  base::FilePath folder_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROTECTED_PACKAGE_H_
