#include "base/strings/string_split.h"

#include "base/strings/string_util.h"

namespace base {

namespace {

std::string_view TrimPiece(std::string_view piece) {
  return TrimWhitespaceASCII(piece, TRIM_ALL);
}
std::wstring_view TrimPiece(std::wstring_view piece) {
  return TrimWhitespace(piece, TRIM_ALL);
}

// Calls |emit| with every part; |find_next| returns {position, length} of the
// next separator at or after a position (npos when none).
template <typename Char, typename FindNext, typename Emit>
void SplitT(std::basic_string_view<Char> input, WhitespaceHandling whitespace,
            SplitResult result, FindNext find_next, Emit emit) {
  using View = std::basic_string_view<Char>;
  if (input.empty()) return;
  size_t start = 0;
  while (true) {
    const auto [end, separator_length] = find_next(start);
    View piece = input.substr(start, end == View::npos ? View::npos : end - start);
    if (whitespace == TRIM_WHITESPACE) piece = TrimPiece(piece);
    if (result == SPLIT_WANT_ALL || !piece.empty()) emit(piece);
    if (end == View::npos) break;
    start = end + separator_length;
  }
}

template <typename Char, typename Out>
std::vector<Out> SplitAtChars(std::basic_string_view<Char> input,
                              std::basic_string_view<Char> separators,
                              WhitespaceHandling whitespace, SplitResult result) {
  std::vector<Out> parts;
  SplitT<Char>(
      input, whitespace, result,
      [&](size_t from) {
        return std::pair<size_t, size_t>(input.find_first_of(separators, from), 1);
      },
      [&](std::basic_string_view<Char> piece) { parts.emplace_back(piece); });
  return parts;
}

template <typename Char>
std::vector<std::basic_string<Char>> SplitAtSubstr(std::basic_string_view<Char> input,
                                                   std::basic_string_view<Char> delimiter,
                                                   WhitespaceHandling whitespace,
                                                   SplitResult result) {
  std::vector<std::basic_string<Char>> parts;
  SplitT<Char>(
      input, whitespace, result,
      [&](size_t from) {
        // An empty delimiter never matches: the whole input is one part.
        const size_t pos = delimiter.empty() ? std::basic_string_view<Char>::npos
                                             : input.find(delimiter, from);
        return std::pair<size_t, size_t>(pos, delimiter.size());
      },
      [&](std::basic_string_view<Char> piece) { parts.emplace_back(piece); });
  return parts;
}

}  // namespace

std::vector<std::string> SplitString(std::string_view input, std::string_view separators,
                                     WhitespaceHandling whitespace, SplitResult result) {
  return SplitAtChars<char, std::string>(input, separators, whitespace, result);
}
std::vector<std::wstring> SplitString(std::wstring_view input, std::wstring_view separators,
                                      WhitespaceHandling whitespace, SplitResult result) {
  return SplitAtChars<wchar_t, std::wstring>(input, separators, whitespace, result);
}
std::vector<std::string_view> SplitStringPiece(std::string_view input,
                                               std::string_view separators,
                                               WhitespaceHandling whitespace,
                                               SplitResult result) {
  return SplitAtChars<char, std::string_view>(input, separators, whitespace, result);
}
std::vector<std::wstring_view> SplitStringPiece(std::wstring_view input,
                                                std::wstring_view separators,
                                                WhitespaceHandling whitespace,
                                                SplitResult result) {
  return SplitAtChars<wchar_t, std::wstring_view>(input, separators, whitespace, result);
}
std::vector<std::string> SplitStringUsingSubstr(std::string_view input,
                                                std::string_view delimiter,
                                                WhitespaceHandling whitespace,
                                                SplitResult result) {
  return SplitAtSubstr(input, delimiter, whitespace, result);
}
std::vector<std::wstring> SplitStringUsingSubstr(std::wstring_view input,
                                                 std::wstring_view delimiter,
                                                 WhitespaceHandling whitespace,
                                                 SplitResult result) {
  return SplitAtSubstr(input, delimiter, whitespace, result);
}

}  // namespace base
