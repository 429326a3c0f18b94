// The names crash clients and crash reporters meet by: kernel objects, the
// pipe, dump files and the product's environment variables.

#ifndef CRASH_REPORTING_CRASH_REPORTER_NAMES_H_
#define CRASH_REPORTING_CRASH_REPORTER_NAMES_H_

#include <windows.h>

#include <string>

namespace crash_reporting {

// Signalled by a reporter when its pipe serves; suffix: the client's id.
inline constexpr wchar_t kInitEventBaseName[] = L"VeltoCrashReporterInitEvent";
// The reporter's pipe; suffix: the reporter's id.
inline constexpr wchar_t kPipeBaseName[] = L"\\\\.\\pipe\\VeltoCrashReporter";
// Signalled by a one-crash reporter when done; suffix: the crashed reporter's id.
inline constexpr wchar_t kHandoffEventBaseName[] = L"VeltoCrashReporterException";

// "%s%u" of |base_name| and |id| in a buffer of 38 units (cut to fit).
std::wstring FormatObjectName(const wchar_t* base_name, DWORD id);

// Process types, as the "ptype" crash key and the crash counts know them.
inline constexpr char kInstallerProcessType[] = "installer";
inline constexpr char kCrashReporterProcessType[] = "crash_reporter";

// Environment variables with fixed names.
inline constexpr char kCrashReporterVlautoTestVar[] = "VELTO_CRASH_REPORTER_VLAUTO_TEST";
inline constexpr char kCrashOriginVar[] = "VELTO_CRASH_ORIGIN";
inline constexpr char kCrashLogDirVar[] = "VELTO_CRASH_LOG_DIR";
inline constexpr char kAlternativeCrashServerUrlVar[] = "VELTO_ALTERNATIVE_CRASH_SERVER_URL";
// Environment variables named after the product: "<PRODUCT>_<name>".
inline constexpr char kCrashEmailVarName[] = "CRASH_EMAIL";
inline constexpr char kCrashKeepLogsVarName[] = "CRASH_KEEP_LOGS";
std::string GetProductEnvVarName(const char* name);

// Folder switch of the reporter, and the files it finds there.
inline constexpr char kUserDataDirSwitch[] = "user-data-dir";
inline constexpr char kCrashCountsFileName[] = "crash_counts.json";
inline constexpr char kLocalStateFileName[] = "Local State";

// "<product>-crashlog-<reporter id>-<sequence>.dmp", product in lower case.
std::wstring GetDumpFileName(DWORD reporter_id, unsigned long sequence);

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_CRASH_REPORTER_NAMES_H_
