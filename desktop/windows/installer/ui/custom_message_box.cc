#include "desktop/windows/installer/ui/custom_message_box.h"

#include <richedit.h>

#include <string>

#include "base/logging.h"
#include "desktop/windows/installer/ui/caret_hider.h"
#include "desktop/windows/installer/ui/dialog_util.h"
#include "desktop/windows/installer/ui/rich_text.h"
#include "desktop/windows/installer/ui/win32_dialog_dispatcher.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "resources/installer_resource_ids.h"

namespace installer {

namespace {

constexpr COLORREF kTextColour = 0x000064;
constexpr COLORREF kLinkColour = 0x686868;

}  // namespace

CustomMessageBox::~CustomMessageBox() {
  Destroy();
}

bool CustomMessageBox::Show(HWND owner, int title_id, std::wstring_view text, int first_button_id,
                            int second_button_id, ResultCallback callback) {
  InitRichEdit();
  LOG(INFO) << "Displaying custom message box";
  HINSTANCE module = GetModuleHandleW(nullptr);
  HWND dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_CUSTOM_MESSAGE_BOX), owner,
                                   &CustomMessageBox::DialogProc, reinterpret_cast<LPARAM>(this));
  if (!dialog) {
    PLOG(ERROR) << "Failed to display custom message box";
    return false;
  }
  dialog_ = dialog;
  callback_ = std::move(callback);
  owner_ = owner;
  if (owner_)
    EnableWindow(owner_, FALSE);

  SetInstallerIcons(dialog_);
  SetWindowTextW(dialog_, GetLocalizedString(title_id).c_str());

  HWND text_control = GetDlgItem(dialog_, IDC_MESSAGE_TEXT);
  SendMessageW(text_control, EM_SETEVENTMASK, 0, ENM_LINK);
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR;
  format.crTextColor = kTextColour;
  SendMessageW(text_control, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  HideCaretOnFocus(text_control);
  SetRichTextWithLinks(text_control, text, kLinkColour);

  HWND first = GetDlgItem(dialog_, IDC_MESSAGE_FIRST_BUTTON);
  HWND second = GetDlgItem(dialog_, IDC_MESSAGE_SECOND_BUTTON);
  if (first_button_id) {
    SetWindowTextW(first, GetLocalizedString(first_button_id).c_str());
    SendMessageW(dialog_, DM_SETDEFID, IDC_MESSAGE_FIRST_BUTTON, 0);
  } else {
    ShowWindow(first, SW_HIDE);
    SendMessageW(dialog_, DM_SETDEFID, IDC_MESSAGE_SECOND_BUTTON, 0);
    SendMessageW(first, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageW(second, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  }
  SetWindowTextW(second, GetLocalizedString(second_button_id).c_str());
  // A hidden first button cannot take the focus: the default button does.
  SetFocus(first_button_id ? first : second);
  ShowWindow(dialog_, SW_SHOW);
  return true;
}

void CustomMessageBox::Destroy() {
  if (!dialog_)
    return;
  LOG(INFO) << "Destroying custom message box";
  if (owner_)
    EnableWindow(owner_, TRUE);
  HWND dialog = dialog_;
  dialog_ = nullptr;
  Win32DialogDispatcher::GetInstance()->UnselectWindow(dialog);
  DestroyWindow(dialog);
}

void CustomMessageBox::Report(int result) {
  if (callback_)
    callback_.Run(result);
}

// static
INT_PTR CALLBACK CustomMessageBox::DialogProc(HWND dialog, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
  auto* box = GetDialogOwner<CustomMessageBox>(dialog, message, lparam);
  if (!box)
    return message == WM_INITDIALOG;
  switch (message) {
    case WM_ACTIVATE:
      Win32DialogDispatcher::GetInstance()->OnDialogActivation(dialog, wparam);
      return FALSE;
    case WM_CLOSE:
      box->Report(kClosed);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_MESSAGE_FIRST_BUTTON:
          box->Report(kFirstButton);
          return TRUE;
        case IDC_MESSAGE_SECOND_BUTTON:
          box->Report(kSecondButton);
          return TRUE;
        case IDCANCEL:
          // Escape answers like the close box.
          box->Report(kClosed);
          return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->code == EN_LINK &&
          reinterpret_cast<ENLINK*>(lparam)->msg == WM_LBUTTONUP) {
        box->Report(kLinkClicked);
        return TRUE;
      }
      return FALSE;
    }
  }
  return FALSE;
}

}  // namespace installer
