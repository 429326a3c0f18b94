#include <memory>
#include <string>

#include "base/base_paths.h"
#include "base/path_service.h"

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/shortcut.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/shared_folder_mark.h"
#include "desktop/windows/installer/steps/install_shortcuts_step.h"
#include "desktop/windows/installer/steps/remove_shortcuts_step.h"
#include "desktop/windows/installer/steps/shortcut_installer.h"
#include "desktop/windows/installer/steps/test/step_test.h"
#include "desktop/windows/installer/steps/update_shortcuts_step.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class ShortcutStepsTest : public StepTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.CreateUniqueTempDir());
    host_.package_folder = root_.GetPath().Append(L"package");
    host_.install_path = root_.GetPath().Append(L"install");
    ASSERT_TRUE(base::CreateDirectory(host_.package_folder));
    ASSERT_TRUE(base::CreateDirectory(host_.install_path));
    known_folders_ = std::make_unique<ScopedKnownFolders>(root_.GetPath().Append(L"known"));
    host_.status.app_id = "1500000000";
    name_ = ShortcutInstaller::GetShortcutName();
  }

  base::FilePath Known(int key) {
    base::FilePath path;
    EXPECT_TRUE(base::PathService::Get(key, &path));
    return path;
  }

  template <typename Step>
  void RunStep() {
    Step step(&host_);
    StepResult result;
    step.Run(&result, 0);
    EXPECT_EQ(0u, result.code);
  }

  // A shortcut at |path| to |target|.
  void MakeShortcut(const base::FilePath& path, const base::FilePath& target) {
    base::win::ShortcutProperties properties;
    properties.target = target;
    ASSERT_TRUE(base::win::CreateShortcutLink(path, properties));
  }

  bool PointsAtLauncher(const base::FilePath& shortcut) {
    base::FilePath target;
    return base::win::ResolveShortcut(shortcut, &target, nullptr, nullptr) &&
           base::FilePath::CompareEqualIgnoreCase(
               target.value(), host_.install_path.Append(L"launcher.exe").value());
  }

  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir root_;
  std::unique_ptr<ScopedKnownFolders> known_folders_;
  std::wstring name_;
};

TEST_F(ShortcutStepsTest, ShortcutNameOfThisBuild) {
  EXPECT_EQ(L"Velto quenn.lnk", name_);
}

TEST_F(ShortcutStepsTest, CurrentUserInstallRecordsDesktopAndStartMenuUnderTheUsersFolders) {
  settings_.Set(DESKTOP_SHORTCUT, true);
  settings_.Set(START_MENU_SHORTCUT, true);
  RunStep<InstallShortcutsStep>();
  EXPECT_EQ(Known(base::DIR_USER_DESKTOP).Append(name_).value(), host_.status.desktop_shortcut);
  EXPECT_EQ(Known(base::DIR_START_MENU).Append(name_).value(),
            host_.status.start_menu_shortcut);
  EXPECT_TRUE(host_.status.quick_launch_shortcut.empty());
  EXPECT_FALSE(host_.status.pinned);
  EXPECT_TRUE(PointsAtLauncher(base::FilePath(host_.status.desktop_shortcut)));
  EXPECT_TRUE(PointsAtLauncher(host_.package_folder.Append(name_)));
  // The copies are undone with the run; the master stays in the package.
  host_.transaction.Rollback();
  EXPECT_FALSE(base::PathExists(base::FilePath(host_.status.desktop_shortcut)));
}

TEST_F(ShortcutStepsTest, AllUsersInstallUsesTheCommonFoldersAndTheUsersQuickLaunch) {
  settings_.Set(ALL_USERS_FLAG, true);
  settings_.Set(DESKTOP_SHORTCUT, true);
  settings_.Set(START_MENU_SHORTCUT, true);
  settings_.Set(QUICK_LAUNCH_SHORTCUT, true);
  RunStep<InstallShortcutsStep>();
  EXPECT_EQ(Known(base::DIR_COMMON_DESKTOP).Append(name_).value(),
            host_.status.desktop_shortcut);
  EXPECT_EQ(Known(base::DIR_COMMON_START_MENU).Append(name_).value(),
            host_.status.start_menu_shortcut);
  EXPECT_EQ(Known(base::DIR_USER_QUICK_LAUNCH).Append(name_).value(),
            host_.status.quick_launch_shortcut);
}

TEST_F(ShortcutStepsTest, PartnerShortcutOnlyWithPinningAndPartnerContent) {
  host_.status.subfolder = L"47.0";
  const base::FilePath resources = host_.install_path.Append(L"47.0\\resources");
  ASSERT_TRUE(base::CreateDirectory(resources));
  ASSERT_TRUE(base::WriteFile(resources.Append(L"tracking_user_agent.json"), "{}"));
  settings_.language = L"ru";
  RunStep<InstallShortcutsStep>();
  EXPECT_FALSE(base::PathExists(host_.package_folder.Append(L"vk.lnk")));

  settings_.Set(PINNED_SHORTCUT, true);
  RunStep<InstallShortcutsStep>();
  base::FilePath target;
  std::wstring arguments;
  ASSERT_TRUE(base::win::ResolveShortcut(host_.package_folder.Append(L"vk.lnk"), &target,
                                         &arguments, nullptr));
  EXPECT_EQ(L"https://vk.com/", arguments);
  EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(
      target.value(), host_.install_path.Append(L"launcher.exe").value()));
  EXPECT_FALSE(base::PathExists(host_.package_folder.Append(L"facebook.lnk")));
}

// The shortcut folders are shared with the runs of other install folders: a
// run marks every folder where it leaves a backup, before it leaves one.
TEST_F(ShortcutStepsTest, FoldersWhereShortcutsAreReplacedOrRemovedAreMarked) {
  const base::FilePath desktop = Known(base::DIR_USER_DESKTOP);
  const base::FilePath menu = Known(base::DIR_START_MENU);
  const base::FilePath quick_launch = Known(base::DIR_USER_QUICK_LAUNCH);
  ASSERT_TRUE(base::WriteFile(desktop.Append(name_), "someone else's"));
  settings_.Set(DESKTOP_SHORTCUT, true);
  RunStep<InstallShortcutsStep>();
  EXPECT_TRUE(SharedFolderMark::IsSet(desktop));
  EXPECT_FALSE(SharedFolderMark::IsSet(menu));

  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  details_.record->start_menu_shortcut = menu.Append(L"Velto Old.lnk").value();
  MakeShortcut(menu.Append(L"Velto Old.lnk"), host_.install_path.Append(L"launcher.exe"));
  details_.start_menu_shortcut_exists = true;
  RunStep<RemoveShortcutsStep>();
  EXPECT_TRUE(SharedFolderMark::IsSet(menu));
  EXPECT_FALSE(SharedFolderMark::IsSet(quick_launch));
}

TEST_F(ShortcutStepsTest, StandAloneCopyGetsNoShortcut) {
  settings_.Set(COPY_ONLY, true);
  settings_.Set(DESKTOP_SHORTCUT, true);
  RunStep<InstallShortcutsStep>();
  EXPECT_TRUE(host_.status.desktop_shortcut.empty());
  EXPECT_FALSE(base::PathExists(host_.package_folder.Append(name_)));
}

// One row of the upgrade table per place.
struct UpgradeCase {
  bool exists;
  bool wanted;
  bool recreate;
  bool renamed;
  // What becomes of the old shortcut and of the recorded path.
  bool old_kept;
  const char* recorded;  // "old", "new" or ""
};

class UpdateShortcutsTest : public ShortcutStepsTest,
                            public testing::WithParamInterface<UpgradeCase> {};

TEST_P(UpdateShortcutsTest, DesktopShortcut) {
  const UpgradeCase& c = GetParam();
  settings_.operation = UPGRADING;
  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  const base::FilePath desktop = Known(base::DIR_USER_DESKTOP);
  const base::FilePath old_path = desktop.Append(c.renamed ? L"Velto Old.lnk" : name_);
  if (c.exists) {
    base::win::ShortcutProperties properties;
    properties.target = host_.install_path.Append(L"launcher.exe");
    ASSERT_TRUE(base::win::CreateShortcutLink(old_path, properties));
  }
  details_.record->desktop_shortcut = old_path.value();
  details_.desktop_shortcut_exists = c.exists;
  details_.recreate_desktop = c.recreate;
  settings_.Set(DESKTOP_SHORTCUT, c.wanted);
  RunStep<UpdateShortcutsStep>();

  const base::FilePath new_path = desktop.Append(name_);
  // A shortcut kept under an unchanged name counts as the old one only when
  // it existed before.
  std::string recorded = host_.status.desktop_shortcut.empty() ? ""
                         : c.exists && !c.recreate &&
                                 host_.status.desktop_shortcut == old_path.value()
                             ? "old"
                         : host_.status.desktop_shortcut == new_path.value() ? "new"
                                                                             : "other";
  EXPECT_EQ(c.recorded, recorded);
  if (old_path != new_path) {
    EXPECT_EQ(c.old_kept, base::PathExists(old_path));
  }
  if (recorded == "new") {
    EXPECT_TRUE(PointsAtLauncher(new_path));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateShortcutsTest,
    testing::Values(
        // exists, wanted, recreate, renamed -> old kept, recorded
        UpgradeCase{true, false, false, false, false, ""},       // removed
        UpgradeCase{true, true, false, false, true, "old"},      // kept
        UpgradeCase{true, true, false, true, false, "new"},      // moved to the new name
        UpgradeCase{true, true, true, false, false, "new"},      // made again
        UpgradeCase{true, true, true, true, false, "new"},       // made again under the new name
        UpgradeCase{false, true, false, false, false, "new"},    // added
        UpgradeCase{false, false, false, false, false, ""}));    // nothing

TEST_F(ShortcutStepsTest, AutoupdateOfAnAllUsersInstallationKeepsItsPins) {
  settings_.operation = UPGRADING;
  settings_.Set(AUTOUPDATE, true);
  settings_.Set(ALL_USERS_FLAG, true);
  settings_.Set(PINNED_SHORTCUT, false);
  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  details_.record->pinned = true;
  const base::FilePath pin = root_.GetPath().Append(L"pin.lnk");
  ASSERT_TRUE(base::WriteFile(pin, "lnk"));
  details_.pinned.push_back(pin);
  RunStep<UpdateShortcutsStep>();
  EXPECT_TRUE(host_.status.pinned);
  EXPECT_TRUE(base::PathExists(pin));
}

TEST_F(ShortcutStepsTest, UpgradeWithoutPinningRemovesThePins) {
  settings_.operation = UPGRADING;
  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  const base::FilePath pin = root_.GetPath().Append(L"pin.lnk");
  ASSERT_TRUE(base::WriteFile(pin, "lnk"));
  details_.pinned.push_back(pin);
  RunStep<UpdateShortcutsStep>();
  EXPECT_FALSE(host_.status.pinned);
  EXPECT_FALSE(base::PathExists(pin));
}

TEST_F(ShortcutStepsTest, RemoveDeletesRecordedShortcutsAndPinsEvenForACopy) {
  settings_.Set(COPY_ONLY, true);
  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  const base::FilePath desktop = Known(base::DIR_USER_DESKTOP).Append(name_);
  const base::FilePath menu = Known(base::DIR_START_MENU).Append(name_);
  const base::FilePath pin = root_.GetPath().Append(L"pin.lnk");
  const base::FilePath extra = root_.GetPath().Append(L"extra.lnk");
  for (const base::FilePath& file : {desktop, pin, extra})
    MakeShortcut(file, host_.install_path.Append(L"launcher.exe"));
  // The Start menu shortcut no longer leads here.
  MakeShortcut(menu, root_.GetPath().Append(L"other\\launcher.exe"));
  details_.record->desktop_shortcut = desktop.value();
  details_.record->start_menu_shortcut = menu.value();
  details_.desktop_shortcut_exists = true;
  details_.start_menu_shortcut_exists = false;
  details_.pinned.push_back(pin);
  details_.secondary_pinned.push_back(extra);
  RunStep<RemoveShortcutsStep>();
  EXPECT_FALSE(base::PathExists(desktop));
  EXPECT_TRUE(base::PathExists(menu));
  EXPECT_FALSE(base::PathExists(pin));
  EXPECT_FALSE(base::PathExists(extra));
}

// The analysis saw the shortcuts some steps before they go; meanwhile a run of
// another install folder may have made its own under the same names.
TEST_F(ShortcutStepsTest, RemoveLeavesShortcutsThatLeadElsewhereByNow) {
  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  details_.record->subfolder = L"47.0.2631.23";
  const base::FilePath other = root_.GetPath().Append(L"other");
  const base::FilePath desktop = Known(base::DIR_USER_DESKTOP).Append(name_);
  const base::FilePath menu = Known(base::DIR_START_MENU).Append(name_);
  const base::FilePath quick_launch = Known(base::DIR_USER_QUICK_LAUNCH).Append(name_);
  const base::FilePath pin = root_.GetPath().Append(L"pin.lnk");
  const base::FilePath browser = host_.install_path.Append(L"47.0.2631.23")
                                     .AppendASCII(GetBrowserExecutableName());
  ASSERT_TRUE(base::CreateDirectory(browser.DirName()));
  ASSERT_TRUE(base::WriteFile(browser, "exe"));
  // Found as this installation's by the analysis.
  details_.record->desktop_shortcut = desktop.value();
  details_.record->start_menu_shortcut = menu.value();
  details_.record->quick_launch_shortcut = quick_launch.value();
  details_.desktop_shortcut_exists = true;
  details_.start_menu_shortcut_exists = true;
  details_.quick_launch_shortcut_exists = true;
  details_.pinned.push_back(pin);
  // Replaced since, all but the Start menu's, by another installation's.
  for (const base::FilePath& file : {desktop, quick_launch, pin})
    MakeShortcut(file, other.Append(L"launcher.exe"));
  MakeShortcut(menu, browser);
  RunStep<RemoveShortcutsStep>();

  for (const base::FilePath& file : {desktop, quick_launch, pin}) {
    base::FilePath target;
    ASSERT_TRUE(base::win::ResolveShortcut(file, &target, nullptr, nullptr)) << file.value();
    EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(
        target.value(), other.Append(L"launcher.exe").value()));
  }
  EXPECT_FALSE(base::PathExists(menu));
}

// A killed uninstall had moved the shortcuts aside when the next one's
// analysis looked, which has put them back since.
TEST_F(ShortcutStepsTest, RemoveDeletesRecordedShortcutsTheAnalysisMissed) {
  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  const base::FilePath desktop = Known(base::DIR_USER_DESKTOP).Append(name_);
  MakeShortcut(desktop, host_.install_path.Append(L"launcher.exe"));
  details_.record->desktop_shortcut = desktop.value();
  details_.desktop_shortcut_exists = false;
  RunStep<RemoveShortcutsStep>();
  EXPECT_FALSE(base::PathExists(desktop));
}

}  // namespace
}  // namespace installer
