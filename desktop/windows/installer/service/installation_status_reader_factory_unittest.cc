#include "desktop/windows/installer/service/installation_status_reader_factory.h"

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/service/json_installation_status_reader.h"
#include "desktop/windows/installer/service/xml_installation_status_reader.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(InstallationStatusReaderFactoryTest, ReaderPerSource) {
  for (InstallationStatusSource source : {PRIMARY, RECOVERED}) {
    std::unique_ptr<InstallationStatusReader> reader = CreateInstallationStatusReader(source);
    EXPECT_TRUE(dynamic_cast<JsonInstallationStatusReader*>(reader.get())) << source;
  }
  for (InstallationStatusSource source : {LEGACY_XML, LEGACY_XML_RECOVERED_FROM_OLD_FILES, DROVIK}) {
    std::unique_ptr<InstallationStatusReader> reader = CreateInstallationStatusReader(source);
    EXPECT_TRUE(dynamic_cast<XmlInstallationStatusReader*>(reader.get())) << source;
  }
  for (uint32_t source : {0u, 1u, 7u, 8u, 0xffffffffu})
    EXPECT_FALSE(CreateInstallationStatusReader(static_cast<InstallationStatusSource>(source)));
}

class ReadInstallationStatusFileTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"read"));
    ASSERT_TRUE(base::CreateDirectory(folder_));
  }

  base::win::ScopedCOMInitializer com_;
  base::FilePath folder_;
};

TEST_F(ReadInstallationStatusFileTest, ReadsWithTheSourcesReader) {
  base::FilePath json = folder_.Append(L"status.json");
  ASSERT_TRUE(base::WriteFile(
      json, R"({"version":"1","copy_only":false,"_all_users":false,"pinned":false,)"
            R"("path":"C:\\V","files":[],"registry":{}})"));
  std::string error = "untouched";
  std::unique_ptr<InstallationStatus> status = ReadInstallationStatusFile(json, RECOVERED, &error);
  ASSERT_TRUE(status);
  EXPECT_EQ(RECOVERED, status->source);
  EXPECT_EQ("1", status->version);
  EXPECT_EQ("untouched", error);

  // The same bytes handed to the XML reader fail with its text.
  EXPECT_FALSE(ReadInstallationStatusFile(json, LEGACY_XML, &error));
  EXPECT_EQ(0u, error.find("Cannot parse the file as XML: "));

  // No reader for the source: nothing read, nothing said.
  error = "untouched";
  EXPECT_FALSE(ReadInstallationStatusFile(json, GENERATED, &error));
  EXPECT_EQ("untouched", error);
}

TEST_F(ReadInstallationStatusFileTest, MissingAndUnreadableFiles) {
  std::string error = "untouched";
  EXPECT_FALSE(ReadInstallationStatusFile(folder_.Append(L"none.json"), PRIMARY, &error));
  EXPECT_EQ("untouched", error);
  // A folder in place of the file exists but cannot be read.
  base::FilePath folder_in_place = folder_.Append(L"installation_status.json");
  ASSERT_TRUE(base::CreateDirectory(folder_in_place));
  EXPECT_FALSE(ReadInstallationStatusFile(folder_in_place, PRIMARY, &error));
  EXPECT_EQ("Cannot read a file to string", error);
}

}  // namespace
}  // namespace installer
