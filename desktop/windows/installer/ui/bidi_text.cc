#include "desktop/windows/installer/ui/bidi_text.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

namespace installer {

namespace {

constexpr wchar_t kLeftToRightMark = 0x200E;
constexpr wchar_t kRightToLeftMark = 0x200F;
constexpr wchar_t kLeftToRightEmbedding = 0x202A;
constexpr wchar_t kRightToLeftEmbedding = 0x202B;

// The strong direction of each character of |text|, kNeutral for the rest
// (digits, punctuation, white space, marks). The system's character types
// count Arabic letters as right to left.
std::vector<TextDirection> GetCharacterDirections(std::wstring_view text) {
  std::vector<TextDirection> directions(text.size(), TextDirection::kNeutral);
  std::vector<WORD> types(text.size());
  constexpr size_t kChunk = 4096;
  for (size_t start = 0; start < text.size(); start += kChunk) {
    int count = static_cast<int>(std::min(kChunk, text.size() - start));
    if (!GetStringTypeW(CT_CTYPE2, text.data() + start, count, types.data() + start))
      return std::vector<TextDirection>(text.size(), TextDirection::kNeutral);
  }
  for (size_t i = 0; i < text.size(); ++i) {
    if (types[i] == C2_LEFTTORIGHT)
      directions[i] = TextDirection::kLeftToRight;
    else if (types[i] == C2_RIGHTTOLEFT)
      directions[i] = TextDirection::kRightToLeft;
  }
  return directions;
}

// A right-to-left text with no left-to-right character that begins and ends
// with a right-to-left character looks the same whichever base direction
// draws it. Mnemonic ampersands are not drawn and do not count.
bool ReadsTheSameInEitherBase(std::wstring_view text) {
  std::vector<TextDirection> directions = GetCharacterDirections(text);
  size_t first = 0, last = text.size();
  while (first < last && text[first] == L'&')
    ++first;
  while (last > first && text[last - 1] == L'&')
    --last;
  if (first == last || directions[first] != TextDirection::kRightToLeft ||
      directions[last - 1] != TextDirection::kRightToLeft) {
    return false;
  }
  return std::find(directions.begin(), directions.end(), TextDirection::kLeftToRight) ==
         directions.end();
}

// The whole of |text| as an embedding of |direction|. The end of the text
// closes it: no closing PDF, which some renderers draw with an advance.
std::wstring Embed(std::wstring_view text, TextDirection direction) {
  if (text.empty() || direction == TextDirection::kNeutral)
    return std::wstring(text);
  std::wstring embedded(
      1, direction == TextDirection::kRightToLeft ? kRightToLeftEmbedding : kLeftToRightEmbedding);
  embedded.append(text);
  return embedded;
}

}  // namespace

TextDirection GetTextDirection(std::wstring_view text) {
  for (TextDirection direction : GetCharacterDirections(text)) {
    if (direction != TextDirection::kNeutral)
      return direction;
  }
  return TextDirection::kNeutral;
}

bool IsRightToLeftLanguage(std::wstring_view code) {
  std::wstring name(code);
  DWORD layout = 0;
  if (name.empty() ||
      !GetLocaleInfoEx(name.c_str(), LOCALE_IREADINGLAYOUT | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<wchar_t*>(&layout), sizeof(layout) / sizeof(wchar_t))) {
    return false;
  }
  return layout == 1;
}

bool IsRightToLeftUILanguage() {
  LANGID language = RcL10nHandler::GetInstance()->language_id();
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  if (!language ||
      !LCIDToLocaleName(MAKELCID(language, SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0))
    return false;
  return IsRightToLeftLanguage(name);
}

std::wstring ForReadingOrder(std::wstring_view text, bool right_to_left) {
  if (!right_to_left)
    return std::wstring(text);
  // A line break ends every embedding: each line is embedded by itself.
  std::wstring result;
  size_t start = 0;
  while (true) {
    size_t end = text.find(L'\n', start);
    std::wstring_view line = text.substr(start, end == std::wstring_view::npos ? end : end - start);
    result += ReadsTheSameInEitherBase(line) ? std::wstring(line)
                                             : Embed(line, TextDirection::kRightToLeft);
    if (end == std::wstring_view::npos)
      return result;
    result.push_back(L'\n');
    start = end + 1;
  }
}

std::wstring MarkArgument(std::wstring_view argument, bool right_to_left) {
  std::vector<TextDirection> directions = GetCharacterDirections(argument);
  TextDirection direction = GetTextDirection(argument);
  // Only a neutral character at either end can be taken by the sentence.
  if (!right_to_left || direction == TextDirection::kNeutral ||
      (directions.front() != TextDirection::kNeutral &&
       directions.back() != TextDirection::kNeutral)) {
    return std::wstring(argument);
  }
  wchar_t mark = direction == TextDirection::kRightToLeft ? kRightToLeftMark : kLeftToRightMark;
  std::wstring marked(1, mark);
  marked.append(argument);
  marked.push_back(mark);
  return marked;
}

std::wstring ArgumentEndingSentence(std::wstring_view argument, bool right_to_left) {
  if (!right_to_left || argument.empty() ||
      GetCharacterDirections(argument.substr(argument.size() - 1))[0] !=
          TextDirection::kNeutral ||
      GetTextDirection(argument) == TextDirection::kNeutral) {
    return std::wstring(argument);
  }
  return std::wstring(argument) + kRightToLeftMark;
}

std::wstring EmbedInOwnDirection(std::wstring_view text) {
  return Embed(text, GetTextDirection(text));
}

void KeepUnmirrored(HWND control) {
  LONG_PTR style = GetWindowLongPtrW(control, GWL_EXSTYLE);
  if (!(style & WS_EX_LAYOUTRTL))
    return;
  SetWindowLongPtrW(control, GWL_EXSTYLE, style & ~static_cast<LONG_PTR>(WS_EX_LAYOUTRTL));
  InvalidateRect(control, nullptr, TRUE);
}

HWND RecreateUnmirrored(HWND control) {
  const LONG_PTR ex_style = GetWindowLongPtrW(control, GWL_EXSTYLE);
  HWND parent = GetParent(control);
  if (!(ex_style & WS_EX_LAYOUTRTL) || !parent)
    return control;
  wchar_t class_name[64] = {};
  GetClassNameW(control, class_name, static_cast<int>(std::size(class_name)));
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  // Mapped into a mirrored parent, the edges come out exchanged.
  if (rect.left > rect.right)
    std::swap(rect.left, rect.right);
  int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));
  // A child takes its parent's layout at creation unless the parent says
  // otherwise, for that moment.
  const LONG_PTR parent_style = GetWindowLongPtrW(parent, GWL_EXSTYLE);
  SetWindowLongPtrW(parent, GWL_EXSTYLE, parent_style | WS_EX_NOINHERITLAYOUT);
  HWND copy = CreateWindowExW(
      static_cast<DWORD>(ex_style & ~static_cast<LONG_PTR>(WS_EX_LAYOUTRTL)), class_name,
      text.c_str(), static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE)), rect.left, rect.top,
      rect.right - rect.left, rect.bottom - rect.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(GetDlgCtrlID(control))),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(control, GWLP_HINSTANCE)), nullptr);
  SetWindowLongPtrW(parent, GWL_EXSTYLE, parent_style);
  if (!copy)
    return control;
  SendMessageW(copy, WM_SETFONT, SendMessageW(control, WM_GETFONT, 0, 0), FALSE);
  // Same place in the tab order.
  SetWindowPos(copy, control, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  DestroyWindow(control);
  return copy;
}

}  // namespace installer
