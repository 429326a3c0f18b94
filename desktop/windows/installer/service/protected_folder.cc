#include "desktop/windows/installer/service/protected_folder.h"

#include <sddl.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/rand_util.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/lock.h"
#include "base/win/scoped_localalloc.h"
#include "desktop/windows/installer/service/link_free_folder.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

// Full control for the system and the administrators, nothing inherited from
// the folder above, owned by the administrators: the user who started the
// installation can neither change what is in it nor its rights.
constexpr wchar_t kSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// Names are random: a folder another user made first is never taken over.
constexpr int kNameAttempts = 8;
constexpr char kKind[] = "elevated_package";

// Opens |path| as a folder, not through a link, for as long as the handle
// lives: without FILE_SHARE_DELETE it can be neither renamed nor removed.
base::win::ScopedHandle OpenFolder(const base::FilePath& path) {
  return base::win::ScopedHandle(::CreateFileW(
      path.value().c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// The path of the folder |handle| is open on, without the "\\?\" form; empty
// when |handle| is no open handle of a folder.
base::FilePath FolderOfHandle(HANDLE handle) {
  if (::GetFileType(handle) != FILE_TYPE_DISK)
    return base::FilePath();
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(handle, &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return base::FilePath();
  }
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD length =
      ::GetFinalPathNameByHandleW(handle, buffer, std::size(buffer), VOLUME_NAME_DOS);
  if (length == 0 || length >= std::size(buffer))
    return base::FilePath();
  std::wstring path(buffer, length);
  constexpr std::wstring_view kUncPrefix = L"\\\\?\\UNC\\";
  constexpr std::wstring_view kLocalPrefix = L"\\\\?\\";
  if (base::StartsWith(path, kUncPrefix, base::CompareCase::INSENSITIVE_ASCII))
    path = L"\\\\" + path.substr(kUncPrefix.size());
  else if (base::StartsWith(path, kLocalPrefix, base::CompareCase::SENSITIVE))
    path = path.substr(kLocalPrefix.size());
  return base::FilePath(path).StripTrailingSeparators();
}

// Whether |path| is |folder| or lies inside it; both absolute, |path|
// without ".." components.
bool IsInFolder(const base::FilePath& folder, const base::FilePath& path) {
  const std::wstring outer = folder.StripTrailingSeparators().value();
  const std::wstring inner = path.StripTrailingSeparators().value();
  if (inner.size() < outer.size() ||
      !base::FilePath::CompareEqualIgnoreCase(
          outer, std::wstring_view(inner).substr(0, outer.size()))) {
    return false;
  }
  return inner.size() == outer.size() || base::FilePath::IsSeparator(inner[outer.size()]);
}

// The protected folders this process holds now.
base::Lock& LiveFoldersLock() {
  static base::Lock* lock = new base::Lock();
  return *lock;
}
std::vector<const ProtectedFolder*>& LiveFolders() {
  static auto* folders = new std::vector<const ProtectedFolder*>();
  return *folders;
}

}  // namespace

// static
std::unique_ptr<ProtectedFolder> ProtectedFolder::Create(const base::FilePath& parent,
                                                         std::string* error) {
  base::FilePath where = parent;
  if (where.empty()) {
    base::FilePath windows;
    if (!base::PathService::Get(base::DIR_WINDOWS, &windows)) {
      *error = "No Windows folder";
      return nullptr;
    }
    where = windows.Append(L"Temp");
    // Runs that were killed left their folders there; once per process is
    // enough, as a run that ends normally removes its own.
    static bool cleared = false;
    static base::Lock* clearing = new base::Lock();
    base::AutoLock hold(*clearing);
    if (!cleared) {
      cleared = true;
      RemoveFoldersOfEndedRuns(where);
    }
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    base::FilePath path;
    if (!MakeNew(where, kKind, &path, error))
      return nullptr;
    base::win::ScopedHandle handle = OpenFolder(path);
    if (handle.IsValid())
      return std::unique_ptr<ProtectedFolder>(new ProtectedFolder(path, std::move(handle)));
    // Another run's clean-up may have taken the new folder for one of an
    // ended run before this one held it: a new name then.
    *error = "Cannot open the protected folder " + base::WideToUTF8(path.value()) +
             ": error " + std::to_string(::GetLastError());
    ::RemoveDirectoryW(path.value().c_str());
  }
  return nullptr;
}

// static
void ProtectedFolder::RemoveFoldersOfEndedRuns(const base::FilePath& parent) {
  base::win::ScopedHandle parent_handle(::CreateFileW(
      parent.value().c_str(), FILE_TRAVERSE | FILE_LIST_DIRECTORY | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!parent_handle.IsValid())
    return;
  const std::wstring prefix =
      base::UTF8ToWide(ProductConfig::GetFileNameBase() + "_" + kKind + "_");
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  base::win::ScopedFindFileHandle find(
      ::FindFirstFileW(parent.Append(prefix + L"*").value().c_str(), &data));
  if (!find.IsValid())
    return;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      names.push_back(data.cFileName);
  } while (::FindNextFileW(find.Get(), &data));
  for (const std::wstring& name : names) {
    // Anyone may make a folder of this name here: it is removed only through
    // handles and never through a link, so whatever is put into it removes
    // nothing elsewhere. A live run holds its folder without sharing
    // deletion, which keeps it.
    const base::FilePath path = parent.Append(name);
    std::string reason;
    const LinkFreeFolder::Removal removal =
        LinkFreeFolder::RemoveUnused(parent_handle.Get(), path, &reason);
    if (removal == LinkFreeFolder::Removal::kInUse)
      continue;
    LOG(INFO) << "Removing the protected folder of an ended run: " << base::WideToUTF8(name);
    if (removal == LinkFreeFolder::Removal::kFailed)
      LOG(WARNING) << "Could not remove " << path << ": " << reason;
  }
}

// static
bool ProtectedFolder::MakeNew(const base::FilePath& parent, const std::string& kind,
                              base::FilePath* folder, std::string* error) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kSecurity, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    *error = "Cannot build the protected folder's security: error " +
             std::to_string(::GetLastError());
    return false;
  }
  base::win::ScopedLocalAlloc descriptor_owner = base::win::TakeLocalAlloc(descriptor);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor_owner.get(), FALSE};
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    unsigned char random[8];
    base::RandBytes(random, sizeof(random));
    *folder = parent.AppendASCII(ProductConfig::GetFileNameBase() + "_" + kind + "_" +
                                 base::HexEncode(random, sizeof(random)));
    // A folder that exists already is someone else's: only a new one is ours.
    if (::CreateDirectoryW(folder->value().c_str(), &attributes))
      return true;
    if (::GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
  *error = "Cannot create a protected folder in " + base::WideToUTF8(parent.value()) +
           ": error " + std::to_string(::GetLastError());
  folder->clear();
  return false;
}

ProtectedFolder::ProtectedFolder(base::FilePath path, base::win::ScopedHandle handle)
    : path_(std::move(path)), handle_(std::move(handle)) {
  base::AutoLock hold(LiveFoldersLock());
  LiveFolders().push_back(this);
}

ProtectedFolder::~ProtectedFolder() {
  {
    base::AutoLock hold(LiveFoldersLock());
    std::vector<const ProtectedFolder*>& folders = LiveFolders();
    folders.erase(std::find(folders.begin(), folders.end(), this));
  }
  handle_.Close();
  if (!base::DeletePathRecursively(path_))
    LOG(WARNING) << "Could not remove the protected folder " << path_;
}

// static
HANDLE ProtectedFolder::FindHolder(const base::CommandLine& command_line,
                                   const base::FilePath& path) {
  if (path.ReferencesParent() || !path.IsAbsolute())
    return nullptr;
  {
    base::AutoLock hold(LiveFoldersLock());
    for (const ProtectedFolder* folder : LiveFolders()) {
      if (IsInFolder(folder->path_, path))
        return folder->handle_.Get();
    }
  }
  uint64_t value = 0;
  if (!command_line.HasSwitch(kSwitch) ||
      !base::StringToUint64(command_line.GetSwitchValueASCII(kSwitch), &value) || value == 0) {
    return nullptr;
  }
  HANDLE handed = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
  const base::FilePath folder = FolderOfHandle(handed);
  if (folder.empty() || !IsInFolder(folder, path))
    return nullptr;
  // Whoever starts this process chooses its current folder, whose handle
  // the process holds too: a number naming that handle hands down nothing.
  wchar_t current[MAX_PATH * 2] = {};
  const DWORD length = ::GetCurrentDirectoryW(std::size(current), current);
  if (length == 0 || length >= std::size(current) ||
      base::FilePath::CompareEqualIgnoreCase(
          base::FilePath(std::wstring(current, length)).StripTrailingSeparators().value(),
          folder.value())) {
    return nullptr;
  }
  return handed;
}

// static
bool ProtectedFolder::IsProtected(const base::CommandLine& command_line,
                                  const base::FilePath& path) {
  return FindHolder(command_line, path) != nullptr;
}

// static
bool ProtectedFolder::HandDown(const base::CommandLine& command_line,
                               const base::FilePath& path, base::CommandLine* child,
                               base::win::ScopedHandle* inherited) {
  HANDLE holder = FindHolder(command_line, path);
  if (!holder)
    return false;
  HANDLE copy = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), holder, ::GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
    LOG(ERROR) << "Cannot hand down the protected folder: error " << ::GetLastError();
    return false;
  }
  inherited->Set(copy);
  child->AppendSwitchASCII(kSwitch, base::NumberToString(reinterpret_cast<uintptr_t>(copy)));
  return true;
}

}  // namespace installer
