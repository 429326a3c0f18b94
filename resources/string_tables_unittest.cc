// Checks the string tables that the installer executable carries: every
// offered language has a complete table under the language id the handler
// asks for, with the placeholders and link markup the code fills in.

#include <windows.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "desktop/windows/rc_l10n_handler/available_languages.h"
#include "desktop/windows/rc_l10n_handler/language_lcid.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr int kFirstStringId = 37000;
constexpr int kLastStringId = 37070;
constexpr LANGID kEnglish = 1033;

std::wstring Load(LANGID language, int id) {
  return RcL10nHandler::GetInstance()->LoadString(language, id, {});
}

std::vector<std::wstring> OfferedLanguages() {
  std::vector<std::wstring> languages;
  for (const std::wstring& code : GetAvailableLanguages()) {
    if (!code.empty())
      languages.push_back(code);
  }
  return languages;
}

// The "$1".."$9" placeholders of |text|, each as often as it occurs; "$$" is
// an escaped dollar sign.
std::multiset<wchar_t> Placeholders(const std::wstring& text) {
  std::multiset<wchar_t> found;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != L'$')
      continue;
    if (text[i + 1] >= L'1' && text[i + 1] <= L'9')
      found.insert(text[i + 1]);
    ++i;
  }
  return found;
}

size_t Count(const std::wstring& text, const std::wstring& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
  reinterpret_cast<std::set<LANGID>*>(param)->insert(language);
  return TRUE;
}

TEST(StringTablesTest, EveryOfferedCodeIsInTheLanguageTable) {
  const std::vector<std::wstring> languages = OfferedLanguages();
  EXPECT_EQ(45u, languages.size());
  std::map<LCID, std::wstring> codes_by_lcid;
  for (const std::wstring& code : languages) {
    const LCID lcid = GetLanguageLcid(code);
    // 0 is "neutral" or no entry; 1024 is the user default, not a table.
    EXPECT_NE(0u, lcid) << code;
    EXPECT_NE(1024u, lcid) << code;
    // Two codes with one LCID would show the same table.
    EXPECT_TRUE(codes_by_lcid.emplace(lcid, code).second)
        << code << " and " << codes_by_lcid[lcid];
  }
}

TEST(StringTablesTest, EveryTableIsComplete) {
  std::vector<int> ids;
  for (int id = kFirstStringId; id <= kLastStringId; ++id) {
    if (!Load(kEnglish, id).empty())
      ids.push_back(id);
  }
  ASSERT_EQ(65u, ids.size());
  for (const std::wstring& code : OfferedLanguages()) {
    const LANGID language = static_cast<LANGID>(GetLanguageLcid(code));
    for (int id : ids) {
      const std::wstring english = Load(kEnglish, id);
      const std::wstring text = Load(language, id);
      EXPECT_FALSE(text.empty()) << code << " " << id;
      EXPECT_EQ(Placeholders(english), Placeholders(text)) << code << " " << id;
      EXPECT_EQ(Count(english, L"<a href=\"tos\">"), Count(text, L"<a href=\"tos\">"))
          << code << " " << id;
      EXPECT_EQ(Count(english, L"</a>"), Count(text, L"</a>")) << code << " " << id;
    }
    // No table holds a text that English lacks.
    for (int id = kFirstStringId; id <= kLastStringId; ++id) {
      if (Load(kEnglish, id).empty()) {
        EXPECT_EQ(L"", Load(language, id)) << code << " " << id;
      }
    }
  }
}

TEST(StringTablesTest, TablesExistOnlyForOfferedLanguages) {
  std::set<LANGID> offered;
  for (const std::wstring& code : OfferedLanguages())
    offered.insert(static_cast<LANGID>(GetLanguageLcid(code)));
  for (int id = kFirstStringId; id <= kLastStringId; id += 16) {
    std::set<LANGID> found;
    EnumResourceLanguagesW(nullptr, RT_STRING,
                           MAKEINTRESOURCEW(RcL10nHandler::GetStringBlockNumber(id)),
                           CollectLanguage, reinterpret_cast<LONG_PTR>(&found));
    EXPECT_EQ(offered, found) << "block of " << id;
  }
}

// Each language names itself in its own script, which shows that the UTF-8
// sources reach the tables intact.
TEST(StringTablesTest, NonAsciiTextSurvives) {
  EXPECT_EQ(L"Deutsch", GetLocalizedStringForLanguage(L"de", 37051));
  EXPECT_EQ(L"English (United States)", GetLocalizedStringForLanguage(L"en", 37051));
  EXPECT_EQ(L"\u0420\u0443\u0441\u0441\u043a\u0438\u0439",
            GetLocalizedStringForLanguage(L"ru", 37051));
  EXPECT_EQ(L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac",
            GetLocalizedStringForLanguage(L"el", 37051));
  EXPECT_EQ(L"\u65e5\u672c\u8a9e", GetLocalizedStringForLanguage(L"ja", 37051));
  EXPECT_EQ(L"\u0627\u0644\u0639\u0631\u0628\u064a\u0629",
            GetLocalizedStringForLanguage(L"ar", 37051));
  EXPECT_EQ(L"\u05e2\u05d1\u05e8\u05d9\u05ea", GetLocalizedStringForLanguage(L"he", 37051));
  EXPECT_EQ(L"Downloading\u2026", GetLocalizedStringForLanguage(L"en", 37025));
}

// The language combo lists every language by its own name: two equal names
// would be indistinguishable there.
TEST(StringTablesTest, LanguageNamesAreDistinct) {
  std::map<std::wstring, std::wstring> codes_by_name;
  for (const std::wstring& code : OfferedLanguages()) {
    const std::wstring name = GetLocalizedStringForLanguage(code, 37051);
    EXPECT_TRUE(codes_by_name.emplace(name, code).second)
        << code << " and " << codes_by_name[name];
  }
}

// The access key of a control text: the character after a single "&".
wchar_t AccessKey(const std::wstring& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != L'&')
      continue;
    if (text[i + 1] != L'&')
      return static_cast<wchar_t>(reinterpret_cast<uintptr_t>(
          CharLowerW(reinterpret_cast<wchar_t*>(static_cast<uintptr_t>(text[i + 1])))));
    ++i;
  }
  return 0;
}

// Controls shown together must not share an access key, or Alt+key reaches
// only the first of them.
TEST(StringTablesTest, AccessKeysAreUniqueOnEachPage) {
  const std::vector<std::vector<int>> pages = {
      {37010, 37011, 37012, 37016, 37018, 37019, 37020, 37009},  // options
      {37048, 37049, 37009},                                       // error
      {37036, 37037},                                              // uninstall
  };
  for (const std::wstring& code : OfferedLanguages()) {
    const LANGID language = static_cast<LANGID>(GetLanguageLcid(code));
    for (const std::vector<int>& page : pages) {
      std::map<wchar_t, int> ids_by_key;
      for (int id : page) {
        const wchar_t key = AccessKey(Load(language, id));
        EXPECT_NE(0, key) << code << " " << id;
        if (key) {
          EXPECT_TRUE(ids_by_key.emplace(key, id).second)
              << code << " " << id << " and " << ids_by_key[key];
        }
      }
    }
  }
}

}  // namespace
}  // namespace installer
