#include "desktop/windows/installer/ui/rich_text.h"

#include <commctrl.h>

#include "base/logging.h"
#include "base/win/system_library.h"
#include "desktop/windows/installer/ui/bidi_text.h"

namespace installer {

namespace {

constexpr wchar_t kLinkStart[] = L"$1";
constexpr wchar_t kLinkHrefEnd[] = L"$2";
constexpr wchar_t kLinkEnd[] = L"$3";
constexpr char kFieldStart[] = "{\\field{\\*\\fldinst{HYPERLINK \"";
constexpr char kFieldResultStart[] = "\"}}{\\fldrslt{\\ul ";
constexpr char kFieldEnd[] = "}}}";
constexpr char kLine[] = "\\line";

DWORD CALLBACK StreamOutCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* written) {
  reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<char*>(buffer), size);
  *written = size;
  return 0;
}

struct StreamInSource {
  const std::string* data;
  size_t offset;
};

DWORD CALLBACK StreamInCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
  auto* source = reinterpret_cast<StreamInSource*>(cookie);
  size_t left = source->data->size() - source->offset;
  size_t count = std::min(left, static_cast<size_t>(size));
  memcpy(buffer, source->data->data() + source->offset, count);
  source->offset += count;
  *read = static_cast<LONG>(count);
  return 0;
}

std::string StreamOutRtf(HWND control) {
  std::string rtf;
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&rtf);
  stream.pfnCallback = &StreamOutCallback;
  SendMessageW(control, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  return rtf;
}

void StreamInRtf(HWND control, const std::string& rtf) {
  StreamInSource source{&rtf, 0};
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = &StreamInCallback;
  SendMessageW(control, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
}

std::wstring GetPlainText(HWND control) {
  GETTEXTLENGTHEX length_query = {GTL_NUMCHARS | GTL_PRECISE, 1200};
  LRESULT length = SendMessageW(control, EM_GETTEXTLENGTHEX,
                                reinterpret_cast<WPARAM>(&length_query), 0);
  if (length <= 0)
    return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GETTEXTEX query = {};
  query.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  query.flags = GT_DEFAULT;
  query.codepage = 1200;
  LRESULT copied = SendMessageW(control, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query),
                                reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
  return text;
}

void FormatRange(HWND control, LONG start, LONG end, const CHARFORMAT2W& format) {
  CHARRANGE range = {start, end};
  SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  SendMessageW(control, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

bool RangeIsLink(HWND control, LONG start, LONG end) {
  CHARRANGE range = {start, end};
  SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_LINK;
  SendMessageW(control, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return (format.dwMask & CFM_LINK) && (format.dwEffects & CFE_LINK);
}

// The first line of the control ends with the field instruction shown as
// text: the rich edit did not take the field as a field.
bool FirstLineShowsInstruction(HWND control) {
  wchar_t line[1024] = {};
  *reinterpret_cast<WORD*>(line) = static_cast<WORD>(std::size(line) - 1);
  LRESULT length = SendMessageW(control, EM_GETLINE, 0, reinterpret_cast<LPARAM>(line));
  std::wstring_view text(line, static_cast<size_t>(std::max<LRESULT>(length, 0)));
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
    text.remove_suffix(1);
  std::wstring_view suffix = L"HYPERLINK ";
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Every link's text shown in |control| carries the link format.
bool LinksAreLive(HWND control, const std::vector<RichTextLink>& links) {
  std::wstring text = GetPlainText(control);
  size_t from = 0;
  for (const RichTextLink& link : links) {
    if (link.text.empty())
      continue;
    size_t at = text.find(link.text, from);
    if (at == std::wstring::npos)
      return false;
    if (!RangeIsLink(control, static_cast<LONG>(at), static_cast<LONG>(at + link.text.size())))
      return false;
    from = at + link.text.size();
  }
  return true;
}

// The links as plain text with the link character format, for a rich edit
// without hyperlink fields. Clicks then report the link text.
void SetLinksAsFormattedText(HWND control, std::wstring_view markup, COLORREF link_colour) {
  std::wstring shown;
  std::vector<std::pair<LONG, LONG>> ranges;
  std::wstring converted = ConvertLinkMarkup(markup, nullptr);
  size_t pos = 0;
  while (pos < converted.size()) {
    size_t start = converted.find(kLinkStart, pos);
    if (start == std::wstring::npos) {
      shown.append(converted, pos);
      break;
    }
    shown.append(converted, pos, start - pos);
    size_t text_start = converted.find(kLinkHrefEnd, start);
    size_t end = converted.find(kLinkEnd, start);
    if (end == std::wstring::npos) {
      pos = start + 2;
      continue;
    }
    text_start = (text_start == std::wstring::npos || text_start > end) ? start : text_start;
    LONG link_start = static_cast<LONG>(shown.size());
    shown.append(converted, text_start + 2, end - text_start - 2);
    ranges.emplace_back(link_start, static_cast<LONG>(shown.size()));
    pos = end + 2;
  }
  SetWindowTextW(control, shown.c_str());
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_LINK | CFM_COLOR | CFM_UNDERLINE;
  format.dwEffects = CFE_LINK | CFE_UNDERLINE;
  format.crTextColor = link_colour;
  for (const auto& [start, end] : ranges)
    FormatRange(control, start, end, format);
}

// The right-to-left paragraph |control| shows: aligned as its style asks,
// left and right exchanged as a mirrored window would show them.
PARAFORMAT2 RightToLeftParagraph(HWND control) {
  LONG style = GetWindowLongW(control, GWL_STYLE);
  PARAFORMAT2 format = {};
  format.cbSize = sizeof(format);
  format.dwMask = PFM_RTLPARA | PFM_ALIGNMENT;
  format.wEffects = PFE_RTLPARA;
  format.wAlignment = (style & ES_CENTER) ? PFA_CENTER : (style & ES_RIGHT) ? PFA_LEFT : PFA_RIGHT;
  return format;
}

bool HasRightToLeftParagraphs(HWND control) {
  CHARRANGE all = {0, -1};
  SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
  PARAFORMAT2 format = {};
  format.cbSize = sizeof(format);
  format.dwMask = PFM_RTLPARA;
  SendMessageW(control, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
  return (format.dwMask & PFM_RTLPARA) && (format.wEffects & PFE_RTLPARA);
}

}  // namespace

void InitRichEdit() {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_USEREX_CLASSES | ICC_LINK_CLASS;
  if (!InitCommonControlsEx(&controls))
    PLOG(ERROR) << "InitCommonControlsEx failed.";
  static HMODULE rich_edit = nullptr;
  if (!rich_edit) {
    rich_edit = base::win::LoadSystemLibrary(L"Msftedit.dll");
    if (!rich_edit)
      PLOG(ERROR) << "Loading library Msftedit.dll failed.";
  }
}

std::wstring ConvertLinkMarkup(std::wstring_view markup, std::vector<RichTextLink>* links) {
  std::wstring out;
  size_t pos = 0;
  while (pos < markup.size()) {
    size_t anchor = markup.find(L"<a ", pos);
    if (anchor == std::wstring_view::npos)
      break;
    out.append(markup.substr(pos, anchor - pos));
    out.append(kLinkStart);
    pos = anchor + 3;
    RichTextLink link;
    size_t href = markup.find(L"href=", pos);
    if (href != std::wstring_view::npos && href + 5 < markup.size() &&
        (markup[href + 5] == L'"' || markup[href + 5] == L'\'')) {
      wchar_t quote = markup[href + 5];
      size_t value = href + 6;
      size_t value_end = markup.find(quote, value);
      if (value_end != std::wstring_view::npos) {
        link.href = markup.substr(value, value_end - value);
        out.append(link.href);
        out.append(kLinkHrefEnd);
        pos = value_end + 1;
      }
    }
    size_t tag_end = markup.find(L'>', pos);
    if (tag_end != std::wstring_view::npos) {
      pos = tag_end + 1;
      size_t close = markup.find(L"</a>", pos);
      if (close != std::wstring_view::npos) {
        link.text = markup.substr(pos, close - pos);
        out.append(link.text);
        out.append(kLinkEnd);
        pos = close + 4;
      }
    }
    if (links)
      links->push_back(std::move(link));
  }
  if (pos < markup.size())
    out.append(markup.substr(pos));
  return out;
}

std::string ReplaceLinkPlaceholders(std::string_view rtf, bool line_before) {
  std::string out;
  out.reserve(rtf.size() + 64);
  for (size_t i = 0; i < rtf.size(); ++i) {
    if (rtf[i] == '$' && i + 1 < rtf.size()) {
      char which = rtf[i + 1];
      if (which == '1') {
        if (line_before)
          out.append(kLine);
        out.append(kFieldStart);
        ++i;
        continue;
      }
      if (which == '2') {
        out.append(kFieldResultStart);
        ++i;
        continue;
      }
      if (which == '3') {
        out.append(kFieldEnd);
        ++i;
        continue;
      }
    }
    out.push_back(rtf[i]);
  }
  return out;
}

void SetRichTextWithLinks(HWND control, std::wstring_view markup, COLORREF link_colour) {
  const bool right_to_left = HasRightToLeftParagraphs(control);
  std::vector<RichTextLink> links;
  std::wstring converted = ConvertLinkMarkup(markup, &links);
  SetWindowTextW(control, converted.c_str());
  // New text may take the default paragraph format.
  if (right_to_left)
    SetRichTextRightToLeft(control);

  size_t first_start = converted.find(kLinkStart);
  size_t first_end = converted.find(kLinkEnd);
  if (first_start != std::wstring::npos && first_end != std::wstring::npos &&
      first_end > first_start) {
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    format.crTextColor = link_colour;
    FormatRange(control, static_cast<LONG>(first_start), static_cast<LONG>(first_end + 2),
                format);
  }
  if (links.empty())
    return;

  std::string rtf = StreamOutRtf(control);
  StreamInRtf(control, ReplaceLinkPlaceholders(rtf, false));
  if (FirstLineShowsInstruction(control))
    StreamInRtf(control, ReplaceLinkPlaceholders(rtf, true));
  if (!LinksAreLive(control, links)) {
    VLOG(1) << "Rich edit without hyperlink fields: links shown as formatted text";
    SetLinksAsFormattedText(control, markup, link_colour);
  }
  // The RTF read back keeps the paragraphs' direction but not their
  // alignment.
  if (right_to_left)
    SetRichTextRightToLeft(control);
  CHARRANGE none = {0, 0};
  SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));
}

std::wstring LinkTargetForClick(std::wstring_view markup, std::wstring_view clicked) {
  std::vector<RichTextLink> links;
  ConvertLinkMarkup(markup, &links);
  for (const RichTextLink& link : links) {
    if (!link.href.empty() && link.href == clicked)
      return link.href;
  }
  for (const RichTextLink& link : links) {
    if (!link.text.empty() && link.text == clicked)
      return link.href;
  }
  return std::wstring();
}

void SetRichTextRightToLeft(HWND control) {
  KeepUnmirrored(control);
  CHARRANGE all = {0, -1};
  SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
  PARAFORMAT2 format = RightToLeftParagraph(control);
  SendMessageW(control, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
  CHARRANGE none = {0, 0};
  SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));
}

std::wstring GetLinkRangeText(HWND control, const ENLINK& link) {
  LONG length = link.chrg.cpMax - link.chrg.cpMin;
  if (length <= 0)
    return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  TEXTRANGEW range = {};
  range.chrg = link.chrg;
  range.lpstrText = text.data();
  LRESULT copied = SendMessageW(control, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
  return text;
}

}  // namespace installer
