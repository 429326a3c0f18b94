#include "desktop/windows/installer/folder_permission_helper.h"

#include <windows.h>
#include <sddl.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/process.h"
#include "base/process/process_handle.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "base/win/scoped_localalloc.h"
#include "desktop/windows/installer/cleanup_batch_launch.h"
#include "desktop/windows/installer/folder_rights.h"
#include "desktop/windows/installer/installer_kernel_objects.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/protected_deletion.h"
#include "desktop/windows/installer/service/installation_status_loader_impl.h"
#include "desktop/windows/installer/service/link_free_access.h"
#include "desktop/windows/installer/service/link_free_folder.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/steps/cleanup_batch_file.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

// A clean-up batch file names the files an uninstallation left: far less.
constexpr size_t kMaxBatchFileSize = 1024 * 1024;

base::win::ScopedHandle OpenNamedEvent(DWORD access, const base::FilePath& folder,
                                       const wchar_t* base_name, bool global) {
  std::wstring name = GetKernelObjectName(folder.value(), base_name, global);
  return base::win::ScopedHandle(OpenEventW(access, FALSE, name.c_str()));
}

std::string Describe(const base::FilePath& path) {
  return base::WideToUTF8(path.value());
}

FolderPermissionResult Refuse(const std::string& reason) {
  LOG(ERROR) << "Refused to grant rights: " << logging::UntrustedText(reason);
  FolderPermissionResult result;
  result.refused = true;
  return result;
}

// The true path of the existing |path|, or |path| itself when it has none.
base::FilePath TruePath(const base::FilePath& path) {
  base::FilePath true_path;
  return base::NormalizeFilePath(path, &true_path) ? true_path : path;
}

bool SameFolder(const base::FilePath& a, const base::FilePath& b) {
  return base::FilePath::CompareEqualIgnoreCase(a.StripTrailingSeparators().value(),
                                                b.StripTrailingSeparators().value());
}

// "X:\" followed by a path: a folder on a drive of this machine, without the
// "\\?\" form that would skip the path's normalization.
bool IsLocalFullPath(const base::FilePath& path) {
  const std::wstring& value = path.value();
  return value.size() >= 3 && ((value[0] >= L'A' && value[0] <= L'Z') ||
                               (value[0] >= L'a' && value[0] <= L'z')) &&
         value[1] == L':' && value[2] == L'\\' && !path.ReferencesParent();
}

// Whether |path| (a true path) is the Windows folder or lies inside it.
bool IsInWindowsFolder(const base::FilePath& path) {
  base::FilePath windows;
  if (!base::PathService::Get(base::DIR_WINDOWS, &windows))
    return true;
  windows = TruePath(windows);
  return SameFolder(windows, path) || windows.IsParent(path);
}

// Why nobody gets rights on |folder| (a true path) from this helper; empty
// when it may be granted.
std::string RefusalOf(const base::FilePath& folder) {
  if (folder.GetComponents().size() <= 1)
    return "A drive root: " + Describe(folder);
  if (IsInWindowsFolder(folder))
    return "The Windows folder or a folder inside it: " + Describe(folder);
  for (int key : {base::DIR_PROGRAM_FILES, base::DIR_PROGRAM_FILESX86,
                  base::DIR_COMMON_APP_DATA}) {
    base::FilePath root;
    if (base::PathService::Get(key, &root) && SameFolder(TruePath(root), folder))
      return "The root of Program Files or ProgramData: " + Describe(folder);
  }
  return std::string();
}

// Whether |folder| (a true path) holds an installation of this product
// that a user may be given rights on: one for all users is installed,
// upgraded and removed by an elevated installer, never through a grant, and
// the system runs its programs. Why not in |reason|.
bool HoldsGrantableInstallation(const base::FilePath& folder, std::string* reason) {
  std::string error;
  std::string contents;
  std::unique_ptr<InstallationStatus> status =
      InstallationStatusLoaderImpl().Load(folder, 0, &error, &contents);
  if (!status) {
    *reason = "Neither a new folder nor one that holds an installation of " + GetProductName() +
              ": " + Describe(folder);
    return false;
  }
  if (status->all_users) {
    *reason = "An installation for all users: " + Describe(folder);
    return false;
  }
  return true;
}

// Opens |folder| for changing its access list when this helper may grant
// rights on it, making the missing folders (held in |held|) when it does not
// exist yet; |true_folder| is where it lies. What was made is removed again
// when the grant is refused.
bool OpenGrantableFolder(const base::FilePath& folder, LinkFreeFolder* held,
                         base::FilePath* true_folder, std::string* reason) {
  if (!IsLocalFullPath(folder)) {
    *reason = "Not a full path on a drive of this machine: " + Describe(folder);
    return false;
  }
  const auto refusal = [&folder](const base::FilePath& existing) {
    return IsInWindowsFolder(existing)
               ? "A folder inside the Windows folder: " + Describe(folder)
               : std::string();
  };
  // Only a folder made here counts as new: one that appears meanwhile is
  // someone else's.
  if (!held->Open(folder, READ_CONTROL | WRITE_DAC, refusal, reason))
    return false;
  if (!base::GetFinalPathFromHandle(held->Get(), true_folder)) {
    *reason = "Cannot tell where " + Describe(folder) + " lies";
  } else {
    *reason = RefusalOf(*true_folder);
    if (reason->empty() && !held->made())
      HoldsGrantableInstallation(*true_folder, reason);
  }
  if (reason->empty())
    return true;
  std::string removal;
  if (!held->RemoveMade(&removal))
    *reason += "; " + removal;
  return false;
}

// The user SID of the token of |process|.
bool GetProcessUser(const base::Process& process, std::vector<BYTE>* sid) {
  HANDLE token_handle = nullptr;
  if (!::OpenProcessToken(process.Handle(), TOKEN_QUERY, &token_handle))
    return false;
  base::win::ScopedHandle token(token_handle);
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 ||
      !::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) {
    return false;
  }
  PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  if (!::IsValidSid(user))
    return false;
  const BYTE* bytes = static_cast<const BYTE*>(user);
  sid->assign(bytes, bytes + ::GetLengthSid(user));
  return true;
}

// "DOMAIN\name (S-1-...)" of |sid| for the log.
std::string DescribeUser(PSID sid) {
  std::string text;
  wchar_t name[256];
  wchar_t domain[256];
  DWORD name_size = std::size(name);
  DWORD domain_size = std::size(domain);
  SID_NAME_USE use;
  if (::LookupAccountSidW(nullptr, sid, name, &name_size, domain, &domain_size, &use))
    text = base::WideToUTF8(std::wstring(domain) + L"\\" + name) + " ";
  wchar_t* sid_text = nullptr;
  if (::ConvertSidToStringSidW(sid, &sid_text)) {
    base::win::ScopedLocalAllocTyped<wchar_t> owner = base::win::TakeLocalAlloc(sid_text);
    text += "(" + base::WideToUTF8(owner.get()) + ")";
  }
  return text;
}

// Removes the folders |held| made for a grant that does not stand.
void RemoveMadeFolders(LinkFreeFolder* held) {
  std::string reason;
  if (!held->RemoveMade(&reason))
    LOG(WARNING) << "Not removed: " << logging::UntrustedText(reason);
}

// Gives the requesting installer's user full rights; unless permanent, the
// old rights return once the installer signals Undo, at once when
// signalling fails or when |requester| ends without signalling. A permanent
// grant stands only where the run that asked installed: once |requester|
// has ended, a folder without an installation gets its old rights back, and
// a folder made here goes.
FolderPermissionResult GrantFolderPermission(const base::CommandLine& command_line,
                                             const base::FilePath& folder,
                                             const base::Process& requester,
                                             FolderRights* rights) {
  const bool permanent = command_line.HasSwitch(switches::kPermanentPermissions);
  if (!requester.IsValid())
    return Refuse("The installer that asked for the rights has ended");
  base::win::ScopedHandle granted = OpenNamedEvent(
      EVENT_ALL_ACCESS, folder, kernel_objects::kGiveInstallPermissionEvent, false);
  base::win::ScopedHandle undo = OpenNamedEvent(
      EVENT_ALL_ACCESS, folder, kernel_objects::kGiveInstallPermissionUndoEvent, false);
  if (!granted.IsValid() || !undo.IsValid()) {
    LOG(WARNING) << "No installer waits for rights on " << folder;
    return FolderPermissionResult();
  }
  std::vector<BYTE> user;
  if (!GetProcessUser(requester, &user))
    return Refuse("Cannot read the user of the installer that asked for the rights");
  PSID user_sid = user.data();
  LOG(INFO) << "Rights on " << folder << " for the user of the installer that asked: "
            << DescribeUser(user_sid) << "; " << switches::kPermissionsForUser << " names "
            << logging::UntrustedText(
                   base::WideToUTF8(command_line.GetSwitchValueNative(switches::kPermissionsForUser)));

  LinkFreeFolder held;
  base::FilePath true_folder;
  std::string reason;
  if (!OpenGrantableFolder(folder, &held, &true_folder, &reason))
    return Refuse(reason);

  std::vector<BYTE> before;
  if (!rights->Grant(held.Get(), user_sid, &before, &reason)) {
    LOG(ERROR) << reason << ": " << true_folder;
    RemoveMadeFolders(&held);
    return FolderPermissionResult();
  }
  LOG(INFO) << "Granted " << (permanent ? "for good" : "for the installation");
  FolderPermissionResult result;
  const bool signalled = SetEvent(granted.Get());
  if (permanent && signalled) {
    WaitForSingleObject(requester.Handle(), INFINITE);
    base::FilePath now;
    if (base::GetFinalPathFromHandle(held.Get(), &now) &&
        HoldsGrantableInstallation(now, &reason)) {
      LOG(INFO) << "The installer that asked has ended; the rights stay with its installation";
      return result;
    }
    LOG(INFO) << "The installer that asked has ended without an installation there: "
              << logging::UntrustedText(reason);
  } else if (signalled) {
    HANDLE handles[] = {undo.Get(), requester.Handle()};
    if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0)
      Sleep(kRestoreDelayMs);
  }
  const bool restored = rights->Restore(held.Get(), before, &reason);
  if (restored)
    LOG(INFO) << "Rights taken back";
  else
    LOG(ERROR) << reason << ": " << true_folder;
  if (permanent)
    RemoveMadeFolders(&held);
  else if (restored)
    result.restored_folder = true_folder;
  return result;
}

// Waits for the package, the interruption or the end of the initial process
// or of |requester|; only a ready package goes on to the grant.
FolderPermissionResult WaitForPackageThenGrant(const base::CommandLine& command_line,
                                               const base::FilePath& folder,
                                               const base::Process& requester,
                                               FolderRights* rights) {
  if (!command_line.HasSwitch(switches::kInitialPid))
    return Refuse("No initial process to wait with");
  if (!command_line.GetSwitchValuePath(switches::kWaitForPackage).IsAbsolute())
    return Refuse("Not a full path for the package");
  base::win::ScopedHandle package_ready =
      OpenNamedEvent(SYNCHRONIZE, folder, kernel_objects::kPackageReadyEvent, true);
  base::win::ScopedHandle interrupted =
      OpenNamedEvent(SYNCHRONIZE, folder, kernel_objects::kInstallationInterruptedEvent, true);
  if (!package_ready.IsValid() || !interrupted.IsValid()) {
    LOG(WARNING) << "No installation waits for its package in " << folder;
    return FolderPermissionResult();
  }
  unsigned pid = 0;
  if (!base::StringToUint(command_line.GetSwitchValueNative(switches::kInitialPid), &pid))
    return Refuse("The initial process is not a number");
  base::win::ScopedHandle initial_process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (!initial_process.IsValid()) {
    LOG(WARNING) << "The initial process has ended";
    return FolderPermissionResult();
  }

  HANDLE handles[] = {package_ready.Get(), interrupted.Get(), initial_process.Get(),
                      requester.Handle()};
  const DWORD count = requester.IsValid() ? 4 : 3;
  if (WaitForMultipleObjects(count, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
    LOG(INFO) << "The installation ended before its package was ready";
    return FolderPermissionResult();
  }
  return GrantFolderPermission(command_line, folder, requester, rights);
}

// The installer that started this helper to ask for the grant: its parent.
// An invalid process when the parent has ended already; its id may then have
// been given to a newer process, which is told apart by its later start.
base::Process OpenRequestingInstaller() {
  const base::ProcessId parent = base::GetParentProcessId(base::GetCurrentProcId());
  if (parent == base::kNullProcessId)
    return base::Process();
  base::Process process =
      base::Process::OpenWithAccess(parent, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION);
  if (!process.IsValid())
    return base::Process();
  FILETIME parent_start, own_start, unused1, unused2, unused3;
  if (!GetProcessTimes(process.Handle(), &parent_start, &unused1, &unused2, &unused3) ||
      !GetProcessTimes(GetCurrentProcess(), &own_start, &unused1, &unused2, &unused3) ||
      CompareFileTime(&parent_start, &own_start) > 0) {
    return base::Process();
  }
  return process;
}

// Waits until the processes a clean-up batch file names have ended, but for
// this one: what they hold stays in use until then. A process started after
// the batch was written (|written|) only got an ended one's id.
void WaitForBatchProcesses(const uint32_t (&process_ids)[3], const FILETIME& written) {
  for (uint32_t id : process_ids) {
    if (id == 0 || id == ::GetCurrentProcessId())
      continue;
    base::Process process =
        base::Process::OpenWithAccess(id, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION);
    FILETIME started, unused1, unused2, unused3;
    if (!process.IsValid() ||
        !GetProcessTimes(process.Handle(), &started, &unused1, &unused2, &unused3) ||
        CompareFileTime(&started, &written) > 0) {
      continue;
    }
    LOG(INFO) << "Waiting for process " << id << " before cleaning up";
    WaitForSingleObject(process.Handle(), INFINITE);
  }
}

}  // namespace

FolderPermissionResult RunFolderPermissionHelper(const base::CommandLine& command_line) {
  return RunFolderPermissionHelper(command_line, OpenRequestingInstaller(),
                                   FolderRightsImpl::GetInstance());
}

FolderPermissionResult RunFolderPermissionHelper(const base::CommandLine& command_line,
                                                 const base::Process& requester,
                                                 FolderRights* rights) {
  if (!command_line.HasSwitch(switches::kPermissionsForUser))
    return FolderPermissionResult();
  const base::FilePath folder = command_line.GetSwitchValuePath(switches::kSetFolderPermission);
  // The helper runs elevated: a relative folder would be taken from its
  // current folder, which the requesting installer does not choose.
  if (!folder.IsAbsolute())
    return Refuse("Not a full path: " + Describe(folder));
  if (command_line.HasSwitch(switches::kWaitForPackage))
    return WaitForPackageThenGrant(command_line, folder, requester, rights);
  return GrantFolderPermission(command_line, folder, requester, rights);
}

bool RunUninstallBatch(const FolderPermissionResult& result,
                       const base::FilePath& installation_folder) {
  base::FilePath folder;
  if (result.restored_folder.empty() ||
      !base::NormalizeFilePath(installation_folder, &folder) ||
      !SameFolder(folder, result.restored_folder)) {
    LOG(WARNING) << "No clean-up batch file runs without a grant of this helper on the "
                    "installation's folder, taken back";
    return false;
  }
  const base::FilePath batch = folder.Append(kCleanupBatchFileName);
  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  if (!::GetFileAttributesExW(batch.value().c_str(), GetFileExInfoStandard, &attributes))
    return false;
  std::string text;
  std::string reason;
  if (!ReadFileWithoutLinks(batch, kMaxBatchFileSize, &text, &reason)) {
    LOG(ERROR) << "Not running the clean-up batch file: " << logging::UntrustedText(reason);
    return false;
  }
  CleanupBatchFile::Contents contents;
  if (!CleanupBatchFile::Read(folder, text, &contents)) {
    LOG(ERROR) << "Not running a clean-up batch file that no uninstallation wrote";
    return false;
  }
  // The user could make any folder he made during the grant, or one he took
  // then, a junction at any time, also while the batch waits: the command
  // processor would delete through it. So this process does what the batch
  // says itself, through handles that follow no link, and deletes the batch.
  LOG(INFO) << "Doing what the clean-up batch file says";
  WaitForBatchProcesses(contents.process_ids, attributes.ftLastWriteTime);
  auto remove = [](const base::FilePath& path, bool is_folder) {
    std::string why;
    if (!DeleteWithoutLinks(path, is_folder, &why))
      LOG(WARNING) << "Not removed: " << logging::UntrustedText(why);
  };
  // This process runs from the installation's installer.exe and
  // installer_lib.dll, which cannot be deleted while it runs: they, and
  // whatever else is still in use, are moved out of the user's reach and
  // deleted there, at the latest at the next start of Windows.
  base::FilePath windows;
  base::PathService::Get(base::DIR_WINDOWS, &windows);
  ProtectedDeletion out_of_reach(windows.Append(L"Temp"));
  for (const base::FilePath& file : contents.files) {
    std::string why;
    if (DeleteWithoutLinks(file, false, &why))
      continue;
    std::string moved_why;
    if (!out_of_reach.Delete(file, &moved_why)) {
      LOG(WARNING) << "Not removed: " << logging::UntrustedText(why) << "; "
                   << logging::UntrustedText(moved_why);
    }
  }
  remove(batch, false);
  for (const base::FilePath& each : contents.folders)
    remove(each, true);
  return true;
}

}  // namespace installer
