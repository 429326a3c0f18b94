#include "crash/crash_generation_server.h"

#include <sddl.h>

#include <memory>
#include <utility>
#include <vector>

#include "base/logging.h"
#include "base/win/security_util.h"

namespace crash {

namespace {

constexpr DWORD kPipeBufferSize = 512;

}  // namespace

CrashGenerationServer::CrashGenerationServer(std::wstring pipe_name, DumpRequestCallback callback)
    : pipe_name_(std::move(pipe_name)), callback_(std::move(callback)) {}

CrashGenerationServer::~CrashGenerationServer() {
  Stop();
  if (security_descriptor_)
    LocalFree(security_descriptor_);
}

// static
std::wstring CrashGenerationServer::CurrentUserSid() {
  std::vector<BYTE> user;
  wchar_t* sid_string = nullptr;
  if (!base::win::GetProcessUserSid(&user) || !ConvertSidToStringSidW(user.data(), &sid_string))
    return std::wstring();
  std::wstring sid(sid_string);
  LocalFree(sid_string);
  return sid;
}

// static
std::wstring CrashGenerationServer::PipeSecurityDescriptor(const std::wstring& user_sid) {
  // Protected DACL: nothing inherited, one entry for the user.
  return L"O:" + user_sid + L"D:P(A;;GA;;;" + user_sid + L")";
}

bool CrashGenerationServer::Start() {
  if (started_)
    return true;
  std::wstring sid = CurrentUserSid();
  if (sid.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                         PipeSecurityDescriptor(sid).c_str(), SDDL_REVISION_1,
                         &security_descriptor_, nullptr)) {
    LOG(ERROR) << "Cannot build the crash pipe's security descriptor";
    return false;
  }
  security_attributes_.nLength = sizeof(security_attributes_);
  security_attributes_.lpSecurityDescriptor = security_descriptor_;
  security_attributes_.bInheritHandle = FALSE;
  stop_event_.Set(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stop_event_.IsValid())
    return false;
  HANDLE first_pipe = CreatePipeInstance(true);
  if (first_pipe == INVALID_HANDLE_VALUE) {
    PLOG(ERROR) << "Cannot create the crash pipe";
    return false;
  }
  listener_ = std::thread(&CrashGenerationServer::Listen, this, first_pipe);
  started_ = true;
  return true;
}

void CrashGenerationServer::Stop() {
  if (!started_)
    return;
  SetEvent(stop_event_.Get());
  listener_.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(threads_lock_);
    threads.swap(client_threads_);
  }
  for (std::thread& thread : threads)
    thread.join();
  started_ = false;
}

HANDLE CrashGenerationServer::CreatePipeInstance(bool first) {
  DWORD open_mode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED;
  if (first)
    open_mode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
  return CreateNamedPipeW(pipe_name_.c_str(), open_mode,
                          PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT |
                              PIPE_REJECT_REMOTE_CLIENTS,
                          PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, 0,
                          &security_attributes_);
}

void CrashGenerationServer::Listen(HANDLE first_pipe) {
  base::win::ScopedHandle connect_event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE pipe = first_pipe;
  while (pipe != INVALID_HANDLE_VALUE) {
    base::win::ScopedHandle instance(pipe);
    OVERLAPPED overlapped = {};
    overlapped.hEvent = connect_event.Get();
    ResetEvent(connect_event.Get());
    bool connected = ConnectNamedPipe(pipe, &overlapped) != FALSE;
    if (!connected) {
      DWORD error = GetLastError();
      if (error == ERROR_PIPE_CONNECTED) {
        connected = true;
      } else if (error == ERROR_IO_PENDING) {
        DWORD bytes = 0;
        connected = WaitForIo(pipe, connect_event.Get(), &overlapped, &bytes);
      }
    }
    if (WaitForSingleObject(stop_event_.Get(), 0) == WAIT_OBJECT_0)
      return;
    if (connected) {
      std::lock_guard<std::mutex> lock(threads_lock_);
      client_threads_.emplace_back(&CrashGenerationServer::ServeClient, this, instance.Take());
    }
    pipe = CreatePipeInstance(false);
  }
  PLOG(ERROR) << "Cannot create another crash pipe instance";
}

bool CrashGenerationServer::WaitForIo(HANDLE pipe, HANDLE io_event, OVERLAPPED* overlapped,
                                      DWORD* bytes) {
  HANDLE handles[] = {io_event, stop_event_.Get()};
  if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
    CancelIo(pipe);
    GetOverlappedResult(pipe, overlapped, bytes, TRUE);
    return false;
  }
  return GetOverlappedResult(pipe, overlapped, bytes, FALSE) != FALSE;
}

bool CrashGenerationServer::ReadMessage(HANDLE pipe, HANDLE io_event, PipeMessage* message) {
  // One byte more than a message: a longer one fails with ERROR_MORE_DATA.
  char buffer[sizeof(PipeMessage) + 1];
  OVERLAPPED overlapped = {};
  overlapped.hEvent = io_event;
  ResetEvent(io_event);
  DWORD bytes = 0;
  if (!ReadFile(pipe, buffer, sizeof(buffer), nullptr, &overlapped) &&
      GetLastError() != ERROR_IO_PENDING) {
    return false;
  }
  if (!WaitForIo(pipe, io_event, &overlapped, &bytes) || bytes != sizeof(PipeMessage))
    return false;
  memcpy(message, buffer, sizeof(PipeMessage));
  return true;
}

bool CrashGenerationServer::WriteMessage(HANDLE pipe, HANDLE io_event,
                                         const PipeMessage& message) {
  OVERLAPPED overlapped = {};
  overlapped.hEvent = io_event;
  ResetEvent(io_event);
  DWORD bytes = 0;
  if (!WriteFile(pipe, &message, sizeof(message), nullptr, &overlapped) &&
      GetLastError() != ERROR_IO_PENDING) {
    return false;
  }
  return WaitForIo(pipe, io_event, &overlapped, &bytes) && bytes == sizeof(message);
}

bool CrashGenerationServer::ReadCustomInfo(HANDLE process, uint64_t address,
                                           std::vector<CustomInfoEntry>* entries) {
  entries->clear();
  if (address == 0)
    return true;
  CustomClientInfo info = {};
  SIZE_T read = 0;
  if (!ReadProcessMemory(process, reinterpret_cast<const void*>(address), &info, sizeof(info),
                         &read) ||
      read != sizeof(info)) {
    return false;
  }
  // The count is the client's word: never read more than the bound.
  size_t count = info.count < kMaxCustomInfoEntries ? info.count : kMaxCustomInfoEntries;
  if (count == 0)
    return true;
  entries->resize(count);
  size_t size = count * sizeof(CustomInfoEntry);
  if (!ReadProcessMemory(process, info.entries, entries->data(), size, &read) || read != size) {
    entries->clear();
    return false;
  }
  // Terminate every text, whatever the client left there.
  for (CustomInfoEntry& entry : *entries) {
    entry.name[CustomInfoEntry::kNameMaxLength - 1] = L'\0';
    entry.value[CustomInfoEntry::kValueMaxLength - 1] = L'\0';
  }
  return true;
}

void CrashGenerationServer::ServeClient(HANDLE raw_pipe) {
  base::win::ScopedHandle pipe(raw_pipe);
  base::win::ScopedHandle io_event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!io_event.IsValid())
    return;
  PipeMessage registration = {};
  if (!ReadMessage(pipe.Get(), io_event.Get(), &registration) ||
      registration.tag != PipeMessageTag::kRegister) {
    return;
  }
  // The process at the other end is the one that gets dumped, whatever the
  // message claims.
  ULONG pipe_client_id = 0;
  if (!GetNamedPipeClientProcessId(pipe.Get(), &pipe_client_id) ||
      pipe_client_id != registration.process_id) {
    LOG(ERROR) << "Crash client " << registration.process_id
               << " is not the pipe's client process " << pipe_client_id;
    return;
  }
  base::win::ScopedHandle process(OpenProcess(
      PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pipe_client_id));
  if (!process.IsValid())
    return;
  PipeMessage reply = {};
  reply.tag = PipeMessageTag::kRegisterReply;
  reply.process_id = GetCurrentProcessId();
  if (!WriteMessage(pipe.Get(), io_event.Get(), reply))
    return;

  PipeMessage request = {};
  while (ReadMessage(pipe.Get(), io_event.Get(), &request)) {
    if (request.tag != PipeMessageTag::kDumpRequest)
      return;
    ClientInfo info;
    info.process_id = pipe_client_id;
    info.process = process.Get();
    // Only the addresses registered at the start are used.
    info.thread_id_address = registration.thread_id_address;
    info.exception_pointers_address = registration.exception_pointers_address;
    info.assertion_info_address =
        request.assertion_info_address ? registration.assertion_info_address : 0;
    // Keys that cannot be read leave a dump without them.
    ReadCustomInfo(process.Get(), registration.custom_client_info_address, &info.custom_info);
    bool dumped = callback_(info);
    reply = {};
    reply.tag = PipeMessageTag::kDumpReply;
    reply.process_id = GetCurrentProcessId();
    reply.result = dumped ? 1 : 0;
    if (!WriteMessage(pipe.Get(), io_event.Get(), reply))
      return;
  }
}

}  // namespace crash
