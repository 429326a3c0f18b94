#include "desktop/windows/installer/service/json_installation_status_writer.h"

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

InstallationStatus MinimalStatus() {
  InstallationStatus status(GENERATED);
  status.version = "1.0";
  status.path = L"C:\\Velto";
  return status;
}

TEST(JsonInstallationStatusWriterTest, MinimalRecordWritesOnlyMandatoryMembers) {
  EXPECT_EQ(
      R"({"_all_users":false,"_subfolder":"","copy_only":false,"files":[],)"
      R"("path":"C:\\Velto","pinned":false,"registry":{},"version":"1.0"})",
      InstallationStatusToJson(MinimalStatus()));
}

TEST(JsonInstallationStatusWriterTest, FullRecordInKeyOrder) {
  InstallationStatus status(GENERATED);
  status.version = "1.2.3.4";
  status.pinned = true;
  status.app_id = "app";
  status.path = L"C:\\V\u00e9lto";
  status.subfolder = L"1.2.3.4";
  status.files = {L"b.dll", L"a\\c.txt"};
  status.root_files = {L"launcher.exe"};
  status.hklm_keys = {{1, "Software\\Velto", {{"REG_SZ", "name", "data"}}}};
  status.hkcu_keys = {{0, "Software\\Empty", {}},
                      {2, "Software\\Two", {{"REG_DWORD", "n", "0000002a"}, {"REG_NONE", "", ""}}}};
  status.desktop_shortcut = L"C:\\d.lnk";
  status.start_menu_shortcut = L"C:\\m.lnk";
  status.quick_launch_shortcut = L"C:\\q.lnk";
  status.components = {{"comp", L"C:\\c"}, {"alpha", L"C:\\a"}};
  EXPECT_EQ(
      R"({"_all_users":false,"_subfolder":"1.2.3.4","app_id":"app",)"
      R"("components":{"alpha":"C:\\a","comp":"C:\\c"},"copy_only":false,)"
      R"("files":["b.dll","a\\c.txt"],"path":"C:\\V)" "\xC3\xA9" R"(lto","pinned":true,)"
      R"("registry":{"HKCU":[{"clean":0,"path":"Software\\Empty","values":[]},)"
      R"({"clean":2,"path":"Software\\Two","values":[{"data":"0000002a","name":"n",)"
      R"("type":"REG_DWORD"},{"data":"","name":"","type":"REG_NONE"}]}],)"
      R"("HKLM":[{"clean":1,"path":"Software\\Velto","values":[{"data":"data",)"
      R"("name":"name","type":"REG_SZ"}]}]},"root_files":["launcher.exe"],)"
      R"("shortcuts":{"SC_DEST_DESKTOP":"C:\\d.lnk","SC_DEST_MENU":"C:\\m.lnk",)"
      R"("SC_DEST_QUICK_LAUNCH":"C:\\q.lnk"},"version":"1.2.3.4"})",
      InstallationStatusToJson(status));
}

TEST(JsonInstallationStatusWriterTest, AllUsersPicksCommonShortcutNames) {
  InstallationStatus status = MinimalStatus();
  status.all_users = true;
  status.desktop_shortcut = L"D";
  status.quick_launch_shortcut = L"Q";
  EXPECT_EQ(
      R"({"_all_users":true,"_subfolder":"","copy_only":false,"files":[],)"
      R"("path":"C:\\Velto","pinned":false,"registry":{},)"
      R"("shortcuts":{"SC_DEST_COMMON_DESKTOP":"D","SC_DEST_QUICK_LAUNCH":"Q"},"version":"1.0"})",
      InstallationStatusToJson(status));
  status.desktop_shortcut.clear();
  status.quick_launch_shortcut.clear();
  status.start_menu_shortcut = L"M";
  EXPECT_NE(std::string::npos,
            InstallationStatusToJson(status)->find(R"("shortcuts":{"SC_DEST_COMMON_MENU":"M"})"));
}

TEST(JsonInstallationStatusWriterTest, ComponentsKeepLastOfANameAndDottedNames) {
  InstallationStatus status = MinimalStatus();
  status.components = {{"x", L"first"}, {"x", L"second"}, {"a.b", L"dotted"}};
  EXPECT_NE(std::string::npos, InstallationStatusToJson(status)->find(
                                   R"("components":{"a.b":"dotted","x":"second"})"));
}

TEST(JsonInstallationStatusWriterTest, WriteReplacesFileContents) {
  base::FilePath file =
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"status"));
  ASSERT_TRUE(base::WriteFile(file, std::string(4096, 'x')));
  InstallationStatus status = MinimalStatus();
  ASSERT_TRUE(WriteInstallationStatusFile(status, file));
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(file, &contents));
  EXPECT_EQ(*InstallationStatusToJson(status), contents);
}

TEST(JsonInstallationStatusWriterTest, WriteIntoMissingFolderFails) {
  base::FilePath file = base::FilePath(base::test::ScratchFolder())
                            .Append(base::test::UniqueName(L"missing"))
                            .Append(L"installation_status.json");
  EXPECT_FALSE(WriteInstallationStatusFile(MinimalStatus(), file));
}

}  // namespace
}  // namespace installer
