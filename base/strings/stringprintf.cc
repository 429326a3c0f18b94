#include "base/strings/stringprintf.h"

#include <stdio.h>
#include <wchar.h>

#include <vector>

namespace base {

// The mingw C99 formatters are called by name so that the conventions the
// header promises hold whatever __USE_MINGW_ANSI_STDIO says for this unit.
extern "C" {
int __mingw_vsnprintf(char* buffer, size_t count, const char* format, va_list args);
int __mingw_vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);
}

namespace {

int FormatInto(char* buffer, size_t count, const char* format, va_list args) {
  return __mingw_vsnprintf(buffer, count, format, args);
}
int FormatInto(wchar_t* buffer, size_t count, const wchar_t* format, va_list args) {
  return __mingw_vsnwprintf(buffer, count, format, args);
}

template <typename Char>
void AppendVT(std::basic_string<Char>* dst, const Char* format, va_list args) {
  Char stack_buffer[512];
  va_list copy;
  va_copy(copy, args);
  const int length = FormatInto(stack_buffer, std::size(stack_buffer), format, copy);
  va_end(copy);
  if (length < 0) return;
  if (static_cast<size_t>(length) < std::size(stack_buffer)) {
    dst->append(stack_buffer, static_cast<size_t>(length));
    return;
  }
  std::vector<Char> heap_buffer(static_cast<size_t>(length) + 1);
  va_copy(copy, args);
  const int written = FormatInto(heap_buffer.data(), heap_buffer.size(), format, copy);
  va_end(copy);
  if (written >= 0) dst->append(heap_buffer.data(), static_cast<size_t>(written));
}

}  // namespace

std::string StringPrintV(const char* format, va_list args) {
  std::string result;
  AppendVT(&result, format, args);
  return result;
}

std::wstring StringPrintV(const wchar_t* format, va_list args) {
  std::wstring result;
  AppendVT(&result, format, args);
  return result;
}

std::string StringPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string result = StringPrintV(format, args);
  va_end(args);
  return result;
}

std::wstring StringPrintf(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring result = StringPrintV(format, args);
  va_end(args);
  return result;
}

void StringAppendV(std::string* dst, const char* format, va_list args) {
  AppendVT(dst, format, args);
}

void StringAppendV(std::wstring* dst, const wchar_t* format, va_list args) {
  AppendVT(dst, format, args);
}

void StringAppendF(std::string* dst, const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendVT(dst, format, args);
  va_end(args);
}

void StringAppendF(std::wstring* dst, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  AppendVT(dst, format, args);
  va_end(args);
}

}  // namespace base
