#include "base/files/file_path.h"

#include <windows.h>

#include <algorithm>

#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

bool IsDriveLetterPrefix(std::wstring_view path) {
  return path.size() >= 2 && path[1] == L':' &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

}  // namespace

size_t FilePath::RootLength() const {
  std::wstring_view p = path_;
  if (IsDriveLetterPrefix(p))
    return (p.size() > 2 && IsSeparator(p[2])) ? 3 : 2;
  if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
    // "\\\\server\\share" or "\\\\?\\C:\\"
    size_t pos = 2;
    int parts = 0;
    while (pos < p.size() && parts < 2) {
      while (pos < p.size() && !IsSeparator(p[pos]))
        ++pos;
      ++parts;
      if (pos < p.size())
        ++pos;
    }
    return pos;
  }
  if (!p.empty() && IsSeparator(p[0]))
    return 1;
  return 0;
}

FilePath FilePath::StripTrailingSeparators() const {
  size_t root = RootLength();
  std::wstring result = path_;
  while (result.size() > root && result.size() > 1 && IsSeparator(result.back()))
    result.pop_back();
  return FilePath(result);
}

FilePath FilePath::NormalizePathSeparators() const {
  std::wstring result = path_;
  std::replace(result.begin(), result.end(), L'/', L'\\');
  return FilePath(result);
}

FilePath FilePath::DirName() const {
  FilePath stripped = StripTrailingSeparators();
  const std::wstring& p = stripped.path_;
  size_t root = stripped.RootLength();
  size_t last = p.find_last_of(kSeparators);
  if (last == std::wstring::npos || last + 1 <= root) {
    if (root > 0)
      return FilePath(p.substr(0, root));
    return FilePath(L".");
  }
  std::wstring dir = p.substr(0, last);
  while (dir.size() > root && IsSeparator(dir.back()))
    dir.pop_back();
  if (dir.size() < root)
    dir = p.substr(0, root);
  return FilePath(dir);
}

FilePath FilePath::BaseName() const {
  FilePath stripped = StripTrailingSeparators();
  const std::wstring& p = stripped.path_;
  size_t root = stripped.RootLength();
  if (root == p.size()) {
    return FilePath(p);
  }
  size_t last = p.find_last_of(kSeparators);
  if (last == std::wstring::npos) {
    // "C:name"
    return FilePath(p.substr(root));
  }
  return FilePath(p.substr(std::max(last + 1, root)));
}

std::wstring FilePath::Extension() const {
  std::wstring base = BaseName().value();
  if (base == L"." || base == L"..")
    return std::wstring();
  size_t dot = base.rfind(kExtensionSeparator);
  if (dot == std::wstring::npos)
    return std::wstring();
  return base.substr(dot);
}

FilePath FilePath::RemoveExtension() const {
  std::wstring extension = Extension();
  if (extension.empty())
    return *this;
  FilePath stripped = StripTrailingSeparators();
  return FilePath(stripped.path_.substr(0, stripped.path_.size() - extension.size()));
}

FilePath FilePath::ReplaceExtension(std::wstring_view extension) const {
  FilePath without = RemoveExtension();
  if (extension.empty())
    return without;
  std::wstring result = without.path_;
  if (extension[0] != kExtensionSeparator)
    result.push_back(kExtensionSeparator);
  result.append(extension);
  return FilePath(result);
}

FilePath FilePath::AddExtension(std::wstring_view extension) const {
  if (extension.empty())
    return *this;
  std::wstring result = StripTrailingSeparators().path_;
  if (extension[0] != kExtensionSeparator &&
      (result.empty() || result.back() != kExtensionSeparator))
    result.push_back(kExtensionSeparator);
  result.append(extension);
  return FilePath(result);
}

FilePath FilePath::Append(std::wstring_view component) const {
  if (component.empty())
    return *this;
  if (path_.empty() || path_ == L".")
    return FilePath(component);
  std::wstring result = path_;
  size_t start = 0;
  while (start < component.size() && IsSeparator(component[start]))
    ++start;
  if (!IsSeparator(result.back()) && !(result.size() == 2 && IsDriveLetterPrefix(result)))
    result.push_back(L'\\');
  result.append(component.substr(start));
  return FilePath(result);
}

FilePath FilePath::AppendASCII(std::string_view component) const {
  return Append(ASCIIToWide(component));
}

bool FilePath::IsAbsolute() const {
  std::wstring_view p = path_;
  if (IsDriveLetterPrefix(p))
    return p.size() > 2 && IsSeparator(p[2]);
  return p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1]);
}

bool FilePath::EndsWithSeparator() const {
  return !path_.empty() && IsSeparator(path_.back());
}

std::vector<std::wstring> FilePath::GetComponents() const {
  std::vector<std::wstring> components;
  size_t root = RootLength();
  if (root > 0)
    components.push_back(path_.substr(0, root));
  size_t pos = root;
  while (pos < path_.size()) {
    size_t next = path_.find_first_of(kSeparators, pos);
    if (next == std::wstring::npos)
      next = path_.size();
    if (next > pos)
      components.push_back(path_.substr(pos, next - pos));
    pos = next + 1;
  }
  return components;
}

bool FilePath::ReferencesParent() const {
  for (const std::wstring& component : GetComponents()) {
    if (component == L"..")
      return true;
  }
  return false;
}

bool FilePath::IsParent(const FilePath& child) const {
  FilePath unused;
  return AppendRelativePath(child, &unused);
}

bool FilePath::AppendRelativePath(const FilePath& child, FilePath* path) const {
  std::vector<std::wstring> parent_parts = StripTrailingSeparators().GetComponents();
  std::vector<std::wstring> child_parts = child.GetComponents();
  if (parent_parts.empty() || child_parts.size() <= parent_parts.size())
    return false;
  for (size_t i = 0; i < parent_parts.size(); ++i) {
    std::wstring a = parent_parts[i];
    std::wstring b = child_parts[i];
    if (i == 0) {
      // Roots compare with their separators folded.
      for (auto& c : a) if (c == L'/') c = L'\\';
      for (auto& c : b) if (c == L'/') c = L'\\';
    }
    if (!CompareEqualIgnoreCase(a, b))
      return false;
  }
  FilePath result = *path;
  for (size_t i = parent_parts.size(); i < child_parts.size(); ++i)
    result = result.Append(child_parts[i]);
  *path = result;
  return true;
}

std::string FilePath::AsUTF8Unsafe() const {
  return WideToUTF8(path_);
}

FilePath FilePath::FromUTF8Unsafe(std::string_view utf8) {
  return FilePath(UTF8ToWide(utf8));
}

int FilePath::CompareIgnoreCase(std::wstring_view a, std::wstring_view b) {
  int result = CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                    static_cast<int>(b.size()), TRUE);
  return result - CSTR_EQUAL;
}

}  // namespace base
