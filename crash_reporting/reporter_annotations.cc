#include "crash_reporting/reporter_annotations.h"

#include <psapi.h>
#include <winternl.h>

#include <string>

#include "base/files/file_path.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "crash_reporting/installer_crash_keys.h"
#include "product_config/product_config.h"

namespace crash_reporting {

namespace {

// 100-nanosecond units between 1601 and 1970.
constexpr int64_t kEpochDelta = 116444736000000000LL;

// VM_COUNTERS of NtQueryInformationProcess class ProcessVmCounters (3).
struct VmCounters {
  SIZE_T PeakVirtualSize;
  SIZE_T VirtualSize;
  ULONG PageFaultCount;
  SIZE_T PeakWorkingSetSize;
  SIZE_T WorkingSetSize;
  SIZE_T QuotaPeakPagedPoolUsage;
  SIZE_T QuotaPagedPoolUsage;
  SIZE_T QuotaPeakNonPagedPoolUsage;
  SIZE_T QuotaNonPagedPoolUsage;
  SIZE_T PagefileUsage;
  SIZE_T PeakPagefileUsage;
};
using NtQueryInformationProcessFunction = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

void AddIfAbsent(Annotations* report, const std::wstring& key, const std::wstring& value) {
  report->emplace(key, value);
}

void AddNumber(Annotations* report, const wchar_t* key, uint64_t value) {
  AddIfAbsent(report, key, base::NumberToWString(value));
}

int64_t FileTimeToUnixMs(const FILETIME& time) {
  int64_t value = static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                       time.dwLowDateTime);
  return (value - kEpochDelta) / 10000;
}

int64_t NowUnixMs() {
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  return FileTimeToUnixMs(now);
}

base::FilePath ProcessImagePath(HANDLE process) {
  if (!process)
    return base::FilePath();
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (!QueryFullProcessImageNameW(process, 0, path, &size))
    return base::FilePath();
  return base::FilePath(std::wstring(path, size));
}

}  // namespace

void AddTimeAnnotations(HANDLE process, int64_t uptime_ms, Annotations* report) {
  FILETIME creation = {}, exit_time = {}, kernel = {}, user = {};
  if (process && GetProcessTimes(process, &creation, &exit_time, &kernel, &user)) {
    int64_t creation_ms = FileTimeToUnixMs(creation);
    AddNumber(report, L"StartupTime", creation_ms / 1000);
    int64_t crash_ms = uptime_ms >= 0 ? creation_ms + uptime_ms : NowUnixMs();
    AddNumber(report, L"CrashTime", crash_ms / 1000);
  } else {
    int64_t now_ms = NowUnixMs();
    AddNumber(report, L"CrashTime", now_ms / 1000);
    AddNumber(report, L"StartupTime", (uptime_ms >= 0 ? now_ms - uptime_ms : now_ms) / 1000);
  }
  base::FilePath image = ProcessImagePath(process);
  if (!image.empty()) {
    base::win::ScopedHandle file(CreateFileW(image.value().c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME file_creation = {};
    if (file.IsValid() && GetFileTime(file.Get(), &file_creation, nullptr, nullptr))
      AddNumber(report, L"InstallTime", FileTimeToUnixMs(file_creation) / 1000);
  }
}

void AddMemoryAnnotations(HANDLE process, Annotations* report) {
  MEMORYSTATUSEX memory = {};
  memory.dwLength = sizeof(memory);
  if (GlobalMemoryStatusEx(&memory)) {
    AddNumber(report, L"mem_load", memory.dwMemoryLoad);
    AddNumber(report, L"mem_page_file_avail", memory.ullAvailPageFile);
    AddNumber(report, L"mem_page_file_total", memory.ullTotalPageFile);
    AddNumber(report, L"mem_physical_avail", memory.ullAvailPhys);
    AddNumber(report, L"mem_physical_total", memory.ullTotalPhys);
  }
  if (!process)
    return;
  auto query = reinterpret_cast<NtQueryInformationProcessFunction>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess"));
  VmCounters counters = {};
  if (query && query(process, 3, &counters, sizeof(counters), nullptr) >= 0)
    AddNumber(report, L"mem_virtual_size", counters.VirtualSize);
  PROCESS_MEMORY_COUNTERS_EX process_memory = {};
  process_memory.cb = sizeof(process_memory);
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&process_memory),
                           sizeof(process_memory))) {
    AddNumber(report, L"process_page_file_peak_usage", process_memory.PeakPagefileUsage);
    AddNumber(report, L"process_page_file_usage", process_memory.PagefileUsage);
    AddNumber(report, L"process_private_usage", process_memory.PrivateUsage);
    AddNumber(report, L"process_working_set_peak_size", process_memory.PeakWorkingSetSize);
    AddNumber(report, L"process_working_set_size", process_memory.WorkingSetSize);
  }
}

void AddProductAnnotations(HANDLE process, Annotations* report) {
  AddIfAbsent(report, L"prod",
              base::UTF8ToWide(installer::ProductConfig::GetCrashUploadProductName()));
  AddIfAbsent(report, L"ver", base::UTF8ToWide(installer::GetVersion()));
  AddIfAbsent(report, L"UBN", base::NumberToWString(installer::GetUniqueBuildNumber()));
  AddIfAbsent(report, L"BuildID",
              base::UTF8ToWide(BuildIdValue(installer::GetBuildStamp(),
                                            installer::GetBuildIdNumber())));
  AddIfAbsent(report, L"ReleaseChannel",
              base::UTF8ToWide(ReleaseChannelValue(installer::GetChannelNumber(),
                                                   installer::GetStreamName())));
  if (report->count(L"symbols-package") == 0) {
    base::FilePath image = ProcessImagePath(process);
    if (!image.empty())
      AddIfAbsent(report, L"symbols-package", base::UTF8ToWide(SymbolsPackageValue(image)));
  }
}

void ReporterAnnotations(HANDLE process, const CrashKeyMap& crash_keys, Annotations* report) {
  int64_t uptime_ms = -1;
  for (const auto& [key, value] : crash_keys) {
    if (key == L"crash_guid")
      continue;
    if (key == L"ptime") {
      int64_t parsed = 0;
      if (base::StringToInt64(value, &parsed))
        uptime_ms = parsed;
      continue;
    }
    AddIfAbsent(report, key, value);
  }
  AddTimeAnnotations(process, uptime_ms, report);
  AddMemoryAnnotations(process, report);
  AddProductAnnotations(process, report);
}

}  // namespace crash_reporting
