// An executable image as the system mapped it into this process: its headers
// as they were read when it was loaded. Changing, renaming or replacing the
// file it came from afterwards changes nothing here, so what these say about
// the running executable cannot be swapped from outside.

#ifndef DESKTOP_WINDOWS_INSTALLER_AUTHENTICODE_RUNNING_IMAGE_H_
#define DESKTOP_WINDOWS_INSTALLER_AUTHENTICODE_RUNNING_IMAGE_H_

#include <windows.h>

namespace authenticode {

class RunningImage {
 public:
  // The process's main executable.
  RunningImage();
  // The image mapped at |module| (a module handle; the low bits that mark a
  // module loaded as an image resource are ignored).
  explicit RunningImage(HMODULE module);

  // Whether the image is a PE image whose certificate table entry is empty:
  // the file it was loaded from carries no signature. Headers that cannot be
  // read do not count as unsigned, so that a signature is then demanded.
  bool IsUnsigned() const;

 private:
  // The optional header's magic (PE32 or PE32+) and the image's headers'
  // size; false when the mapped headers are not those of a PE image.
  bool ReadHeaders(WORD* magic, DWORD* headers_size) const;

  const BYTE* base_;
};

}  // namespace authenticode

#endif  // DESKTOP_WINDOWS_INSTALLER_AUTHENTICODE_RUNNING_IMAGE_H_
