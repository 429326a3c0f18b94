#include "crash/crash_generation_client.h"

#include <utility>

namespace crash {

namespace {

constexpr DWORD kConnectTimeoutMs = 5000;
constexpr DWORD kRegisterTimeoutMs = 5000;

uint64_t AddressOf(const void* pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}

}  // namespace

CrashGenerationClient::CrashGenerationClient(std::wstring pipe_name,
                                             const CustomClientInfo* custom_info)
    : pipe_name_(std::move(pipe_name)), custom_info_(custom_info) {}

CrashGenerationClient::~CrashGenerationClient() = default;

bool CrashGenerationClient::Register() {
  if (registered_)
    return true;
  ULONGLONG deadline = GetTickCount64() + kConnectTimeoutMs;
  for (;;) {
    // Identification only: the reporter may not act as this process.
    HANDLE pipe = CreateFileW(pipe_name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                              nullptr);
    if (pipe != INVALID_HANDLE_VALUE) {
      pipe_.Set(pipe);
      break;
    }
    ULONGLONG now = GetTickCount64();
    if (GetLastError() != ERROR_PIPE_BUSY || now >= deadline)
      return false;
    WaitNamedPipeW(pipe_name_.c_str(), static_cast<DWORD>(deadline - now));
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (!SetNamedPipeHandleState(pipe_.Get(), &mode, nullptr, nullptr))
    return false;
  io_event_.Set(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!io_event_.IsValid())
    return false;

  PipeMessage request = {};
  request.tag = PipeMessageTag::kRegister;
  request.process_id = GetCurrentProcessId();
  request.thread_id_address = AddressOf(&thread_id_);
  request.exception_pointers_address = AddressOf(&exception_pointers_);
  request.assertion_info_address = AddressOf(&assertion_info_);
  request.custom_client_info_address = AddressOf(custom_info_);
  PipeMessage reply = {};
  if (!Transact(request, &reply, kRegisterTimeoutMs) ||
      reply.tag != PipeMessageTag::kRegisterReply) {
    pipe_.Close();
    return false;
  }
  server_process_id_ = reply.process_id;
  registered_ = true;
  return true;
}

bool CrashGenerationClient::RequestDump(EXCEPTION_POINTERS* exception_pointers, DWORD thread_id,
                                        const AssertionInfo* assertion, DWORD timeout_ms) {
  if (!registered_)
    return false;
  thread_id_ = thread_id;
  exception_pointers_ = exception_pointers;
  if (assertion)
    assertion_info_ = *assertion;
  PipeMessage request = {};
  request.tag = PipeMessageTag::kDumpRequest;
  request.process_id = GetCurrentProcessId();
  request.assertion_info_address = assertion ? AddressOf(&assertion_info_) : 0;
  PipeMessage reply = {};
  return Transact(request, &reply, timeout_ms) && reply.tag == PipeMessageTag::kDumpReply &&
         reply.result == 1;
}

bool CrashGenerationClient::Transact(const PipeMessage& request, PipeMessage* reply,
                                     DWORD timeout_ms) {
  auto complete = [this, timeout_ms](BOOL started, OVERLAPPED* overlapped, DWORD* bytes) {
    if (!started && GetLastError() != ERROR_IO_PENDING)
      return false;
    if (WaitForSingleObject(io_event_.Get(), timeout_ms) != WAIT_OBJECT_0) {
      CancelIo(pipe_.Get());
      GetOverlappedResult(pipe_.Get(), overlapped, bytes, TRUE);
      return false;
    }
    return GetOverlappedResult(pipe_.Get(), overlapped, bytes, FALSE) != FALSE;
  };
  OVERLAPPED overlapped = {};
  overlapped.hEvent = io_event_.Get();
  DWORD bytes = 0;
  ResetEvent(io_event_.Get());
  if (!complete(WriteFile(pipe_.Get(), &request, sizeof(request), nullptr, &overlapped),
                &overlapped, &bytes) ||
      bytes != sizeof(request)) {
    return false;
  }
  overlapped = {};
  overlapped.hEvent = io_event_.Get();
  ResetEvent(io_event_.Get());
  return complete(ReadFile(pipe_.Get(), reply, sizeof(*reply), nullptr, &overlapped),
                  &overlapped, &bytes) &&
         bytes == sizeof(*reply);
}

}  // namespace crash
