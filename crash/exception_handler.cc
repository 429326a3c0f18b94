#include "crash/exception_handler.h"

#include "crash/crash_hooks.h"

namespace crash {

namespace {

ExceptionHandler* g_current_handler = nullptr;

}  // namespace

ExceptionHandler::ExceptionHandler(const std::wstring& pipe_name, FilterCallback filter,
                                   MinidumpCallback callback, void* context,
                                   const CustomClientInfo* custom_info)
    : filter_(filter), callback_(callback), context_(context) {
  InitializeCriticalSection(&lock_);
  client_ = std::make_unique<CrashGenerationClient>(pipe_name, custom_info);
  if (!client_->Register())
    return;
  request_event_.Set(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  done_event_.Set(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (request_event_.IsValid() && done_event_.IsValid())
    handler_thread_.Set(CreateThread(nullptr, 64 * 1024, &HandlerThreadMain, this, 0, nullptr));
  if (!handler_thread_.IsValid()) {
    client_.reset();
    return;
  }
  g_current_handler = this;
  InstallCrashHooks(&OnCrash);
}

ExceptionHandler::~ExceptionHandler() {
  if (g_current_handler == this) {
    UninstallCrashHooks();
    g_current_handler = nullptr;
  }
  if (handler_thread_.IsValid()) {
    EnterCriticalSection(&lock_);
    stopping_ = true;
    SetEvent(request_event_.Get());
    LeaveCriticalSection(&lock_);
    WaitForSingleObject(handler_thread_.Get(), INFINITE);
  }
  DeleteCriticalSection(&lock_);
}

// static
bool ExceptionHandler::OnCrash(EXCEPTION_POINTERS* exception_pointers,
                               const AssertionInfo* assertion) {
  ExceptionHandler* handler = g_current_handler;
  if (!handler)
    return false;
  DWORD code = exception_pointers->ExceptionRecord->ExceptionCode;
  if (!handler->handle_debug_exceptions_ &&
      (code == EXCEPTION_BREAKPOINT || code == EXCEPTION_SINGLE_STEP)) {
    return false;
  }
  if (handler->filter_ && !handler->filter_(handler->context_, exception_pointers, assertion))
    return false;
  bool succeeded = handler->RequestDumpOnHandlerThread(exception_pointers, assertion);
  if (handler->callback_)
    handler->callback_(handler->context_, exception_pointers, assertion, succeeded);
  return true;
}

bool ExceptionHandler::WriteMinidumpForException(EXCEPTION_POINTERS* exception_pointers) {
  return RequestDumpOnHandlerThread(exception_pointers, nullptr);
}

bool ExceptionHandler::RequestDumpOnHandlerThread(EXCEPTION_POINTERS* exception_pointers,
                                                  const AssertionInfo* assertion) {
  if (!IsOutOfProcess() || !handler_thread_.IsValid())
    return false;
  EnterCriticalSection(&lock_);
  requested_pointers_ = exception_pointers;
  requested_assertion_ = assertion;
  requesting_thread_id_ = GetCurrentThreadId();
  request_succeeded_ = false;
  SetEvent(request_event_.Get());
  WaitForSingleObject(done_event_.Get(), INFINITE);
  bool succeeded = request_succeeded_;
  LeaveCriticalSection(&lock_);
  return succeeded;
}

// static
DWORD WINAPI ExceptionHandler::HandlerThreadMain(void* parameter) {
  auto* handler = static_cast<ExceptionHandler*>(parameter);
  for (;;) {
    WaitForSingleObject(handler->request_event_.Get(), INFINITE);
    if (handler->stopping_)
      return 0;
    handler->request_succeeded_ = handler->client_->RequestDump(
        handler->requested_pointers_, handler->requesting_thread_id_,
        handler->requested_assertion_, kDumpTimeoutMs);
    SetEvent(handler->done_event_.Get());
  }
}

}  // namespace crash
