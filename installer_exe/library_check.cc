#include "installer_exe/library_check.h"

#include <cstdio>

#include "desktop/windows/installer/authenticode/file_signature.h"
#include "desktop/windows/installer/authenticode/running_image.h"
#include "installer_exe/system_library.h"

namespace {

// The crypt32 and wintrust functions, from the system folder.
authenticode::CryptFunctions LookUpCryptFunctions() {
  authenticode::CryptFunctions crypt;
  crypt.verify_trust =
      GetSystemFunction<decltype(crypt.verify_trust)>(L"wintrust.dll", "WinVerifyTrust");
  crypt.query_object =
      GetSystemFunction<decltype(crypt.query_object)>(L"crypt32.dll", "CryptQueryObject");
  crypt.message_get_param =
      GetSystemFunction<decltype(crypt.message_get_param)>(L"crypt32.dll", "CryptMsgGetParam");
  crypt.message_close =
      GetSystemFunction<decltype(crypt.message_close)>(L"crypt32.dll", "CryptMsgClose");
  crypt.find_certificate = GetSystemFunction<decltype(crypt.find_certificate)>(
      L"crypt32.dll", "CertFindCertificateInStore");
  crypt.free_certificate = GetSystemFunction<decltype(crypt.free_certificate)>(
      L"crypt32.dll", "CertFreeCertificateContext");
  crypt.close_store =
      GetSystemFunction<decltype(crypt.close_store)>(L"crypt32.dll", "CertCloseStore");
  crypt.get_name =
      GetSystemFunction<decltype(crypt.get_name)>(L"crypt32.dll", "CertGetNameStringW");
  return crypt;
}

// Opens |path| for reading such that nobody can write, rename or delete it
// while the handle is open.
HANDLE OpenHeld(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The path of the file open as |file|, with every link and junction on the
// way resolved: its folders hold a file that is open, so none of them can be
// renamed or replaced meanwhile, and the path keeps naming that file.
std::wstring FinalPath(HANDLE file) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                               FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0)
      return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(length + 1);
  }
  constexpr wchar_t kUncPrefix[] = L"\\\\?\\UNC\\";
  constexpr wchar_t kPrefix[] = L"\\\\?\\";
  if (path.rfind(kUncPrefix, 0) == 0)
    return L"\\\\" + path.substr(wcslen(kUncPrefix));
  if (path.rfind(kPrefix, 0) == 0)
    return path.substr(wcslen(kPrefix));
  return path;
}

std::wstring Hex(LONG status) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(status));
  return text;
}

void CloseIfOpen(HANDLE* file) {
  if (*file != INVALID_HANDLE_VALUE)
    ::CloseHandle(*file);
  *file = INVALID_HANDLE_VALUE;
}

}  // namespace

std::wstring RunningExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

LibraryCheck::LibraryCheck(const std::wstring& expected_signer)
    : expected_signer_(expected_signer) {}

LibraryCheck::~LibraryCheck() {
  CloseIfOpen(&own_file_);
  CloseIfOpen(&library_file_);
}

bool LibraryCheck::Check(const std::wstring& library_path, std::wstring* load_path,
                         std::wstring* reason) {
  const authenticode::RunningImage image;
  if (image.IsUnsigned()) {
    *load_path = library_path;
    return true;
  }
  const authenticode::CryptFunctions crypt = LookUpCryptFunctions();
  if (!crypt.IsComplete()) {
    *reason = L"the system's signature functions are missing";
    return false;
  }

  // The signer is the one of the file this process was started from.
  const std::wstring own_path = RunningExecutablePath();
  own_file_ = own_path.empty() ? INVALID_HANDLE_VALUE : OpenHeld(own_path);
  if (own_file_ == INVALID_HANDLE_VALUE) {
    *reason = L"the installer cannot read its own file";
    return false;
  }
  if (!image.MatchesFile(own_file_)) {
    *reason = L"the installer's file was replaced since it started";
    ::SetLastError(ERROR_FILE_INVALID);
    return false;
  }

  library_file_ = OpenHeld(library_path);
  if (library_file_ == INVALID_HANDLE_VALUE) {
    *reason = L"it cannot be opened";
    return false;
  }
  const std::wstring library_final = FinalPath(library_file_);
  if (library_final.empty()) {
    *reason = L"its place cannot be told";
    return false;
  }
  authenticode::FileSignature library_signature(crypt);
  const LONG status = library_signature.VerifyTrust(library_final.c_str(), library_file_);
  if (status != 0 || !library_signature.Open(library_final.c_str())) {
    const LONG shown = status ? status : TRUST_E_NOSIGNATURE;
    *reason = L"it carries no valid signature (" + Hex(shown) + L")";
    ::SetLastError(static_cast<DWORD>(shown));
    return false;
  }

  // The installer's own signature need not hold over its file (a damaged
  // download breaks it, and the library then tells the user so): its signer
  // is who signed it all the same.
  const std::wstring own_final = FinalPath(own_file_);
  authenticode::FileSignature own_signature(crypt);
  if (!own_final.empty() && own_signature.Open(own_final.c_str())) {
    if (!library_signature.HasSameSigner(own_signature)) {
      *reason = L"it is signed by another signer than the installer";
      ::SetLastError(static_cast<DWORD>(TRUST_E_SUBJECT_NOT_TRUSTED));
      return false;
    }
  } else if (!library_signature.IsSignedBy(expected_signer_)) {
    // A signature that its file no longer holds (cut short) names no signer:
    // the library must then come from the signer that the installer's own
    // product configuration expects.
    *reason = L"the installer's signature cannot be read, and it is not signed by " +
              expected_signer_;
    ::SetLastError(static_cast<DWORD>(TRUST_E_SUBJECT_NOT_TRUSTED));
    return false;
  }
  CloseIfOpen(&own_file_);
  *load_path = library_final;
  return true;
}
