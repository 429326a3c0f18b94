#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

#include <atomic>
#include <cstdint>
#include <utility>

#include "base/lazy_instance_helpers.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "desktop/windows/rc_l10n_handler/available_languages.h"
#include "desktop/windows/rc_l10n_handler/language_lcid.h"
#include "desktop/windows/rc_l10n_handler/ui_language_source_impl.h"

namespace installer {

namespace {

// The process-wide handler's address; deleted by the at-exit manager.
std::atomic<uintptr_t> g_handler{0};

void DeleteHandler(void*) {
  delete reinterpret_cast<RcL10nHandler*>(g_handler.load(std::memory_order_acquire));
  g_handler.store(0, std::memory_order_release);
}

constexpr wchar_t kFallbackLanguage[] = L"en";

bool Equals(std::wstring_view a, std::wstring_view b) {
  return base::EqualsCaseInsensitiveASCII(a, b);
}

// Codes callers may give in their ISO 639 form, and the form the string
// tables use.
std::wstring ConvertFromIso639(std::wstring code) {
  if (Equals(code, L"no"))
    return L"nb";
  if (Equals(code, L"pt"))
    return L"pt-PT";
  if (Equals(code, L"tl"))
    return L"fil";
  return code;
}

// A system language tag ("es-MX") as the code of the table that serves it.
std::wstring AdjustSystemLanguage(const std::wstring& tag) {
  size_t dash = tag.find(L'-');
  if (dash == std::wstring::npos || dash == 0)
    return tag;
  std::wstring language = tag.substr(0, dash);
  std::wstring region = tag.substr(dash + 1);
  if (Equals(language, L"es"))
    return Equals(region, L"es") ? language : L"es-419";
  if (Equals(language, L"zh"))
    return Equals(region, L"hk") || Equals(region, L"mo") ? L"zh-TW" : L"zh-CN";
  if (Equals(language, L"en")) {
    for (const wchar_t* british : {L"au", L"ca", L"nz", L"za"}) {
      if (Equals(region, british))
        return L"en-GB";
    }
    return L"en-US";
  }
  if (Equals(language, L"no"))
    return L"nb";
  if (Equals(language, L"fil"))
    return L"tl";
  return language;
}

}  // namespace

// static
RcL10nHandler* RcL10nHandler::GetInstance() {
  return base::GetOrCreateLazyPointer<RcL10nHandler>(
      g_handler, [] { return new RcL10nHandler(std::make_unique<UILanguageSourceImpl>()); },
      &DeleteHandler, nullptr);
}

RcL10nHandler::RcL10nHandler(std::unique_ptr<UILanguageSource> source)
    : source_(std::move(source)) {}

RcL10nHandler::~RcL10nHandler() = default;

void RcL10nHandler::SetLanguage(std::wstring* code) {
  *code = ConvertFromIso639(std::move(*code));
  VLOG(1) << "Language converted from ISO631:" << *code;

  const std::vector<std::wstring> available = source_->GetAvailableLanguages();
  if (!IsLanguageInList(*code, available)) {
    LOG(INFO) << "Language not in the available languages list: " << *code;
    bool found = false;
    for (const std::wstring& preferred : source_->GetPreferredUILanguages()) {
      *code = preferred;
      LOG(INFO) << "Trying language from system preferred list: " << *code;
      if (IsLanguageInList(*code, available)) {
        found = true;
        break;
      }
      *code = AdjustSystemLanguage(preferred);
      LOG(INFO) << "Retrying after adjustments: " << *code;
      if (IsLanguageInList(*code, available)) {
        found = true;
        break;
      }
    }
    if (!found) {
      *code = kFallbackLanguage;
      LOG(WARNING) << "Falling back to english";
    }
  }
  language_id_ = LANGIDFROMLCID(GetLanguageLcid(*code));
}

std::wstring RcL10nHandler::LoadString(LANGID language, int id,
                                       const std::vector<std::wstring>& arguments) const {
  HRSRC resource = ::FindResourceExW(
      nullptr, RT_STRING, MAKEINTRESOURCEW(GetStringBlockNumber(id)), language);
  if (!resource) {
    PLOG(ERROR) << "Failed to find string";
    return std::wstring();
  }
  HGLOBAL loaded = ::LoadResource(nullptr, resource);
  if (!loaded) {
    PLOG(ERROR) << "Failed to load string";
    return std::wstring();
  }
  const void* block = ::LockResource(loaded);
  if (!block) {
    PLOG(ERROR) << "Failed to lock string";
    return std::wstring();
  }
  std::wstring text;
  const size_t length = ::SizeofResource(nullptr, resource) / sizeof(wchar_t);
  if (!ReadStringBlockEntry(static_cast<const wchar_t*>(block), length, GetStringBlockEntry(id),
                            &text)) {
    LOG(ERROR) << "Malformed string block for string " << id;
    return std::wstring();
  }
  if (arguments.empty())
    return text;
  return base::ReplaceStringPlaceholders(text, arguments, nullptr);
}

// static
bool RcL10nHandler::ReadStringBlockEntry(const wchar_t* block, size_t length, int entry,
                                         std::wstring* text) {
  if (entry < 0 || entry >= kStringsPerBlock)
    return false;
  size_t position = 0;
  for (int i = 0;; ++i) {
    if (position >= length)
      return false;
    const size_t count = static_cast<uint16_t>(block[position++]);
    if (count > length - position)
      return false;
    if (i == entry) {
      text->assign(block + position, count);
      return true;
    }
    position += count;
  }
}

std::wstring GetLocalizedString(int id) {
  RcL10nHandler* handler = RcL10nHandler::GetInstance();
  return handler->LoadString(handler->language_id(), id, {});
}

std::wstring GetLocalizedStringF(int id, std::wstring_view argument) {
  RcL10nHandler* handler = RcL10nHandler::GetInstance();
  return handler->LoadString(handler->language_id(), id, {std::wstring(argument)});
}

std::wstring GetLocalizedStringForLanguage(std::wstring_view code, int id) {
  return RcL10nHandler::GetInstance()->LoadString(LANGIDFROMLCID(GetLanguageLcid(code)), id, {});
}

}  // namespace installer
