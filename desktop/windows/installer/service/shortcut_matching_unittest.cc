#include "desktop/windows/installer/service/shortcut_matching.h"

#include <windows.h>

#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/scoped_com_initializer.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Real shell links, written through the shell's own link object.
class ShortcutMatchingTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    exe_ = temp_.GetPath().Append(L"browser.exe");
    other_ = temp_.GetPath().Append(L"other.exe");
    ASSERT_TRUE(base::WriteFile(exe_, "browser"));
    ASSERT_TRUE(base::WriteFile(other_, "other"));
  }

  base::FilePath MakeShortcut(const std::wstring& name, const base::FilePath& target) {
    Microsoft::WRL::ComPtr<IShellLinkW> link;
    Microsoft::WRL::ComPtr<IPersistFile> file;
    const base::FilePath path = temp_.GetPath().Append(name);
    EXPECT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_PPV_ARGS(&link))));
    EXPECT_TRUE(SUCCEEDED(link->SetPath(target.value().c_str())));
    EXPECT_TRUE(SUCCEEDED(link.As(&file)));
    EXPECT_TRUE(SUCCEEDED(file->Save(path.value().c_str(), TRUE)));
    return path;
  }

  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir temp_;
  base::FilePath exe_;
  base::FilePath other_;
};

TEST_F(ShortcutMatchingTest, TargetComparedIgnoringCase) {
  const base::FilePath shortcut = MakeShortcut(L"Velto.lnk", exe_);
  EXPECT_TRUE(IsShortcutToFile(shortcut, exe_, nullptr));
  std::wstring upper = exe_.value();
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  EXPECT_TRUE(IsShortcutToFile(shortcut, base::FilePath(upper), nullptr));
  EXPECT_FALSE(IsShortcutToFile(shortcut, other_, nullptr));
  EXPECT_FALSE(IsShortcutToFile(MakeShortcut(L"Other.lnk", other_), exe_, nullptr));
}

TEST_F(ShortcutMatchingTest, MissingOrEmptyShortcutIsNoMatch) {
  EXPECT_FALSE(IsShortcutToFile(base::FilePath(), exe_, nullptr));
  EXPECT_FALSE(IsShortcutToFile(temp_.GetPath().Append(L"missing.lnk"), exe_, nullptr));
  const base::FilePath not_a_link = temp_.GetPath().Append(L"broken.lnk");
  ASSERT_TRUE(base::WriteFile(not_a_link, "not a shell link"));
  EXPECT_FALSE(IsShortcutToFile(not_a_link, exe_, nullptr));
}

TEST_F(ShortcutMatchingTest, SameFileUnderAnotherNameMatchesThroughIdentity) {
  const base::FilePath alias = temp_.GetPath().Append(L"alias.exe");
  if (!CreateHardLinkW(alias.value().c_str(), exe_.value().c_str(), nullptr))
    GTEST_SKIP() << "no hard links on this file system";
  BY_HANDLE_FILE_INFORMATION identity;
  ASSERT_TRUE(GetFileIdentity(exe_, &identity));
  const base::FilePath shortcut = MakeShortcut(L"Alias.lnk", alias);
  EXPECT_FALSE(IsShortcutToFile(shortcut, exe_, nullptr));
  EXPECT_TRUE(IsShortcutToFile(shortcut, exe_, &identity));
  EXPECT_FALSE(IsShortcutToFile(MakeShortcut(L"Other.lnk", other_), exe_, &identity));
}

TEST_F(ShortcutMatchingTest, PinNeedsTheTargetAndTheProductsApplicationId) {
  BY_HANDLE_FILE_INFORMATION identity;
  ASSERT_TRUE(GetFileIdentity(exe_, &identity));
  EXPECT_FALSE(GetFileIdentity(temp_.GetPath().Append(L"missing.exe"), &identity));
  ASSERT_TRUE(GetFileIdentity(exe_, &identity));
  std::wstring upper = exe_.value();
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  EXPECT_TRUE(IsPinOf(exe_, L"Velto.Velto", exe_, "Velto", nullptr));
  EXPECT_TRUE(IsPinOf(base::FilePath(upper), L"maker.VELTO", exe_, "Velto", &identity));
  EXPECT_FALSE(IsPinOf(exe_, L"Velto", exe_, "Velto", &identity));  // No dot.
  EXPECT_FALSE(IsPinOf(exe_, L"Velto.Velto2", exe_, "Velto", &identity));
  EXPECT_FALSE(IsPinOf(exe_, L"", exe_, "Velto", &identity));
  EXPECT_FALSE(IsPinOf(other_, L"Velto.Velto", exe_, "Velto", &identity));
}

// Links made here carry no application id (and Wine's keep none), so even a
// pin to the executable is not the product's.
TEST_F(ShortcutMatchingTest, FolderPinsWithoutTheProductsApplicationIdAreNotFound) {
  BY_HANDLE_FILE_INFORMATION identity;
  ASSERT_TRUE(GetFileIdentity(exe_, &identity));
  MakeShortcut(L"Other.lnk", other_);
  MakeShortcut(L"Velto.lnk", exe_);
  std::vector<base::FilePath> found;
  FindPinnedShortcutsInFolder(temp_.GetPath(), exe_, "Velto", &identity, &found);
  EXPECT_TRUE(found.empty());
  FindPinnedShortcutsInFolder(temp_.GetPath().Append(L"none"), exe_, "Velto", &identity, &found);
  EXPECT_TRUE(found.empty());
}

}  // namespace
}  // namespace installer
