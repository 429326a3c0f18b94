// Whether installer.exe may load the installer library that lies beside it.
//
// The installer runs elevated from folders its user can write (the package
// folder under the temporary folder, the Downloads folder): the elevation
// prompt shows the signature of installer.exe, but the library is only a file
// beside it, which the user could swap before it is loaded, for another build
// of the library signed just the same or for any DLL of the same signer. So
// the installer loads only the very build of the library it was built with:
// the file's ImageDigest must be the one the build compiled into the
// executable (kLibraryDigest), whether the library is signed or not and
// whether the installer is. The file stays open, so that it can be neither
// written, renamed nor deleted, from before the check until it is loaded.

#ifndef INSTALLER_EXE_LIBRARY_CHECK_H_
#define INSTALLER_EXE_LIBRARY_CHECK_H_

#include <windows.h>

#include <string>

#include "installer_exe/image_digest.h"

// The last error of a library refused for its digest: ERROR_INVALID_IMAGE_HASH,
// which mingw-w64's headers lack.
inline constexpr DWORD kErrorInvalidImageHash = 577;

// The full path this process was started from; empty when it cannot be read.
std::wstring RunningExecutablePath();

class LibraryCheck {
 public:
  // |expected_digest|: the ImageDigest of the library built with the
  // installer.
  explicit LibraryCheck(const ImageDigest::Value& expected_digest);
  LibraryCheck(const LibraryCheck&) = delete;
  LibraryCheck& operator=(const LibraryCheck&) = delete;
  // Lets go of the file it holds: call it once the library is loaded.
  ~LibraryCheck();

  // Checks the library |library_path| for the running installer. True when
  // it may be loaded, from |*load_path|: the path of the very file checked,
  // which stays held until this object is destroyed. False with the reason
  // in |*reason| and the system's error as the last error.
  bool Check(const std::wstring& library_path, std::wstring* load_path, std::wstring* reason);

 private:
  const ImageDigest::Value expected_digest_;
  HANDLE library_file_ = INVALID_HANDLE_VALUE;
};

#endif  // INSTALLER_EXE_LIBRARY_CHECK_H_
