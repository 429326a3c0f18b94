#include "base/win/system_library.h"

#include <windows.h>

#include <delayimp.h>

#include <string>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base::win {
namespace {

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, length);
}

std::wstring ModuleFolder(HMODULE module) {
  wchar_t path[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  return FilePath(std::wstring(path, length)).DirName().value();
}

// A DLL of a name no system folder holds, in a folder that the ordinary
// search covers (SetDllDirectoryW), as a DLL planted beside an executable
// would be.
class PlantedLibraryTest : public testing::Test {
 protected:
  void SetUp() override {
    FilePath exe_folder;
    ASSERT_TRUE(PathService::Get(DIR_EXE, &exe_folder));
    const FilePath planted =
        exe_folder.DirName().Append(L"fixtures\\planted_dll\\planted.dll");
    folder_ = FilePath(base::test::ScratchFolder()).Append(L"planted");
    ASSERT_TRUE(CreateDirectory(folder_));
    name_ = base::test::UniqueName(L"velto_planted_") + L".dll";
    ASSERT_TRUE(CopyFile(planted, folder_.Append(name_)));
    ASSERT_TRUE(::SetDllDirectoryW(folder_.value().c_str()));
  }
  void TearDown() override { ::SetDllDirectoryW(nullptr); }

  FilePath folder_;
  std::wstring name_;
};

TEST(SystemLibraryTest, LoadsFromTheSystemFolder) {
  HMODULE module = LoadSystemLibrary(L"dbghelp.dll");
  ASSERT_TRUE(module);
  EXPECT_EQ(0, _wcsicmp(SystemFolder().c_str(), ModuleFolder(module).c_str()));
  EXPECT_TRUE(::GetProcAddress(module, "MiniDumpWriteDump"));
  ::FreeLibrary(module);
}

TEST_F(PlantedLibraryTest, LooksNowhereElse) {
  // The ordinary search finds the planted DLL...
  HMODULE ordinary = ::LoadLibraryW(name_.c_str());
  ASSERT_TRUE(ordinary);
  EXPECT_TRUE(PathExists(folder_.Append(name_ + L".loaded")));
  ::FreeLibrary(ordinary);
  // ...the system folder alone does not hold it.
  EXPECT_FALSE(LoadSystemLibrary(name_.c_str()));
}

// The delay-load helper asks the hook first and loads by bare name only when
// the hook gives nothing.
TEST_F(PlantedLibraryTest, DelayImportsComeFromTheSystemFolder) {
  ASSERT_TRUE(__pfnDliNotifyHook2);
  DelayLoadInfo info = {};
  info.cb = sizeof(info);
  info.szDll = "usp10.dll";
  HMODULE module = reinterpret_cast<HMODULE>(__pfnDliNotifyHook2(dliNotePreLoadLibrary, &info));
  ASSERT_TRUE(module);
  EXPECT_EQ(0, _wcsicmp(SystemFolder().c_str(), ModuleFolder(module).c_str()));

  std::string planted(name_.begin(), name_.end());
  info.szDll = planted.c_str();
  EXPECT_FALSE(__pfnDliNotifyHook2(dliNotePreLoadLibrary, &info));
  EXPECT_FALSE(PathExists(folder_.Append(name_ + L".loaded")));
  // Other notifications are left to the helper.
  info.szDll = "usp10.dll";
  EXPECT_FALSE(__pfnDliNotifyHook2(dliNoteStartProcessing, &info));
}

}  // namespace
}  // namespace base::win
