#include "desktop/windows/rc_l10n_handler/available_languages.h"

#include "base/logging.h"
#include "base/strings/string_split.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/resource_util.h"

namespace installer {

namespace {

constexpr int kLanguagesResourceId = 134;
constexpr wchar_t kLanguagesResourceType[] = L"TXT";

}  // namespace

std::vector<std::wstring> GetAvailableLanguages() {
  const void* data = nullptr;
  size_t length = 0;
  if (!base::win::GetResourceFromModule(nullptr, kLanguagesResourceId, kLanguagesResourceType,
                                        &data, &length)) {
    LOG(ERROR) << "Failed to read the list of available languages";
    return {};
  }
  std::wstring text =
      base::ASCIIToWide(std::string_view(static_cast<const char*>(data), length));
  return base::SplitString(text, L"\n", base::TRIM_WHITESPACE, base::SPLIT_WANT_NONEMPTY);
}

bool IsLanguageInList(std::wstring_view code, const std::vector<std::wstring>& languages) {
  if (code.empty() || !base::IsStringASCII(code))
    return false;
  for (const std::wstring& language : languages) {
    if (base::EqualsCaseInsensitiveASCII(code, language))
      return true;
  }
  return false;
}

bool IsLanguageAvailable(std::wstring_view code) {
  return IsLanguageInList(code, GetAvailableLanguages());
}

}  // namespace installer
