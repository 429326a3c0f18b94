// Walks the values of a registry key. The key is opened for reading in the
// WOW64 view given; when it cannot be opened the iterator is simply not
// Valid(). Values are visited from the last index down, so deleting the current
// value while iterating is safe. Value() gives string data as text; for other
// types use ValueSize() and the raw bytes.

#ifndef BASE_WIN_REGISTRY_VALUE_ITERATOR_H_
#define BASE_WIN_REGISTRY_VALUE_ITERATOR_H_

#include <windows.h>

#include <string>
#include <vector>

namespace base::win {

class RegistryValueIterator {
 public:
  // |wow64access| is 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY.
  RegistryValueIterator(HKEY root_key, const wchar_t* folder_key, REGSAM wow64access = 0);
  RegistryValueIterator(const RegistryValueIterator&) = delete;
  RegistryValueIterator& operator=(const RegistryValueIterator&) = delete;
  ~RegistryValueIterator();

  DWORD ValueCount() const;
  // True while the current position holds a value.
  bool Valid() const;
  void operator++();

  const wchar_t* Name() const { return name_.c_str(); }
  // The data as a null-terminated wide string (meaningful for string types).
  const wchar_t* Value() const { return reinterpret_cast<const wchar_t*>(value_.data()); }
  // The size of the data in bytes.
  DWORD ValueSize() const { return value_size_; }
  DWORD Type() const { return type_; }
  // The raw data.
  const BYTE* Data() const { return value_.data(); }
  int Index() const { return index_; }

 private:
  // Reads the value at index_ (skipping past ones that vanished). False at the end.
  bool Read();

  HKEY key_ = nullptr;
  int index_ = -1;
  std::wstring name_;
  std::vector<BYTE> value_;
  DWORD value_size_ = 0;
  DWORD type_ = REG_NONE;
};

}  // namespace base::win

#endif  // BASE_WIN_REGISTRY_VALUE_ITERATOR_H_
