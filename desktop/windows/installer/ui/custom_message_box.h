// CustomMessageBox: a modeless message box (dialog template 102 of the
// installer executable) whose text may hold links, with one or two localized
// buttons. The answer goes to a callback instead of blocking the caller:
// kClosed when the box was closed, kFirstButton or kSecondButton, kLinkClicked
// for a click on a link in the text. The box stays up until Destroy (or its
// destruction); while it is up its owner window is disabled.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_CUSTOM_MESSAGE_BOX_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_CUSTOM_MESSAGE_BOX_H_

#include <windows.h>

#include <string_view>

#include "base/functional/callback.h"

namespace installer {

class CustomMessageBox {
 public:
  enum Result { kClosed = 0, kFirstButton = 1, kSecondButton = 2, kLinkClicked = 3 };
  using ResultCallback = base::RepeatingCallback<void(int)>;

  CustomMessageBox() = default;
  CustomMessageBox(const CustomMessageBox&) = delete;
  CustomMessageBox& operator=(const CustomMessageBox&) = delete;
  ~CustomMessageBox();

  // Shows the box owned by |owner| (may be null) with the localized title
  // |title_id|, |text| (links as <a href="...">...</a>), the localized first
  // button |first_button_id| (0: no first button, the second is then the
  // default) and second button |second_button_id|. False when the dialog
  // could not be created.
  bool Show(HWND owner, int title_id, std::wstring_view text, int first_button_id,
            int second_button_id, ResultCallback callback);
  // Closes the box if it is shown and enables its owner again.
  void Destroy();

  HWND dialog() const { return dialog_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  void Report(int result);

  HWND dialog_ = nullptr;
  HWND owner_ = nullptr;
  ResultCallback callback_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_CUSTOM_MESSAGE_BOX_H_
