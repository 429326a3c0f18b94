#include "base/logging.h"

#include <windows.h>

#include <cstring>
#include <mutex>

#include "base/files/file_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"

namespace logging {

namespace {

struct LogState {
  std::mutex lock;
  unsigned destination = LOG_TO_SYSTEM_DEBUG_LOG;
  HANDLE file = INVALID_HANDLE_VALUE;
  base::FilePath path;
};

// Leaked on purpose: entries may be written while static objects are torn down.
LogState& State() {
  static LogState* state = new LogState;
  return *state;
}

LogSeverity g_min_level = LOGGING_INFO;
int g_vlog_level = 0;

const char* SeverityName(LogSeverity severity) {
  switch (severity) {
    case LOGGING_INFO:
      return "INFO";
    case LOGGING_WARNING:
      return "WARNING";
    case LOGGING_ERROR:
      return "ERROR";
    case LOGGING_FATAL:
      return "FATAL";
  }
  return "UNKNOWN";
}

const char* FileBaseName(const char* file) {
  const char* base = file;
  for (const char* p = file; *p; ++p) {
    if (*p == '/' || *p == '\\')
      base = p + 1;
  }
  return base;
}

DWORD ShareMode(bool fresh) {
  return fresh ? FILE_SHARE_READ | FILE_SHARE_WRITE
               : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
}

HANDLE OpenLogFile(const LoggingSettings& settings) {
  const bool fresh = settings.delete_old == DELETE_OLD_LOG_FILE;
  // Fails with a sharing violation while another process logs into the file.
  if (fresh)
    DeleteFileW(settings.log_file_path.value().c_str());
  return CreateFileW(settings.log_file_path.value().c_str(), FILE_APPEND_DATA, ShareMode(fresh),
                     nullptr, fresh ? CREATE_NEW : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Whether |file| is a plain file with one name lying where |path| says; its
// identity in |information|.
bool IsPlainFileAtPath(HANDLE file, const base::FilePath& path,
                       BY_HANDLE_FILE_INFORMATION* information) {
  base::FilePath opened;
  return GetFileInformationByHandle(file, information) &&
         !(information->dwFileAttributes &
           (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
         information->nNumberOfLinks == 1 && base::IsOpenAtPath(file, path, &opened);
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// A link at the file's own name is opened as itself, never followed.
constexpr DWORD kNoFollowFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

// Creates the file |path| where its path says, or nothing: a file that a link
// put elsewhere is deleted again through the handle that made it. Its
// identity goes into |made|.
bool CreateFileAtPath(const base::FilePath& path, BY_HANDLE_FILE_INFORMATION* made) {
  base::win::ScopedHandle file(CreateFileW(
      path.value().c_str(), DELETE | FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
      kNoFollowFlags, nullptr));
  if (!file.IsValid())
    return false;
  if (IsPlainFileAtPath(file.Get(), path, made))
    return true;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof(disposition));
  return false;
}

HANDLE OpenLogFileWithoutLinks(const LoggingSettings& settings) {
  const base::FilePath path = base::MakeAbsoluteFilePath(settings.log_file_path);
  if (path.empty() || base::PassesThroughReparsePoint(path))
    return INVALID_HANDLE_VALUE;
  const bool fresh = settings.delete_old == DELETE_OLD_LOG_FILE;
  // The file is made by a handle of its own, which may delete it: the log's
  // handle holds no delete access, so that readers need not share deletion
  // and, for a fresh file, others cannot delete it.
  BY_HANDLE_FILE_INFORMATION made = {};
  const bool existing = !fresh && base::PathExists(path);
  if (!existing && !CreateFileAtPath(path, &made))
    return INVALID_HANDLE_VALUE;
  base::win::ScopedHandle file(CreateFileW(path.value().c_str(),
                                           FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                           ShareMode(fresh), nullptr, OPEN_EXISTING,
                                           kNoFollowFlags, nullptr));
  BY_HANDLE_FILE_INFORMATION opened = {};
  if (!file.IsValid() || !IsPlainFileAtPath(file.Get(), path, &opened) ||
      (!existing && !SameFile(made, opened))) {
    return INVALID_HANDLE_VALUE;
  }
  return file.Take();
}

}  // namespace

bool InitLogging(const LoggingSettings& settings) {
  LogState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  if (state.file != INVALID_HANDLE_VALUE) {
    CloseHandle(state.file);
    state.file = INVALID_HANDLE_VALUE;
  }
  state.destination = settings.logging_dest;
  state.path = base::FilePath();
  if (!(settings.logging_dest & LOG_TO_FILE))
    return true;
  HANDLE file = settings.refuse_links ? OpenLogFileWithoutLinks(settings)
                                      : OpenLogFile(settings);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  state.file = file;
  state.path = settings.log_file_path;
  return true;
}

std::string UntrustedText(std::string_view text) {
  size_t length = text.size();
  if (length > kMaxUntrustedTextLength) {
    length = kMaxUntrustedTextLength;
    // Back to the start of a UTF-8 sequence.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
      --length;
  }
  std::string result;
  result.reserve(length + 16);
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      snprintf(escaped, sizeof(escaped), "\\x%02X", c);
      result += escaped;
    } else {
      result += static_cast<char>(c);
    }
  }
  if (length < text.size())
    result += "... (" + std::to_string(text.size()) + " bytes)";
  return result;
}

std::string UntrustedText(const base::FilePath& path) {
  return UntrustedText(base::WideToUTF8(path.value()));
}

void CloseLogFile() {
  LogState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  if (state.file != INVALID_HANDLE_VALUE)
    CloseHandle(state.file);
  state.file = INVALID_HANDLE_VALUE;
  state.path = base::FilePath();
  state.destination = LOG_TO_SYSTEM_DEBUG_LOG;
}

base::FilePath GetLogFilePath() {
  LogState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  return state.path;
}

void SetMinLogLevel(LogSeverity level) {
  g_min_level = level > LOGGING_FATAL ? LOGGING_FATAL : level;
}

LogSeverity GetMinLogLevel() {
  return g_min_level;
}

void SetVlogLevel(int level) {
  g_vlog_level = level;
}

int GetVlogLevel() {
  return g_vlog_level;
}

SystemErrorCode GetLastSystemErrorCode() {
  return GetLastError();
}

std::string SystemErrorCodeToString(SystemErrorCode error) {
  wchar_t buffer[256];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, buffer, 256, nullptr);
  std::wstring text(buffer, length);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  char code[32];
  snprintf(code, sizeof(code), " (0x%lX)", error);
  return base::WideToUTF8(text) + code;
}

LogMessage::LogMessage(const char* file, int line, LogSeverity severity)
    : severity_(severity) {
  Init(file, line);
}

LogMessage::LogMessage(const char* file, int line, LogSeverity severity, int verbose_level)
    : severity_(severity), verbose_level_(verbose_level) {
  Init(file, line);
}

void LogMessage::Init(const char* file, int line) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char prefix[96];
  snprintf(prefix, sizeof(prefix), "[%lu:%lu:%02d%02d/%02d%02d%02d.%03d:", GetCurrentProcessId(),
           GetCurrentThreadId(), now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
           now.wMilliseconds);
  stream_ << prefix;
  if (severity_ == LOGGING_VERBOSE)
    stream_ << "VERBOSE" << verbose_level_;
  else
    stream_ << SeverityName(severity_);
  stream_ << ':' << FileBaseName(file) << '(' << line << ")] ";
}

void LogMessage::Flush() {
  if (flushed_)
    return;
  flushed_ = true;
  stream_ << '\n';
  std::string text = stream_.str();
  // Keep the system error intact for PLOG and for the caller.
  DWORD saved_error = GetLastError();
  LogState& state = State();
  {
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.destination & LOG_TO_SYSTEM_DEBUG_LOG)
      OutputDebugStringA(text.c_str());
    if (state.destination & LOG_TO_STDERR)
      fwrite(text.data(), 1, text.size(), stderr);
    if ((state.destination & LOG_TO_FILE) && state.file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(state.file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
  }
  SetLastError(saved_error);
  if (severity_ == LOGGING_FATAL)
    ImmediateCrash();
}

LogMessage::~LogMessage() {
  Flush();
}

Win32ErrorLogMessage::Win32ErrorLogMessage(const char* file, int line, LogSeverity severity,
                                           SystemErrorCode error)
    : LogMessage(file, line, severity), error_(error) {}

Win32ErrorLogMessage::~Win32ErrorLogMessage() {
  stream() << ": " << SystemErrorCodeToString(error_);
  Flush();
}

void ImmediateCrash() {
  __builtin_trap();
}

}  // namespace logging

std::ostream& operator<<(std::ostream& out, std::wstring_view wide) {
  return out << base::WideToUTF8(wide);
}

std::ostream& operator<<(std::ostream& out, const std::wstring& wide) {
  return out << base::WideToUTF8(wide);
}

std::ostream& operator<<(std::ostream& out, const wchar_t* wide) {
  return out << base::WideToUTF8(wide ? std::wstring_view(wide) : std::wstring_view());
}

std::ostream& operator<<(std::ostream& out, const base::FilePath& path) {
  return out << base::WideToUTF8(path.value());
}
