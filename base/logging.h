// Process logging into one file. Every entry carries the process and thread
// ids, the local time, the level and the source file and line:
//   [pid:tid:MMDD/HHMMSS.mmm:INFO:file.cc(12)] text
// Levels: INFO 0, WARNING 1, ERROR 2, FATAL 3 (FATAL ends the process after
// writing). VLOG(n) writes at verbose level n when n <= the verbose level set
// by SetVlogLevel (from the "v" switch). PLOG adds the last system error.
// Before InitLogging entries go to the system debug log only.
//
// Streams take UTF-8 text; wide strings and paths are converted.

#ifndef BASE_LOGGING_H_
#define BASE_LOGGING_H_

#include <sstream>
#include <string>
#include <string_view>

#include "base/files/file_path.h"

namespace logging {

using LogSeverity = int;
constexpr LogSeverity LOGGING_VERBOSE = -1;
constexpr LogSeverity LOGGING_INFO = 0;
constexpr LogSeverity LOGGING_WARNING = 1;
constexpr LogSeverity LOGGING_ERROR = 2;
constexpr LogSeverity LOGGING_FATAL = 3;
// <windows.h> defines ERROR as 0, which turns LOG(ERROR) into LOGGING_0.
constexpr LogSeverity LOGGING_0 = LOGGING_ERROR;

enum LoggingDestination : unsigned {
  LOG_NONE = 0,
  LOG_TO_FILE = 1 << 0,
  LOG_TO_SYSTEM_DEBUG_LOG = 1 << 1,
  LOG_TO_STDERR = 1 << 2,
};

// DELETE_OLD_LOG_FILE starts a new file: a leftover of the same name is
// deleted, but a file another process still holds open is neither deleted nor
// shared (InitLogging then fails and the caller picks another name). The file
// stays undeletable while this process has it open.
enum OldFileDeletionState { APPEND_TO_OLD_LOG_FILE, DELETE_OLD_LOG_FILE };

struct LoggingSettings {
  unsigned logging_dest = LOG_TO_FILE;
  base::FilePath log_file_path;
  OldFileDeletionState delete_old = APPEND_TO_OLD_LOG_FILE;
  // For a process with more rights than a standard user's whose log folder a
  // program of lesser rights can change (the user's own temporary folder, or
  // the system's, where any user may create folders). A link, junction or
  // mount point there would make this process create, delete or write a file
  // where the link points. With it set the file is used only when no
  // component of its absolute path is a reparse point and the file opened
  // lies where its path says, a single name of a plain file; a file this call
  // created elsewhere is deleted again through its handle. A leftover of the
  // name is then never deleted: DELETE_OLD_LOG_FILE fails on it like on a
  // file another process holds.
  bool refuse_links = false;
};

// Opens the destination. Returns false when the file cannot be opened (then
// entries go nowhere). May be called again to switch files.
bool InitLogging(const LoggingSettings& settings);
// Closes the log file; later entries go to the system debug log.
void CloseLogFile();

// Text that comes from outside the program (payloads, files, the registry),
// made fit for one log line: control characters are written as \xNN and the
// text is cut after kMaxUntrustedTextLength bytes (at a character boundary),
// followed by "... (<n> bytes)". Without it a payload could forge log lines or
// blow the log up.
inline constexpr size_t kMaxUntrustedTextLength = 4096;
std::string UntrustedText(std::string_view text);
std::string UntrustedText(const base::FilePath& path);
// The file of the current destination, empty when none.
base::FilePath GetLogFilePath();

void SetMinLogLevel(LogSeverity level);
LogSeverity GetMinLogLevel();
void SetVlogLevel(int level);
int GetVlogLevel();
inline bool VlogIsOn(int level) { return level <= GetVlogLevel(); }

using SystemErrorCode = unsigned long;
SystemErrorCode GetLastSystemErrorCode();
// "<message text> (0x<code>)", the message from the system's table.
std::string SystemErrorCodeToString(SystemErrorCode error);

class LogMessage {
 public:
  LogMessage(const char* file, int line, LogSeverity severity);
  // Verbose entries: |verbose_level| >= 1.
  LogMessage(const char* file, int line, LogSeverity severity, int verbose_level);
  LogMessage(const LogMessage&) = delete;
  LogMessage& operator=(const LogMessage&) = delete;
  virtual ~LogMessage();

  std::ostream& stream() { return stream_; }

 protected:
  void Flush();

 private:
  void Init(const char* file, int line);

  LogSeverity severity_;
  int verbose_level_ = 0;
  std::ostringstream stream_;
  bool flushed_ = false;
};

// Appends ": <system error text>" before writing.
class Win32ErrorLogMessage : public LogMessage {
 public:
  Win32ErrorLogMessage(const char* file, int line, LogSeverity severity, SystemErrorCode error);
  ~Win32ErrorLogMessage() override;

 private:
  SystemErrorCode error_;
};

// Swallows a stream expression when the entry is off.
class LogMessageVoidify {
 public:
  void operator&(std::ostream&) {}
};

[[noreturn]] void ImmediateCrash();

}  // namespace logging

std::ostream& operator<<(std::ostream& out, std::wstring_view wide);
std::ostream& operator<<(std::ostream& out, const std::wstring& wide);
std::ostream& operator<<(std::ostream& out, const wchar_t* wide);
std::ostream& operator<<(std::ostream& out, const base::FilePath& path);

#define LOG_IS_ON(severity) (::logging::LOGGING_##severity >= ::logging::GetMinLogLevel())

#define LAZY_STREAM(stream, condition) \
  !(condition) ? (void)0 : ::logging::LogMessageVoidify() & (stream)

#define LOG(severity) \
  LAZY_STREAM(::logging::LogMessage(__FILE__, __LINE__, ::logging::LOGGING_##severity).stream(), \
              LOG_IS_ON(severity))
#define LOG_IF(severity, condition) \
  LAZY_STREAM(::logging::LogMessage(__FILE__, __LINE__, ::logging::LOGGING_##severity).stream(), \
              LOG_IS_ON(severity) && (condition))
#define VLOG_IS_ON(level) ::logging::VlogIsOn(level)
#define VLOG(level)                                                                     \
  LAZY_STREAM(::logging::LogMessage(__FILE__, __LINE__, ::logging::LOGGING_VERBOSE, level) \
                  .stream(),                                                            \
              VLOG_IS_ON(level))
#define PLOG(severity)                                                               \
  LAZY_STREAM(::logging::Win32ErrorLogMessage(__FILE__, __LINE__,                     \
                                              ::logging::LOGGING_##severity,          \
                                              ::logging::GetLastSystemErrorCode())    \
                  .stream(),                                                         \
              LOG_IS_ON(severity))
#define VPLOG(level)                                                                      \
  LAZY_STREAM(::logging::Win32ErrorLogMessage(__FILE__, __LINE__, ::logging::LOGGING_INFO, \
                                              ::logging::GetLastSystemErrorCode())         \
                  .stream(),                                                              \
              VLOG_IS_ON(level))

// Broken invariants only: the process ends.
#define CHECK(condition)                                                              \
  LAZY_STREAM(::logging::LogMessage(__FILE__, __LINE__, ::logging::LOGGING_FATAL).stream() \
                  << "Check failed: " #condition ". ",                               \
              !(condition))
#define CHECK_EQ(a, b) CHECK((a) == (b))
#define CHECK_NE(a, b) CHECK((a) != (b))
#define CHECK_LE(a, b) CHECK((a) <= (b))
#define CHECK_LT(a, b) CHECK((a) < (b))
#define CHECK_GE(a, b) CHECK((a) >= (b))
#define CHECK_GT(a, b) CHECK((a) > (b))

#ifdef NDEBUG
#define DCHECK_IS_ON() 0
#define DCHECK(condition) \
  LAZY_STREAM(::logging::LogMessage(__FILE__, __LINE__, ::logging::LOGGING_ERROR).stream(), false)
#else
#define DCHECK_IS_ON() 1
#define DCHECK(condition) CHECK(condition)
#endif
#define DCHECK_EQ(a, b) DCHECK((a) == (b))
#define DCHECK_NE(a, b) DCHECK((a) != (b))
#define DCHECK_LE(a, b) DCHECK((a) <= (b))
#define DCHECK_LT(a, b) DCHECK((a) < (b))
#define DCHECK_GE(a, b) DCHECK((a) >= (b))
#define DCHECK_GT(a, b) DCHECK((a) > (b))
#define DLOG(severity) LOG_IF(severity, DCHECK_IS_ON())
#define DVLOG(level) VLOG(level)
#define NOTREACHED() DCHECK(false) << "NOTREACHED() hit. "

#endif  // BASE_LOGGING_H_
