// A hook of the UI message pump: a run loop given a dispatcher hands it every
// window message before the default translation and dispatch, so that, for
// instance, IsDialogMessage of the active modeless dialog sees navigation
// keys. The return value is a set of PostDispatchAction bits.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_PUMP_DISPATCHER_H_
#define BASE_MESSAGE_LOOP_MESSAGE_PUMP_DISPATCHER_H_

#include <windows.h>

#include <cstdint>

namespace base {

class MessagePumpDispatcher {
 public:
  enum PostDispatchAction : uint32_t {
    // The dispatcher consumed the message.
    POST_DISPATCH_NONE = 0x0,
    // The run loop quits after this message.
    POST_DISPATCH_QUIT_LOOP = 0x1,
    // The pump translates and dispatches the message as usual.
    POST_DISPATCH_PERFORM_DEFAULT = 0x2,
  };

  virtual ~MessagePumpDispatcher() = default;
  virtual uint32_t Dispatch(const MSG& msg) = 0;
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_DISPATCHER_H_
