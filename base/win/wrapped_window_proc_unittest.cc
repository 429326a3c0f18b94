#include "base/win/wrapped_window_proc.h"

#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base::win {
namespace {

constexpr UINT kFault = WM_APP;
constexpr UINT kAnswer = WM_APP + 1;

int g_filter_calls = 0;
DWORD g_filtered_code = 0;
bool g_context_at_fault = false;
int g_executes_from_call = 1;  // The filter's n-th call drops the exception.

int RecordingFilter(EXCEPTION_POINTERS* pointers) {
  ++g_filter_calls;
  g_filtered_code = pointers->ExceptionRecord->ExceptionCode;
  g_context_at_fault =
      pointers->ContextRecord->Rip ==
      reinterpret_cast<DWORD64>(pointers->ExceptionRecord->ExceptionAddress);
  return g_filter_calls >= g_executes_from_call ? EXCEPTION_EXECUTE_HANDLER
                                                : EXCEPTION_CONTINUE_SEARCH;
}

[[gnu::noinline]] void Fault() {
  volatile int* volatile null_pointer = nullptr;
  *null_pointer = 1;
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kAnswer)
    return 42;
  if (message == kFault) {
    Fault();
    return 7;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// A procedure that calls another wrapped one: two guarded frames.
LRESULT CALLBACK Outer(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return WrappedWindowProc<&Procedure>(window, message, wparam, lparam) + 1;
}

class WrappedWindowProcTest : public testing::Test {
 protected:
  void SetUp() override {
    g_filter_calls = 0;
    g_filtered_code = 0;
    g_context_at_fault = false;
    g_executes_from_call = 1;
    SetWinProcExceptionFilter(&RecordingFilter);
  }
  void TearDown() override { SetWinProcExceptionFilter(nullptr); }
};

TEST_F(WrappedWindowProcTest, AnEscapingExceptionGoesToTheFilterFromTheFaultingFrame) {
  EXPECT_EQ(42, WrappedWindowProc<&Procedure>(nullptr, kAnswer, 0, 0));
  EXPECT_EQ(0, g_filter_calls);
  // The filter drops it: the procedure's frames are unwound and the message
  // is answered with 0.
  EXPECT_EQ(0, WrappedWindowProc<&Procedure>(nullptr, kFault, 0, 0));
  EXPECT_EQ(1, g_filter_calls);
  EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), g_filtered_code);
  EXPECT_TRUE(g_context_at_fault);
}

TEST_F(WrappedWindowProcTest, AFilterThatSearchesOnLeavesTheExceptionToOuterFrames) {
  // The inner frame searches on, the outer one drops it: the inner wrapped
  // call never returns to add its 1.
  g_executes_from_call = 2;
  EXPECT_EQ(0, WrappedWindowProc<&Outer>(nullptr, kFault, 0, 0));
  EXPECT_EQ(2, g_filter_calls);
}

TEST_F(WrappedWindowProcTest, AMessageSentByTheSystemReachesTheFilter) {
  const std::wstring class_name = test::UniqueName(L"wrapped_window_proc");
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WrappedWindowProc<&Procedure>;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = class_name.c_str();
  ASSERT_TRUE(RegisterClassExW(&window_class));
  HWND window = CreateWindowExW(0, class_name.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, nullptr);
  ASSERT_TRUE(window);
  EXPECT_EQ(42, SendMessageW(window, kAnswer, 0, 0));
  EXPECT_EQ(0, SendMessageW(window, kFault, 0, 0));
  EXPECT_EQ(1, g_filter_calls);
  EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), g_filtered_code);
  DestroyWindow(window);
  UnregisterClassW(class_name.c_str(), window_class.hInstance);
}

}  // namespace
}  // namespace base::win
