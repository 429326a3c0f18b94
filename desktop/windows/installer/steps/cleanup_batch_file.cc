#include "desktop/windows/installer/steps/cleanup_batch_file.h"

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {

namespace {

// The command processor expands "%name%" even inside double quotes; a
// literal percent sign in a batch file is written twice.
std::string QuoteForBatch(const std::wstring& path) {
  std::string utf8 = base::WideToUTF8(path);
  std::string quoted = "\"";
  for (char c : utf8) {
    if (c == '%')
      quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

void AppendWaitLines(int slot, uint32_t pid, std::string* text) {
  const std::string flag = "PID" + std::to_string(slot) + "_RUNNING";
  *text += "IF %" + flag + "%==TRUE (\n";
  *text += "TASKLIST /FI \"PID eq " + std::to_string(pid) + "\" | FIND /c /i \".exe\"\n";
  *text += "IF ERRORLEVEL 1 SET " + flag + "=FALSE\n";
  *text += ")\n";
}

}  // namespace

CleanupBatchFile::CleanupBatchFile(const base::FilePath& install_path)
    : install_path_(install_path.StripTrailingSeparators()) {}

CleanupBatchFile::~CleanupBatchFile() = default;

void CleanupBatchFile::SetProcessIds(uint32_t first, uint32_t second, uint32_t third) {
  process_ids_[0] = first;
  process_ids_[1] = second;
  process_ids_[2] = third;
}

bool CleanupBatchFile::IsAcceptable(const base::FilePath& path, bool allow_install_path) const {
  if (install_path_.empty() || !install_path_.IsAbsolute() || path.ReferencesParent())
    return false;
  for (wchar_t c : path.value()) {
    // A double quote would end the quoting; control characters (line breaks
    // above all) would start a command of their own.
    if (c == L'"' || c < L' ')
      return false;
  }
  if (allow_install_path &&
      base::FilePath::CompareEqualIgnoreCase(path.StripTrailingSeparators().value(),
                                             install_path_.value())) {
    return true;
  }
  return install_path_.IsParent(path);
}

bool CleanupBatchFile::AddFile(const base::FilePath& file) {
  if (!IsAcceptable(file, false)) {
    LOG(WARNING) << "Not leaving to the clean-up batch file: " << file.value();
    return false;
  }
  files_.push_back(file.value());
  return true;
}

bool CleanupBatchFile::AddFolderWithAncestors(const base::FilePath& folder) {
  base::FilePath current = folder.StripTrailingSeparators();
  if (!IsAcceptable(current, true)) {
    LOG(WARNING) << "Not leaving to the clean-up batch file: " << folder.value();
    return false;
  }
  // Bounded by the depth of |folder| below the install folder.
  while (IsAcceptable(current, true)) {
    folders_.insert(current.value());
    base::FilePath parent = current.DirName();
    if (parent == current)
      break;
    current = parent;
  }
  return true;
}

std::string CleanupBatchFile::GetText() const {
  std::string text;
  for (int i = 0; i < 3; ++i) {
    if (i == 0 || process_ids_[i] != 0)
      text += "SET PID" + std::to_string(i + 1) + "_RUNNING=TRUE\n";
  }
  text += ":again\n";
  for (int i = 0; i < 3; ++i) {
    if (i == 0 || process_ids_[i] != 0)
      AppendWaitLines(i + 1, process_ids_[i], &text);
  }
  text += "ping -n 2 127.0.0.1\n";
  for (int i = 0; i < 3; ++i) {
    if (i == 0 || process_ids_[i] != 0)
      text += "IF %PID" + std::to_string(i + 1) + "_RUNNING%==TRUE GOTO :again\n";
  }
  for (const std::wstring& file : files_)
    text += "del " + QuoteForBatch(file) + "\n";
  for (const std::wstring& folder : folders_)
    text += "rmdir " + QuoteForBatch(folder) + "\n";
  text += "del %0\n";
  return text;
}

}  // namespace installer
