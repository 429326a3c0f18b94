#include "base/message_loop/message_pump_for_ui.h"

#include <algorithm>

#include "base/logging.h"
#include "base/message_loop/message_pump_dispatcher.h"
#include "base/win/wrapped_window_proc.h"

namespace base {

namespace {

constexpr wchar_t kWindowClassName[] = L"VeltoMessagePumpWindow";
// Posted to the pump's window when tasks are waiting.
constexpr UINT kMsgHaveWork = WM_USER + 1;
// The pump window's one system timer, armed for the earliest delayed task.
constexpr UINT_PTR kDelayedWorkTimerId = 1;

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

MessagePumpForUI::MessagePumpForUI() {
  static const ATOM window_class = [] {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = win::WrappedWindowProc<&MessagePumpForUI::WndProcThunk>;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kWindowClassName;
    return RegisterClassExW(&wc);
  }();
  if (!window_class)
    PLOG(FATAL) << "Cannot register the message pump window class";
  message_hwnd_ = CreateWindowExW(0, kWindowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ThisModule(), nullptr);
  // Posted tasks could never wake the pump without its window.
  if (!message_hwnd_)
    PLOG(FATAL) << "Cannot create the message pump window";
  SetWindowLongPtrW(message_hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessagePumpForUI::~MessagePumpForUI() {
  DestroyWindow(message_hwnd_);
}

void MessagePumpForUI::ScheduleWork() {
  if (work_scheduled_.exchange(true))
    return;
  if (!PostMessageW(message_hwnd_, kMsgHaveWork, 0, 0)) {
    // The queue is full; the loop will still find the task on its next pass.
    work_scheduled_ = false;
    PLOG(ERROR) << "Cannot post the work message";
  }
}

void MessagePumpForUI::ScheduleDelayedWork(TimeTicks delayed_work_time) {
  MessagePump::ScheduleDelayedWork(delayed_work_time);
  RescheduleTimer();
}

void MessagePumpForUI::RescheduleTimer() {
  if (delayed_work_time_ == timer_due_time_)
    return;
  timer_due_time_ = delayed_work_time_;
  if (delayed_work_time_.is_null()) {
    KillTimer(message_hwnd_, kDelayedWorkTimerId);
    return;
  }
  // The timer only matters while a foreign modal loop runs: the pump's own
  // wait wakes up for the due time by itself.
  const UINT delay = std::max<UINT>(GetCurrentDelay(), USER_TIMER_MINIMUM);
  if (!SetTimer(message_hwnd_, kDelayedWorkTimerId, delay, nullptr)) {
    timer_due_time_ = TimeTicks();
    PLOG(ERROR) << "Cannot set the delayed work timer";
  }
}

LRESULT CALLBACK MessagePumpForUI::WndProcThunk(HWND hwnd, UINT message, WPARAM wparam,
                                                LPARAM lparam) {
  if (message == kMsgHaveWork || (message == WM_TIMER && wparam == kDelayedWorkTimerId)) {
    auto* pump = reinterpret_cast<MessagePumpForUI*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (pump) {
      if (message == kMsgHaveWork)
        pump->HandleWorkMessage();
      else
        pump->HandleTimerMessage();
    }
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void MessagePumpForUI::HandleWorkMessage() {
  work_scheduled_ = false;
  // Only a foreign loop (a modal dialog or menu) dispatches our message: run a
  // task and ask to be called again, so tasks keep flowing under it.
  if (!state_)
    return;
  if (state_->delegate->DoWork())
    ScheduleWork();
  DoDelayedWorkInForeignLoop();
}

void MessagePumpForUI::HandleTimerMessage() {
  // A timer fires again and again until it is re-armed: arm it anew below.
  KillTimer(message_hwnd_, kDelayedWorkTimerId);
  timer_due_time_ = TimeTicks();
  if (!state_)
    return;
  DoDelayedWorkInForeignLoop();
}

void MessagePumpForUI::DoDelayedWorkInForeignLoop() {
  TimeTicks next_delayed_work_time;
  if (state_->delegate->DoDelayedWork(&next_delayed_work_time))
    ScheduleWork();  // more may be due: come back at once
  ScheduleDelayedWork(next_delayed_work_time);
}

bool MessagePumpForUI::DoNativeWork() {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    return false;
  if (msg.message == WM_QUIT) {
    state_->should_quit = true;
    // Outer loops must see it too.
    PostQuitMessage(static_cast<int>(msg.wParam));
    return false;
  }
  if (msg.hwnd == message_hwnd_ && msg.message == kMsgHaveWork) {
    work_scheduled_ = false;
    return true;
  }
  // The timer stands in for this pump's own wait under foreign loops only;
  // here the pass that follows runs the due delayed task.
  if (msg.hwnd == message_hwnd_ && msg.message == WM_TIMER && msg.wParam == kDelayedWorkTimerId)
    return true;
  uint32_t action = MessagePumpDispatcher::POST_DISPATCH_PERFORM_DEFAULT;
  if (state_->dispatcher)
    action = state_->dispatcher->Dispatch(msg);
  if (action & MessagePumpDispatcher::POST_DISPATCH_QUIT_LOOP)
    state_->should_quit = true;
  if (action & MessagePumpDispatcher::POST_DISPATCH_PERFORM_DEFAULT) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

void MessagePumpForUI::WaitForWork() {
  DWORD result = MsgWaitForMultipleObjectsEx(0, nullptr, GetCurrentDelay(), QS_ALLINPUT,
                                             MWMO_INPUTAVAILABLE);
  if (result == WAIT_FAILED)
    PLOG(ERROR) << "MsgWaitForMultipleObjectsEx failed";
}

}  // namespace base
