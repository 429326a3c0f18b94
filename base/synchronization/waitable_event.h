// An event one thread can wait on until another signals it; a thin owner of a
// Windows event object. MANUAL events stay signaled until Reset; AUTOMATIC
// events release one waiter and reset themselves. An event may also adopt an
// existing event handle (for instance a named event opened elsewhere); the
// WaitableEvent then owns the handle and closes it.

#ifndef BASE_SYNCHRONIZATION_WAITABLE_EVENT_H_
#define BASE_SYNCHRONIZATION_WAITABLE_EVENT_H_

#include <windows.h>

#include <cstddef>

#include "base/time/time.h"
#include "base/win/scoped_handle.h"

namespace base {

class WaitableEvent {
 public:
  enum class ResetPolicy { MANUAL, AUTOMATIC };
  enum class InitialState { SIGNALED, NOT_SIGNALED };

  explicit WaitableEvent(ResetPolicy reset_policy = ResetPolicy::MANUAL,
                         InitialState initial_state = InitialState::NOT_SIGNALED);
  // Takes ownership of |event_handle|, which must hold an event.
  explicit WaitableEvent(win::ScopedHandle event_handle);
  WaitableEvent(const WaitableEvent&) = delete;
  WaitableEvent& operator=(const WaitableEvent&) = delete;
  ~WaitableEvent();

  void Reset();
  void Signal();
  // For an AUTOMATIC event a true result also resets it (it consumed the signal).
  bool IsSignaled();
  void Wait();
  // True when signaled within |wait_delta|; TimeDelta::Max() waits forever,
  // zero or negative only polls.
  bool TimedWait(TimeDelta wait_delta);

  // Waits until one of |events| is signaled and returns its index (the lowest
  // one when several are). |count| is at most MAXIMUM_WAIT_OBJECTS.
  static size_t WaitMany(WaitableEvent** events, size_t count);

  // The event object, still owned by this WaitableEvent.
  HANDLE handle() const { return handle_.Get(); }

 private:
  win::ScopedHandle handle_;
};

}  // namespace base

#endif  // BASE_SYNCHRONIZATION_WAITABLE_EVENT_H_
