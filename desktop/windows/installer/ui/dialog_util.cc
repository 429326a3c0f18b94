#include "desktop/windows/installer/ui/dialog_util.h"

#include <usp10.h>

#include <algorithm>
#include <string>

#include "resources/installer_resource_ids.h"

namespace installer {

void SetInstallerIcons(HWND dialog) {
  HINSTANCE module = GetModuleHandleW(nullptr);
  // Shared icons: the system keeps them, nothing is destroyed with the dialog.
  HANDLE big = LoadImageW(module, MAKEINTRESOURCEW(IDI_INSTALLER), IMAGE_ICON,
                          GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED);
  HANDLE small = LoadImageW(module, MAKEINTRESOURCEW(IDI_INSTALLER), IMAGE_ICON,
                            GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                            LR_SHARED);
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

INT_PTR ColourStaticText(HDC dc, bool warning, HBRUSH brush) {
  SetTextColor(dc, warning ? RGB(255, 0, 0) : RGB(0, 0, 0));
  if (brush)
    return reinterpret_cast<INT_PTR>(brush);
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

int GetLabelWidth(HWND control, std::wstring_view label, HFONT font) {
  // "&x" shows as an underlined x, "&&" as one ampersand.
  std::wstring shown;
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] == L'&' && i + 1 < label.size())
      ++i;
    shown.push_back(label[i]);
  }
  if (shown.empty())
    return 0;
  HDC dc = GetDC(control);
  if (!font)
    font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font);
  const int length = static_cast<int>(shown.size());
  int width = 0;
  SCRIPT_STRING_ANALYSIS analysis = nullptr;
  if (SUCCEEDED(ScriptStringAnalyse(dc, shown.c_str(), length, length * 3 / 2 + 16, -1,
                                    SSA_GLYPHS | SSA_FALLBACK, 0, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, &analysis))) {
    if (const SIZE* size = ScriptString_pSize(analysis))
      width = size->cx;
    ScriptStringFree(&analysis);
  } else {
    SIZE size = {};
    GetTextExtentPoint32W(dc, shown.c_str(), length, &size);
    width = size.cx;
  }
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return width;
}

int GetCentredLabelShift(HWND control, std::wstring_view label) {
  const std::wstring text(label);
  HDC dc = GetDC(control);
  HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT laid_out = {};
  DrawTextW(dc, text.c_str(), -1, &laid_out, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return std::max(0, static_cast<int>(laid_out.right - laid_out.left) -
                         GetLabelWidth(control, label)) / 2;
}

}  // namespace installer
