#include "desktop/windows/installer/protected_package.h"

#include <string>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/test/scoped_user_windows_folder.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/service/test/scoped_real_local_machine.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// The packages of tests/fixtures/package_builder: package file and unpacked
// folder as the fetcher leaves them, the unpacked files being package-1.
base::FilePath DeliveryFixture(const wchar_t* name) {
  return base::FilePath(DELIVERY_FIXTURES_DIR).Append(name);
}

class ProtectedPackageTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"taken"));
    downloads_ = root_.Append(L"download");
    user_package_ = downloads_.Append(L"velto_package.exe_20240101101010");
    protected_parent_ = root_.Append(L"protected");
    ASSERT_TRUE(base::CreateDirectory(protected_parent_));
    ASSERT_TRUE(base::CopyDirectory(FixturePackage(1), user_package_, true));
    options_.parent = protected_parent_;
    options_.require_signatures = false;
  }

  void PlacePackageFile(const wchar_t* fixture) {
    ASSERT_TRUE(
        base::CopyFile(DeliveryFixture(fixture), user_package_.Append(L"velto_package.exe")));
  }

  // Takes the package; the error text when refused.
  std::string Take(ProtectedPackage* package) {
    std::string error;
    if (package->Take(user_package_, &error))
      return std::string();
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(package->folder().empty());
    return error.empty() ? "refused" : error;
  }

  // What the user's programs may do to the unpacked package after the front
  // end checked it.
  void ChangeUnpackedFiles() {
    ASSERT_TRUE(base::WriteFile(user_package_.Append(L"velto.exe"), "changed browser"));
    ASSERT_TRUE(base::WriteFile(user_package_.Append(L"installer.exe"), "changed installer"));
    ASSERT_TRUE(base::WriteFile(user_package_.Append(L"installer_lib.dll"), "changed library"));
    ASSERT_TRUE(base::WriteFile(user_package_.Append(L"files_list"), "velto.exe\r\nextra.exe\r\n"));
  }

  // Takes the package file |fixture| from a folder changed after the check:
  // the browser taken is the package's.
  void ExpectTakenDespiteChanges(const wchar_t* fixture) {
    PlacePackageFile(fixture);
    ChangeUnpackedFiles();
    ProtectedPackage package(options_);
    ASSERT_EQ("", Take(&package));
    EXPECT_TRUE(base::ContentsEqual(FixturePackage(1).Append(L"velto.exe"),
                                    package.folder().Append(L"velto.exe")));
  }

  bool IsEmptyFolder(const base::FilePath& folder) { return base::IsDirectoryEmpty(folder); }

  base::FilePath root_;
  base::FilePath downloads_;
  base::FilePath user_package_;
  base::FilePath protected_parent_;
  ProtectedPackage::Options options_;
};

TEST_F(ProtectedPackageTest, TakesThePackageFileNotTheChangedUnpackedFiles) {
  PlacePackageFile(L"velto_package_unsigned.exe");
  ChangeUnpackedFiles();
  base::FilePath taken_root;
  {
    ProtectedPackage package(options_);
    ASSERT_EQ("", Take(&package));
    taken_root = package.root();
    EXPECT_TRUE(protected_parent_.IsParent(package.folder()));
    EXPECT_EQ(taken_root, package.folder().DirName());
    for (const wchar_t* name : {L"velto.exe", L"installer.exe", L"installer_lib.dll",
                                L"files_list", L"launcher.exe", L"localization\\de.pak"}) {
      EXPECT_TRUE(base::ContentsEqual(FixturePackage(1).Append(name),
                                      package.folder().Append(name)))
          << name;
    }
    // Nothing of the package file is left beside the package.
    EXPECT_FALSE(base::PathExists(taken_root.Append(L"velto_package.exe")));
    EXPECT_FALSE(base::PathExists(taken_root.Append(L"velto_package.7z")));
  }
  EXPECT_FALSE(base::PathExists(taken_root));
}

// A self-extracting package is its own archive.
TEST_F(ProtectedPackageTest, TakesASelfExtractingPackage) {
  ExpectTakenDespiteChanges(L"velto_package.7z");
}

TEST_F(ProtectedPackageTest, TakesWhatTheFrontEndAddsAsItIs) {
  PlacePackageFile(L"velto_package_unsigned.exe");
  ASSERT_TRUE(base::WriteFile(user_package_.Append(L"server_tracking_data"), "{\"uuid\":\"u\"}"));
  ASSERT_TRUE(base::WriteFile(user_package_.Append(L"installer_prefs_include.json"),
                              "{\"welcome-url\":\"https://welcome.example/\"}"));
  ASSERT_TRUE(base::WriteFile(user_package_.Append(L"pref_default_overrides"), "{\"a\":1}"));
  ProtectedPackage package(options_);
  ASSERT_EQ("", Take(&package));
  for (const wchar_t* name :
       {L"server_tracking_data", L"installer_prefs_include.json", L"pref_default_overrides"}) {
    EXPECT_TRUE(base::ContentsEqual(user_package_.Append(name), package.folder().Append(name)))
        << name;
  }
}

// A program started elevated looks for libraries in its own folder first:
// what the user left beside a component's installer stays behind.
TEST_F(ProtectedPackageTest, TakesOnlyEachComponentsInstallerIntoAFolderOfItsOwn) {
  PlacePackageFile(L"velto_package_unsigned.exe");
  ASSERT_TRUE(base::CreateDirectory(downloads_.Append(L"suite\\data")));
  ASSERT_TRUE(base::WriteFile(downloads_.Append(L"suite\\suite_installer.exe"), "component"));
  ASSERT_TRUE(base::WriteFile(downloads_.Append(L"suite\\version.dll"), "planted"));
  ASSERT_TRUE(base::WriteFile(downloads_.Append(L"suite\\data\\x.bin"), "data"));
  options_.components = {{L"suite:suite", "suite", base::FilePath(L"suite")},
                         {L"extra:not_downloaded", "extra", base::FilePath(L"not_downloaded")}};
  ProtectedPackage package(options_);
  ASSERT_EQ("", Take(&package));
  const base::FilePath suite = package.folder().DirName().Append(L"suite");
  EXPECT_TRUE(base::ContentsEqual(downloads_.Append(L"suite\\suite_installer.exe"),
                                  suite.Append(L"suite_installer.exe")));
  EXPECT_FALSE(base::PathExists(suite.Append(L"version.dll")));
  EXPECT_FALSE(base::PathExists(suite.Append(L"data")));
  EXPECT_FALSE(base::PathExists(package.folder().DirName().Append(L"not_downloaded")));
}

// A component folder may not lay the user's files over the taken package.
TEST_F(ProtectedPackageTest, RefusesComponentFoldersThatWouldCoverThePackage) {
  PlacePackageFile(L"velto_package_unsigned.exe");
  for (const wchar_t* folder : {L"package", L"PACKAGE\\sub", L"..\\elsewhere", L"C:\\suite"}) {
    options_.components = {{folder, "suite", base::FilePath(folder)}};
    ProtectedPackage package(options_);
    EXPECT_NE("", Take(&package)) << folder;
  }
  EXPECT_TRUE(IsEmptyFolder(protected_parent_));
}

TEST_F(ProtectedPackageTest, RefusesAFolderWithoutAPackageInItsPackageFile) {
  ASSERT_TRUE(base::DeleteFile(user_package_.Append(L"velto_package.exe")));
  {
    ProtectedPackage package(options_);
    EXPECT_NE("", Take(&package));
  }
  // The unpacked installer carries no package, nor is it an archive; nor is
  // a text.
  for (const base::FilePath& file :
       {FixturePackage(1).Append(L"installer.exe"), FixturePackage(1).Append(L"license.txt")}) {
    ASSERT_TRUE(base::CopyFile(file, user_package_.Append(L"velto_package.exe")));
    ProtectedPackage package(options_);
    EXPECT_NE("", Take(&package)) << file.value();
  }
  EXPECT_TRUE(IsEmptyFolder(protected_parent_));
}

// A file the front end adds that is a second name of another file is not
// taken: the user could name a file only an administrator may read.
TEST_F(ProtectedPackageTest, RefusesAFrontEndFileWithASecondName) {
  PlacePackageFile(L"velto_package_unsigned.exe");
  const base::FilePath secret = root_.Append(L"secret.txt");
  ASSERT_TRUE(base::WriteFile(secret, "secret"));
  ASSERT_TRUE(::CreateHardLinkW(user_package_.Append(L"server_tracking_data").value().c_str(),
                                secret.value().c_str(), nullptr));
  ProtectedPackage package(options_);
  EXPECT_NE(std::string::npos, Take(&package).find("more than one name"));
  EXPECT_TRUE(IsEmptyFolder(protected_parent_));
}

class SignedProtectedPackageTest : public ProtectedPackageTest {
 protected:
  void SetUp() override {
    ProtectedPackageTest::SetUp();
    options_.require_signatures = true;
  }

  // The signature checks find their providers in the real registry.
  ScopedRealLocalMachine real_local_machine_;
};

TEST_F(SignedProtectedPackageTest, TakesAPackageSignedThroughout) {
  ExpectTakenDespiteChanges(L"velto_package_signed_inside.exe");
}

TEST_F(SignedProtectedPackageTest, RefusesWhatTheExpectedSignerDidNotSign) {
  const struct {
    const wchar_t* fixture;
    const char* reason;
  } kCases[] = {
      {L"velto_package_unsigned.exe", "Signature incorrect for the package file"},
      {L"velto_package_other_signer.exe", "Signature incorrect for the package file"},
      // Signed outside, but the installer and library inside are not.
      {L"velto_package.exe", "Signature incorrect for the package's installer.exe"},
      // Signed outside, the installer and library by a stranger.
      {L"velto_package_stranger_inside.exe",
       "Signature incorrect for the package's installer.exe"},
  };
  for (const auto& refused : kCases) {
    PlacePackageFile(refused.fixture);
    ProtectedPackage package(options_);
    EXPECT_NE(std::string::npos, Take(&package).find(refused.reason)) << refused.fixture;
    ASSERT_TRUE(base::DeleteFile(user_package_.Append(L"velto_package.exe")));
  }
  EXPECT_TRUE(IsEmptyFolder(protected_parent_));
}

// Without a folder given, the package goes into the Windows folder's
// temporary folder, under a name of its own, and away again with the object.
TEST_F(ProtectedPackageTest, MakesItsFolderInTheWindowsTemporaryFolder) {
  PlacePackageFile(L"velto_package_unsigned.exe");
  options_.parent.clear();
  base::FilePath windows;
  ASSERT_TRUE(base::PathService::Get(base::DIR_WINDOWS, &windows));
  base::FilePath taken_root;
  {
    ProtectedPackage first(options_);
    ProtectedPackage second(options_);
    ASSERT_EQ("", Take(&first));
    ASSERT_EQ("", Take(&second));
    taken_root = first.root();
    EXPECT_TRUE(windows.Append(L"Temp").IsParent(taken_root)) << taken_root.value();
    EXPECT_NE(first.root(), second.root());
  }
  EXPECT_FALSE(base::PathExists(taken_root));
}

// A Remote Desktop host may tell a process that is not marked Terminal Server
// aware a Windows folder of its user's, which the user can write: the
// package goes into the system's all the same.
TEST_F(ProtectedPackageTest, MakesItsFolderInTheSystemsWindowsFolder) {
  PlacePackageFile(L"velto_package_unsigned.exe");
  options_.parent.clear();
  base::test::ScopedUserWindowsFolder user_windows;
  ASSERT_TRUE(base::CreateDirectory(base::FilePath(user_windows.folder()).Append(L"Temp")));
  const base::FilePath system_temp =
      base::FilePath(base::test::ScopedUserWindowsFolder::SystemFolder()).Append(L"Temp");
  ProtectedPackage package(options_);
  ASSERT_EQ("", Take(&package));
  EXPECT_TRUE(system_temp.IsParent(package.root())) << package.root().value();
}

}  // namespace
}  // namespace installer
