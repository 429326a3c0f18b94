#include "desktop/windows/installer/ui/win32_dialog_dispatcher.h"

#include "desktop/windows/installer/ui/custom_message_box.h"
#include "desktop/windows/installer/ui/rich_text.h"
#include "gtest/gtest.h"
#include "resources/installer_resource_ids.h"

namespace installer {
namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

class Win32DialogDispatcherTest : public testing::Test {
 protected:
  // The template holds a rich edit, whose class the library registers.
  void SetUp() override { InitRichEdit(); }
  HWND CreateDialogWindow() {
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr),
                                     MAKEINTRESOURCEW(IDD_CUSTOM_MESSAGE_BOX), nullptr,
                                     &PlainDialogProc, 0);
    EXPECT_TRUE(dialog);
    dialogs_.push_back(dialog);
    return dialog;
  }
  void TearDown() override {
    for (HWND dialog : dialogs_)
      DestroyWindow(dialog);
  }

  Win32DialogDispatcher dispatcher_;
  std::vector<HWND> dialogs_;
};

TEST_F(Win32DialogDispatcherTest, WithoutSelectionEveryMessageTakesTheDefaultPath) {
  MSG msg = {};
  msg.message = WM_KEYDOWN;
  msg.wParam = VK_TAB;
  EXPECT_EQ(base::MessagePumpDispatcher::POST_DISPATCH_PERFORM_DEFAULT, dispatcher_.Dispatch(msg));
}

TEST_F(Win32DialogDispatcherTest, SelectedDialogTakesItsNavigationKeys) {
  HWND dialog = CreateDialogWindow();
  ShowWindow(dialog, SW_SHOW);
  HWND first = GetDlgItem(dialog, IDC_MESSAGE_FIRST_BUTTON);
  HWND second = GetDlgItem(dialog, IDC_MESSAGE_SECOND_BUTTON);
  SetFocus(first);
  ASSERT_EQ(first, GetFocus());
  dispatcher_.SelectWindow(dialog);

  MSG msg = {};
  msg.hwnd = first;
  msg.message = WM_KEYDOWN;
  msg.wParam = VK_TAB;
  EXPECT_EQ(base::MessagePumpDispatcher::POST_DISPATCH_NONE, dispatcher_.Dispatch(msg));
  EXPECT_EQ(second, GetFocus());

  // A message for a window outside the dialog is not the dialog's.
  HWND other = CreateDialogWindow();
  msg.hwnd = other;
  msg.message = WM_USER + 7;
  EXPECT_EQ(base::MessagePumpDispatcher::POST_DISPATCH_PERFORM_DEFAULT, dispatcher_.Dispatch(msg));
}

TEST_F(Win32DialogDispatcherTest, UnselectingAnotherWindowKeepsTheSelection) {
  HWND box = CreateDialogWindow();
  HWND main = CreateDialogWindow();
  // The box is activated, then the main window: the box's deactivation comes
  // after the main window's activation.
  dispatcher_.SelectWindow(box);
  dispatcher_.SelectWindow(main);
  dispatcher_.UnselectWindow(box);
  EXPECT_EQ(main, dispatcher_.selected_window());
  dispatcher_.UnselectWindow(main);
  EXPECT_EQ(nullptr, dispatcher_.selected_window());
}

TEST_F(Win32DialogDispatcherTest, ActivationOfTheMessageBoxSelectsIt) {
  Win32DialogDispatcher* dispatcher = Win32DialogDispatcher::GetInstance();
  EXPECT_EQ(dispatcher, Win32DialogDispatcher::GetInstance());
  HWND main = CreateDialogWindow();
  ShowWindow(main, SW_SHOW);
  CustomMessageBox box;
  ASSERT_TRUE(box.Show(nullptr, 37066, L"text", 37068, 37069, {}));
  SetActiveWindow(box.dialog());
  EXPECT_EQ(box.dialog(), dispatcher->selected_window());
  // Activating a window that does not select itself unselects the box.
  SetActiveWindow(main);
  EXPECT_EQ(nullptr, dispatcher->selected_window());
  dispatcher->SelectWindow(main);
  box.Destroy();
  EXPECT_EQ(main, dispatcher->selected_window());
  dispatcher->UnselectWindow(main);
}

}  // namespace
}  // namespace installer
