// Main of every GoogleTest executable: sets up the isolation described in
// test_environment.h around the whole run.

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base::test {
namespace {

// What a test process makes, each named with its tag: a key of its own
// directly under Software (a parent shared between test processes could be
// deleted by one while another creates its key under it) and a folder in the
// temporary folder. A process started by a test process (a death test's
// child, a helper) makes its own inside its parent's, which removes them with
// its own.
constexpr wchar_t kKeyPrefix[] = L"VeltoTests_";
constexpr wchar_t kFolderPrefix[] = L"velto_test_";
// Held for the process's life: a scratch key or folder whose owner holds no
// such mutex any more was left by a process that was ended or crashed.
constexpr wchar_t kAlivePrefix[] = L"Local\\VeltoTestsAlive_";
// Where a test process's children put their scratch keys.
constexpr wchar_t kParentKeyVariable[] = L"VELTO_TEST_SCRATCH_KEY";

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

bool IsAlive(const std::wstring& tag) {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, (kAlivePrefix + tag).c_str());
  if (!mutex)
    return GetLastError() != ERROR_FILE_NOT_FOUND;
  CloseHandle(mutex);
  return true;
}

void DeleteFolder(const std::wstring& folder) {
  // SHFileOperation wants a double-terminated list.
  std::wstring from = folder;
  from.push_back(L'\0');
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

// Removes what test processes that are gone left behind in the real
// HKEY_CURRENT_USER and in |temp|.
void SweepLeftovers(const std::wstring& temp) {
  std::vector<std::wstring> keys;
  HKEY software = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &software) == ERROR_SUCCESS) {
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (RegEnumKeyExW(software, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      if (wcsncmp(name, kKeyPrefix, wcslen(kKeyPrefix)) == 0 &&
          !IsAlive(name + wcslen(kKeyPrefix))) {
        keys.push_back(name);
      }
    }
    RegCloseKey(software);
  }
  for (const std::wstring& key : keys)
    SHDeleteKeyW(HKEY_CURRENT_USER, (L"Software\\" + key).c_str());

  std::vector<std::wstring> folders;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((temp + L"\\" + kFolderPrefix + L"*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !IsAlive(found.cFileName + wcslen(kFolderPrefix))) {
        folders.push_back(temp + L"\\" + found.cFileName);
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  for (const std::wstring& folder : folders)
    DeleteFolder(folder);
}

void SetUp() {
  std::wstring tag = ProcessTag();
  // Made before anything it vouches for, and never closed.
  CreateMutexW(nullptr, FALSE, (kAlivePrefix + tag).c_str());

  wchar_t temp[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring base(temp, length);
  if (!base.empty() && base.back() == L'\\')
    base.pop_back();
  wchar_t parent_key[512];
  const DWORD parent_length =
      GetEnvironmentVariableW(kParentKeyVariable, parent_key, std::size(parent_key));
  const bool child = parent_length > 0 && parent_length < std::size(parent_key);
  if (!child)
    SweepLeftovers(base);

  g_scratch_folder = base + L"\\" + kFolderPrefix + tag;
  CreateDirectoryW(g_scratch_folder.c_str(), nullptr);
  std::wstring temp_folder = g_scratch_folder + L"\\temp";
  CreateDirectoryW(temp_folder.c_str(), nullptr);
  SetEnvironmentVariableW(L"TMP", temp_folder.c_str());
  SetEnvironmentVariableW(L"TEMP", temp_folder.c_str());

  g_scratch_registry =
      (child ? std::wstring(parent_key) : std::wstring(L"Software")) + L"\\" + kKeyPrefix + tag;
  SetEnvironmentVariableW(kParentKeyVariable, g_scratch_registry.c_str());
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

// Gives every test a world of its own inside the process's: empty scratch
// hives, an empty temporary folder, and an at-exit manager that tears down
// the singletons the test built (worker pools, registries) when it ends. A
// test never sees what an earlier test in the same process left behind.
class PerTestIsolation : public testing::EmptyTestEventListener {
 public:
  void OnTestStart(const testing::TestInfo&) override {
    RegDeleteTreeW(g_hklm, nullptr);
    RegDeleteTreeW(g_hkcu, nullptr);
    temp_folder_ = g_scratch_folder + L"\\temp_" + std::to_wstring(++tests_);
    CreateDirectoryW(temp_folder_.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", temp_folder_.c_str());
    SetEnvironmentVariableW(L"TEMP", temp_folder_.c_str());
    manager_ = std::make_unique<base::ShadowingAtExitManager>();
  }
  void OnTestEnd(const testing::TestInfo&) override {
    manager_.reset();
    // What a process the test left running still holds goes with the
    // scratch folder at the end.
    DeleteFolder(temp_folder_);
  }

 private:
  int tests_ = 0;
  std::wstring temp_folder_;
  std::unique_ptr<base::ShadowingAtExitManager> manager_;
};

void TearDown() {
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(g_hklm);
  RegCloseKey(g_hkcu);
  SHDeleteKeyW(HKEY_CURRENT_USER, g_scratch_registry.c_str());
  DeleteFolder(g_scratch_folder);
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
  testing::UnitTest::GetInstance()->listeners().Append(
      new base::test::PerTestIsolation());
  int result = RUN_ALL_TESTS();
  base::test::TearDown();
  return result;
}
