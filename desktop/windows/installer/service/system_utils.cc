#include "desktop/windows/installer/service/system_utils.h"

#include <shobjidl.h>

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/files/file.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/pe_header.h"
#include "base/win/scoped_co_mem.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/service/user_token.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr DWORD kUserNameBufferLength = 257;  // UNLEN + 1

constexpr const wchar_t* kReservedDeviceNames[] = {
    L"CON", L"AUX", L"COM1", L"COM2", L"COM3", L"COM4",
    L"LPT1", L"LPT2", L"LPT3", L"PRN", L"NUL",
};

constexpr std::wstring_view kReservedCharacters = L"?\"<>*|:";

// The versions of the association-registration interface, newest first.
constexpr const wchar_t* kAssociationRegistrationInterfaces[] = {
    L"{5E35B9FB-FB98-4565-8E0D-B7468DA31B81}", L"{14ebcc88-2831-4fc8-a5df-9f36a81db12c}",
    L"{1C5C9D10-1225-4C97-8C51-98E1B6F0D4E0}", L"{229D59E2-F94A-402E-9A9F-3B84A1ACED77}",
    L"{C7225171-B9A7-4CF7-861F-85AB7BA3C5B2}",
};

bool IsSlash(wchar_t c) {
  return c == L'\\' || c == L'/';
}

bool IsValidComponent(std::wstring_view component) {
  for (wchar_t c : component) {
    if ((c >= 1 && c <= 31) || kReservedCharacters.find(c) != std::wstring_view::npos)
      return false;
  }
  if (component.front() == L' ' || component.back() == L' ' || component.back() == L'.')
    return false;
  const std::wstring_view stem = component.substr(0, component.find(L'.'));
  if (stem.size() == 3 || stem.size() == 4) {
    for (const wchar_t* device : kReservedDeviceNames) {
      if (base::EqualsCaseInsensitiveASCII(stem, device))
        return false;
    }
  }
  return true;
}

// Reads exactly |size| bytes at |offset|.
bool ReadExactly(base::File* file, int64_t offset, void* data, int size) {
  return file->Read(offset, static_cast<char*>(data), size) == size;
}

}  // namespace

bool IsUserAdministrator(bool use_linked_token) {
  return IsUserAdministrator(UserTokenImpl(), use_linked_token);
}

bool IsUserAdministrator(const UserToken& token, bool use_linked_token) {
  bool linked = false;
  if (use_linked_token && base::win::GetVersion() >= base::win::VERSION_VISTA) {
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    if (!token.GetElevationType(&type))
      return false;
    linked = type == TokenElevationTypeLimited;
  }
  bool is_member = false;
  return token.IsAdministratorsMember(linked, &is_member) && is_member;
}

bool NeedsElevation(bool asked, bool folder_writable) {
  return NeedsElevation(UserTokenImpl(), asked, folder_writable);
}

bool NeedsElevation(const UserToken& token, bool asked, bool folder_writable) {
  if (IsUserAdministrator(token, false))
    return false;
  return asked || !folder_writable;
}

bool GetKnownFolderPath(const KNOWNFOLDERID& folder_id, int csidl, base::FilePath* path,
                        bool create, bool even_when_missing) {
  using GetKnownFolderPathFunction = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
  HMODULE shell32 = ::GetModuleHandleW(L"shell32.dll");
  auto get_known_folder_path =
      shell32 ? reinterpret_cast<GetKnownFolderPathFunction>(
                    reinterpret_cast<void*>(::GetProcAddress(shell32, "SHGetKnownFolderPath")))
              : nullptr;
  if (get_known_folder_path) {
    // The shell may hand out a block even when it fails; the owner frees it.
    base::win::ScopedCoMem<wchar_t> raw;
    HRESULT hr = get_known_folder_path(folder_id, even_when_missing ? KF_FLAG_DONT_VERIFY : 0,
                                       nullptr, &raw);
    if (FAILED(hr) && create)
      hr = get_known_folder_path(folder_id, KF_FLAG_CREATE | KF_FLAG_INIT, nullptr, &raw);
    if (hr == E_INVALIDARG) {
      // Not every known folder is present on every system (Wine has no
      // UserProgramFiles): the caller falls back on a folder of its own.
      wchar_t id[40] = {};
      ::StringFromGUID2(folder_id, id, 40);
      LOG(INFO) << "The known folder " << base::WideToUTF8(id)
                << " is not present on this system";
      return false;
    }
    if (FAILED(hr) || !raw) {
      LOG(ERROR) << "SHGetKnownFolderPath failed: 0x" << std::hex << hr;
      return false;
    }
    *path = base::FilePath(std::wstring(raw.get()));  // cut at the first NUL
    return true;
  }

  wchar_t buffer[MAX_PATH] = {};
  HRESULT hr = ::SHGetFolderPathW(
      nullptr, even_when_missing ? (csidl | CSIDL_FLAG_DONT_VERIFY) : csidl, nullptr, 0, buffer);
  if (FAILED(hr) && hr != E_INVALIDARG && create) {
    hr = ::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE | CSIDL_FLAG_DONT_UNEXPAND,
                            nullptr, 0, buffer);
  }
  if (FAILED(hr)) {
    LOG(ERROR) << "SHGetFolderPathW failed: 0x" << std::hex << hr;
    return false;
  }
  *path = base::FilePath(std::wstring(buffer));
  return true;
}

bool GetCurrentUserName(std::wstring* name) {
  wchar_t buffer[kUserNameBufferLength] = {};
  DWORD length = kUserNameBufferLength;
  if (!::GetUserNameW(buffer, &length)) {
    PLOG(ERROR) << "GetUserNameW failed";
    return false;
  }
  *name = buffer;
  return true;
}

bool GetUserNameInFormat(EXTENDED_NAME_FORMAT format, std::wstring* name) {
  ULONG length = 0;
  if (!::GetUserNameExW(format, nullptr, &length)) {
    if (::GetLastError() != ERROR_MORE_DATA) {
      PLOG(ERROR) << "GetUserNameExW failed";
      return false;
    }
  }
  std::vector<wchar_t> buffer(length + 1);
  length = static_cast<ULONG>(buffer.size());
  if (!::GetUserNameExW(format, buffer.data(), &length)) {
    PLOG(ERROR) << "GetUserNameExW failed";
    return false;
  }
  *name = buffer.data();
  return true;
}

bool GetUserDisplayName(std::wstring* name) {
  return GetUserNameInFormat(NameDisplay, name);
}

std::wstring GetKernelObjectName(const std::wstring& suffix, const std::wstring& base_name,
                                 bool global) {
  std::wstring name = base_name + L"/" + suffix;
  for (wchar_t& c : name) {
    if (c == L'\\')
      c = L'/';
  }
  return (global ? L"Global\\" : L"Local\\") + name;
}

std::string GetBrowserExecutableName() {
  return ProductConfig::GetFileNameBase() + ".exe";
}

PeArchitecture GetPeArchitecture(const base::FilePath& path) {
  // The header is read rather than mapped: a mapped view faults when another
  // process cuts the file short while it is being read.
  base::File file(path, base::File::FLAG_OPEN | base::File::FLAG_READ);
  if (!file.IsValid())
    return PE_ARCHITECTURE_NOT_PE;
  const int64_t length = file.GetLength();
  if (length <= 0 || length >= (int64_t{1} << 31))
    return PE_ARCHITECTURE_NOT_PE;

  base::win::PeHeader header;
  if (!base::win::ReadPeHeader(
          [&file](uint64_t offset, void* out, size_t size) {
            return ReadExactly(&file, static_cast<int64_t>(offset), out, static_cast<int>(size));
          },
          &header)) {
    return PE_ARCHITECTURE_NOT_PE;
  }
  return header.machine == IMAGE_FILE_MACHINE_I386 ? PE_ARCHITECTURE_I386 : PE_ARCHITECTURE_OTHER;
}

std::string GetChannelName() {
  return GetChannelName(GetChannelNumber());
}

std::string GetChannelName(int channel_number) {
  switch (channel_number) {
    case 1:
      return "Ulvane";
    case 2:
      return "Fennick";
    case 3:
      return "Pallex";
    case 4:
      return "Tamber";
    default:
      return GetStreamName();
  }
}

std::wstring GetProductRegistryKey() {
  std::wstring key = L"Software\\";
  for (unsigned char c : ProductConfig::GetCompanyName())
    key.push_back(static_cast<wchar_t>(c));
  return key;
}

std::wstring GetUninstallRegistryKey() {
  return L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
}

bool IsValidFileName(const std::wstring& path, bool for_folder) {
  const size_t limit = for_folder ? 248 : MAX_PATH;
  if (path.empty() || path.size() >= limit)
    return false;

  std::wstring_view rest = path;
  if (rest.size() >= 2 && rest[1] == L':') {
    rest.remove_prefix(2);
    if (rest.empty())
      return true;
  } else if (rest.size() >= 2 && IsSlash(rest[0]) && IsSlash(rest[1])) {
    // "\\server\share\" must stand in full.
    rest.remove_prefix(2);
    for (int part = 0; part < 2; ++part) {
      size_t end = 0;
      while (end < rest.size() && !IsSlash(rest[end]))
        ++end;
      if (end == 0 || end == rest.size())
        return false;
      rest.remove_prefix(end + 1);
    }
  }

  size_t start = 0;
  while (start < rest.size()) {
    while (start < rest.size() && IsSlash(rest[start]))
      ++start;
    size_t end = start;
    while (end < rest.size() && !IsSlash(rest[end]))
      ++end;
    if (end > start && !IsValidComponent(rest.substr(start, end - start)))
      return false;
    start = end;
  }
  return true;
}

Microsoft::WRL::ComPtr<IApplicationAssociationRegistrationInternal>
GetAppAssociationRegistration() {
  Microsoft::WRL::ComPtr<IApplicationAssociationRegistration> registration;
  HRESULT hr = ::CoCreateInstance(CLSID_ApplicationAssociationRegistration, nullptr,
                                  CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                  IID_PPV_ARGS(&registration));
  if (FAILED(hr))
    return nullptr;
  VLOG(2) << "Found the registration interface";
  for (const wchar_t* interface_id : kAssociationRegistrationInterfaces) {
    IID iid;
    if (FAILED(::IIDFromString(interface_id, &iid)))
      continue;
    Microsoft::WRL::ComPtr<IApplicationAssociationRegistrationInternal> internal;
    if (SUCCEEDED(registration->QueryInterface(iid, reinterpret_cast<void**>(
                                                        internal.GetAddressOf())))) {
      return internal;
    }
  }
  return nullptr;
}

bool HasAppAssociationRegistration() {
  return GetAppAssociationRegistration() != nullptr;
}

bool SetDefaultThroughAssociationRegistration(const std::wstring& app_name,
                                              const std::wstring& extension_or_protocol,
                                              bool is_extension) {
  Microsoft::WRL::ComPtr<IApplicationAssociationRegistrationInternal> registration =
      GetAppAssociationRegistration();
  if (!registration)
    return false;
  const HRESULT hr = registration->SetAppAsDefault(
      app_name.c_str(), extension_or_protocol.c_str(), is_extension ? AT_FILEEXTENSION
                                                                    : AT_URLPROTOCOL);
  return SUCCEEDED(hr);
}

}  // namespace installer
