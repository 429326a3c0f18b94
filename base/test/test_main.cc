// Main of every GoogleTest executable: sets up the isolation described in
// test_environment.h around the whole run.

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdio>

#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base::test {
namespace {

std::wstring g_scratch_folder;
std::wstring g_scratch_registry;
HKEY g_hklm = nullptr;
HKEY g_hkcu = nullptr;

std::wstring ProcessTag() {
  wchar_t tag[64];
  swprintf(tag, 64, L"%lu_%llu", GetCurrentProcessId(),
           static_cast<unsigned long long>(GetTickCount64()));
  return tag;
}

void SetUp() {
  std::wstring tag = ProcessTag();
  wchar_t temp[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring base(temp, length);
  if (!base.empty() && base.back() == L'\\')
    base.pop_back();
  g_scratch_folder = base + L"\\velto_test_" + tag;
  CreateDirectoryW(g_scratch_folder.c_str(), nullptr);
  std::wstring temp_folder = g_scratch_folder + L"\\temp";
  CreateDirectoryW(temp_folder.c_str(), nullptr);
  SetEnvironmentVariableW(L"TMP", temp_folder.c_str());
  SetEnvironmentVariableW(L"TEMP", temp_folder.c_str());

  // A key of its own directly under Software: a parent shared between test
  // processes could be deleted by one while another creates its key under it.
  g_scratch_registry = L"Software\\VeltoTests_" + tag;
  RegCreateKeyExW(HKEY_CURRENT_USER, (g_scratch_registry + L"\\HKLM").c_str(), 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &g_hklm, nullptr);
  RegCreateKeyExW(HKEY_CURRENT_USER, (g_scratch_registry + L"\\HKCU").c_str(), 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &g_hkcu, nullptr);
  if (!g_hklm || !g_hkcu || RegOverridePredefKey(HKEY_LOCAL_MACHINE, g_hklm) != ERROR_SUCCESS ||
      RegOverridePredefKey(HKEY_CURRENT_USER, g_hkcu) != ERROR_SUCCESS) {
    fprintf(stderr, "Could not redirect the registry for tests (error %lu)\n", GetLastError());
    ExitProcess(2);
  }
}

void TearDown() {
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(g_hklm);
  RegCloseKey(g_hkcu);
  SHDeleteKeyW(HKEY_CURRENT_USER, g_scratch_registry.c_str());

  // SHFileOperation wants a double-terminated list.
  std::wstring from = g_scratch_folder;
  from.push_back(L'\0');
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

}  // namespace

const std::wstring& ScratchFolder() {
  return g_scratch_folder;
}

const std::wstring& ScratchRegistryPath() {
  return g_scratch_registry;
}

std::wstring UniqueName(const std::wstring& prefix) {
  static std::atomic<unsigned> counter{0};
  wchar_t suffix[96];
  swprintf(suffix, 96, L"_%lu_%llu_%u", GetCurrentProcessId(),
           static_cast<unsigned long long>(GetTickCount64()), counter.fetch_add(1));
  return prefix + suffix;
}

}  // namespace base::test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  base::test::SetUp();
  int result = RUN_ALL_TESTS();
  base::test::TearDown();
  return result;
}
