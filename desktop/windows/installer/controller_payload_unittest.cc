#include "desktop/windows/installer/controller_payload.h"

#include <string>

#include "base/files/file_path.h"
#include "base/functional/bind.h"
#include "base/synchronization/lock.h"
#include "base/time/time.h"
#include "base/values.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/stats_scope.h"
#include "desktop/windows/installer/test/fake_installation_folder_details.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class AnalysedSettings : public FakeSettings {
 public:
  const InstallationFolderDetails* GetFolderDetails() const override { return &details; }
  FakeInstallationFolderDetails details;
};

class ControllerPayloadTest : public testing::Test {
 protected:
  std::string Stat(const std::string& key) {
    const std::string* value = stats_.FindString(key);
    return value ? *value : "<none>";
  }

  // Handles the tracking data; true when the overrides fetch was started.
  bool Handle(const std::string& payload_tracking_data) {
    bool started = false;
    done_ = false;
    ControllerPayload::HandleTrackingData(
        payload_tracking_data, settings_, &scope_,
        base::BindOnce(
            [](bool* started, std::string* fetched, const std::string& tracking_data,
               base::OnceClosure done) {
              *started = true;
              *fetched = tracking_data;
              std::move(done).Run();
            },
            &started, &fetched_),
        base::BindOnce([](bool* done) { *done = true; }, &done_));
    return started;
  }

  base::Value::Dict stats_;
  base::Lock lock_;
  StatsScope scope_{&stats_, &lock_, base::TimeTicks::Now(), {}};
  AnalysedSettings settings_;
  std::string fetched_;
  bool done_ = false;
};

TEST_F(ControllerPayloadTest, TrackingDataOfThePayloadIsRecorded) {
  PayloadReader reader(base::FilePath(L"C:\\no\\such\\installer.exe"));
  reader.SetExternalTrackingData(R"({"source":"ad"})");
  EXPECT_EQ(R"({"source":"ad"})", ControllerPayload::ReadTrackingData(reader, &scope_));
  EXPECT_EQ("external_tracking_data", Stat("payload_type"));
  EXPECT_EQ(R"({"source":"ad"})", Stat("tracking_data"));
}

TEST_F(ControllerPayloadTest, FullPackageIsNoTrackingData) {
  PayloadReader reader(base::FilePath(DELIVERY_FIXTURES_DIR).Append(L"velto_installer_full.exe"));
  ASSERT_EQ(PayloadType::full_package, reader.type());
  EXPECT_EQ("", ControllerPayload::ReadTrackingData(reader, &scope_));
  EXPECT_EQ("full_package", Stat("payload_type"));
  EXPECT_EQ("<none>", Stat("tracking_data"));
}

TEST_F(ControllerPayloadTest, PayloadTrackingDataWinsOverTheFolders) {
  settings_.details.tracking_data = "kept by the installation";
  EXPECT_TRUE(Handle("from the payload"));
  EXPECT_TRUE(done_);
  EXPECT_EQ("from the payload", fetched_);
  EXPECT_EQ("from the payload", Stat("tracking_data"));
}

TEST_F(ControllerPayloadTest, WithoutPayloadTrackingDataTheFoldersIsUsed) {
  settings_.details.tracking_data = "kept by the installation";
  EXPECT_TRUE(Handle(""));
  EXPECT_EQ("kept by the installation", fetched_);
  EXPECT_EQ("kept by the installation", Stat("tracking_data"));
}

TEST_F(ControllerPayloadTest, UninstallFetchesNoOverridesButCompletes) {
  settings_.operation = UNINSTALLING;
  settings_.details.tracking_data = "kept by the installation";
  EXPECT_FALSE(Handle(""));
  EXPECT_TRUE(done_);
  EXPECT_EQ("kept by the installation", Stat("tracking_data"));
}

}  // namespace
}  // namespace installer
