#include "base/synchronization/waitable_event.h"

#include <algorithm>
#include <utility>

#include "base/logging.h"

namespace base {

namespace {

DWORD ToTimeout(TimeDelta delta) {
  if (delta.is_max())
    return INFINITE;
  int64_t ms = delta.InMillisecondsRoundedUp();
  if (ms <= 0)
    return 0;
  return static_cast<DWORD>(std::min<int64_t>(ms, INFINITE - 1));
}

}  // namespace

WaitableEvent::WaitableEvent(ResetPolicy reset_policy, InitialState initial_state)
    : handle_(CreateEventW(nullptr, reset_policy == ResetPolicy::MANUAL,
                           initial_state == InitialState::SIGNALED, nullptr)) {
  // Without an event nothing that waits on it can work.
  if (!handle_.IsValid())
    PLOG(FATAL) << "CreateEvent failed";
}

WaitableEvent::WaitableEvent(win::ScopedHandle event_handle) : handle_(std::move(event_handle)) {
  CHECK(handle_.IsValid()) << "Adopting an invalid event handle";
}

WaitableEvent::~WaitableEvent() = default;

void WaitableEvent::Reset() {
  ResetEvent(handle());
}

void WaitableEvent::Signal() {
  SetEvent(handle());
}

bool WaitableEvent::IsSignaled() {
  return TimedWait(TimeDelta());
}

void WaitableEvent::Wait() {
  DWORD result = WaitForSingleObject(handle(), INFINITE);
  if (result != WAIT_OBJECT_0)
    PLOG(FATAL) << "WaitForSingleObject failed";
}

bool WaitableEvent::TimedWait(TimeDelta wait_delta) {
  DWORD result = WaitForSingleObject(handle(), ToTimeout(wait_delta));
  if (result == WAIT_FAILED)
    PLOG(ERROR) << "WaitForSingleObject failed";
  return result == WAIT_OBJECT_0;
}

size_t WaitableEvent::WaitMany(WaitableEvent** events, size_t count) {
  CHECK(count > 0 && count <= MAXIMUM_WAIT_OBJECTS) << "WaitMany with " << count << " events";
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  for (size_t i = 0; i < count; ++i)
    handles[i] = events[i]->handle();
  DWORD result = WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE, INFINITE);
  if (result >= WAIT_OBJECT_0 + count)
    PLOG(FATAL) << "WaitForMultipleObjects failed";
  return result - WAIT_OBJECT_0;
}

}  // namespace base
