// printf-style formatting into std::string and std::wstring.
//
// Both forms use the C99 (mingw "ANSI stdio") conventions on every toolchain
// setting, not the Microsoft CRT ones:
//   - narrow formats: %s takes const char*, %ls takes const wchar_t*;
//   - wide formats:   %ls takes const wchar_t*, %s takes const char* (narrow!);
//   - %lld/%llu/%zu/%I64d work; %S is not to be used.
// So in a wide format always write %ls for wide text. Texts of any length are
// produced (no fixed buffer). A malformed format yields an empty result.

#ifndef BASE_STRINGS_STRINGPRINTF_H_
#define BASE_STRINGS_STRINGPRINTF_H_

#include <cstdarg>
#include <string>

namespace base {

std::string StringPrintf(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
std::wstring StringPrintf(const wchar_t* format, ...);

std::string StringPrintV(const char* format, va_list args)
    __attribute__((format(gnu_printf, 1, 0)));
std::wstring StringPrintV(const wchar_t* format, va_list args);

// Appends the formatted text to |dst|.
void StringAppendF(std::string* dst, const char* format, ...)
    __attribute__((format(gnu_printf, 2, 3)));
void StringAppendF(std::wstring* dst, const wchar_t* format, ...);
void StringAppendV(std::string* dst, const char* format, va_list args)
    __attribute__((format(gnu_printf, 2, 0)));
void StringAppendV(std::wstring* dst, const wchar_t* format, va_list args);

}  // namespace base

#endif  // BASE_STRINGS_STRINGPRINTF_H_
