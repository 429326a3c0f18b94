#include "desktop/windows/installer/installation_folder_details_impl.h"

#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class InstallationFolderDetailsImplTest : public testing::Test {
 protected:
  InstallationFolderDetailsImplTest()
      : folder_(base::FilePath(base::test::ScratchFolder())
                    .Append(base::test::UniqueName(L"details"))) {
    EXPECT_TRUE(base::CreateDirectory(folder_));
  }
  ~InstallationFolderDetailsImplTest() override { base::DeletePathRecursively(folder_); }

  base::win::ScopedCOMInitializer com_;
  base::FilePath folder_;
  InstallationFolderDetailsImpl details_{false};
};

TEST_F(InstallationFolderDetailsImplTest, EmptyPathIsInvalid) {
  details_.Initialize(base::FilePath(), 0);
  EXPECT_FALSE(details_.IsValidInstallPath());
  EXPECT_TRUE(details_.GetValidParentFolder().empty());
}

// A path that cannot be used says why; one that can says nothing.
TEST_F(InstallationFolderDetailsImplTest, RefusedPathsTellWhy) {
  const base::FilePath file = folder_.Append(L"a file");
  ASSERT_TRUE(base::WriteFile(file, "x"));
  const struct {
    base::FilePath path;
    const char* reason;
  } cases[] = {{base::FilePath(), "Path is empty"},
               {base::FilePath(L"Velto"), "Path is relative"},
               {file, "Path is a file path"},
               {file.Append(L"Velto"), "Path is child of a file (invalid)"},
               {folder_.Append(L"Velto"), ""}};
  for (const auto& refused : cases) {
    details_.Initialize(refused.path, 0);
    EXPECT_EQ(refused.reason, details_.GetInvalidPathReason()) << refused.path.value();
    EXPECT_EQ(refused.reason[0] == '\0', details_.IsValidInstallPath()) << refused.path.value();
  }
}

TEST_F(InstallationFolderDetailsImplTest, MissingDriveWalksUpToItsRootAndFails) {
  // Wine maps few letters; Q: is not one of them in the test prefix.
  details_.Initialize(base::FilePath(L"Q:\\no\\such\\folder"), 0);
  EXPECT_FALSE(details_.IsValidInstallPath());
}

TEST_F(InstallationFolderDetailsImplTest, FolderPathOf248CharactersIsInvalid) {
  std::wstring path = folder_.value() + L"\\";
  path.append(248 - path.size(), L'a');
  details_.Initialize(base::FilePath(path), 0);
  EXPECT_FALSE(details_.IsValidInstallPath());
}

TEST_F(InstallationFolderDetailsImplTest, NewSubfolderChecksWriteAccessOnItsParent) {
  details_.Initialize(folder_.Append(L"a").Append(L"b"), 0);
  EXPECT_TRUE(details_.IsValidInstallPath());
  EXPECT_EQ(folder_, details_.GetValidParentFolder());
  EXPECT_TRUE(details_.HasWriteAccess());
  EXPECT_FALSE(details_.IsExistingInstallation());
}

TEST_F(InstallationFolderDetailsImplTest, OldPreferencesGiveProductTypeProfileModeAndLanguage) {
  ASSERT_TRUE(base::WriteFile(folder_.Append(L"veltoprefs_default.ini"),
                              "[System]\r\nVelto Product=2\r\nMulti User=0\r\n"
                              "[User Prefs]\r\nLanguage Files Directory=C:\\x\\locale\\de\\\r\n"));
  details_.Initialize(folder_, 0);
  EXPECT_TRUE(details_.IsValidInstallPath());
  EXPECT_EQ(2, details_.GetOldProductType());
  EXPECT_EQ(1, details_.GetSingleProfile());
  EXPECT_EQ(L"de", details_.GetLanguage());
  EXPECT_EQ(InstallationFolderDetails::kNotRecorded, details_.GetEnableStats());
}

TEST_F(InstallationFolderDetailsImplTest, InstallationPreferencesAndTrackingDataAreRead) {
  InstallationStatus status(GENERATED);
  status.app_id = "42";
  status.copy_only = true;
  status.desktop_shortcut = L"C:\\nowhere\\Velto.lnk";
  ASSERT_TRUE(WriteInstallationStatusFile(status, folder_.Append(kInstallationStatusFileName)));
  ASSERT_TRUE(base::WriteFile(folder_.Append(L"installer_prefs.json"),
                              R"({"single_profile": true, "enable_stats": false,)"
                              R"( "import_browser_data": "yes", "language": "fr",)"
                              R"( "welcome-url": "https://example.test/"})"));
  ASSERT_TRUE(base::WriteFile(folder_.Append(L"server_tracking_data"), "track"));
  details_.Initialize(folder_, 0);
  ASSERT_TRUE(details_.IsExistingInstallation());
  // A copy that recorded a shortcut is no stand-alone copy.
  EXPECT_FALSE(details_.GetDetails()->copy_only);
  EXPECT_EQ(1, details_.GetSingleProfile());
  EXPECT_EQ(0, details_.GetEnableStats());
  EXPECT_EQ(InstallationFolderDetails::kNotRecorded, details_.GetImportBrowserData());
  EXPECT_EQ(L"fr", details_.GetLanguage());
  EXPECT_EQ("https://example.test/", details_.GetWelcomeUrl());
  EXPECT_EQ("track", details_.GetTrackingData());
  EXPECT_FALSE(details_.DesktopShortcutExists());
  EXPECT_EQ(-1, details_.GetOldProductType());
}

// A folder holding only the former engine's install log, read by the real
// status loader: the record is kept only when the run replaces the former
// engine. An autoupdate run recovers from old copies instead of reading the
// former engine's log.
TEST_F(InstallationFolderDetailsImplTest, FormerEngineInstallationNeedsTheReplaceFlag) {
  ASSERT_TRUE(base::WriteFile(folder_.Append(kDrovikStatusFileName),
                              "<install_log version=\"12.0\" copy_only=\"False\""
                              " all_users=\"False\" pinned=\"False\"><path>C:\\Velto</path>"
                              "<files><file>a.dll</file></files></install_log>"));
  struct Case {
    bool replace_old_engine;
    int recovery_mode;
    bool recognised;
  } cases[] = {{false, 0, false}, {true, 0, true}, {false, 1, false}, {true, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "replace " << c.replace_old_engine << " recovery "
                                    << c.recovery_mode);
    InstallationFolderDetailsImpl details(c.replace_old_engine);
    details.Initialize(folder_, c.recovery_mode);
    EXPECT_TRUE(details.IsValidInstallPath());
    EXPECT_EQ(c.recognised, details.IsExistingInstallation());
    EXPECT_EQ(c.recognised, details.IsDrovikInstallation());
    EXPECT_EQ(c.recognised, details.GetDetails() != nullptr);
  }
}

}  // namespace
}  // namespace installer
