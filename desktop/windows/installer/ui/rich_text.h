// Rich-edit helpers of the installer's windows: loading the rich-edit and
// common-control classes, and showing a text whose links are written as
// <a href="target">text</a> in a rich-edit control. A link click raises
// EN_LINK; LinkTargetForClick turns the clicked text into the link's target.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_RICH_TEXT_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_RICH_TEXT_H_

#include <windows.h>
#include <richedit.h>

#include <string>
#include <string_view>
#include <vector>

namespace installer {

// Initialises the common controls and loads "Msftedit.dll" (kept loaded).
// Failures are logged; the caller goes on.
void InitRichEdit();

// One link of a text with link markup.
struct RichTextLink {
  std::wstring href;
  std::wstring text;
};

// The markup with each link written as "$1" href "$2" text "$3"; |links|
// (may be null) receives the links in order. Parts of a link that are
// missing are skipped; what was found stays.
std::wstring ConvertLinkMarkup(std::wstring_view markup, std::vector<RichTextLink>* links);

// |rtf| with the link placeholders replaced by a hyperlink field:
// "$1" href "$2" text "$3" becomes {\field{\*\fldinst{HYPERLINK "href"}}
// {\fldrslt{\ul text}}}. With |line_before| every field starts on a new line.
std::string ReplaceLinkPlaceholders(std::string_view rtf, bool line_before);

// Sets |markup| into |control| with every link coloured |link_colour| and
// reporting clicks; right-to-left paragraphs stay so. A rich edit that drops hyperlink fields gets the links as
// text with the link character format instead.
void SetRichTextWithLinks(HWND control, std::wstring_view markup, COLORREF link_colour);

// The target of the link whose text range |clicked| was reported by EN_LINK
// in a control showing |markup|: the range is the target itself for a
// hyperlink field and the link text for the fallback. Empty when no link of
// the markup matches.
std::wstring LinkTargetForClick(std::wstring_view markup, std::wstring_view clicked);

// Makes every paragraph of |control| read right to left, aligned as the
// control's style asks with left and right exchanged (as a mirrored window
// would show it), and shows the control unmirrored: a mirrored rich edit does
// not order its text by itself. Call it before the text is set: text already
// in the control keeps the order it was laid out in.
void SetRichTextRightToLeft(HWND control);

// The text of the range an EN_LINK notification reports.
std::wstring GetLinkRangeText(HWND control, const ENLINK& link);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_RICH_TEXT_H_
