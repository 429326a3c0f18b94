// The pump of a TYPE_UI loop: runs the thread's window message queue. It waits
// with MsgWaitForMultipleObjectsEx (time-out for the next delayed task), and
// handles every message with PeekMessage: the run loop's dispatcher (if any)
// sees it first and decides whether TranslateMessage/DispatchMessage follow.
// ScheduleWork posts one private message to a message-only window of the
// pump, and a system timer on that window is kept armed for the earliest
// delayed task, so that posted and delayed tasks also run while a modal loop
// of the system (a dialog box, a message box, a menu) owns the queue. WM_QUIT
// ends the innermost Run and is posted again so that outer loops see it too.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_UI_H_
#define BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_UI_H_

#include <windows.h>

#include <atomic>

#include "base/message_loop/message_pump.h"

namespace base {

class MessagePumpForUI : public MessagePump {
 public:
  MessagePumpForUI();
  ~MessagePumpForUI() override;

  void ScheduleWork() override;
  void ScheduleDelayedWork(TimeTicks delayed_work_time) override;

 private:
  static LRESULT CALLBACK WndProcThunk(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  // Our wake-up message or timer arrived through DispatchMessage (a foreign
  // modal loop): run what is due there.
  void HandleWorkMessage();
  void HandleTimerMessage();
  // Runs one due delayed task, if any, and re-arms the timer for the next.
  void DoDelayedWorkInForeignLoop();
  // Arms the system timer for |delayed_work_time_| (kills it when null),
  // unless it is armed for that time already.
  void RescheduleTimer();
  // Handles one queued message; false when the queue was empty.
  bool DoNativeWork() override;
  void WaitForWork() override;

  HWND message_hwnd_ = nullptr;
  // Set while a wake-up message is in the queue, so that only one is.
  std::atomic<bool> work_scheduled_{false};
  // The due time the system timer is armed for; null when none is.
  TimeTicks timer_due_time_;
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_UI_H_
