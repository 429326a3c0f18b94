// Walks the direct subkeys of a registry key, from the last index down, so
// deleting the current subkey while iterating is safe. When the key cannot be
// opened the iterator is not Valid().

#ifndef BASE_WIN_REGISTRY_KEY_ITERATOR_H_
#define BASE_WIN_REGISTRY_KEY_ITERATOR_H_

#include <windows.h>

#include <string>

namespace base::win {

class RegistryKeyIterator {
 public:
  // |wow64access| is 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY.
  RegistryKeyIterator(HKEY root_key, const wchar_t* folder_key, REGSAM wow64access = 0);
  RegistryKeyIterator(const RegistryKeyIterator&) = delete;
  RegistryKeyIterator& operator=(const RegistryKeyIterator&) = delete;
  ~RegistryKeyIterator();

  DWORD SubkeyCount() const;
  bool Valid() const;
  void operator++();

  const wchar_t* Name() const { return name_.c_str(); }
  int Index() const { return index_; }

 private:
  bool Read();

  HKEY key_ = nullptr;
  int index_ = -1;
  std::wstring name_;
};

}  // namespace base::win

#endif  // BASE_WIN_REGISTRY_KEY_ITERATOR_H_
