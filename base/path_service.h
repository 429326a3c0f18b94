// Resolves the well-known paths named by BasePathKey (base/base_paths.h).
// Every lookup asks the system afresh, except for keys that were overridden:
// Override() keeps a path for a key in a process-wide table (thread-safe) that
// takes precedence over the system until RemoveOverride(). Overrides are the
// seam through which tests and embedders point the product at other folders.

#ifndef BASE_PATH_SERVICE_H_
#define BASE_PATH_SERVICE_H_

#include "base/base_paths.h"
#include "base/files/file_path.h"

namespace base {

class PathService {
 public:
  PathService() = delete;

  // Fills |path| with the path for |key|. False (|path| untouched) when the key
  // is unknown or the system cannot say.
  static bool Get(int key, FilePath* path);
  // Makes Get(key) return |path| from now on. The path is made absolute; false
  // when that fails or |key| is out of range.
  static bool Override(int key, const FilePath& path);
  // Drops an override. False when there was none.
  static bool RemoveOverride(int key);
};

}  // namespace base

#endif  // BASE_PATH_SERVICE_H_
