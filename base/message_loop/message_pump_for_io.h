// The pump of a TYPE_IO loop: sleeps in GetQueuedCompletionStatus on an I/O
// completion port of its own. Files opened for overlapped I/O are associated
// with the port through RegisterIOHandler; each completion is handed to the
// file's IOHandler on the loop thread. ScheduleWork posts a private completion
// packet.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_IO_H_
#define BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_IO_H_

#include <windows.h>

#include <atomic>

#include "base/message_loop/message_pump.h"
#include "base/win/scoped_handle.h"

namespace base {

class MessagePumpForIO : public MessagePump {
 public:
  class IOHandler;

  // The OVERLAPPED of one operation. Owners keep it alive until the operation
  // completes. An owner going away with the operation still pending sets
  // |handler| to null (keeping the context alive): the completion is then
  // dropped instead of reaching a deleted handler.
  struct IOContext {
    OVERLAPPED overlapped;
    IOHandler* handler;
  };

  class IOHandler {
   public:
    virtual ~IOHandler() = default;
    // |error| is 0 on success, else the Win32 error of the operation.
    virtual void OnIOCompleted(IOContext* context, DWORD bytes_transferred, DWORD error) = 0;
  };

  MessagePumpForIO();
  ~MessagePumpForIO() override;

  void ScheduleWork() override;

  // Associates |file_handle| (opened with FILE_FLAG_OVERLAPPED) with the port;
  // its completions go to |handler|. False (and logged) on failure.
  bool RegisterIOHandler(HANDLE file_handle, IOHandler* handler);

 private:
  bool DoNativeWork() override;
  void WaitForWork() override;
  // Waits up to |timeout| ms for one packet and handles it; true when one came.
  bool WaitForIOCompletion(DWORD timeout);

  win::ScopedHandle port_;
  std::atomic<bool> work_scheduled_{false};
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_IO_H_
