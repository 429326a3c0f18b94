// Checks the installer executable's dialog templates, images and texts: the
// window code finds each control by id and relies on its class and style.

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <string_view>

#include "gtest/gtest.h"
#include "resources/installer_resource_ids.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class InstallerDialogsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // Registers the rich edit class the templates use.
    LoadLibraryW(L"Msftedit.dll");
  }

  void TearDown() override {
    for (HWND dialog : {child_, dialog_}) {
      if (dialog)
        DestroyWindow(dialog);
    }
  }

  HWND Create(int id, HWND parent) {
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), parent,
                              PlainDialogProc, 0);
  }

  static std::wstring ClassOf(HWND dialog, int id) {
    wchar_t name[64] = {};
    HWND control = GetDlgItem(dialog, id);
    if (!control)
      return L"(missing)";
    GetClassNameW(control, name, static_cast<int>(std::size(name)));
    return CharLowerW(name);
  }

  static LONG StyleOf(HWND dialog, int id) {
    return GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE);
  }

  HWND dialog_ = nullptr;
  HWND child_ = nullptr;
};

TEST_F(InstallerDialogsTest, MainDialogHoldsEveryControl) {
  dialog_ = Create(IDD_INSTALLER_WINDOW, nullptr);
  ASSERT_NE(nullptr, dialog_) << GetLastError();
  // Opened hidden: the window shows it once the first page is set up.
  EXPECT_FALSE(IsWindowVisible(dialog_));
  for (int id : {IDC_BANNER, IDC_THANK_YOU_TITLE, IDC_INSTALL_FAILURE_TITLE,
                 IDC_UNINSTALL_FAILURE_TITLE, IDC_STATUS_TEXT, IDC_UNINSTALL_QUESTION,
                 IDC_MAIN_WARNING_TEXT}) {
    EXPECT_EQ(L"static", ClassOf(dialog_, id)) << id;
  }
  for (int id : {IDC_TAGLINE, IDC_TERMS_SENTENCE}) {
    EXPECT_EQ(L"richedit50w", ClassOf(dialog_, id)) << id;
    EXPECT_TRUE(StyleOf(dialog_, id) & ES_READONLY) << id;
  }
  EXPECT_EQ(L"edit", ClassOf(dialog_, IDC_TERMS_TEXT));
  EXPECT_TRUE(StyleOf(dialog_, IDC_TERMS_TEXT) & ES_READONLY);
  EXPECT_TRUE(StyleOf(dialog_, IDC_TERMS_TEXT) & WS_VSCROLL);
  EXPECT_EQ(L"msctls_progress32", ClassOf(dialog_, IDC_PROGRESS_BAR));
  EXPECT_EQ(L"combobox", ClassOf(dialog_, IDC_MAIN_INSTALL_PATH_COMBO));
  for (int id : {IDC_OPTIONS_BUTTON, IDC_CANCEL_BUTTON, IDC_ACCEPT_BUTTON,
                 IDC_FULL_PACKAGE_BUTTON, IDC_TRY_AGAIN_BUTTON, IDC_UNINSTALL_BUTTON,
                 IDC_BACK_BUTTON, IDC_MAIN_BROWSE_BUTTON, IDC_DELETE_USER_DATA_CHECK}) {
    EXPECT_EQ(L"button", ClassOf(dialog_, id)) << id;
  }
  EXPECT_EQ(BS_AUTOCHECKBOX, StyleOf(dialog_, IDC_DELETE_USER_DATA_CHECK) & BS_TYPEMASK);
  EXPECT_EQ(BS_DEFPUSHBUTTON, StyleOf(dialog_, IDC_ACCEPT_BUTTON) & BS_TYPEMASK);
}

TEST_F(InstallerDialogsTest, OptionsDialogIsAChildOfTheMainDialog) {
  dialog_ = Create(IDD_INSTALLER_WINDOW, nullptr);
  ASSERT_NE(nullptr, dialog_);
  child_ = Create(IDD_OPTIONS, dialog_);
  ASSERT_NE(nullptr, child_) << GetLastError();
  EXPECT_TRUE(GetWindowLongW(child_, GWL_STYLE) & WS_CHILD);
  EXPECT_EQ(dialog_, GetParent(child_));
  // Shown only on the options page.
  EXPECT_FALSE(GetWindowLongW(child_, GWL_STYLE) & WS_VISIBLE);
  // The options fit above the main dialog's button row.
  RECT child_rect, accept_rect;
  GetWindowRect(child_, &child_rect);
  GetWindowRect(GetDlgItem(dialog_, IDC_ACCEPT_BUTTON), &accept_rect);
  EXPECT_LE(child_rect.bottom, accept_rect.top);

  for (int id : {IDC_LANGUAGE_COMBO, IDC_INSTALL_FOR_COMBO})
    EXPECT_EQ(CBS_DROPDOWNLIST, StyleOf(child_, id) & 3) << id;
  EXPECT_EQ(CBS_DROPDOWN, StyleOf(child_, IDC_INSTALL_PATH_COMBO) & 3);
  for (int id : {IDC_DEFAULT_BROWSER_CHECK, IDC_IMPORT_CHECK, IDC_USAGE_DATA_CHECK})
    EXPECT_EQ(BS_AUTOCHECKBOX, StyleOf(child_, id) & BS_TYPEMASK) << id;
  EXPECT_EQ(L"button", ClassOf(child_, IDC_CHANGE_BUTTON));
  for (int id : {IDC_INVALID_PATH_TEXT, IDC_LANGUAGE_LABEL, IDC_INSTALL_FOR_LABEL,
                 IDC_INSTALL_PATH_LABEL}) {
    EXPECT_EQ(L"static", ClassOf(child_, id)) << id;
  }
  EXPECT_FALSE(StyleOf(child_, IDC_INVALID_PATH_TEXT) & WS_VISIBLE);
}

TEST_F(InstallerDialogsTest, MessageBoxHasATextAndTwoButtons) {
  dialog_ = Create(IDD_CUSTOM_MESSAGE_BOX, nullptr);
  ASSERT_NE(nullptr, dialog_) << GetLastError();
  EXPECT_EQ(L"richedit50w", ClassOf(dialog_, IDC_MESSAGE_TEXT));
  EXPECT_TRUE(StyleOf(dialog_, IDC_MESSAGE_TEXT) & ES_MULTILINE);
  EXPECT_EQ(BS_DEFPUSHBUTTON, StyleOf(dialog_, IDC_MESSAGE_FIRST_BUTTON) & BS_TYPEMASK);
  EXPECT_EQ(BS_PUSHBUTTON, StyleOf(dialog_, IDC_MESSAGE_SECOND_BUTTON) & BS_TYPEMASK);
}

std::string_view ResourceBytes(int id, const wchar_t* type) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
  if (!found)
    return {};
  HGLOBAL loaded = LoadResource(nullptr, found);
  return {static_cast<const char*>(LockResource(loaded)), SizeofResource(nullptr, found)};
}

TEST(InstallerImagesTest, ImagesHaveTheirFormats) {
  EXPECT_EQ(std::string_view("\xFF\xD8\xFF", 3),
            ResourceBytes(IDR_BACKGROUND_JPG, L"JPG").substr(0, 3));
  for (int id : {IDR_LOGO_PNG, IDR_ERROR_BADGE_PNG}) {
    EXPECT_EQ(std::string_view("\x89PNG\r\n\x1A\n", 8), ResourceBytes(id, L"PNG").substr(0, 8))
        << id;
  }
  // The window uses the icon as its big and small icon.
  for (int size : {16, 32, 48}) {
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                               MAKEINTRESOURCEW(IDI_INSTALLER), IMAGE_ICON,
                                               size, size, LR_SHARED));
    ASSERT_NE(nullptr, icon) << size;
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    EXPECT_EQ(size, bitmap.bmWidth);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
}

TEST(InstallerTextsTest, TermsTextIsPlainText) {
  const std::string_view terms = ResourceBytes(IDR_TERMS_TXT, L"TXT");
  ASSERT_FALSE(terms.empty());
  // The window turns line feeds into CR LF itself.
  EXPECT_EQ(std::string_view::npos, terms.find('\r'));
  EXPECT_EQ(std::string_view::npos, terms.find('\0'));
}

}  // namespace
