// RcL10nHandler: the process's UI language and the lookup of localized
// strings in the string tables of the main executable.
//
// The language is chosen once, on the main thread, before any text is shown
// (SetLanguage); until then lookups ask for language 0, which lets the loader
// pick a table. Strings are fetched by id from RT_STRING blocks (block
// id / 16 + 1, entry id % 16), and "$1".."$9" are filled from the arguments
// ("$$" is a single "$", a placeholder without an argument becomes empty). A
// string that cannot be found is logged and comes back empty.

#ifndef DESKTOP_WINDOWS_RC_L10N_HANDLER_RC_L10N_HANDLER_H_
#define DESKTOP_WINDOWS_RC_L10N_HANDLER_RC_L10N_HANDLER_H_

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/windows/rc_l10n_handler/ui_language_source.h"

namespace installer {

class RcL10nHandler {
 public:
  // The process-wide handler, created on first use with the real language
  // source. Any thread may call it.
  static RcL10nHandler* GetInstance();

  explicit RcL10nHandler(std::unique_ptr<UILanguageSource> source);
  RcL10nHandler(const RcL10nHandler&) = delete;
  RcL10nHandler& operator=(const RcL10nHandler&) = delete;
  ~RcL10nHandler();

  // Chooses the UI language for |code| ("no", "pt" and "tl" read as "nb",
  // "pt-PT" and "fil"). A code the installer does not offer is replaced by the
  // first of the system's preferred UI languages that it offers, trying each
  // also in the form the string tables use ("es-MX" as "es-419", "en-AU" as
  // "en-GB", "de-AT" as "de"); when none fits, by "en". |code| receives the
  // chosen code.
  void SetLanguage(std::wstring* code);

  // The id of the chosen language, 0 until SetLanguage.
  LANGID language_id() const { return language_id_; }

  // String |id| of the table of |language|, placeholders filled from
  // |arguments| unless that is empty (then the text is returned as it stands).
  std::wstring LoadString(LANGID language, int id,
                          const std::vector<std::wstring>& arguments) const;

  // Where string |id| lives in the string tables.
  static int GetStringBlockNumber(int id) { return id / kStringsPerBlock + 1; }
  static int GetStringBlockEntry(int id) { return id % kStringsPerBlock; }

  // Entry |entry| of a string block of |length| UTF-16 units: 16 strings,
  // each a count of characters followed by the characters. False when the
  // block ends before the entry does.
  static bool ReadStringBlockEntry(const wchar_t* block, size_t length, int entry,
                                   std::wstring* text);

 private:
  static constexpr int kStringsPerBlock = 16;

  std::unique_ptr<UILanguageSource> source_;
  LANGID language_id_ = 0;
};

// String |id| in the chosen language.
std::wstring GetLocalizedString(int id);
// The same with "$1" filled by |argument|.
std::wstring GetLocalizedStringF(int id, std::wstring_view argument);
// String |id| in the language of |code| (see GetLanguageLcid).
std::wstring GetLocalizedStringForLanguage(std::wstring_view code, int id);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_RC_L10N_HANDLER_RC_L10N_HANDLER_H_
