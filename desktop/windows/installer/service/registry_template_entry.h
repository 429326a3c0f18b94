// Registry templates: constant rows that each name a key, a value, a type and
// data with placeholders in braces, and the conditions (Windows version, root,
// build channel) under which they apply. RegistryTemplateEntry binds one row to
// a VariableResolver; Apply() turns it into the undoable operation to run and
// records the value it will write in the installation's status record, so that
// an uninstall knows what to remove.
//
// Calling pattern: for each row in order construct an entry and Apply() it; on
// false, or when the returned operation fails in Transaction::Do, stop and roll
// the transaction back.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_REGISTRY_TEMPLATE_ENTRY_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_REGISTRY_TEMPLATE_ENTRY_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "desktop/windows/installer/service/installation_status.h"

namespace installer {

class Operation;
class VariableResolver;

// Row types beyond the Windows value types REG_NONE to REG_DWORD.
inline constexpr uint32_t kRegistryTemplateRemoveValue = 0xFFFFFFFF;
inline constexpr uint32_t kRegistryTemplateDeleteKey = 0xFFFFFFFE;

struct RegistryTemplate {
  // Key below the root, with placeholders.
  const wchar_t* key_path;
  // Null for the key's default value; with placeholders.
  const wchar_t* value_name;
  uint32_t type;
  // By type: REG_SZ and REG_EXPAND_SZ a const wchar_t* with placeholders (null
  // for an empty string); REG_BINARY a const char* whose characters are the
  // bytes; REG_DWORD the number; nothing for other types.
  uintptr_t data;
  // base::win::Version numbering (1 XP, 3 Vista, 4 Windows 7, ...).
  int32_t min_windows;
  // When not null, the row applies only under this root.
  HKEY only_root;
  int32_t min_channel;
  // Cleanup mode recorded for the row's key.
  uint32_t clean;
  // Extra REGSAM bits (0 or KEY_WOW64_32KEY).
  uint32_t access;
};

// Row data helpers for the tables.
inline uintptr_t TemplateText(const wchar_t* text) {
  return reinterpret_cast<uintptr_t>(text);
}
inline uintptr_t TemplateBytes(const char* bytes) {
  return reinterpret_cast<uintptr_t>(bytes);
}

class RegistryTemplateEntry {
 public:
  // |resolver| is not owned and must outlive the entry.
  RegistryTemplateEntry(const RegistryTemplate& row, VariableResolver* resolver);
  RegistryTemplateEntry(const RegistryTemplateEntry&) = delete;
  RegistryTemplateEntry& operator=(const RegistryTemplateEntry&) = delete;
  ~RegistryTemplateEntry();

  // Empties |operation|, then leaves it empty (row skipped; true), fills it
  // with the operation to run (true), or fails for an unsupported type (false).
  bool Apply(HKEY root, std::unique_ptr<Operation>* operation);

  // |text| with every "{name}" replaced by the resolver's value; the values
  // are not expanded again. Null gives the empty string and an unmatched "{"
  // stays.
  std::wstring ExpandTemplateVariables(const wchar_t* text);

 private:
  RegistryTemplate row_;
  VariableResolver* resolver_;
};

// Records a value in |keys|: merged into the last entry of the same path
// (compared without regard to case, keeping the larger |clean|) or a new one.
// |data| holds |size| bytes of |type|.
void RecordRegistryValue(std::vector<InstallationStatus::RegistryKey>* keys,
                         const std::wstring& key_path,
                         const std::wstring& value_name,
                         const uint8_t* data,
                         uint32_t type,
                         uint32_t size,
                         int clean);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_REGISTRY_TEMPLATE_ENTRY_H_
