// The digest that tells one build of a PE image from every other, whether or
// not the file is signed: the image digest that an Authenticode signature
// covers. SHA-256 over the file without its CheckSum field, without the
// certificate table's entry among the data directories and without the
// certificate table itself; the hashed bytes count as padded with zeros to a
// multiple of 8 bytes, as signing pads a file before it appends the table.
// Signing a file, with any certificate, leaves its digest as it was; changing
// any byte the loader maps changes it.
//
// A certificate table must end the file and lie past the headers and every
// section's data: the bytes a table claims are left out of the digest, so a
// table placed over mapped bytes would let those differ unseen.
//
// The build computes the same digest of the installer library
// (scripts/make-library-digest.py), which installer.exe compares with the one
// of the file it is about to load.

#ifndef INSTALLER_EXE_IMAGE_DIGEST_H_
#define INSTALLER_EXE_IMAGE_DIGEST_H_

#include <windows.h>

#include <array>

class ImageDigest {
 public:
  static constexpr size_t kLength = 32;
  using Value = std::array<unsigned char, kLength>;

  ImageDigest() = delete;

  // The digest of the file open as |file| (readable), into |*digest|. False,
  // with the reason as the last error, when the file is not a PE image with
  // its certificate table, if any, where the digest allows it
  // (ERROR_BAD_EXE_FORMAT), or when reading or hashing it failed.
  static bool Compute(HANDLE file, Value* digest);
};

#endif  // INSTALLER_EXE_IMAGE_DIGEST_H_
