#include "base/strings/string_util.h"

#include <algorithm>
#include <cstdint>

#include "base/strings/utf_string_conversions.h"

namespace base {

const char kWhitespaceASCII[] = " \t\n\v\f\r";
const wchar_t kWhitespaceASCIIWide[] = L" \t\n\v\f\r";
const wchar_t kWhitespaceWide[] =
    L"\u0009\u000A\u000B\u000C\u000D\u0020\u0085\u00A0\u1680\u2000\u2001\u2002\u2003"
    L"\u2004\u2005\u2006\u2007\u2008\u2009\u200A\u2028\u2029\u202F\u205F\u3000";

namespace {

template <typename Char>
std::basic_string<Char> ToLowerT(std::basic_string_view<Char> text) {
  std::basic_string<Char> result(text);
  for (Char& c : result) c = ToLowerASCII(c);
  return result;
}

template <typename Char>
std::basic_string<Char> ToUpperT(std::basic_string_view<Char> text) {
  std::basic_string<Char> result(text);
  for (Char& c : result) c = ToUpperASCII(c);
  return result;
}

template <typename Char>
int CompareCaseInsensitiveT(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    // Unsigned so that bytes above 0x7F sort after ASCII, as a byte compare would.
    using Unsigned = std::make_unsigned_t<Char>;
    const Unsigned ca = static_cast<Unsigned>(ToLowerASCII(a[i]));
    const Unsigned cb = static_cast<Unsigned>(ToLowerASCII(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

template <typename Char>
bool EqualsCaseInsensitiveT(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  return a.size() == b.size() && CompareCaseInsensitiveT(a, b) == 0;
}

template <typename Char>
bool StartsWithT(std::basic_string_view<Char> text, std::basic_string_view<Char> prefix,
                 CompareCase compare) {
  if (prefix.size() > text.size()) return false;
  text = text.substr(0, prefix.size());
  return compare == CompareCase::SENSITIVE ? text == prefix
                                           : EqualsCaseInsensitiveT(text, prefix);
}

template <typename Char>
bool EndsWithT(std::basic_string_view<Char> text, std::basic_string_view<Char> suffix,
               CompareCase compare) {
  if (suffix.size() > text.size()) return false;
  text = text.substr(text.size() - suffix.size());
  return compare == CompareCase::SENSITIVE ? text == suffix
                                           : EqualsCaseInsensitiveT(text, suffix);
}

// Trims with a per-character predicate; returns the ends that lost characters.
template <typename Char, typename Pred>
TrimPositions TrimIf(std::basic_string_view<Char>* text, TrimPositions positions, Pred pred) {
  int trimmed = TRIM_NONE;
  if (positions & TRIM_LEADING) {
    size_t begin = 0;
    while (begin < text->size() && pred((*text)[begin])) ++begin;
    if (begin > 0) trimmed |= TRIM_LEADING;
    text->remove_prefix(begin);
  }
  if (positions & TRIM_TRAILING) {
    size_t end = text->size();
    while (end > 0 && pred((*text)[end - 1])) --end;
    if (end < text->size()) trimmed |= TRIM_TRAILING;
    text->remove_suffix(text->size() - end);
  }
  return static_cast<TrimPositions>(trimmed);
}

template <typename Char>
TrimPositions TrimStringT(std::basic_string_view<Char>* text,
                          std::basic_string_view<Char> trim_chars, TrimPositions positions) {
  return TrimIf(text, positions, [trim_chars](Char c) {
    return trim_chars.find(c) != std::basic_string_view<Char>::npos;
  });
}

// Length of the UTF-8 encoded white-space code point starting at |text|[0], or 0.
size_t LeadingUTF8WhitespaceLength(std::string_view text) {
  if (text.empty()) return 0;
  size_t length = 0;
  uint32_t code_point;
  // No white space lies outside the Basic Multilingual Plane.
  if (!ReadUnicodeCharacter(text, &length, &code_point) || code_point > 0xFFFF) return 0;
  return IsUnicodeWhitespace(static_cast<wchar_t>(code_point)) ? length : 0;
}

// Length of the white-space code point ending |text|, or 0.
size_t TrailingUTF8WhitespaceLength(std::string_view text) {
  for (size_t length = 1; length <= 3 && length <= text.size(); ++length) {
    const std::string_view tail = text.substr(text.size() - length);
    if (LeadingUTF8WhitespaceLength(tail) == length) return length;
  }
  return 0;
}

TrimPositions TrimUTF8Whitespace(std::string_view* text, TrimPositions positions) {
  int trimmed = TRIM_NONE;
  if (positions & TRIM_LEADING) {
    while (size_t length = LeadingUTF8WhitespaceLength(*text)) {
      text->remove_prefix(length);
      trimmed |= TRIM_LEADING;
    }
  }
  if (positions & TRIM_TRAILING) {
    while (size_t length = TrailingUTF8WhitespaceLength(*text)) {
      text->remove_suffix(length);
      trimmed |= TRIM_TRAILING;
    }
  }
  return static_cast<TrimPositions>(trimmed);
}

template <typename Char>
void ReplaceSubstringsT(std::basic_string<Char>* text, size_t start_offset,
                        std::basic_string_view<Char> find,
                        std::basic_string_view<Char> replace_with, bool first_only) {
  if (find.empty() || start_offset > text->size()) return;
  // Build a new string rather than replace in place: O(n) whatever the sizes.
  std::basic_string<Char> result(text->data(), start_offset);
  size_t pos = start_offset;
  bool replaced = false;
  while (true) {
    const size_t found = text->find(find.data(), pos, find.size());
    if (found == std::basic_string<Char>::npos) break;
    result.append(*text, pos, found - pos);
    result.append(replace_with);
    pos = found + find.size();
    replaced = true;
    if (first_only) break;
  }
  if (!replaced) return;
  result.append(*text, pos, std::basic_string<Char>::npos);
  text->swap(result);
}

template <typename Char>
bool ReplaceCharsT(std::basic_string_view<Char> input,
                   std::basic_string_view<Char> replace_chars,
                   std::basic_string_view<Char> replace_with, std::basic_string<Char>* output) {
  std::basic_string<Char> result;
  result.reserve(input.size());
  bool changed = false;
  for (Char c : input) {
    if (replace_chars.find(c) != std::basic_string_view<Char>::npos) {
      result.append(replace_with);
      changed = true;
    } else {
      result.push_back(c);
    }
  }
  output->swap(result);
  return changed;
}

template <typename Char, typename Parts>
std::basic_string<Char> JoinT(const Parts& parts, std::basic_string_view<Char> separator) {
  std::basic_string<Char> result;
  bool first = true;
  for (const auto& part : parts) {
    if (!first) result.append(separator);
    result.append(part);
    first = false;
  }
  return result;
}

struct Placeholder {
  size_t index;
  size_t offset;
};

template <typename Char>
std::basic_string<Char> ReplacePlaceholdersT(
    std::basic_string_view<Char> format,
    const std::vector<std::basic_string<Char>>& substitutions, std::vector<size_t>* offsets) {
  std::basic_string<Char> result;
  result.reserve(format.size());
  std::vector<Placeholder> placeholders;
  for (size_t i = 0; i < format.size(); ++i) {
    const Char c = format[i];
    if (c != '$' || i + 1 == format.size()) {
      result.push_back(c);
      continue;
    }
    const Char next = format[i + 1];
    if (next == '$') {
      result.push_back('$');
      ++i;
    } else if (next >= '1' && next <= '9') {
      const size_t index = static_cast<size_t>(next - '1');
      placeholders.push_back({index, result.size()});
      if (index < substitutions.size()) result.append(substitutions[index]);
      ++i;
    } else {
      // Not a placeholder: the pair is dropped.
      ++i;
    }
  }
  if (offsets) {
    std::stable_sort(placeholders.begin(), placeholders.end(),
                     [](const Placeholder& a, const Placeholder& b) { return a.index < b.index; });
    offsets->clear();
    for (const Placeholder& p : placeholders) offsets->push_back(p.offset);
  }
  return result;
}

template <typename Char>
bool ContainsOnlyCharsT(std::basic_string_view<Char> text,
                        std::basic_string_view<Char> characters) {
  return text.find_first_not_of(characters) == std::basic_string_view<Char>::npos;
}

}  // namespace

bool IsUnicodeWhitespace(wchar_t c) {
  return std::wstring_view(kWhitespaceWide).find(c) != std::wstring_view::npos;
}

std::string ToLowerASCII(std::string_view text) { return ToLowerT(text); }
std::wstring ToLowerASCII(std::wstring_view text) { return ToLowerT(text); }
std::string ToUpperASCII(std::string_view text) { return ToUpperT(text); }
std::wstring ToUpperASCII(std::wstring_view text) { return ToUpperT(text); }

int CompareCaseInsensitiveASCII(std::string_view a, std::string_view b) {
  return CompareCaseInsensitiveT(a, b);
}
int CompareCaseInsensitiveASCII(std::wstring_view a, std::wstring_view b) {
  return CompareCaseInsensitiveT(a, b);
}
bool EqualsCaseInsensitiveASCII(std::string_view a, std::string_view b) {
  return EqualsCaseInsensitiveT(a, b);
}
bool EqualsCaseInsensitiveASCII(std::wstring_view a, std::wstring_view b) {
  return EqualsCaseInsensitiveT(a, b);
}

bool StartsWith(std::string_view text, std::string_view prefix, CompareCase compare) {
  return StartsWithT(text, prefix, compare);
}
bool StartsWith(std::wstring_view text, std::wstring_view prefix, CompareCase compare) {
  return StartsWithT(text, prefix, compare);
}
bool EndsWith(std::string_view text, std::string_view suffix, CompareCase compare) {
  return EndsWithT(text, suffix, compare);
}
bool EndsWith(std::wstring_view text, std::wstring_view suffix, CompareCase compare) {
  return EndsWithT(text, suffix, compare);
}

bool TrimString(std::string_view input, std::string_view trim_chars, std::string* output) {
  const TrimPositions trimmed = TrimStringT(&input, trim_chars, TRIM_ALL);
  output->assign(std::string(input));
  return trimmed != TRIM_NONE;
}
bool TrimString(std::wstring_view input, std::wstring_view trim_chars, std::wstring* output) {
  const TrimPositions trimmed = TrimStringT(&input, trim_chars, TRIM_ALL);
  output->assign(std::wstring(input));
  return trimmed != TRIM_NONE;
}
std::string_view TrimString(std::string_view input, std::string_view trim_chars,
                            TrimPositions positions) {
  TrimStringT(&input, trim_chars, positions);
  return input;
}
std::wstring_view TrimString(std::wstring_view input, std::wstring_view trim_chars,
                             TrimPositions positions) {
  TrimStringT(&input, trim_chars, positions);
  return input;
}

// The copies through a temporary keep the output forms safe when |output|
// is the string |input| looks into.
TrimPositions TrimWhitespace(std::wstring_view input, TrimPositions positions,
                             std::wstring* output) {
  const TrimPositions trimmed = TrimIf(&input, positions, IsUnicodeWhitespace);
  output->assign(std::wstring(input));
  return trimmed;
}
TrimPositions TrimWhitespace(std::string_view input, TrimPositions positions,
                             std::string* output) {
  const TrimPositions trimmed = TrimUTF8Whitespace(&input, positions);
  output->assign(std::string(input));
  return trimmed;
}
std::wstring_view TrimWhitespace(std::wstring_view input, TrimPositions positions) {
  TrimIf(&input, positions, IsUnicodeWhitespace);
  return input;
}
std::string_view TrimWhitespace(std::string_view input, TrimPositions positions) {
  TrimUTF8Whitespace(&input, positions);
  return input;
}

TrimPositions TrimWhitespaceASCII(std::string_view input, TrimPositions positions,
                                  std::string* output) {
  const TrimPositions trimmed = TrimIf(&input, positions, IsAsciiWhitespace<char>);
  output->assign(std::string(input));
  return trimmed;
}
TrimPositions TrimWhitespaceASCII(std::wstring_view input, TrimPositions positions,
                                  std::wstring* output) {
  const TrimPositions trimmed = TrimIf(&input, positions, IsAsciiWhitespace<wchar_t>);
  output->assign(std::wstring(input));
  return trimmed;
}
std::string_view TrimWhitespaceASCII(std::string_view input, TrimPositions positions) {
  TrimIf(&input, positions, IsAsciiWhitespace<char>);
  return input;
}
std::wstring_view TrimWhitespaceASCII(std::wstring_view input, TrimPositions positions) {
  TrimIf(&input, positions, IsAsciiWhitespace<wchar_t>);
  return input;
}

void ReplaceSubstringsAfterOffset(std::string* text, size_t start_offset,
                                  std::string_view find, std::string_view replace_with) {
  ReplaceSubstringsT(text, start_offset, find, replace_with, false);
}
void ReplaceSubstringsAfterOffset(std::wstring* text, size_t start_offset,
                                  std::wstring_view find, std::wstring_view replace_with) {
  ReplaceSubstringsT(text, start_offset, find, replace_with, false);
}
void ReplaceFirstSubstringAfterOffset(std::string* text, size_t start_offset,
                                      std::string_view find, std::string_view replace_with) {
  ReplaceSubstringsT(text, start_offset, find, replace_with, true);
}
void ReplaceFirstSubstringAfterOffset(std::wstring* text, size_t start_offset,
                                      std::wstring_view find, std::wstring_view replace_with) {
  ReplaceSubstringsT(text, start_offset, find, replace_with, true);
}

bool ReplaceChars(std::string_view input, std::string_view replace_chars,
                  std::string_view replace_with, std::string* output) {
  return ReplaceCharsT(input, replace_chars, replace_with, output);
}
bool ReplaceChars(std::wstring_view input, std::wstring_view replace_chars,
                  std::wstring_view replace_with, std::wstring* output) {
  return ReplaceCharsT(input, replace_chars, replace_with, output);
}
bool RemoveChars(std::string_view input, std::string_view remove_chars, std::string* output) {
  return ReplaceCharsT(input, remove_chars, std::string_view(), output);
}
bool RemoveChars(std::wstring_view input, std::wstring_view remove_chars,
                 std::wstring* output) {
  return ReplaceCharsT(input, remove_chars, std::wstring_view(), output);
}

std::string JoinString(const std::vector<std::string>& parts, std::string_view separator) {
  return JoinT<char>(parts, separator);
}
std::wstring JoinString(const std::vector<std::wstring>& parts, std::wstring_view separator) {
  return JoinT<wchar_t>(parts, separator);
}
std::string JoinString(const std::vector<std::string_view>& parts, std::string_view separator) {
  return JoinT<char>(parts, separator);
}
std::wstring JoinString(const std::vector<std::wstring_view>& parts,
                        std::wstring_view separator) {
  return JoinT<wchar_t>(parts, separator);
}
std::string JoinString(std::initializer_list<std::string_view> parts,
                       std::string_view separator) {
  return JoinT<char>(parts, separator);
}
std::wstring JoinString(std::initializer_list<std::wstring_view> parts,
                        std::wstring_view separator) {
  return JoinT<wchar_t>(parts, separator);
}

std::wstring ReplaceStringPlaceholders(std::wstring_view format,
                                       const std::vector<std::wstring>& substitutions,
                                       std::vector<size_t>* offsets) {
  return ReplacePlaceholdersT(format, substitutions, offsets);
}
std::string ReplaceStringPlaceholders(std::string_view format,
                                      const std::vector<std::string>& substitutions,
                                      std::vector<size_t>* offsets) {
  return ReplacePlaceholdersT(format, substitutions, offsets);
}
std::wstring ReplaceStringPlaceholders(std::wstring_view format, std::wstring_view a,
                                       size_t* offset) {
  std::vector<size_t> offsets;
  std::wstring result = ReplacePlaceholdersT(format, {std::wstring(a)}, &offsets);
  if (offset && !offsets.empty()) *offset = offsets[0];
  return result;
}

bool ContainsOnlyChars(std::string_view text, std::string_view characters) {
  return ContainsOnlyCharsT(text, characters);
}
bool ContainsOnlyChars(std::wstring_view text, std::wstring_view characters) {
  return ContainsOnlyCharsT(text, characters);
}

}  // namespace base
