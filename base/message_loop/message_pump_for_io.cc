#include "base/message_loop/message_pump_for_io.h"

#include "base/logging.h"

namespace base {

MessagePumpForIO::MessagePumpForIO()
    : port_(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {
  // Posted tasks could never wake the pump without its port.
  if (!port_.IsValid())
    PLOG(FATAL) << "Cannot create the I/O completion port";
}

MessagePumpForIO::~MessagePumpForIO() = default;

bool MessagePumpForIO::DoNativeWork() {
  return WaitForIOCompletion(0);
}

void MessagePumpForIO::WaitForWork() {
  WaitForIOCompletion(GetCurrentDelay());
}

void MessagePumpForIO::ScheduleWork() {
  if (work_scheduled_.exchange(true))
    return;
  // Our own packet: the pump as both key and OVERLAPPED.
  if (!PostQueuedCompletionStatus(port_.Get(), 0, reinterpret_cast<ULONG_PTR>(this),
                                  reinterpret_cast<OVERLAPPED*>(this))) {
    work_scheduled_ = false;
    PLOG(ERROR) << "Cannot post the work packet";
  }
}

bool MessagePumpForIO::RegisterIOHandler(HANDLE file_handle, IOHandler* handler) {
  HANDLE port = CreateIoCompletionPort(file_handle, port_.Get(),
                                       reinterpret_cast<ULONG_PTR>(handler), 1);
  if (!port) {
    PLOG(ERROR) << "Cannot associate a file with the I/O completion port";
    return false;
  }
  return true;
}

bool MessagePumpForIO::WaitForIOCompletion(DWORD timeout) {
  DWORD bytes = 0;
  ULONG_PTR key = 0;
  OVERLAPPED* overlapped = nullptr;
  BOOL ok = GetQueuedCompletionStatus(port_.Get(), &bytes, &key, &overlapped, timeout);
  DWORD error = ok ? 0 : GetLastError();
  if (!overlapped)
    return false;  // time-out (or a failure of the port itself)
  if (key == reinterpret_cast<ULONG_PTR>(this) &&
      overlapped == reinterpret_cast<OVERLAPPED*>(this)) {
    work_scheduled_ = false;
    return true;
  }
  auto* context = reinterpret_cast<IOContext*>(overlapped);
  if (context->handler)
    reinterpret_cast<IOHandler*>(key)->OnIOCompleted(context, bytes, error);
  return true;
}

}  // namespace base
