#include "desktop/windows/installer/interrupted_run_cleanup.h"

#include <memory>
#include <optional>
#include <string>

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/service/installation_status_reader_factory.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "desktop/windows/installer/service/shared_folder_mark.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr char kVersion[] = "48.0.2700.5";

class InterruptedRunCleanupTest : public testing::Test {
 protected:
  void SetUp() override {
    install_ = base::FilePath(base::test::ScratchFolder())
                   .Append(base::test::UniqueName(L"interrupted"))
                   .Append(L"Velto");
    ASSERT_TRUE(base::CreateDirectory(install_));
  }

  void Folder(const std::wstring& name) {
    ASSERT_TRUE(base::CreateDirectory(install_.Append(name)));
    ASSERT_TRUE(base::WriteFile(install_.Append(name).Append(L"velto.exe"), "exe"));
  }
  bool Exists(const std::wstring& name) { return base::PathExists(install_.Append(name)); }
  std::string Read(const std::wstring& name) {
    std::string contents;
    base::ReadFileToString(install_.Append(name), &contents);
    return contents;
  }
  void Write(const std::wstring& name, const std::string& contents) {
    ASSERT_TRUE(base::CreateDirectory(install_.Append(name).DirName()));
    ASSERT_TRUE(base::WriteFile(install_.Append(name), contents));
  }
  void KeepOldStatus(const InstallationStatus& record, const std::wstring& name) {
    std::optional<std::string> json = InstallationStatusToJson(record);
    ASSERT_TRUE(json);
    Write(L"old_status\\" + name, *json);
  }
  void RunCleanup(const InstallationStatus* record, std::vector<std::wstring> root_names = {}) {
    InterruptedRunCleanup(install_, record, kVersion, std::move(root_names)).Run();
  }

  base::FilePath install_;
};

InstallationStatus Record(const std::wstring& subfolder) {
  InstallationStatus record(PRIMARY);
  record.version = "47.0.2631.23";
  record.subfolder = subfolder;
  record.files = {L"velto.exe", L"resources\\default_prefs.json"};
  record.root_files = {L"velto_proxy.exe", L"license.txt"};
  return record;
}

TEST_F(InterruptedRunCleanupTest, VersionFolderNames) {
  for (const wchar_t* name : {L"47.0.2631.23", L"47.0.2631.23_0", L"1.2.3.4_17"})
    EXPECT_TRUE(InterruptedRunCleanup::IsVersionFolderName(name)) << name;
  for (const wchar_t* name : {L"47.0.2631", L"47.0.2631.23.1", L"47.0.2631.23_", L"47.0.2631.x",
                              L"47..2631.23", L"profile", L"47.0.2631.23_0_1", L"_0", L""}) {
    EXPECT_FALSE(InterruptedRunCleanup::IsVersionFolderName(name)) << name;
  }
}

TEST_F(InterruptedRunCleanupTest, RemovesOnlyVersionFoldersNoRecordNames) {
  InstallationStatus record = Record(L"47.0.2631.23");
  Folder(L"47.0.2631.23");
  Folder(L"46.0.2500.1");      // an earlier version, kept in old_status
  Folder(L"48.0.2700.5");      // a killed upgrade's copy
  Folder(L"48.0.2700.5_0");
  Folder(L"45.0.1.1");         // a version no record names any more
  Folder(L"profile");          // not a version folder name
  Folder(L"48.0.2700");
  KeepOldStatus(Record(L"46.0.2500.1"), L"installation_status.json.1500000000");
  RunCleanup(&record);
  EXPECT_TRUE(Exists(L"47.0.2631.23\\velto.exe"));
  EXPECT_TRUE(Exists(L"46.0.2500.1\\velto.exe"));
  EXPECT_FALSE(Exists(L"48.0.2700.5"));
  EXPECT_FALSE(Exists(L"48.0.2700.5_0"));
  EXPECT_FALSE(Exists(L"45.0.1.1"));
  EXPECT_TRUE(Exists(L"profile\\velto.exe"));
  EXPECT_TRUE(Exists(L"48.0.2700\\velto.exe"));
}

TEST_F(InterruptedRunCleanupTest, RecordsNameFoldersWithoutRegardToCase) {
  InstallationStatus record = Record(L"47.0.2631.23_0");
  Folder(L"47.0.2631.23_0");
  RunCleanup(&record);
  EXPECT_TRUE(Exists(L"47.0.2631.23_0"));
}

TEST_F(InterruptedRunCleanupTest, AnUnreadableOldStatusFileKeepsEveryVersionFolder) {
  InstallationStatus record = Record(L"47.0.2631.23");
  Folder(L"46.0.2500.1");
  Folder(L"48.0.2700.5");
  Write(L"old_status\\installation_status.json.1500000000", "{ not json");
  RunCleanup(&record);
  EXPECT_TRUE(Exists(L"46.0.2500.1"));
  EXPECT_TRUE(Exists(L"48.0.2700.5"));
  // A file of another name there is no status file: it does not hold the
  // folders, which no record names.
  ASSERT_TRUE(base::DeleteFile(install_.Append(L"old_status\\installation_status.json.1500000000")));
  Write(L"old_status\\notes.txt", "n");
  RunCleanup(&record);
  EXPECT_FALSE(Exists(L"46.0.2500.1"));
  EXPECT_FALSE(Exists(L"48.0.2700.5"));
}

TEST_F(InterruptedRunCleanupTest, WithoutARecordOnlyThisRunsOwnFolderNamesGo) {
  Folder(L"48.0.2700.5");
  Folder(L"48.0.2700.5_3");
  Folder(L"48.0.2700.50");
  Folder(L"12.0.0.1");
  RunCleanup(nullptr);
  EXPECT_FALSE(Exists(L"48.0.2700.5"));
  EXPECT_FALSE(Exists(L"48.0.2700.5_3"));
  EXPECT_TRUE(Exists(L"48.0.2700.50"));
  EXPECT_TRUE(Exists(L"12.0.0.1"));
}

TEST_F(InterruptedRunCleanupTest, AStatusFileWithoutARecordKeepsEveryVersionFolder) {
  // The analysis found no record although a status file is there: it could
  // not be read, so what it names is unknown.
  Folder(L"48.0.2700.5");
  Write(L"installation_status.json", "{ broken");
  RunCleanup(nullptr);
  EXPECT_TRUE(Exists(L"48.0.2700.5\\velto.exe"));
}

TEST_F(InterruptedRunCleanupTest, KeepsTheFormerEnginesFolders) {
  InstallationStatus record = Record(L"47.0.2631.23");
  record.source = DROVIK;
  Folder(L"46.0.2500.1");
  RunCleanup(&record);
  EXPECT_TRUE(Exists(L"46.0.2500.1"));
}

TEST_F(InterruptedRunCleanupTest, PutsBackAMissingFileAndRemovesTheOtherBackups) {
  InstallationStatus record = Record(L"47.0.2631.23");
  Write(L"launcher.exe.1500000100.old", "newest launcher");
  Write(L"launcher.exe.1500000000.old", "older launcher");
  Write(L"license.txt.1500000100.old", "old license");
  Write(L"license.txt", "new license");
  Write(L"velto_proxy.exe.1500000100.old", "old proxy");
  RunCleanup(&record, {L"launcher.exe"});
  EXPECT_EQ("newest launcher", Read(L"launcher.exe"));
  EXPECT_FALSE(Exists(L"launcher.exe.1500000100.old"));
  EXPECT_FALSE(Exists(L"launcher.exe.1500000000.old"));
  EXPECT_EQ("new license", Read(L"license.txt"));
  EXPECT_FALSE(Exists(L"license.txt.1500000100.old"));
  EXPECT_EQ("old proxy", Read(L"velto_proxy.exe"));
}

// A successful upgrade removed a root file of the version before while a
// program held it: its backup waits for the next restart. That is no file an
// interrupted run moved aside, as no current record lists it.
TEST_F(InterruptedRunCleanupTest, RootFileASuccessfulUpgradeRemovedStaysRemoved) {
  InstallationStatus record = Record(L"48.0.2700.5");
  record.root_files = {L"license.txt"};
  KeepOldStatus(Record(L"47.0.2631.23"), L"installation_status.json.1500000000");
  Write(L"license.txt", "new license");
  Write(L"velto_proxy.exe.1500000100.old", "removed proxy");
  RunCleanup(&record, {L"license.txt"});
  EXPECT_FALSE(Exists(L"velto_proxy.exe"));
  EXPECT_FALSE(Exists(L"velto_proxy.exe.1500000100.old"));
  EXPECT_EQ("new license", Read(L"license.txt"));
}

TEST_F(InterruptedRunCleanupTest, BackupsInRecordedVersionFolders) {
  InstallationStatus record = Record(L"47.0.2631.23");
  InstallationStatus old = Record(L"46.0.2500.1");
  KeepOldStatus(old, L"installation_status.json.1500000000");
  // An upgrade that was removing the old version's files.
  Write(L"46.0.2500.1\\velto.exe.1500000200.old", "old browser");
  Write(L"46.0.2500.1\\resources\\default_prefs.json.1500000200.old", "old prefs");
  Write(L"47.0.2631.23\\velto.exe", "browser");
  Write(L"47.0.2631.23\\velto.exe.1500000200.old", "stale");
  RunCleanup(&record);
  EXPECT_EQ("old browser", Read(L"46.0.2500.1\\velto.exe"));
  EXPECT_EQ("old prefs", Read(L"46.0.2500.1\\resources\\default_prefs.json"));
  EXPECT_EQ("browser", Read(L"47.0.2631.23\\velto.exe"));
  EXPECT_FALSE(Exists(L"47.0.2631.23\\velto.exe.1500000200.old"));
}

TEST_F(InterruptedRunCleanupTest, LeavesFilesThatAreNoBackupsOfItsOwnFiles) {
  InstallationStatus record = Record(L"47.0.2631.23");
  for (const wchar_t* name :
       {L"notes.txt.1500000000.old", L"launcher.exe.old", L"launcher.exe.15x.old",
        L"launcher.exe.1500000000.bak", L"launcher.exe..old", L"launcher.exe.1500000000.old.txt",
        L"profile\\launcher.exe.1500000000.old"}) {
    Write(name, "keep");
  }
  Write(L"launcher.exe", "launcher");
  RunCleanup(&record, {L"launcher.exe", L"..\\outside.txt"});
  for (const wchar_t* name :
       {L"notes.txt.1500000000.old", L"launcher.exe.old", L"launcher.exe.15x.old",
        L"launcher.exe.1500000000.bak", L"launcher.exe..old", L"launcher.exe.1500000000.old.txt",
        L"profile\\launcher.exe.1500000000.old"}) {
    EXPECT_TRUE(Exists(name)) << name;
  }
  EXPECT_EQ("launcher", Read(L"launcher.exe"));
}

// Files outside the install folder that runs of every install folder change:
// the newest backup goes back where the file is missing, the others go.
TEST_F(InterruptedRunCleanupTest, BackupsOfSharedFilesAreResolved) {
  const base::FilePath desktop = install_.DirName().Append(L"Desktop");
  const base::FilePath menu = install_.DirName().Append(L"Programs");
  auto write = [](const base::FilePath& path, const std::string& contents) {
    ASSERT_TRUE(base::CreateDirectory(path.DirName()));
    ASSERT_TRUE(base::WriteFile(path, contents));
  };
  auto read = [](const base::FilePath& path) {
    std::string contents;
    return base::ReadFileToString(path, &contents) ? contents : "<none>";
  };
  write(desktop.Append(L"Velto quenn.lnk"), "new");
  write(desktop.Append(L"Velto quenn.lnk.1500000000.old"), "old");
  write(menu.Append(L"Velto quenn.lnk.1500000000.old"), "older");
  write(menu.Append(L"Velto quenn.lnk.1500000100.old"), "newest");
  write(menu.Append(L"Velto A Tallimer.lnk.1500000000.old"), "companion");
  // What the patterns do not name, and names that are no backups', stay.
  for (const wchar_t* name : {L"Other.lnk.1500000000.old", L"Velto quenn.lnk.old",
                              L"Velto quenn.lnk.15x.old", L"Tallimer.lnk.1500000000.old"}) {
    write(menu.Append(name), "keep");
  }
  // The shortcut a kept record names, by its own name.
  InstallationStatus record = Record(L"47.0.2631.23");
  record.desktop_shortcut = desktop.Append(L"Velto old.lnk").value();
  write(desktop.Append(L"Velto old.lnk.1500000000.old"), "recorded");

  InterruptedRunCleanup(install_, &record, kVersion, {},
                        {{desktop, L"Velto quenn.lnk"},
                         {menu, L"Velto quenn.lnk"},
                         {base::FilePath(menu.value() + L"\\"), L"Velto*Tallimer.lnk"}})
      .Run();
  EXPECT_EQ("new", read(desktop.Append(L"Velto quenn.lnk")));
  EXPECT_FALSE(base::PathExists(desktop.Append(L"Velto quenn.lnk.1500000000.old")));
  EXPECT_EQ("newest", read(menu.Append(L"Velto quenn.lnk")));
  EXPECT_FALSE(base::PathExists(menu.Append(L"Velto quenn.lnk.1500000000.old")));
  EXPECT_FALSE(base::PathExists(menu.Append(L"Velto quenn.lnk.1500000100.old")));
  EXPECT_EQ("companion", read(menu.Append(L"Velto A Tallimer.lnk")));
  EXPECT_EQ("recorded", read(desktop.Append(L"Velto old.lnk")));
  for (const wchar_t* name : {L"Other.lnk.1500000000.old", L"Velto quenn.lnk.old",
                              L"Velto quenn.lnk.15x.old", L"Tallimer.lnk.1500000000.old"}) {
    EXPECT_EQ("keep", read(menu.Append(name))) << name;
  }
}

// A run that is going on at this moment keeps or puts back its backups
// itself: a folder it has marked is left as it is.
TEST_F(InterruptedRunCleanupTest, BackupsInAFolderALiveRunChangesStay) {
  const base::FilePath desktop = install_.DirName().Append(L"Desktop");
  const base::FilePath menu = install_.DirName().Append(L"Programs");
  for (const base::FilePath& folder : {desktop, menu}) {
    ASSERT_TRUE(base::CreateDirectory(folder));
    ASSERT_TRUE(base::WriteFile(folder.Append(L"Velto quenn.lnk"), "new"));
    ASSERT_TRUE(base::WriteFile(folder.Append(L"Velto quenn.lnk.1500000000.old"), "old"));
  }
  SharedFolderMark::Set(desktop);
  InterruptedRunCleanup(install_, nullptr, kVersion, {},
                        {{desktop, L"Velto quenn.lnk"}, {menu, L"Velto quenn.lnk"}})
      .Run();
  EXPECT_TRUE(base::PathExists(desktop.Append(L"Velto quenn.lnk.1500000000.old")));
  EXPECT_FALSE(base::PathExists(menu.Append(L"Velto quenn.lnk.1500000000.old")));
}

TEST_F(InterruptedRunCleanupTest, RemovesTemporaryFilesOfTheInstallFolderOnly) {
  Write(L"~tmp1a2b_0_3c4d.tmp", "half a status file");
  Write(L"~tmpnotes.txt", "keep");
  Write(L"profile\\~tmp1a2b_0_3c4d.tmp", "keep");
  RunCleanup(nullptr);
  EXPECT_FALSE(Exists(L"~tmp1a2b_0_3c4d.tmp"));
  EXPECT_TRUE(Exists(L"~tmpnotes.txt"));
  EXPECT_TRUE(Exists(L"profile\\~tmp1a2b_0_3c4d.tmp"));
}

TEST_F(InterruptedRunCleanupTest, StatusMovedAsideByAnInterruptedUpgradeGoesBack) {
  Folder(L"46.0.2500.1");
  Folder(L"47.0.2631.23");
  Folder(L"48.0.2700.5");  // the interrupted upgrade's copy
  KeepOldStatus(Record(L"46.0.2500.1"), L"installation_status.json.1500000000");
  KeepOldStatus(Record(L"47.0.2631.23"), L"installation_status.json.1500000100");
  EXPECT_TRUE(InterruptedRunCleanup::PutBackMovedAsideStatus(install_));
  std::string error;
  std::unique_ptr<InstallationStatus> back = ReadInstallationStatusFile(
      install_.Append(L"installation_status.json"), PRIMARY, &error);
  ASSERT_TRUE(back);
  EXPECT_EQ(L"47.0.2631.23", back->subfolder);
  EXPECT_FALSE(Exists(L"old_status\\installation_status.json.1500000100"));
  EXPECT_TRUE(Exists(L"old_status\\installation_status.json.1500000000"));

  // With a status in place, the kept ones belong to earlier upgrades.
  EXPECT_FALSE(InterruptedRunCleanup::PutBackMovedAsideStatus(install_));
  EXPECT_TRUE(Exists(L"old_status\\installation_status.json.1500000000"));
}

// An uninstall that could not remove an old version (a file in use) keeps
// its status; the folder holds no installation, and a later install is no
// upgrade of that version.
TEST_F(InterruptedRunCleanupTest, StatusKeptByAnUninstallStaysKept) {
  Folder(L"46.0.2500.1");
  Folder(L"profile");
  KeepOldStatus(Record(L"46.0.2500.1"), L"installation_status.json.1500000000");
  EXPECT_FALSE(InterruptedRunCleanup::PutBackMovedAsideStatus(install_));
  EXPECT_FALSE(Exists(L"installation_status.json"));
  EXPECT_TRUE(Exists(L"old_status\\installation_status.json.1500000000"));
}

// An upgrade to 48 kept 47's status, and the uninstall of 48 could not
// remove a file of 47 (in use). The uninstall ran from 48's folder, whose
// installer it could not remove either: that folder, which no record names
// once the uninstall is done, is not the copy of an interrupted upgrade.
TEST_F(InterruptedRunCleanupTest, StatusKeptByAnUninstallStaysKeptBesideTheUninstallersFolder) {
  Folder(L"47.0.2631.23");
  Write(L"48.0.2700.5\\installer.exe", "exe");
  Write(L"48.0.2700.5\\installer_lib.dll", "dll");
  KeepOldStatus(Record(L"47.0.2631.23"), L"installation_status.json.1500000000");
  EXPECT_FALSE(InterruptedRunCleanup::PutBackMovedAsideStatus(install_));
  EXPECT_FALSE(Exists(L"installation_status.json"));
  EXPECT_TRUE(Exists(L"old_status\\installation_status.json.1500000000"));
}

TEST_F(InterruptedRunCleanupTest, BackupsOfTheStatusBesideAStatusGo) {
  Folder(L"47.0.2631.23");
  const InstallationStatus record = Record(L"47.0.2631.23");
  std::optional<std::string> json = InstallationStatusToJson(record);
  ASSERT_TRUE(json);
  Write(L"installation_status.json", *json);
  Write(L"installation_status.json.1500000000.old", *json);
  RunCleanup(&record);
  EXPECT_FALSE(Exists(L"installation_status.json.1500000000.old"));
  EXPECT_EQ(*json, Read(L"installation_status.json"));

  // Without a status in place the backup may be all that records the
  // installation: it stays.
  ASSERT_TRUE(base::DeleteFile(install_.Append(L"installation_status.json")));
  Write(L"installation_status.json.1500000000.old", *json);
  RunCleanup(nullptr);
  EXPECT_TRUE(Exists(L"installation_status.json.1500000000.old"));
}

TEST_F(InterruptedRunCleanupTest, KeptStatusWithoutItsVersionFolderStaysKept) {
  Folder(L"46.0.2500.1");
  KeepOldStatus(Record(L"46.0.2500.1"), L"installation_status.json.1500000000");
  KeepOldStatus(Record(L"47.0.2631.23"), L"installation_status.json.1500000100");
  Write(L"old_status\\installation_status.json.1500000200", "{ not json");
  EXPECT_FALSE(InterruptedRunCleanup::PutBackMovedAsideStatus(install_));
  ASSERT_TRUE(base::DeleteFile(install_.Append(L"old_status\\installation_status.json.1500000200")));
  EXPECT_FALSE(InterruptedRunCleanup::PutBackMovedAsideStatus(install_));
  EXPECT_FALSE(Exists(L"installation_status.json"));
  EXPECT_TRUE(Exists(L"old_status\\installation_status.json.1500000100"));
}

TEST_F(InterruptedRunCleanupTest, AMissingInstallFolderIsNoError) {
  install_ = install_.Append(L"missing");
  RunCleanup(nullptr);
  EXPECT_FALSE(base::PathExists(install_));
}

}  // namespace
}  // namespace installer
