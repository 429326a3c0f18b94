#include "desktop/windows/installer/service/installation_status_loader_impl.h"

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr int kNoRecovery = 0;
constexpr int kRecovery = InstallationStatusLoader::kRecoverFromOldStatus;

std::string JsonStatus(const std::string& version) {
  InstallationStatus status(GENERATED);
  status.version = version;
  status.path = L"C:\\Velto";
  return *InstallationStatusToJson(status);
}

std::string XmlStatus(const std::string& version) {
  return "<install_log version=\"" + version +
         "\" copy_only=\"False\" all_users=\"False\" pinned=\"False\">"
         "<path>C:\\Velto</path><files><file>a.dll</file></files></install_log>";
}

class InstallationStatusLoaderImplTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"install"));
    ASSERT_TRUE(base::CreateDirectory(folder_));
  }

  void Write(const std::wstring& name, const std::string& contents) {
    ASSERT_TRUE(base::CreateDirectory(folder_.Append(name).DirName()));
    ASSERT_TRUE(base::WriteFile(folder_.Append(name), contents));
  }
  void WriteOld(const std::wstring& name, const std::string& contents) {
    Write(std::wstring(kOldStatusFolderName) + L"\\" + name, contents);
  }

  std::unique_ptr<InstallationStatus> Load(int recovery_mode) {
    error_ = "untouched";
    contents_ = "untouched";
    return InstallationStatusLoaderImpl().Load(folder_, recovery_mode, &error_, &contents_);
  }

  base::win::ScopedCOMInitializer com_;
  base::FilePath folder_;
  std::string error_;
  std::string contents_;
};

TEST_F(InstallationStatusLoaderImplTest, JsonComesFirst) {
  Write(kInstallationStatusFileName, JsonStatus("json"));
  Write(kLegacyXmlStatusFileName, "broken xml");
  std::unique_ptr<InstallationStatus> status = Load(kNoRecovery);
  ASSERT_TRUE(status);
  EXPECT_EQ(PRIMARY, status->source);
  EXPECT_EQ("json", status->version);
  EXPECT_EQ("untouched", error_);
  EXPECT_EQ("untouched", contents_);
}

TEST_F(InstallationStatusLoaderImplTest, LegacyXmlThenDrovik) {
  Write(kDrovikStatusFileName, XmlStatus("drovik"));
  std::unique_ptr<InstallationStatus> status = Load(kNoRecovery);
  ASSERT_TRUE(status);
  EXPECT_EQ(DROVIK, status->source);
  EXPECT_EQ("drovik", status->version);

  Write(kLegacyXmlStatusFileName, XmlStatus("xml"));
  status = Load(kNoRecovery);
  ASSERT_TRUE(status);
  EXPECT_EQ(LEGACY_XML, status->source);
  EXPECT_EQ("xml", status->version);

  // The former engine's log is never read in recovery mode.
  ASSERT_TRUE(base::DeleteFile(folder_.Append(kLegacyXmlStatusFileName)));
  EXPECT_FALSE(Load(kRecovery));
  EXPECT_EQ("untouched", error_);
}

TEST_F(InstallationStatusLoaderImplTest, BrokenJsonIsNotReplacedWithoutRecovery) {
  Write(kInstallationStatusFileName, "{\"version\":");
  Write(kLegacyXmlStatusFileName, XmlStatus("xml"));
  WriteOld(L"installation_status.json.1500000000", JsonStatus("old"));
  EXPECT_FALSE(Load(kNoRecovery));
  EXPECT_EQ(0u, error_.find("Velto JSON status file status file, Cannot parse the file as JSON: "))
      << error_;
  EXPECT_EQ("{\"version\":", contents_);
  EXPECT_FALSE(Load(2));
}

TEST_F(InstallationStatusLoaderImplTest, RecoveryTakesNewestOldFile) {
  Write(kInstallationStatusFileName, "{\"version\":");
  Write(kLegacyXmlStatusFileName, XmlStatus("xml"));
  WriteOld(L"installation_status.json.1500000000", JsonStatus("older json"));
  WriteOld(L"installation_status.xml.1600000000", XmlStatus("newer xml"));
  WriteOld(L"installation_status.json.bak", JsonStatus("bak"));
  WriteOld(L"installation_status.json.-5", JsonStatus("negative"));
  WriteOld(L"notes.txt.1900000000", "not a status file");
  std::unique_ptr<InstallationStatus> status = Load(kRecovery);
  ASSERT_TRUE(status);
  EXPECT_EQ(LEGACY_XML_RECOVERED_FROM_OLD_FILES, status->source);
  EXPECT_EQ("newer xml", status->version);
  // The failed primary attempt still describes itself.
  EXPECT_EQ(0u, error_.find("Velto JSON status file status file, "));
  EXPECT_EQ("{\"version\":", contents_);
}

TEST_F(InstallationStatusLoaderImplTest, RecoveryWhenNoCurrentStatus) {
  WriteOld(L"installation_status.json.1700000000", JsonStatus("recovered"));
  std::unique_ptr<InstallationStatus> status = Load(kRecovery);
  ASSERT_TRUE(status);
  EXPECT_EQ(RECOVERED, status->source);
  EXPECT_EQ("recovered", status->version);
  EXPECT_EQ("untouched", error_);
}

TEST_F(InstallationStatusLoaderImplTest, BrokenRecoveredFileSetsItsError) {
  WriteOld(L"installation_status.json.1700000000", "[]");
  EXPECT_FALSE(Load(kRecovery));
  EXPECT_EQ("The root is not a dictionary", error_);
  EXPECT_EQ("untouched", contents_);
}

TEST_F(InstallationStatusLoaderImplTest, RecoveredFileFailingWithoutTextClearsTheError) {
  Write(kInstallationStatusFileName, "{\"version\":");
  std::string broken_hive = JsonStatus("old");
  broken_hive.replace(broken_hive.find("\"registry\":{}"), 13, "\"registry\":{\"HKCU\":{}}");
  WriteOld(L"installation_status.json.1700000000", broken_hive);
  EXPECT_FALSE(Load(kRecovery));
  // The failure of the primary file is no longer the last one.
  EXPECT_EQ("", error_);
  EXPECT_EQ("{\"version\":", contents_);
}

TEST_F(InstallationStatusLoaderImplTest, EmptyAndBrokenLegacyFiles) {
  Write(kInstallationStatusFileName, "");
  EXPECT_FALSE(Load(kNoRecovery));
  EXPECT_EQ(
      "Velto JSON status file status file, Cannot parse the file as JSON: "
      "Line: 1, column: 1, Unexpected end of input. Status file empty.",
      error_);
  EXPECT_EQ("", contents_);

  ASSERT_TRUE(base::DeleteFile(folder_.Append(kInstallationStatusFileName)));
  Write(kLegacyXmlStatusFileName, "<install_log/>");
  Write(kDrovikStatusFileName, "<drovik/>");
  EXPECT_FALSE(Load(kNoRecovery));
  // The legacy file failed, then the former engine's log did.
  EXPECT_EQ("Velto legacy Drovik XML status file status file, The root element's name is invalid",
            error_);
  EXPECT_EQ("<drovik/>", contents_);
}

TEST_F(InstallationStatusLoaderImplTest, NothingToLoad) {
  EXPECT_FALSE(Load(kNoRecovery));
  EXPECT_EQ("untouched", error_);
  EXPECT_EQ("untouched", contents_);
  EXPECT_FALSE(Load(kRecovery));
  EXPECT_EQ("untouched", error_);
}

TEST_F(InstallationStatusLoaderImplTest, FindNewestOldStatusFile) {
  base::FilePath path(L"stale");
  InstallationStatusSource source = PRIMARY;
  // No old status folder at all.
  EXPECT_FALSE(FindNewestOldStatusFile(folder_, &path, &source));
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(INVALID, source);

  WriteOld(L"installation_status.json.0", JsonStatus("zero"));
  WriteOld(L"installation_status.json.", JsonStatus("empty"));
  WriteOld(L"installation_status.json.12x", JsonStatus("junk"));
  WriteOld(L"installation_status.json.99999999999999999999", JsonStatus("overflow"));
  ASSERT_TRUE(base::CreateDirectory(
      folder_.Append(kOldStatusFolderName).Append(L"installation_status.json.1800000000")));
  EXPECT_FALSE(FindNewestOldStatusFile(folder_, &path, &source));

  WriteOld(L"velto_install_log.xml.1500000001", XmlStatus("a"));
  WriteOld(L"installation_status.json.1500000000", JsonStatus("b"));
  ASSERT_TRUE(FindNewestOldStatusFile(folder_, &path, &source));
  EXPECT_EQ(folder_.Append(kOldStatusFolderName).Append(L"velto_install_log.xml.1500000001"),
            path);
  EXPECT_EQ(LEGACY_XML_RECOVERED_FROM_OLD_FILES, source);

  WriteOld(L"status.json.xml.1600000000", JsonStatus("c"));
  ASSERT_TRUE(FindNewestOldStatusFile(folder_, &path, &source));
  EXPECT_EQ(RECOVERED, source);
}

}  // namespace
}  // namespace installer
