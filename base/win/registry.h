// base::win::RegKey owns an open registry key. Every operation returns the
// Win32 result (LONG, ERROR_SUCCESS on success) so callers can tell a missing
// key or value (ERROR_FILE_NOT_FOUND) from other failures.
//
// The WOW64 view bits of the access mask given to Create/Open (KEY_WOW64_32KEY,
// KEY_WOW64_64KEY) are remembered and applied to later CreateKey, OpenKey and
// DeleteKey calls on subkeys, so one RegKey stays in one view.
//
// Reading strings: REG_SZ and REG_EXPAND_SZ are accepted (REG_EXPAND_SZ is
// expanded with the current environment); data without a terminating null is
// handled. Other types give ERROR_CANTREAD.
//
// This header also brings in RegistryKeyIterator.

#ifndef BASE_WIN_REGISTRY_H_
#define BASE_WIN_REGISTRY_H_

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/win/registry_key_iterator.h"

namespace base::win {

class RegKey {
 public:
  RegKey() = default;
  // Takes ownership of an open key.
  explicit RegKey(HKEY key);
  // Opens (not creates) |subkey| of |rootkey|; check Valid().
  RegKey(HKEY rootkey, const wchar_t* subkey, REGSAM access);
  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey();

  // Creates (or opens) |subkey| of |rootkey| with all missing parents.
  LONG Create(HKEY rootkey, const wchar_t* subkey, REGSAM access);
  // As Create; |disposition| receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
  LONG CreateWithDisposition(HKEY rootkey, const wchar_t* subkey, DWORD* disposition,
                             REGSAM access);
  // Creates (or opens) |name| below the held key; on success this object holds
  // the new key instead.
  LONG CreateKey(const wchar_t* name, REGSAM access);
  // Opens an existing |subkey| of |rootkey|.
  LONG Open(HKEY rootkey, const wchar_t* subkey, REGSAM access);
  // Opens an existing |relative_key_name| below the held key; on success this
  // object holds the subkey instead.
  LONG OpenKey(const wchar_t* relative_key_name, REGSAM access);

  void Close();
  // Closes the held key and takes ownership of |key|.
  void Set(HKEY key);
  // Gives up ownership.
  [[nodiscard]] HKEY Take();
  bool Valid() const { return key_ != nullptr; }
  HKEY Handle() const { return key_; }

  bool HasValue(const wchar_t* value_name) const;
  // The number of values, 0 on failure.
  DWORD GetValueCount() const;
  // The name of the value at |index| (0-based).
  LONG GetValueNameAt(int index, std::wstring* name) const;

  // Deletes the subkey |name| with everything below it.
  LONG DeleteKey(const wchar_t* name);
  // Deletes the subkey |name| only when it has no values and no subkeys
  // (ERROR_DIR_NOT_EMPTY otherwise).
  LONG DeleteEmptyKey(const wchar_t* name);
  LONG DeleteValue(const wchar_t* name);

  // A REG_DWORD (4 bytes). ERROR_CANTREAD for another type or size.
  LONG ReadValueDW(const wchar_t* name, DWORD* out_value) const;
  // A REG_QWORD (8 bytes). ERROR_CANTREAD for another type or size.
  LONG ReadInt64(const wchar_t* name, int64_t* out_value) const;
  // A REG_SZ or REG_EXPAND_SZ (expanded). |name| null or empty reads the default value.
  LONG ReadValue(const wchar_t* name, std::wstring* out_value) const;
  // Raw RegQueryValueExW: |data| may be null to query the size; |dsize| in/out
  // bytes; |dtype| (optional) receives the type.
  LONG ReadValue(const wchar_t* name, void* data, DWORD* dsize, DWORD* dtype) const;
  // A REG_MULTI_SZ as its strings. The list ends at the first empty string
  // (the format's terminator) or at the end of the data.
  LONG ReadValues(const wchar_t* name, std::vector<std::wstring>* values) const;

  LONG WriteValue(const wchar_t* name, DWORD in_value);
  // REG_SZ.
  LONG WriteValue(const wchar_t* name, const wchar_t* in_value);
  // Raw data of |dtype|.
  LONG WriteValue(const wchar_t* name, const void* data, DWORD dsize, DWORD dtype);

 private:
  // Holds |subkey| (opened with |access|) instead of the current key, keeping
  // the view unless |access| names one.
  void ReplaceWithSubkey(HKEY subkey, REGSAM access);
  // Reads a value of |expected_type| that must be exactly |expected_size| bytes
  // (at most 8).
  LONG ReadFixedSize(const wchar_t* name, DWORD expected_type, void* out_value,
                     DWORD expected_size) const;

  HKEY key_ = nullptr;
  REGSAM wow64access_ = 0;
};

}  // namespace base::win

#endif  // BASE_WIN_REGISTRY_H_
