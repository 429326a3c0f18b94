#include "base/process/launch.h"

#include <algorithm>
#include <memory>

#include "base/logging.h"
#include "base/win/scoped_handle.h"

namespace base {

namespace {

bool IsUsableHandle(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// PROC_THREAD_ATTRIBUTE_JOB_LIST (attribute number 13), which the SDK defines
// only for Windows 10 targets.
const DWORD_PTR kJobListAttribute = ProcThreadAttributeValue(13, FALSE, TRUE, FALSE);

// A PROC_THREAD_ATTRIBUTE_LIST: the only handles the child inherits, and the
// job it belongs to from its creation. The values must outlive the list.
class AttributeList {
 public:
  AttributeList() = default;
  AttributeList(const AttributeList&) = delete;
  AttributeList& operator=(const AttributeList&) = delete;
  ~AttributeList() {
    if (initialized_)
      ::DeleteProcThreadAttributeList(list());
  }

  bool Initialize() {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, kCapacity, 0, &size);
    if (size == 0)
      return false;
    buffer_ = std::make_unique<char[]>(size);
    if (!::InitializeProcThreadAttributeList(list(), kCapacity, 0, &size))
      return false;
    initialized_ = true;
    return true;
  }

  bool Add(DWORD_PTR attribute, void* value, size_t size) {
    return ::UpdateProcThreadAttribute(list(), 0, attribute, value, size, nullptr, nullptr) !=
           FALSE;
  }

  LPPROC_THREAD_ATTRIBUTE_LIST list() {
    return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.get());
  }

 private:
  static constexpr DWORD kCapacity = 2;
  std::unique_ptr<char[]> buffer_;
  bool initialized_ = false;
};

// Creates the child with |startup_info|, inheriting |inherited| (or every
// inheritable handle, as |options| asks) and, when given and where Windows
// allows it, in |job|.
bool CreateChild(const std::wstring& command_line, const LaunchOptions& options,
                 STARTUPINFOEXW startup_info, std::vector<HANDLE> inherited, HANDLE job,
                 PROCESS_INFORMATION* process_info) {
  DWORD flags = options.creation_flags;
  BOOL inherit = options.inherit_handles ? TRUE : FALSE;
  const bool list_handles = !options.inherit_handles && !inherited.empty();
  AttributeList attributes;
  if (list_handles || job) {
    if (!attributes.Initialize() ||
        (list_handles && !attributes.Add(PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                         inherited.size() * sizeof(HANDLE)))) {
      PLOG(ERROR) << "Cannot build the list of inherited handles";
      return false;
    }
    // Before Windows 10 no job can be given: the child starts without one.
    if (job && !attributes.Add(kJobListAttribute, &job, sizeof(job))) {
      VLOG(1) << "Starting a child without its startup job";
      job = nullptr;
    }
    if (list_handles || job) {
      startup_info.StartupInfo.cb = sizeof(startup_info);
      startup_info.lpAttributeList = attributes.list();
      flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    if (list_handles)
      inherit = TRUE;
  }
  // CreateProcessW may write into the command line.
  std::wstring writable_command_line = command_line;
  const wchar_t* current_directory =
      options.current_directory.empty() ? nullptr : options.current_directory.value().c_str();
  return ::CreateProcessW(nullptr, writable_command_line.data(), nullptr, nullptr, inherit,
                          flags, nullptr, current_directory, &startup_info.StartupInfo,
                          process_info) != FALSE;
}

}  // namespace

LaunchOptions::LaunchOptions() = default;
LaunchOptions::LaunchOptions(const LaunchOptions&) = default;
LaunchOptions& LaunchOptions::operator=(const LaunchOptions&) = default;
LaunchOptions::~LaunchOptions() = default;

Process LaunchProcess(const std::wstring& command_line, const LaunchOptions& options) {
  STARTUPINFOEXW startup_info = {};
  startup_info.StartupInfo.cb = sizeof(STARTUPINFOW);
  if (options.start_hidden) {
    startup_info.StartupInfo.dwFlags |= STARTF_USESHOWWINDOW;
    startup_info.StartupInfo.wShowWindow = SW_HIDE;
  }

  std::vector<HANDLE> inherited;
  for (HANDLE handle : options.handles_to_inherit) {
    if (IsUsableHandle(handle))
      inherited.push_back(handle);
  }
  bool redirect = IsUsableHandle(options.stdin_handle) ||
                  IsUsableHandle(options.stdout_handle) ||
                  IsUsableHandle(options.stderr_handle);
  if (redirect) {
    startup_info.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    HANDLE in = IsUsableHandle(options.stdin_handle) ? options.stdin_handle
                                                     : ::GetStdHandle(STD_INPUT_HANDLE);
    HANDLE out = IsUsableHandle(options.stdout_handle) ? options.stdout_handle
                                                       : ::GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = IsUsableHandle(options.stderr_handle) ? options.stderr_handle
                                                       : ::GetStdHandle(STD_ERROR_HANDLE);
    startup_info.StartupInfo.hStdInput = in;
    startup_info.StartupInfo.hStdOutput = out;
    startup_info.StartupInfo.hStdError = err;
    // Only the handles the caller gave are known to be inheritable.
    for (HANDLE handle : {options.stdin_handle, options.stdout_handle, options.stderr_handle}) {
      if (IsUsableHandle(handle))
        inherited.push_back(handle);
    }
  }
  std::sort(inherited.begin(), inherited.end());
  inherited.erase(std::unique(inherited.begin(), inherited.end()), inherited.end());

  HANDLE job = options.startup_job ? options.startup_job->Get() : nullptr;
  PROCESS_INFORMATION process_info = {};
  bool created = CreateChild(command_line, options, startup_info, inherited, job, &process_info);
  if (!created && job) {
    // The job only guards the start: a start that it hinders (where this
    // process may not give its children a job of their own) goes on without.
    PLOG(WARNING) << "Starting a child without its startup job";
    created = CreateChild(command_line, options, startup_info, inherited, nullptr, &process_info);
  }
  if (!created) {
    PLOG(ERROR) << "Cannot start " << command_line;
    return Process();
  }
  // CreateProcessW has let the child run, unless the caller does.
  if (options.startup_job && !(options.creation_flags & CREATE_SUSPENDED))
    options.startup_job->LetGo();
  ::CloseHandle(process_info.hThread);
  Process process(process_info.hProcess);
  if (options.wait)
    ::WaitForSingleObject(process.Handle(), INFINITE);
  return process;
}

namespace {

// Starts the command hidden with its standard output on a new pipe and hands
// out the pipe's read end. Only the child's end is inherited, and our copy of
// it is closed, so a read ends when the child (and whatever inherited the
// pipe from it) has gone.
bool LaunchWithOutputPipe(const std::wstring& command_line, win::ScopedHandle* reader,
                          Process* process) {
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof(attributes);
  attributes.bInheritHandle = TRUE;
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!::CreatePipe(&read_end, &write_end, &attributes, 0)) {
    PLOG(ERROR) << "Cannot create the output pipe";
    return false;
  }
  reader->Set(read_end);
  win::ScopedHandle writer(write_end);
  ::SetHandleInformation(reader->Get(), HANDLE_FLAG_INHERIT, 0);

  LaunchOptions options;
  options.start_hidden = true;
  options.stdout_handle = writer.Get();
  *process = LaunchProcess(command_line, options);
  writer.Close();
  return process->IsValid();
}

}  // namespace

bool GetAppOutput(const std::wstring& command_line, std::string* output) {
  int exit_code = -1;
  return GetAppOutputWithExitCode(command_line, output, &exit_code) && exit_code == 0;
}

bool GetAppOutputWithExitCode(const std::wstring& command_line, std::string* output,
                              int* exit_code) {
  output->clear();
  win::ScopedHandle reader;
  Process process;
  if (!LaunchWithOutputPipe(command_line, &reader, &process))
    return false;

  char buffer[4096];
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(reader.Get(), buffer, sizeof(buffer), &read, nullptr) || read == 0)
      break;
    output->append(buffer, read);
  }
  return process.WaitForExit(exit_code);
}

bool GetAppOutputWithTimeout(const std::wstring& command_line, size_t max_output,
                             DWORD timeout_ms, std::string* output, int* exit_code) {
  output->clear();
  win::ScopedHandle reader;
  Process process;
  if (!LaunchWithOutputPipe(command_line, &reader, &process))
    return false;

  // The pipe is read only when it holds data, so that neither a child that
  // never ends nor a grandchild that keeps the pipe open can block us; the
  // wait on the process between reads ends as soon as the child does.
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  char buffer[4096];
  bool ended = false;
  for (;;) {
    DWORD available = 0;
    while (::PeekNamedPipe(reader.Get(), nullptr, 0, nullptr, &available, nullptr) &&
           available > 0) {
      DWORD read = 0;
      if (!::ReadFile(reader.Get(), buffer, std::min<DWORD>(available, sizeof(buffer)), &read,
                      nullptr) ||
          read == 0) {
        break;
      }
      if (output->size() < max_output)
        output->append(buffer, std::min<size_t>(read, max_output - output->size()));
    }
    if (ended)
      break;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) {
      LOG(ERROR) << "Ending a child that did not finish in time: " << command_line;
      process.Terminate(1, true);
      return false;
    }
    // Once the child has ended, one more pass collects what it wrote last.
    ended = process.WaitForExitWithTimeout(
        static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10)), exit_code);
  }
  return true;
}

}  // namespace base
