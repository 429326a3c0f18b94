#include "crash_reporting/crash_reporter.h"

#include <windows.h>

#include <atomic>
#include <memory>

#include "base/environment.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "crash_reporting/crash_count_store.h"
#include "crash_reporting/crash_dump_writer.h"
#include "crash_reporting/crash_handoff.h"
#include "crash_reporting/crash_key_map.h"
#include "crash_reporting/crash_points.h"
#include "crash_reporting/crash_reporter_names.h"
#include "crash_reporting/crash_upload.h"
#include "crash_reporting/reporter_activity.h"
#include "crash_reporting/reporter_annotations.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/service/privileges.h"
#include "product_config/product_config.h"

namespace crash_reporting {

namespace {

std::atomic<unsigned long> g_dump_sequence{0};

bool ReadParentId(const base::CommandLine& command_line, DWORD* parent_id) {
  unsigned value = 0;
  if (!base::StringToUint(
          command_line.GetSwitchValueASCII(installer::switches::kCrashReporterParentId), &value)) {
    return false;
  }
  *parent_id = value;
  return true;
}

void CALLBACK OnParentEnded(void*, BOOLEAN) {
  LOG(INFO) << "Parent process ended";
  ReleaseReporterActivity();
}

base::FilePath TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH)
    return base::FilePath();
  return base::FilePath(std::wstring(temp, length)).StripTrailingSeparators();
}

base::FilePath NextDumpPath(const base::FilePath& folder) {
  return folder.Append(GetDumpFileName(GetCurrentProcessId(), ++g_dump_sequence));
}

}  // namespace

bool InitReporterFolders(const base::CommandLine& command_line, ReporterFolders* folders) {
  *folders = ReporterFolders();
  if (command_line.HasSwitch(kUserDataDirSwitch)) {
    base::FilePath user_data = command_line.GetSwitchValuePath(kUserDataDirSwitch);
    if (!user_data.empty() && (base::DirectoryExists(user_data) ||
                               base::CreateDirectory(user_data))) {
      folders->user_data = user_data;
      folders->crash_counts_file = user_data.AppendASCII(kCrashCountsFileName);
      folders->local_state_file = user_data.AppendASCII(kLocalStateFileName);
    }
  }
  std::string log_dir;
  if (base::Environment::Create()->GetVar(kCrashLogDirVar, &log_dir) && !log_dir.empty()) {
    base::FilePath folder(base::UTF8ToWide(log_dir));
    if (base::DirectoryExists(folder) || base::CreateDirectory(folder))
      folders->dump_folder = folder;
  }
  if (folders->dump_folder.empty())
    folders->dump_folder = TempFolder();
  return !folders->dump_folder.empty();
}

void InitReporterLogging() {
  std::wstring name =
      base::UTF8ToWide(base::ToLowerASCII(installer::GetProductName()) + "_crashreporter.log");
  logging::LoggingSettings settings;
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length + name.size() > MAX_PATH) {
    settings.logging_dest = logging::LOG_TO_SYSTEM_DEBUG_LOG;
  } else {
    settings.logging_dest = logging::LOG_TO_FILE;
    settings.log_file_path = base::FilePath(std::wstring(temp, length) + name);
    // An elevated reporter's temporary folder can be changed by the same user
    // unelevated, or, for the system's, by any user.
    settings.refuse_links = installer::PrivilegesImpl::GetInstance()->IsElevated();
  }
  logging::InitLogging(settings);
  logging::SetMinLogLevel(0);
}

bool ReadCrashReportingConsent(const base::FilePath& local_state_file) {
  if (local_state_file.empty())
    return true;
  std::string text;
  if (!base::ReadFileToString(local_state_file, &text))
    return true;
  std::optional<base::Value::Dict> local_state = base::JSONReader::ReadDict(text);
  if (!local_state)
    return true;
  std::optional<bool> enabled =
      local_state->FindBoolByDottedPath("user_experience_metrics.reporting_enabled");
  return enabled.value_or(true);
}

bool ReadKeepLogsFlag() {
  std::string value;
  if (!base::Environment::Create()->GetVar(GetProductEnvVarName(kCrashKeepLogsVarName), &value))
    return false;
  return value == "1" || base::EqualsCaseInsensitiveASCII(value, "yes") ||
         base::EqualsCaseInsensitiveASCII(value, "true");
}

bool OnClientDumpRequest(const DumpRequestContext& context, const crash::ClientInfo& client) {
  AddReporterActivity();
  LOG(INFO) << "Dump request of process " << client.process_id;
  CrashKeyMap crash_keys = BuildCrashKeyMap(client.custom_info);
  auto ptype = crash_keys.find(L"ptype");
  if (context.store && ptype != crash_keys.end() && !ptype->second.empty())
    context.store->Add(base::WideToUTF8(ptype->second), 1, true);
  base::FilePath dump_path = NextDumpPath(context.dump_folder);
  CrashHandoffInfo info = {};
  bool written = ReadClientExceptionInfo(client, &info) &&
                 WriteCrashDump(client.process, client.process_id, info, dump_path,
                                kServerDumpSizeLimit);
  LOG(INFO) << (written ? "Dump written to " : "No dump written to ") << dump_path;
  if (written) {
    Annotations annotations;
    ReporterAnnotations(client.process, crash_keys, &annotations);
    UploadCrashReportAsync(dump_path, std::move(annotations), !context.keep_logs);
  }
  ReleaseReporterActivity();
  return written;
}

void StopCrashServerWhenIdle(crash::CrashGenerationServer& server) {
  WaitForReporterIdle();
  // Stopping lets the requests under way finish; no new one starts.
  server.Stop();
  WaitForReporterIdle();
}

int RunCrashServer(const base::CommandLine& command_line) {
  PrepareExceptionHandoff();
  DWORD parent_id = 0;
  if (!ReadParentId(command_line, &parent_id))
    return -1;
  InitReporterLogging();
  LOG(INFO) << "Crash reporter for process " << parent_id;
  ReporterFolders folders;
  if (!InitReporterFolders(command_line, &folders))
    return -1;
  if (!ReadCrashReportingConsent(folders.local_state_file)) {
    LOG(INFO) << "Crash reporting is off";
    return -1;
  }
  ResolveCrashUploadUrl();
  if (!InitReporterActivity())
    return -1;

  base::win::ScopedHandle parent(OpenProcess(SYNCHRONIZE, FALSE, parent_id));
  if (!parent.IsValid())
    return -1;
  AddReporterActivity();
  HANDLE wait = nullptr;
  if (!RegisterWaitForSingleObject(&wait, parent.Get(), &OnParentEnded, nullptr, INFINITE,
                                   WT_EXECUTEONLYONCE)) {
    ReleaseReporterActivity();
    return -1;
  }

  base::win::ScopedHandle init_event(OpenEventW(
      EVENT_MODIFY_STATE, FALSE, FormatObjectName(kInitEventBaseName, parent_id).c_str()));
  std::wstring pipe_name = FormatObjectName(kPipeBaseName, GetCurrentProcessId());
  SetCurrentDirectoryW(folders.dump_folder.value().c_str());

  DumpRequestContext context;
  context.keep_logs = ReadKeepLogsFlag();
  context.dump_folder = folders.dump_folder;
  std::unique_ptr<CrashCountStore> store;
  if (!folders.crash_counts_file.empty())
    store = std::make_unique<CrashCountStore>(folders.crash_counts_file);
  context.store = store.get();

  crash::CrashGenerationServer server(
      pipe_name, [&context](const crash::ClientInfo& client) {
        return OnClientDumpRequest(context, client);
      });
  if (!server.Start()) {
    UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);
    return -1;
  }
  if (init_event.IsValid())
    SetEvent(init_event.Get());
  init_event.Close();
  CrashPoint(kCrashPointReporter);

  StopCrashServerWhenIdle(server);
  UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);
  store.reset();
  LOG(INFO) << "Crash reporter done";
  return 0;
}

void ReportParentException(const base::CommandLine& command_line) {
  DWORD parent_id = 0;
  uint64_t address = 0;
  if (!ReadParentId(command_line, &parent_id) ||
      !base::StringToUint64(
          command_line.GetSwitchValueASCII(installer::switches::kCrashReporterExceptionInfo),
          &address)) {
    return;
  }
  InitReporterLogging();
  int64_t days = 0;
  bool report = DaysSinceLastReporterCrash(&days) && days >= kReporterCrashThrottleDays;
  LOG(INFO) << "Crash of crash reporter " << parent_id
            << (report ? ": reporting" : ": throttled");
  base::FilePath dump_path;
  bool written = false;
  Annotations annotations;
  std::unique_ptr<CrashCountStore> store;
  if (report) {
    ReporterFolders folders;
    InitReporterFolders(command_line, &folders);
    if (!folders.crash_counts_file.empty()) {
      store = std::make_unique<CrashCountStore>(folders.crash_counts_file);
      store->Add(kCrashReporterProcessType, 1, true);
    }
    dump_path = NextDumpPath(TempFolder());
    CrashHandoffInfo info = {};
    base::win::ScopedHandle parent(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, parent_id));
    written = parent.IsValid() && ReadHandoffInfo(parent_id, address, &info) &&
              WriteCrashDump(parent.Get(), parent_id, info, dump_path, kHandoffDumpSizeLimit);
    if (written) {
      std::string email;
      if (base::Environment::Create()->GetVar(GetProductEnvVarName(kCrashEmailVarName), &email))
        annotations[L"Email"] = base::UTF8ToWide(email);
      annotations[L"ptype"] = base::UTF8ToWide(kCrashReporterProcessType);
      AddTimeAnnotations(parent.Get(), -1, &annotations);
      AddMemoryAnnotations(parent.Get(), &annotations);
      AddProductAnnotations(parent.Get(), &annotations);
    }
  }
  base::win::ScopedHandle handoff_event(OpenEventW(
      EVENT_MODIFY_STATE, FALSE, FormatObjectName(kHandoffEventBaseName, parent_id).c_str()));
  if (handoff_event.IsValid())
    SetEvent(handoff_event.Get());
  if (written) {
    ResolveCrashUploadUrl();
    if (UploadCrashReportNow(dump_path, std::move(annotations), false)) {
      SYSTEMTIME now = {};
      GetSystemTime(&now);
      StoreLastReporterCrashTime(now);
    }
  }
  LOG(INFO) << "Crash of crash reporter " << parent_id << " handled";
}

}  // namespace crash_reporting
