#include "desktop/windows/installer/steps/cleanup_batch_file.h"

#include <windows.h>

#include <cstring>

#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/contained_path.h"

namespace installer {

namespace {

// |text| in the OEM code page; false when a character has no place there.
bool ToOemCodePage(const std::wstring& text, std::string* oem) {
  if (GetOEMCP() == CP_UTF8) {
    *oem = base::WideToUTF8(text);
    return true;
  }
  oem->clear();
  if (text.empty())
    return true;
  BOOL used_default = FALSE;
  const int size = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text.data(),
                                       static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       &used_default);
  if (size <= 0 || used_default)
    return false;
  oem->resize(size);
  WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                      oem->data(), size, nullptr, &used_default);
  return true;
}

// |oem| (text in the OEM code page) as UTF-16; false when it is not valid
// there.
bool FromOemCodePage(const std::string& oem, std::wstring* text) {
  if (GetOEMCP() == CP_UTF8) {
    *text = base::UTF8ToWide(oem);
    return base::IsStringUTF8(oem);
  }
  text->clear();
  if (oem.empty())
    return true;
  const int size = MultiByteToWideChar(CP_OEMCP, MB_ERR_INVALID_CHARS, oem.data(),
                                       static_cast<int>(oem.size()), nullptr, 0);
  if (size <= 0)
    return false;
  text->resize(size);
  MultiByteToWideChar(CP_OEMCP, MB_ERR_INVALID_CHARS, oem.data(), static_cast<int>(oem.size()),
                      text->data(), size);
  return true;
}

// The last |count| components of |path|'s short (8.3) form, or empty when
// the file system keeps no short names.
std::wstring ShortTail(const base::FilePath& path, size_t count) {
  const DWORD size = GetShortPathNameW(path.value().c_str(), nullptr, 0);
  if (size == 0)
    return std::wstring();
  std::wstring short_path(size, L'\0');
  const DWORD length = GetShortPathNameW(path.value().c_str(), short_path.data(), size);
  if (length == 0 || length >= size)
    return std::wstring();
  short_path.resize(length);
  const std::vector<std::wstring> components = base::FilePath(short_path).GetComponents();
  if (components.size() < count)
    return std::wstring();
  base::FilePath tail;
  for (size_t i = components.size() - count; i < components.size(); ++i)
    tail = tail.Append(components[i]);
  return tail.value();
}

// The command processor expands "%name%" even inside double quotes; a
// literal percent sign in a batch file is written twice.
std::wstring EscapePercentSigns(const std::wstring& text) {
  std::wstring escaped;
  for (wchar_t c : text) {
    if (c == L'%')
      escaped += L'%';
    escaped += c;
  }
  return escaped;
}

// The line that asks whether the process of a slot still runs, up to its id
// and after it.
constexpr char kProcessQueryStart[] = "TASKLIST /FI \"PID eq ";
constexpr char kProcessQueryEnd[] = "\" | FIND /c /i \".exe\"";
constexpr char kDeleteFileCommand[] = "del ";
constexpr char kRemoveFolderCommand[] = "rmdir ";

std::string WaitStartLine(int slot) {
  return "IF %PID" + std::to_string(slot) + "_RUNNING%==TRUE (";
}

void AppendWaitLines(int slot, uint32_t pid, std::string* text) {
  const std::string flag = "PID" + std::to_string(slot) + "_RUNNING";
  *text += WaitStartLine(slot) + "\n";
  *text += kProcessQueryStart + std::to_string(pid) + kProcessQueryEnd + "\n";
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
    // above all) would start a command of their own; wildcards, which no name
    // holds, would delete more than one file.
    if (c == L'"' || c < L' ' || c == L'*' || c == L'?')
      return false;
  }
  if (allow_install_path &&
      base::FilePath::CompareEqualIgnoreCase(path.StripTrailingSeparators().value(),
                                             install_path_.value())) {
    return true;
  }
  return install_path_.IsParent(path);
}

bool CleanupBatchFile::GetBatchPath(const base::FilePath& path, std::string* text) const {
  base::FilePath relative;
  if (!install_path_.AppendRelativePath(path, &relative)) {
    *text = "\".\"";
    return true;
  }
  std::string encoded;
  if (!ToOemCodePage(EscapePercentSigns(relative.value()), &encoded)) {
    // A name the code page cannot hold: its short name, which holds only
    // characters of the code page.
    const std::wstring short_tail = ShortTail(path, relative.GetComponents().size());
    if (short_tail.empty() || !ToOemCodePage(EscapePercentSigns(short_tail), &encoded))
      return false;
  }
  *text = "\"" + encoded + "\"";
  return true;
}

bool CleanupBatchFile::AddFile(const base::FilePath& file) {
  std::string text;
  if (!IsAcceptable(file, false) || !GetBatchPath(file, &text)) {
    LOG(WARNING) << "Not leaving to the clean-up batch file: " << file.value();
    return false;
  }
  files_.push_back(text);
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
    std::string text;
    if (!GetBatchPath(current, &text)) {
      LOG(WARNING) << "Not leaving to the clean-up batch file: " << current.value();
      return false;
    }
    folders_.emplace(current.value(), text);
    base::FilePath parent = current.DirName();
    if (parent == current)
      break;
    current = parent;
  }
  return true;
}

std::string CleanupBatchFile::GetText() const {
  // Every path is relative to the current folder: anywhere but the batch's
  // own folder (where its launcher starts it) it must not touch a thing.
  std::string text = "IF NOT EXIST " + base::WideToASCII(kCleanupBatchFileName) + " EXIT /B\n";
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
  for (const std::string& file : files_)
    text += kDeleteFileCommand + file + "\n";
  for (const auto& [path, folder] : folders_)
    text += kRemoveFolderCommand + folder + "\n";
  text += "del %0\n";
  return text;
}

namespace {

// The path a "del" or "rmdir" line of the batch names, relative to its
// folder ("." for the folder itself); false for any other line.
bool ReadPathLine(const std::string& line, const char* command, std::wstring* relative) {
  if (!base::StartsWith(line, command) || line.size() < strlen(command) + 2 ||
      line[strlen(command)] != '"' || line.back() != '"') {
    return false;
  }
  std::wstring text;
  if (!FromOemCodePage(line.substr(strlen(command) + 1, line.size() - strlen(command) - 2),
                       &text)) {
    return false;
  }
  relative->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'%' && (i + 1 == text.size() || text[++i] != L'%'))
      return false;
    relative->push_back(text[i]);
  }
  return true;
}

}  // namespace

CleanupBatchFile::Contents::Contents() = default;
CleanupBatchFile::Contents::Contents(const Contents&) = default;
CleanupBatchFile::Contents& CleanupBatchFile::Contents::operator=(const Contents&) = default;
CleanupBatchFile::Contents::~Contents() = default;

// static
bool CleanupBatchFile::IsWrittenText(const base::FilePath& install_path,
                                     const std::string& text) {
  return Read(install_path, text, nullptr);
}

// static
bool CleanupBatchFile::Read(const base::FilePath& install_path, const std::string& text,
                            Contents* contents) {
  CleanupBatchFile batch(install_path);
  Contents read;
  uint32_t* process_ids = read.process_ids;
  int slot = 0;
  for (const std::string& line :
       base::SplitString(text, "\n", base::KEEP_WHITESPACE, base::SPLIT_WANT_ALL)) {
    for (int i = 1; i <= 3; ++i) {
      if (line == WaitStartLine(i))
        slot = i;
    }
    std::wstring relative;
    if (base::StartsWith(line, kProcessQueryStart) && base::EndsWith(line, kProcessQueryEnd)) {
      const std::string id = line.substr(strlen(kProcessQueryStart),
                                         line.size() - strlen(kProcessQueryStart) -
                                             strlen(kProcessQueryEnd));
      if (slot == 0 || !base::StringToUint(id, &process_ids[slot - 1]))
        return false;
    } else if (ReadPathLine(line, kDeleteFileCommand, &relative)) {
      const base::FilePath file = install_path.Append(relative);
      if (!IsContainedRelativePath(relative) || !batch.AddFile(file))
        return false;
      read.files.push_back(file);
    } else if (ReadPathLine(line, kRemoveFolderCommand, &relative)) {
      const bool itself = relative == L".";
      const base::FilePath folder = itself ? install_path : install_path.Append(relative);
      if ((!itself && !IsContainedRelativePath(relative)) ||
          !batch.AddFolderWithAncestors(folder)) {
        return false;
      }
      read.folders.push_back(folder);
    }
  }
  batch.SetProcessIds(process_ids[0], process_ids[1], process_ids[2]);
  if (batch.GetText() != text)
    return false;
  if (contents)
    *contents = read;
  return true;
}

}  // namespace installer
