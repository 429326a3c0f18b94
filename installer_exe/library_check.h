// Whether installer.exe may load the installer library that lies beside it.
//
// The installer runs elevated from folders its user can write (the package
// folder under the temporary folder, the Downloads folder): the elevation
// prompt shows the signature of installer.exe, but the library is only a file
// beside it, which the user could swap before it is loaded. So a signed
// installer loads only a library that carries a valid signature made with its
// own signing certificate, and keeps that file open, so that it can be
// neither written nor renamed, from before the check until it is loaded.
// Whether the installer is signed is read from its image as the system
// mapped it, which no file put at its path since can change; the file whose
// signature gives the signer must begin with that image's very headers. When
// that file holds no readable signature (a download cut short, which the
// library reports as a corrupted installer), the library must be signed by
// the product's expected signer instead.
//
// An unsigned installer (development and test builds) loads the library
// unchecked, as the installer library demands signatures of what it trusts
// only when the running installer is signed.

#ifndef INSTALLER_EXE_LIBRARY_CHECK_H_
#define INSTALLER_EXE_LIBRARY_CHECK_H_

#include <windows.h>

#include <string>

// The full path this process was started from; empty when it cannot be read.
std::wstring RunningExecutablePath();

class LibraryCheck {
 public:
  // |expected_signer|: the signer name of the product's configuration.
  explicit LibraryCheck(const std::wstring& expected_signer);
  LibraryCheck(const LibraryCheck&) = delete;
  LibraryCheck& operator=(const LibraryCheck&) = delete;
  // Lets go of the files it holds: call it once the library is loaded.
  ~LibraryCheck();

  // Checks the library |library_path| for the running installer. True when
  // it may be loaded, from |*load_path|: the path of the very file checked,
  // which stays held until this object is destroyed. False with the reason
  // in |*reason| and the system's error as the last error.
  bool Check(const std::wstring& library_path, std::wstring* load_path, std::wstring* reason);

 private:
  const std::wstring expected_signer_;
  HANDLE own_file_ = INVALID_HANDLE_VALUE;
  HANDLE library_file_ = INVALID_HANDLE_VALUE;
};

#endif  // INSTALLER_EXE_LIBRARY_CHECK_H_
