#include "desktop/windows/installer/ui/custom_message_box.h"

#include <richedit.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/logging.h"
#include "base/win/wrapped_window_proc.h"
#include "desktop/windows/installer/ui/bidi_text.h"
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
// Space between the text and the edges of its panel, in dialog units.
constexpr int kTextMarginDlu = 5;

// Creates the modeless box from dialog template 102 of |module|, mirrored
// when |mirrored|. An owned window takes neither its owner's layout nor the
// process's default one, so a mirrored box is made from a copy of the
// template that asks for the mirrored layout itself.
HWND CreateBoxDialog(HINSTANCE module, HWND owner, bool mirrored, DLGPROC procedure,
                     LPARAM parameter) {
  LPCWSTR name = MAKEINTRESOURCEW(IDD_CUSTOM_MESSAGE_BOX);
  if (!mirrored)
    return CreateDialogParamW(module, name, owner, procedure, parameter);
  HRSRC resource = FindResourceW(module, name, RT_DIALOG);
  HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  DWORD size = resource ? SizeofResource(module, resource) : 0;
  if (!data || size < sizeof(DLGTEMPLATE))
    return nullptr;
  std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  memcpy(copy.data(), data, size);
  // DLGTEMPLATEEX: dlgVer and signature 0xFFFF, help id, extended style;
  // DLGTEMPLATE: style, extended style.
  auto* words = reinterpret_cast<WORD*>(copy.data());
  const bool extended = words[0] == 1 && words[1] == 0xFFFF;
  copy[extended ? 2 : 1] |= WS_EX_LAYOUTRTL;
  return CreateDialogIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), owner,
                                    procedure, parameter);
}

}  // namespace

CustomMessageBox::~CustomMessageBox() {
  Destroy();
}

bool CustomMessageBox::Show(HWND owner, int title_id, std::wstring_view text, int first_button_id,
                            int second_button_id, ResultCallback callback) {
  InitRichEdit();
  LOG(INFO) << "Displaying custom message box";
  HINSTANCE module = GetModuleHandleW(nullptr);
  const bool right_to_left = IsRightToLeftUILanguage();
  HWND dialog = CreateBoxDialog(module, owner, right_to_left,
                                base::win::WrappedWindowProc<&CustomMessageBox::DialogProc>,
                                reinterpret_cast<LPARAM>(this));
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
  SetWindowTextW(dialog_, ForReadingOrder(GetLocalizedString(title_id), right_to_left).c_str());

  HWND text_control = GetDlgItem(dialog_, IDC_MESSAGE_TEXT);
  SendMessageW(text_control, EM_SETEVENTMASK, 0, ENM_LINK);
  // The colour of the text to come: formatting the empty control would
  // colour nothing that the text then takes.
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR;
  format.crTextColor = kTextColour;
  SendMessageW(text_control, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  // The text keeps off the edges of its white panel.
  RECT margin = {kTextMarginDlu, kTextMarginDlu, 0, 0};
  MapDialogRect(dialog_, &margin);
  RECT area = {};
  GetClientRect(text_control, &area);
  InflateRect(&area, -margin.left, -margin.top);
  SendMessageW(text_control, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&area));
  HideCaretOnFocus(text_control);
  if (right_to_left)
    SetRichTextRightToLeft(text_control);
  SetRichTextWithLinks(text_control, text, kLinkColour);

  HWND first = GetDlgItem(dialog_, IDC_MESSAGE_FIRST_BUTTON);
  HWND second = GetDlgItem(dialog_, IDC_MESSAGE_SECOND_BUTTON);
  if (first_button_id) {
    SetWindowTextW(first,
                   ForReadingOrder(GetLocalizedString(first_button_id), right_to_left).c_str());
    SendMessageW(dialog_, DM_SETDEFID, IDC_MESSAGE_FIRST_BUTTON, 0);
  } else {
    ShowWindow(first, SW_HIDE);
    SendMessageW(dialog_, DM_SETDEFID, IDC_MESSAGE_SECOND_BUTTON, 0);
    SendMessageW(first, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageW(second, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  }
  SetWindowTextW(second,
                 ForReadingOrder(GetLocalizedString(second_button_id), right_to_left).c_str());
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
