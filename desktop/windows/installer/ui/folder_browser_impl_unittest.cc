#include "desktop/windows/installer/ui/folder_browser_impl.h"

#include <objbase.h>

#include <string>

#include "gtest/gtest.h"

namespace installer {
namespace {

// Presses |button| in the folder dialog owned by |owner| once it is up, from
// a timer of the dialog's modal loop.
class DialogAnswerer {
 public:
  DialogAnswerer(HWND owner, int button) {
    owner_ = owner;
    button_ = button;
    ticks_ = 0;
    timer_ = SetTimer(nullptr, 0, 50, &DialogAnswerer::OnTimer);
  }
  ~DialogAnswerer() { KillTimer(nullptr, timer_); }

  static bool found() { return found_; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
          if (GetWindow(window, GW_OWNER) != owner_ || !IsWindowVisible(window))
            return TRUE;
          *reinterpret_cast<HWND*>(result) = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&dialog));
    // A generous bound: a dialog that never shows up ends the wait with a
    // failure instead of hanging the test.
    if (!dialog) {
      if (++ticks_ > 600)
        PostQuitMessage(1);
      return;
    }
    found_ = true;
    PostMessageW(dialog, WM_COMMAND, button_, 0);
  }

  static inline HWND owner_ = nullptr;
  static inline int button_ = 0;
  static inline int ticks_ = 0;
  static inline bool found_ = false;
  UINT_PTR timer_ = 0;
};

class FolderBrowserImplTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_TRUE(owner_);
  }
  void TearDown() override {
    DestroyWindow(owner_);
    CoUninitialize();
  }

  HWND owner_ = nullptr;
};

TEST_F(FolderBrowserImplTest, OkReturnsTheInitialFolderAndCancelNothing) {
  // A folder the dialog's tree shows (the temporary folder lies under a
  // hidden one), which the test only looks at.
  wchar_t windows[MAX_PATH] = {};
  ASSERT_TRUE(GetWindowsDirectoryW(windows, MAX_PATH));
  const std::wstring initial = windows;
  std::wstring folder;
  {
    DialogAnswerer answerer(owner_, IDOK);
    ASSERT_TRUE(FolderBrowserImpl::GetInstance()->BrowseForFolder(owner_, L"Pick one", initial,
                                                                  &folder));
    EXPECT_TRUE(DialogAnswerer::found());
  }
  EXPECT_EQ(0, _wcsicmp(initial.c_str(), folder.c_str())) << folder;

  folder = L"unchanged";
  {
    DialogAnswerer answerer(owner_, IDCANCEL);
    EXPECT_FALSE(FolderBrowserImpl::GetInstance()->BrowseForFolder(owner_, L"Pick one", initial,
                                                                   &folder));
  }
  EXPECT_EQ(L"unchanged", folder);
}

}  // namespace
}  // namespace installer
