#include "base/threading/platform_thread.h"

#include <algorithm>

#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

thread_local std::string* g_thread_name = nullptr;

using SetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PCWSTR);

SetThreadDescriptionFunction GetSetThreadDescription() {
  // Absent before Windows 10 1607 and in older Wine: names are then kept for
  // GetName only.
  static const SetThreadDescriptionFunction function = [] {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 ? reinterpret_cast<SetThreadDescriptionFunction>(
                          reinterpret_cast<void*>(GetProcAddress(kernel32, "SetThreadDescription")))
                    : nullptr;
  }();
  return function;
}

}  // namespace

PlatformThreadId PlatformThread::CurrentId() {
  return GetCurrentThreadId();
}

void PlatformThread::YieldCurrentThread() {
  ::Sleep(0);
}

void PlatformThread::Sleep(TimeDelta duration) {
  int64_t ms = duration.InMillisecondsRoundedUp();
  ::Sleep(ms <= 0 ? 0 : static_cast<DWORD>(std::min<int64_t>(ms, INFINITE - 1)));
}

void PlatformThread::SetName(const std::string& name) {
  if (!g_thread_name)
    g_thread_name = new std::string();  // one per named thread, never freed
  *g_thread_name = name;
  if (SetThreadDescriptionFunction set_description = GetSetThreadDescription())
    set_description(GetCurrentThread(), UTF8ToWide(name).c_str());
}

const std::string& PlatformThread::GetName() {
  static const std::string empty;
  return g_thread_name ? *g_thread_name : empty;
}

}  // namespace base
