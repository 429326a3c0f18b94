// A Windows file system path held as UTF-16 text. Purely lexical: nothing here
// touches the disk. Both '\\' and '/' are separators; Append writes '\\'.

#ifndef BASE_FILES_FILE_PATH_H_
#define BASE_FILES_FILE_PATH_H_

#include <string>
#include <string_view>
#include <vector>

namespace base {

class FilePath {
 public:
  using StringType = std::wstring;
  using CharType = wchar_t;
  static constexpr wchar_t kSeparators[] = L"\\/";
  static constexpr wchar_t kExtensionSeparator = L'.';

  FilePath() = default;
  explicit FilePath(std::wstring_view path) : path_(path) {}

  const std::wstring& value() const { return path_; }
  bool empty() const { return path_.empty(); }
  void clear() { path_.clear(); }

  static bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

  // The folder holding this path: "C:\\a\\b" -> "C:\\a", "C:\\a" -> "C:\\",
  // "b" -> ".". Trailing separators are ignored.
  FilePath DirName() const;
  // The last component: "C:\\a\\b.txt" -> "b.txt". Trailing separators are ignored.
  FilePath BaseName() const;
  // The extension of the last component with its dot (".txt"), or empty.
  std::wstring Extension() const;
  FilePath RemoveExtension() const;
  // Replaces (or adds) the extension; |extension| may be given with or without its dot.
  FilePath ReplaceExtension(std::wstring_view extension) const;
  FilePath AddExtension(std::wstring_view extension) const;

  // Appends a relative component with one separator between.
  FilePath Append(std::wstring_view component) const;
  FilePath Append(const FilePath& component) const { return Append(component.value()); }
  FilePath AppendASCII(std::string_view component) const;

  // "C:\\..." or "\\\\server\\share" forms (and "\\\\?\\" paths).
  bool IsAbsolute() const;
  bool EndsWithSeparator() const;
  FilePath StripTrailingSeparators() const;
  // Every separator written as '\\'.
  FilePath NormalizePathSeparators() const;
  // True when this is a proper ancestor of |child|, compared case-insensitively.
  bool IsParent(const FilePath& child) const;
  // With this a parent of |child|, appends the part of |child| below it to |path|.
  bool AppendRelativePath(const FilePath& child, FilePath* path) const;
  // The components, the root ("C:\\" or "\\\\server") first.
  std::vector<std::wstring> GetComponents() const;
  // True when any component is "..".
  bool ReferencesParent() const;

  std::string AsUTF8Unsafe() const;
  static FilePath FromUTF8Unsafe(std::string_view utf8);

  // Case-insensitive comparison, as the file system compares names.
  static int CompareIgnoreCase(std::wstring_view a, std::wstring_view b);
  static bool CompareEqualIgnoreCase(std::wstring_view a, std::wstring_view b) {
    return CompareIgnoreCase(a, b) == 0;
  }

  bool operator==(const FilePath& other) const { return path_ == other.path_; }
  bool operator!=(const FilePath& other) const { return path_ != other.path_; }
  bool operator<(const FilePath& other) const { return path_ < other.path_; }

 private:
  // Length of the root part: "C:\\" -> 3, "C:" -> 2, "\\\\server\\share\\" -> up to the share.
  size_t RootLength() const;

  std::wstring path_;
};

}  // namespace base

#endif  // BASE_FILES_FILE_PATH_H_
