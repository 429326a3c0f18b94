#include "desktop/windows/installer/service/link_free_folder.h"

#include <winternl.h>

#include <utility>

#include "base/files/file_util.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {

namespace {

#ifndef FILE_OPEN_REPARSE_POINT
#define FILE_OPEN_REPARSE_POINT 0x00200000
#endif

constexpr ULONG kFileOpen = 1;    // FILE_OPEN
constexpr ULONG kFileCreate = 2;  // FILE_CREATE
constexpr NTSTATUS kObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kObjectPathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043);
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

using NtCreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES,
                                              PIO_STATUS_BLOCK, PLARGE_INTEGER, ULONG, ULONG,
                                              ULONG, ULONG, PVOID, ULONG);

// ntdll is in every process; its NtCreateFile is the one call that opens a
// name relative to a handle.
NtCreateFileFunction GetNtCreateFile() {
  static const NtCreateFileFunction function =
      reinterpret_cast<NtCreateFileFunction>(reinterpret_cast<void*>(
          ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
  return function;
}

std::string Describe(const base::FilePath& path) {
  return base::WideToUTF8(path.value());
}

std::string Hex(NTSTATUS status) {
  char text[16];
  snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(status));
  return text;
}

// Opens (|disposition| kFileOpen) or makes (kFileCreate) |name| in the
// folder |parent|, the object itself when it is a link. |folder_only| asks
// for a folder.
NTSTATUS OpenRelative(HANDLE parent, const std::wstring& name, ACCESS_MASK access,
                      ULONG disposition, bool folder_only, base::win::ScopedHandle* handle,
                      ULONG share = kShareAll) {
  const NtCreateFileFunction create = GetNtCreateFile();
  if (!create)
    return static_cast<NTSTATUS>(0xC0000002);  // STATUS_NOT_IMPLEMENTED
  UNICODE_STRING unicode_name;
  unicode_name.Buffer = const_cast<PWSTR>(name.c_str());
  unicode_name.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  unicode_name.MaximumLength = unicode_name.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &unicode_name, OBJ_CASE_INSENSITIVE, parent, nullptr);
  IO_STATUS_BLOCK io = {};
  HANDLE opened = nullptr;
  const NTSTATUS status = create(
      &opened, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
      disposition,
      (folder_only ? FILE_DIRECTORY_FILE : 0) | FILE_SYNCHRONOUS_IO_NONALERT |
          FILE_OPEN_REPARSE_POINT,
      nullptr, 0);
  if (status >= 0)
    handle->Set(opened);
  return status;
}

bool ReadAttributes(HANDLE handle, DWORD* attributes) {
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!::GetFileInformationByHandle(handle, &information))
    return false;
  *attributes = information.dwFileAttributes;
  return true;
}

// Whether the entry |name| of |folder| is the one called |long_name| there:
// the same name, or its short (8.3) form. A link that was followed to a
// folder beside it shows the name it leads to.
bool IsNameOf(const base::FilePath& folder, const std::wstring& name,
              const std::wstring& long_name) {
  if (base::FilePath::CompareEqualIgnoreCase(name, long_name))
    return true;
  WIN32_FIND_DATAW data;
  base::win::ScopedFindFileHandle find(
      ::FindFirstFileW(folder.Append(name).value().c_str(), &data));
  return find.IsValid() &&
         base::FilePath::CompareEqualIgnoreCase(data.cAlternateFileName, name) &&
         base::FilePath::CompareEqualIgnoreCase(data.cFileName, long_name);
}

// Whether |child|, opened as |name| in |parent|, is that entry itself and a
// plain folder: no link, junction or mount point, nor (where the system
// followed a link anyway, as Wine does) something that lies elsewhere.
bool IsPlainSubfolder(HANDLE parent, HANDLE child, std::string* reason,
                      const base::FilePath& path) {
  DWORD attributes = 0;
  if (!ReadAttributes(child, &attributes)) {
    *reason = "Cannot read what " + Describe(path) + " is: error " +
              std::to_string(::GetLastError());
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    *reason = "The path passes through a link or junction: " + Describe(path);
    return false;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *reason = "Not a folder: " + Describe(path);
    return false;
  }
  base::FilePath parent_path;
  base::FilePath child_path;
  if (!base::GetFinalPathFromHandle(parent, &parent_path) ||
      !base::GetFinalPathFromHandle(child, &child_path)) {
    *reason = "Cannot tell where " + Describe(path) + " lies";
    return false;
  }
  if (!base::FilePath::CompareEqualIgnoreCase(
          child_path.DirName().StripTrailingSeparators().value(),
          parent_path.StripTrailingSeparators().value()) ||
      !IsNameOf(parent_path, path.BaseName().value(), child_path.BaseName().value())) {
    *reason = "The path passes through a link or junction: " + Describe(path) + " is " +
              Describe(child_path);
    return false;
  }
  return true;
}

// Deletes what |folder| (held with FILE_LIST_DIRECTORY) holds, entry by
// entry through handles opened relative to it. A link or junction goes
// itself where the system opened the link; one that it followed (Wine) stays.
bool DeleteFolderContents(HANDLE folder, const base::FilePath& path, std::string* reason) {
  struct Entry {
    std::wstring name;
    DWORD attributes;
  };
  std::vector<Entry> entries;
  std::vector<BYTE> buffer(64 * 1024);
  FILE_INFO_BY_HANDLE_CLASS query = FileFullDirectoryRestartInfo;
  while (::GetFileInformationByHandleEx(folder, query, buffer.data(),
                                        static_cast<DWORD>(buffer.size()))) {
    query = FileFullDirectoryInfo;
    for (BYTE* entry = buffer.data();;) {
      const auto* info = reinterpret_cast<const FILE_FULL_DIR_INFO*>(entry);
      std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
          if (name != L"." && name != L"..")
        entries.push_back({std::move(name), info->FileAttributes});
      if (info->NextEntryOffset == 0)
        break;
      entry += info->NextEntryOffset;
    }
  }
  bool all = true;
  for (const Entry& each : entries) {
    const base::FilePath entry_path = path.Append(each.name);
    base::win::ScopedHandle entry;
    const NTSTATUS status = OpenRelative(
        folder, each.name, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kFileOpen,
        false, &entry);
    DWORD attributes = 0;
    if (status < 0 || !ReadAttributes(entry.Get(), &attributes)) {
      *reason = "Cannot open " + Describe(entry_path) + ": " +
                (status < 0 ? Hex(status) : "error " + std::to_string(::GetLastError()));
      all = false;
      continue;
    }
    const bool link_opened = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!link_opened && (each.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      *reason = "A link that cannot be removed itself: " + Describe(entry_path);
      all = false;
      continue;
    }
    if (!link_opened && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (!IsPlainSubfolder(folder, entry.Get(), reason, entry_path) ||
         !DeleteFolderContents(entry.Get(), entry_path, reason))) {
      all = false;
      continue;
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (!::SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &disposition,
                                      sizeof(disposition))) {
      *reason = "Cannot delete " + Describe(entry_path) + ": error " +
                std::to_string(::GetLastError());
      all = false;
    }
  }
  return all;
}

// Deletes |folder| (held with DELETE and FILE_LIST_DIRECTORY) with what it
// holds, all through handles.
bool DeleteFolder(HANDLE folder, const base::FilePath& path, std::string* reason) {
  if (!DeleteFolderContents(folder, path, reason))
    return false;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (!::SetFileInformationByHandle(folder, FileDispositionInfo, &disposition,
                                    sizeof(disposition))) {
    *reason = "Cannot remove " + Describe(path) + ": error " + std::to_string(::GetLastError());
    return false;
  }
  return true;
}

}  // namespace

LinkFreeFolder::LinkFreeFolder() = default;

LinkFreeFolder::~LinkFreeFolder() = default;

bool LinkFreeFolder::Open(const base::FilePath& path, ACCESS_MASK access,
                          const MakeRefusal& refusal, std::string* reason) {
  const std::vector<std::wstring> components = path.GetComponents();
  const std::wstring& root = components.empty() ? std::wstring() : components[0];
  if (components.size() < 2 || root.size() != 3 || root[1] != L':' || root[2] != L'\\') {
    *reason = "Not a folder below a drive root: " + Describe(path);
    return false;
  }
  base::win::ScopedHandle parent(::CreateFileW(
      root.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!parent.IsValid()) {
    *reason = "Cannot open " + base::WideToUTF8(root) + ": error " +
              std::to_string(::GetLastError());
    return false;
  }
  base::FilePath walked(root);
  bool making = false;
  for (size_t i = 1; i < components.size(); ++i) {
    const std::wstring& name = components[i];
    walked = walked.Append(name);
    if (name == L"." || name == L"..") {
      *reason = "Not a full path: " + Describe(path);
      break;
    }
    const bool last = i + 1 == components.size();
    // Made folders are held for their removal; the last one also for what
    // the caller wants.
    const ACCESS_MASK wanted = FILE_TRAVERSE | FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY |
                               (last ? access : 0);
    base::win::ScopedHandle child;
    NTSTATUS status = 0;
    if (!making) {
      status = OpenRelative(parent.Get(), name, wanted, kFileOpen, false, &child);
      if (status == kObjectNameNotFound || status == kObjectPathNotFound) {
        base::FilePath existing;
        if (!base::GetFinalPathFromHandle(parent.Get(), &existing)) {
          *reason = "Cannot tell where " + Describe(walked.DirName()) + " lies";
          break;
        }
        *reason = refusal ? refusal(existing) : std::string();
        if (!reason->empty())
          break;
        making = true;
      } else if (status < 0) {
        *reason = "Cannot open " + Describe(walked) + ": " + Hex(status);
        break;
      } else if (!IsPlainSubfolder(parent.Get(), child.Get(), reason, walked)) {
        break;
      }
    }
    if (making) {
      status = OpenRelative(parent.Get(), name, wanted | DELETE, kFileCreate, true, &child);
      if (status < 0) {
        *reason = "Cannot make the folder " + Describe(walked) + ": " + Hex(status);
        break;
      }
      // Made and held from here on: it can be removed through this handle.
      base::win::ScopedHandle held;
      HANDLE copy = nullptr;
      if (!::DuplicateHandle(::GetCurrentProcess(), child.Get(), ::GetCurrentProcess(), &copy,
                             0, FALSE, DUPLICATE_SAME_ACCESS)) {
        *reason = "Cannot hold the folder " + Describe(walked);
        made_.push_back(std::move(child));
        made_paths_.push_back(walked);
        break;
      }
      held.Set(copy);
      made_.push_back(std::move(held));
      made_paths_.push_back(walked);
    }
    if (last) {
      folder_ = std::move(child);
      return true;
    }
    parent = std::move(child);
  }
  // A folder goes once its last handle is closed: the walk's own first.
  parent.Close();
  std::string removal;
  if (!RemoveMade(&removal))
    *reason += "; " + removal;
  return false;
}

HANDLE LinkFreeFolder::Get() const {
  return folder_.Get();
}

bool LinkFreeFolder::RemoveMade(std::string* reason) {
  folder_.Close();
  bool removed = true;
  while (!made_.empty()) {
    base::win::ScopedHandle folder = std::move(made_.back());
    const base::FilePath path = made_paths_.back();
    made_.pop_back();
    made_paths_.pop_back();
    if (!DeleteFolder(folder.Get(), path, reason))
      removed = false;
  }
  return removed;
}

// static
LinkFreeFolder::Removal LinkFreeFolder::RemoveUnused(HANDLE parent, const base::FilePath& path,
                                                     std::string* reason) {
  base::win::ScopedHandle folder;
  // Without FILE_SHARE_DELETE, and asking DELETE itself: this fails while
  // anyone holds the folder without sharing deletion.
  const NTSTATUS status = OpenRelative(
      parent, path.BaseName().value(), DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
      kFileOpen, false, &folder, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (status == kSharingViolation)
    return Removal::kInUse;
  if (status < 0) {
    *reason = "Cannot open " + Describe(path) + ": " + Hex(status);
    return Removal::kFailed;
  }
  if (!IsPlainSubfolder(parent, folder.Get(), reason, path) ||
      !DeleteFolder(folder.Get(), path, reason)) {
    return Removal::kFailed;
  }
  return Removal::kRemoved;
}

}  // namespace installer
