// A TYPE_IO MessageLoop whose thread dispatches overlapped I/O completions:
// register a file with RegisterIOHandler on the loop's thread, start overlapped
// operations with an IOContext's OVERLAPPED, and the handler's OnIOCompleted
// runs on the loop thread when each completes. base::Thread with
// MessageLoop::TYPE_IO creates one of these.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_LOOP_FOR_IO_H_
#define BASE_MESSAGE_LOOP_MESSAGE_LOOP_FOR_IO_H_

#include <windows.h>

#include "base/message_loop/message_loop.h"
#include "base/message_loop/message_pump_for_io.h"

namespace base {

class MessageLoopForIO : public MessageLoop {
 public:
  using IOHandler = MessagePumpForIO::IOHandler;
  using IOContext = MessagePumpForIO::IOContext;

  MessageLoopForIO();

  // The calling thread's loop when it is a MessageLoopForIO, else null.
  static MessageLoopForIO* current();

  // Loop thread only. See MessagePumpForIO::RegisterIOHandler.
  bool RegisterIOHandler(HANDLE file_handle, IOHandler* handler);
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_LOOP_FOR_IO_H_
