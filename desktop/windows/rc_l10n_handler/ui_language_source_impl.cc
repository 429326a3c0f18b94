#include "desktop/windows/rc_l10n_handler/ui_language_source_impl.h"

#include <windows.h>

#include "base/logging.h"
#include "desktop/windows/rc_l10n_handler/available_languages.h"

namespace installer {

namespace {

using PreferredLanguagesFunction = BOOL(WINAPI*)(DWORD, PULONG, PZZWSTR, PULONG);

// Calls |function| twice (size, then data) and splits the double-null
// terminated list it returns.
bool QueryLanguages(PreferredLanguagesFunction function, DWORD flags,
                    std::vector<std::wstring>* languages) {
  ULONG count = 0;
  ULONG length = 0;
  if (!function(flags, &count, nullptr, &length) || length == 0)
    return false;
  std::wstring buffer(length, L'\0');
  if (!function(flags, &count, buffer.data(), &length))
    return false;
  buffer.resize(std::min<size_t>(length, buffer.size()));
  languages->clear();
  size_t start = 0;
  while (start < buffer.size() && buffer[start] != L'\0') {
    size_t end = buffer.find(L'\0', start);
    if (end == std::wstring::npos)
      end = buffer.size();
    languages->push_back(buffer.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

BOOL WINAPI UserPreferredUILanguages(DWORD flags, PULONG count, PZZWSTR buffer,
                                     PULONG length) {
  // Only the name flag applies to the user's list.
  return ::GetUserPreferredUILanguages(flags & MUI_LANGUAGE_NAME, count, buffer, length);
}

}  // namespace

UILanguageSourceImpl::UILanguageSourceImpl() = default;
UILanguageSourceImpl::~UILanguageSourceImpl() = default;

std::vector<std::wstring> UILanguageSourceImpl::GetAvailableLanguages() const {
  return installer::GetAvailableLanguages();
}

std::vector<std::wstring> UILanguageSourceImpl::GetPreferredUILanguages() const {
  const DWORD flags = MUI_LANGUAGE_NAME | MUI_MERGE_USER_FALLBACK | MUI_MERGE_SYSTEM_FALLBACK;
  std::vector<std::wstring> languages;
  if (QueryLanguages(&::GetThreadPreferredUILanguages, flags, &languages))
    return languages;
  PLOG(WARNING) << "GetThreadPreferredUILanguages failed";
  if (QueryLanguages(&UserPreferredUILanguages, flags, &languages))
    return languages;
  PLOG(WARNING) << "GetUserPreferredUILanguages failed";
  return {};
}

}  // namespace installer
