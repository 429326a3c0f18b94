// The crash reporter process: the installer executable started with
// "crash-reporter-parent-id". In the server mode it serves one installer
// process (and the children that join it) over its pipe for as long as that
// process lives, writes a minidump for each crash request, annotates it,
// counts it and queues its upload. In the one-crash mode
// ("crash-reporter-exception-info" as well) it reports the crash of a
// crash reporter that has died.

#ifndef CRASH_REPORTING_CRASH_REPORTER_H_
#define CRASH_REPORTING_CRASH_REPORTER_H_

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "crash/crash_generation_server.h"

namespace crash_reporting {

class CrashCountStore;

struct ReporterFolders {
  // Empty when no user-data folder was given.
  base::FilePath user_data;
  base::FilePath crash_counts_file;
  base::FilePath local_state_file;
  base::FilePath dump_folder;
};

// What the dump callback works with.
struct DumpRequestContext {
  CrashCountStore* store = nullptr;  // may be null: no counts kept
  bool keep_logs = false;
  base::FilePath dump_folder;
};

// Returns 0 after a normal end, -1 when the server could not start (consent
// off among the reasons).
int RunCrashServer(const base::CommandLine& command_line);
void ReportParentException(const base::CommandLine& command_line);

// The end of the server mode: once the reporter is idle (its parent has
// ended, and every dump request and upload so far is done), stops |server|
// and then waits again, for the uploads that requests served meanwhile (a
// child's crash as its parent ended) queued: the process's end would cut
// them off and leave their dumps behind.
void StopCrashServerWhenIdle(crash::CrashGenerationServer& server);

// The server's dump callback; true when a dump was written.
bool OnClientDumpRequest(const DumpRequestContext& context, const crash::ClientInfo& client);

bool InitReporterFolders(const base::CommandLine& command_line, ReporterFolders* folders);
void InitReporterLogging();
// On unless the local-state file says "user_experience_metrics.reporting_enabled": false.
bool ReadCrashReportingConsent(const base::FilePath& local_state_file);
// VELTO_CRASH_KEEP_LOGS is "1", "YES" or "TRUE" (any case).
bool ReadKeepLogsFlag();

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_CRASH_REPORTER_H_
