// The digest (ImageDigest) of the installer library built together with this
// executable. The build computes it once the library is linked
// (scripts/make-library-digest.py) and compiles it into the executable, so
// that the executable loads only that build of its library, signed or not.

#ifndef INSTALLER_EXE_LIBRARY_DIGEST_H_
#define INSTALLER_EXE_LIBRARY_DIGEST_H_

#include "installer_exe/image_digest.h"

extern const ImageDigest::Value kLibraryDigest;

#endif  // INSTALLER_EXE_LIBRARY_DIGEST_H_
