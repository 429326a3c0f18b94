#include "desktop/windows/installer/protected_package.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installation_folder_details_impl.h"
#include "desktop/windows/installer/installer_paths.h"
#include "desktop/windows/installer/package_fetcher/downloaded_item_version.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/package_fetcher/seven_zip_archive_reader.h"
#include "desktop/windows/installer/pref_default_overrides_fetcher.h"
#include "desktop/windows/installer/service/contained_path.h"
#include "desktop/windows/installer/service/link_free_access.h"
#include "desktop/windows/installer/service/protected_folder.h"
#include "desktop/windows/installer/service/signature_verification.h"

namespace installer {

namespace {

// The taken package's folder inside the protected folder; the component
// folders lie beside it.
constexpr wchar_t kPackageFolderName[] = L"package";
// What the front end writes into a package is small (JSON texts).
constexpr size_t kMaxFrontEndFileSize = 4 * 1024 * 1024;

std::string Describe(const base::FilePath& path) {
  return base::WideToUTF8(path.value());
}

}  // namespace

ProtectedPackage::Options::Options() = default;
ProtectedPackage::Options::Options(const Options&) = default;
ProtectedPackage::Options& ProtectedPackage::Options::operator=(const Options&) = default;
ProtectedPackage::Options::~Options() = default;

ProtectedPackage::ProtectedPackage(const Options& options) : options_(options) {}

ProtectedPackage::~ProtectedPackage() = default;

bool ProtectedPackage::Take(const base::FilePath& user_package_folder, std::string* error) {
  LOG(INFO) << "Taking the package of " << user_package_folder;
  if (MakeRoot(error) && Unpack(user_package_folder, error) && CheckUnpacked(error) &&
      TakeFrontEndFiles(user_package_folder, error) &&
      TakeComponents(user_package_folder, error)) {
    LOG(INFO) << "Package taken into " << folder_;
    return true;
  }
  protected_folder_.reset();
  root_.clear();
  folder_.clear();
  return false;
}

bool ProtectedPackage::MakeRoot(std::string* error) {
  protected_folder_ = ProtectedFolder::Create(options_.parent, error);
  if (!protected_folder_)
    return false;
  root_ = protected_folder_->path();
  folder_ = root_.Append(kPackageFolderName);
  if (!::CreateDirectoryW(folder_.value().c_str(), nullptr)) {
    *error = "Cannot create " + Describe(folder_);
    return false;
  }
  return true;
}

bool ProtectedPackage::Unpack(const base::FilePath& user_package_folder, std::string* error) {
  // Checked and unpacked as a copy in the protected folder: the checks read
  // the file by its path, and a folder on the user's path may be renamed and
  // replaced even while a file in it is held open.
  const base::FilePath package = root_.Append(kPackageFileName);
  if (!CopyFileWithoutLinks(user_package_folder.Append(kPackageFileName), package, error))
    return false;
  if (options_.require_signatures) {
    std::string detail;
    if (!VerifyFileSignature(package, &detail)) {
      *error = "Signature incorrect for the package file: " + detail;
      return false;
    }
  }
  // A package carries its archive as its payload, unpacked where it lies; a
  // self-extracting one is the archive itself, behind its program.
  uint64_t start = 0;
  {
    PayloadReader reader(package);
    if (reader.type() == PayloadType::full_package)
      start = reader.payload_offset();
  }
  SevenZipArchiveReader reader;
  const SevenZipOpenResult opened = reader.Open(package, start);
  const SevenZipExtractResult extracted =
      opened == SEVEN_ZIP_OPEN_OK ? ExtractSevenZipArchive(&reader, folder_, nullptr)
                                  : SEVEN_ZIP_NOT_OPEN;
  reader.Close();
  if (extracted != SEVEN_ZIP_OK) {
    *error = "No package could be unpacked from " +
             Describe(user_package_folder.Append(kPackageFileName)) + ": error " +
             std::to_string(extracted);
    return false;
  }
  base::DeleteFile(package);
  return true;
}

bool ProtectedPackage::CheckUnpacked(std::string* error) {
  for (const wchar_t* name : {kPackageInstallerName, kPackageLibraryName}) {
    const base::FilePath file = folder_.Append(name);
    if (!base::PathExists(file)) {
      *error = "The package holds no " + base::WideToUTF8(name);
      return false;
    }
    std::string detail;
    if (options_.require_signatures && !VerifyFileSignature(file, &detail)) {
      *error = "Signature incorrect for the package's " + base::WideToUTF8(name) + ": " + detail;
      return false;
    }
  }
  if (!CheckDownloadedItemVersion(folder_.Append(kPackageInstallerName), true, nullptr)) {
    *error = "The package's installer failed the version check";
    return false;
  }
  return true;
}

bool ProtectedPackage::TakeFrontEndFiles(const base::FilePath& user_package_folder,
                                         std::string* error) {
  for (const wchar_t* name :
       {InstallationFolderDetailsImpl::kTrackingDataFileName, kInstallerPrefsIncludeFileName,
        PrefDefaultOverridesFetcher::kFileName}) {
    const base::FilePath source = user_package_folder.Append(name);
    if (::GetFileAttributesW(source.value().c_str()) == INVALID_FILE_ATTRIBUTES)
      continue;
    std::string contents;
    if (!ReadFileWithoutLinks(source, kMaxFrontEndFileSize, &contents, error))
      return false;
    if (!base::WriteFile(folder_.Append(name), contents)) {
      *error = "Cannot write " + Describe(folder_.Append(name));
      return false;
    }
  }
  return true;
}

bool ProtectedPackage::TakeComponents(const base::FilePath& user_package_folder,
                                      std::string* error) {
  const base::FilePath user_root = user_package_folder.DirName();
  for (const ComponentEntry& component : options_.components) {
    const std::vector<std::wstring> parts = component.folder.GetComponents();
    // A component folder never overlays the package taken above.
    if (parts.empty() || !IsContainedRelativePath(component.folder.value()) ||
        base::FilePath::CompareEqualIgnoreCase(parts[0], kPackageFolderName)) {
      *error = "Not a component folder: " + Describe(component.folder);
      return false;
    }
    const base::FilePath source =
        GetComponentInstallerPath(user_root.Append(component.folder), component.name);
    if (::GetFileAttributesW(source.value().c_str()) == INVALID_FILE_ATTRIBUTES)
      continue;
    // The installer alone: whatever else the user's folder holds stays there.
    const base::FilePath target = root_.Append(component.folder).Append(source.BaseName());
    if (!base::CreateDirectory(target.DirName()) ||
        !CopyFileWithoutLinks(source, target, error)) {
      return false;
    }
    std::string detail;
    if (options_.require_signatures && !VerifyFileSignature(target, &detail)) {
      *error = "Signature incorrect for the component installer " +
               Describe(source.BaseName()) + ": " + detail;
      return false;
    }
  }
  return true;
}

}  // namespace installer
