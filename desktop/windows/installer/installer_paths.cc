#include "desktop/windows/installer/installer_paths.h"

#include <windows.h>
#include <knownfolders.h>

#include <atomic>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr char kInstallerFolderFormat[] = "%s Installer";
constexpr char kLogFileBaseFormat[] = "%s_installer";
constexpr wchar_t kLogFileSuffixFormat[] = L"_%04d%02d%02d%02d%02d%02d%03d.log";
constexpr char kProbeSwitch[] = "version";

const std::string& CachedProductName() {
  static const std::string name = GetProductName();
  return name;
}

// The Downloads folder has no CSIDL: where the known-folder API is missing
// the shell refuses this one and the candidate is skipped.
constexpr int kNoCsidl = -1;

// A file name for this process's probe copy of |executable|: installers
// running at once must never share one, or one deletes the copy the other is
// about to start.
base::FilePath ProbeCopyName(const base::FilePath& executable) {
  static std::atomic<unsigned> counter{0};
  return base::FilePath(executable.BaseName().RemoveExtension().value() +
                        base::StringPrintf(L".%lu.%u", GetCurrentProcessId(), counter++) +
                        executable.Extension());
}

// Whether a copy of |executable| starts in |folder|. The copy is started
// suspended and ended at once: what matters is that the system lets a program
// start there, not what the copy would do (without its library beside it it
// could not run anyway). The copy is removed.
bool CanRunFrom(const base::FilePath& folder, const base::FilePath& executable) {
  base::FilePath copy = folder.Append(ProbeCopyName(executable));
  if (!base::CopyFile(executable, copy))
    return false;
  base::CommandLine probe(copy);
  probe.AppendSwitch(kProbeSwitch);
  base::LaunchOptions options;
  options.start_hidden = true;
  options.creation_flags = CREATE_SUSPENDED;
  base::Process process = base::LaunchProcess(probe.GetCommandLineString(), options);
  bool started = process.IsValid();
  if (started)
    process.Terminate(1, /*wait=*/true);
  process.Close();
  base::DeleteFile(copy);
  return started;
}

}  // namespace

std::wstring GetInstallerFolderName() {
  return base::UTF8ToWide(FormatWithProductName(kInstallerFolderFormat, false));
}

std::string FormatWithProductName(std::string_view format, bool lower_case) {
  std::string name = CachedProductName();
  if (lower_case)
    name = base::ToLowerASCII(name);
  std::string result;
  size_t placeholder = format.find("%s");
  if (placeholder == std::string_view::npos)
    return std::string(format);
  result.append(format.substr(0, placeholder));
  result.append(name);
  result.append(format.substr(placeholder + 2));
  return result;
}

std::wstring GetLogFileName(const base::Time::Exploded& local_time) {
  return base::UTF8ToWide(FormatWithProductName(kLogFileBaseFormat, true)) +
         base::StringPrintf(kLogFileSuffixFormat, local_time.year, local_time.month,
                            local_time.day_of_month, local_time.hour, local_time.minute,
                            local_time.second, local_time.millisecond);
}

base::FilePath GetLogFilePath(const base::Time& time, bool refuse_links) {
  base::Time::Exploded local;
  time.LocalExplode(&local);
  base::FilePath name(GetLogFileName(local));
  base::FilePath temp;
  if (!base::PathService::Get(base::DIR_TEMP, &temp))
    return name;
  base::FilePath folder = temp.Append(GetInstallerFolderName());
  // The path is still handed out: logging refuses it as well.
  if (refuse_links && base::PassesThroughReparsePoint(folder))
    return folder.Append(name);
  if (!base::DirectoryExists(folder) && !base::CreateDirectory(folder))
    return name;
  return folder.Append(name);
}

base::FilePath RecoverInstallFolderFromCommandLine(const base::CommandLine& command_line) {
  base::CommandLine::StringVector argv = command_line.argv();
  if (argv.empty())
    return base::FilePath();
  base::FilePath last(argv.back());
  return last.IsAbsolute() ? last : base::FilePath();
}

bool FindRunnableTempFolder(const std::wstring& folder_name, const base::FilePath& executable,
                            base::FilePath* folder) {
  enum Candidate { TEMP, DOWNLOADS, HOME, EXE_DIR, CANDIDATE_COUNT };
  for (int candidate = TEMP; candidate < CANDIDATE_COUNT; ++candidate) {
    base::FilePath base_folder;
    bool found = false;
    switch (candidate) {
      case TEMP:
        found = base::PathService::Get(base::DIR_TEMP, &base_folder);
        break;
      case DOWNLOADS:
        found = GetKnownFolderPath(FOLDERID_Downloads, kNoCsidl, &base_folder, true);
        break;
      case HOME:
        found = base::PathService::Get(base::DIR_HOME, &base_folder);
        break;
      case EXE_DIR:
        found = base::PathService::Get(base::DIR_EXE, &base_folder);
        break;
    }
    if (!found)
      continue;
    base::FilePath candidate_folder = base_folder.Append(folder_name);
    bool created = false;
    if (!base::DirectoryExists(candidate_folder)) {
      if (!base::CreateDirectory(candidate_folder))
        continue;
      created = true;
    }
    if (executable.empty() || CanRunFrom(candidate_folder, executable)) {
      *folder = candidate_folder;
      return true;
    }
    // Only an empty folder goes: it may be one another run is using.
    if (created)
      RemoveDirectoryW(candidate_folder.value().c_str());
  }
  return false;
}

}  // namespace installer
