// A temporary folder owned by one scope: created by one of the Create calls,
// deleted with everything in it when the owner is destroyed or Delete() is
// called, unless ownership was given up with Take(). Used by tests and by code
// that unpacks into a scratch folder.

#ifndef BASE_FILES_SCOPED_TEMP_DIR_H_
#define BASE_FILES_SCOPED_TEMP_DIR_H_

#include "base/files/file_path.h"

namespace base {

class ScopedTempDir {
 public:
  ScopedTempDir() = default;
  ScopedTempDir(ScopedTempDir&& other) noexcept;
  ScopedTempDir& operator=(ScopedTempDir&& other) noexcept;
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  // Deletes the folder if one is still owned (failures are logged).
  ~ScopedTempDir();

  // Creates a new uniquely named folder in the system temporary folder. False
  // when one is already owned or creation fails.
  [[nodiscard]] bool CreateUniqueTempDir();
  // As above, below |base_path| (which must exist).
  [[nodiscard]] bool CreateUniqueTempDirUnderPath(const FilePath& base_path);
  // Takes ownership of |path|, creating it when missing. False when one is
  // already owned.
  [[nodiscard]] bool Set(const FilePath& path);

  // Deletes the folder now. True when it is gone (or none was owned).
  [[nodiscard]] bool Delete();
  // Gives up ownership; the folder stays. Returns its path.
  [[nodiscard]] FilePath Take();

  // The folder, empty when none is owned.
  const FilePath& GetPath() const { return path_; }
  bool IsValid() const { return !path_.empty(); }

 private:
  FilePath path_;
};

}  // namespace base

#endif  // BASE_FILES_SCOPED_TEMP_DIR_H_
