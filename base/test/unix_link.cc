#include "base/test/unix_link.h"

#include <windows.h>

#include "base/command_line.h"
#include "base/strings/utf_string_conversions.h"
#include "base/threading/platform_thread.h"
#include "base/time/time.h"

namespace base::test {

namespace {

constexpr wchar_t kLn[] = L"Z:\\bin\\ln";
// A loaded machine may take a while to start a process.
constexpr TimeDelta kLinkTimeout = TimeDelta::FromSeconds(60);

std::wstring Quoted(std::string_view text) {
  return CommandLine::QuoteForCommandLineToArgvW(UTF8ToWide(text));
}

}  // namespace

std::string UnixPath(const FilePath& path) {
  using GetUnixFileName = char*(CDECL*)(const wchar_t*);
  static const auto get_unix_file_name = reinterpret_cast<GetUnixFileName>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  if (!get_unix_file_name)
    return WideToUTF8(path.value());
  char* unix_name = get_unix_file_name(path.value().c_str());
  if (!unix_name)
    return std::string();
  std::string result = unix_name;
  HeapFree(GetProcessHeap(), 0, unix_name);
  return result;
}

bool StartUnixProgram(std::wstring command_line) {
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  if (process.hProcess)
    CloseHandle(process.hProcess);
  if (process.hThread)
    CloseHandle(process.hThread);
  return true;
}

bool MakeUnixLink(const FilePath& target, const FilePath& link) {
  const std::string unix_target = UnixPath(target);
  const std::string unix_link = UnixPath(link);
  if (unix_target.empty() || unix_link.empty() || unix_target == WideToUTF8(target.value()))
    return false;
  std::wstring command =
      std::wstring(kLn) + L" -s " + Quoted(unix_target) + L" " + Quoted(unix_link);
  if (!StartUnixProgram(std::move(command)))
    return false;
  // The link itself tells when ln is done.
  const TimeTicks deadline = TimeTicks::Now() + kLinkTimeout;
  for (;;) {
    const DWORD attributes = GetFileAttributesW(link.value().c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
      return true;
    if (TimeTicks::Now() > deadline)
      return false;
    PlatformThread::Sleep(TimeDelta::FromMilliseconds(20));
  }
}

}  // namespace base::test
