#include "base/files/scoped_temp_dir.h"

#include <utility>

#include "base/files/file_util.h"
#include "base/logging.h"

namespace base {

namespace {

constexpr wchar_t kScopedDirPrefix[] = L"scoped_dir";

}  // namespace

ScopedTempDir::ScopedTempDir(ScopedTempDir&& other) noexcept
    : path_(std::exchange(other.path_, FilePath())) {}

ScopedTempDir& ScopedTempDir::operator=(ScopedTempDir&& other) noexcept {
  if (this != &other) {
    if (!path_.empty() && !Delete())
      LOG(WARNING) << "Could not delete temporary folder " << path_;
    path_ = std::exchange(other.path_, FilePath());
  }
  return *this;
}

ScopedTempDir::~ScopedTempDir() {
  if (!path_.empty() && !Delete())
    LOG(WARNING) << "Could not delete temporary folder " << path_;
}

bool ScopedTempDir::CreateUniqueTempDir() {
  if (!path_.empty())
    return false;
  return CreateNewTempDirectory(kScopedDirPrefix, &path_);
}

bool ScopedTempDir::CreateUniqueTempDirUnderPath(const FilePath& base_path) {
  if (!path_.empty())
    return false;
  return CreateTemporaryDirInDir(base_path, kScopedDirPrefix, &path_);
}

bool ScopedTempDir::Set(const FilePath& path) {
  if (!path_.empty() || !CreateDirectory(path))
    return false;
  path_ = path;
  return true;
}

bool ScopedTempDir::Delete() {
  if (path_.empty())
    return true;
  if (!DeletePathRecursively(path_))
    return false;
  path_.clear();
  return true;
}

FilePath ScopedTempDir::Take() {
  return std::exchange(path_, FilePath());
}

}  // namespace base
