#include "base/message_loop/message_loop_for_io.h"

namespace base {

MessageLoopForIO::MessageLoopForIO() : MessageLoop(TYPE_IO) {}

MessageLoopForIO* MessageLoopForIO::current() {
  return dynamic_cast<MessageLoopForIO*>(MessageLoop::current());
}

bool MessageLoopForIO::RegisterIOHandler(HANDLE file_handle, IOHandler* handler) {
  return static_cast<MessagePumpForIO*>(pump())->RegisterIOHandler(file_handle, handler);
}

}  // namespace base
