// Bidirectional text in the installer's windows.
//
// A window in a right-to-left language is mirrored, but a mirrored control
// does not reliably read its text right to left: plain controls (static
// texts, buttons, combo boxes, message boxes) may draw with a left-to-right
// base, which puts a Latin word at the end of an Arabic label ("Velto") at
// the wrong end and moves brackets and full stops. So every text of a
// right-to-left window is given as a right-to-left embedding, and the pieces
// put into a localized sentence (the product name, a user name, a path) carry
// marks of their own direction, so that their neutral characters (slashes,
// dots, brackets at either end) stay with them. Texts of left-to-right
// languages are left exactly as they are.
//
// Embeddings and marks, not isolates: Windows 7 draws them.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_BIDI_TEXT_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_BIDI_TEXT_H_

#include <windows.h>

#include <string>
#include <string_view>

namespace installer {

enum class TextDirection { kNeutral, kLeftToRight, kRightToLeft };

// The direction of the first strongly directional character of |text|;
// kNeutral when it has none (digits, punctuation, white space only).
TextDirection GetTextDirection(std::wstring_view text);

// Whether the language of |code| ("ar", "he", "fa-IR") reads right to left.
bool IsRightToLeftLanguage(std::wstring_view code);
// The same for the language the localized strings are read in.
bool IsRightToLeftUILanguage();

// |text| as shown by a plain control of a window reading right to left (when
// |right_to_left|): one right-to-left embedding (RLE, closed by the end of
// the text). Unchanged for
// a left-to-right window, and for a text that any base direction shows the
// same way: right-to-left characters only at its ends and no left-to-right
// character (mnemonic ampersands aside). A line break ends an embedding, so
// each line of a text with several is treated by itself.
std::wstring ForReadingOrder(std::wstring_view text, bool right_to_left);

// |argument| for a placeholder of a sentence reading right to left (when
// |right_to_left|): between two marks of the argument's own direction (LRM or
// RLM) when it begins or ends with a neutral character ("VELTO.", a folder
// ending in a backslash), which the sentence would otherwise take over.
// Unchanged for a left-to-right sentence and for an argument without a
// strongly directional character.
std::wstring MarkArgument(std::wstring_view argument, bool right_to_left);

// |argument| for the placeholder that ends a sentence reading right to left
// (when |right_to_left|), the argument carrying the sentence's closing
// punctuation ("VELTO."): the punctuation is the sentence's, so it stands at
// the sentence's end (its left), not between the argument and the word
// before it; a right-to-left mark after it holds it there. Unchanged for a
// left-to-right sentence and an argument that ends in a letter.
std::wstring ArgumentEndingSentence(std::wstring_view argument, bool right_to_left);

// |text| in an embedding of its own direction (LRE or RLE, closed by the end
// of the text), whatever the window reads:
// for a name given in its own language, such as each entry of the language
// list. Unchanged when it has no strongly directional character.
std::wstring EmbedInOwnDirection(std::wstring_view text);

// Shows |control| unmirrored in a mirrored window, for a control whose
// content reads left to right whatever the language (a path) or that orders
// its text itself (a rich edit with right-to-left paragraphs). Does nothing
// when the control is not mirrored. Not for a control with scroll bars: its
// frame keeps the layout it was created with.
void KeepUnmirrored(HWND control);

// Replaces a mirrored |control| by an unmirrored one made anew in its place:
// same class, styles, id, text, font and tab position. For a control with
// scroll bars, such as a long left-to-right text in a mirrored window.
// Returns the control to use from now on (|control| itself when it is not
// mirrored or no copy could be made).
HWND RecreateUnmirrored(HWND control);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_BIDI_TEXT_H_
