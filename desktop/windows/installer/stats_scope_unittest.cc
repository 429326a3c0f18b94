#include "desktop/windows/installer/stats_scope.h"

#include <thread>

#include "base/json/json_writer.h"
#include "gtest/gtest.h"

namespace installer {

namespace {

class StatsScopeTest : public testing::Test {
 protected:
  StatsScope Root() { return StatsScope(&stats_, &lock_, start_, {}); }

  std::string Json() {
    std::string json;
    EXPECT_TRUE(base::JSONWriter::Write(base::Value(stats_.Clone()), &json));
    return json;
  }

  base::Value::Dict stats_;
  base::Lock lock_;
  base::TimeTicks start_ = base::TimeTicks::Now();
};

}  // namespace

TEST_F(StatsScopeTest, DottedKeysCreateObjects) {
  StatsScope root = Root();
  root.SetInteger("os.version.major", 10);
  root.SetString("os.name", "windows");
  root.SetValue("flags", base::Value(true));
  EXPECT_EQ(R"({"flags":true,"os":{"name":"windows","version":{"major":10}}})", Json());
  root.Remove("os.version.major");
  root.Remove("no.such.key");
  EXPECT_EQ(nullptr, stats_.FindByDottedPath("os.version.major"));
  EXPECT_NE(nullptr, stats_.FindStringByDottedPath("os.name"));
}

TEST_F(StatsScopeTest, ListEntriesAreSeparateObjects) {
  StatsScope root = Root();
  std::unique_ptr<StatsScope> first = root.AppendListEntry("fetches");
  std::unique_ptr<StatsScope> second = root.AppendListEntry("fetches");
  second->SetString("result", "ok");
  first->Clone()->SetInteger("attempt", 1);
  std::unique_ptr<StatsScope> chunk = second->AppendListEntry("download_chunks");
  chunk->SetString("ip", "127.0.0.1");
  EXPECT_EQ(
      R"({"fetches":[{"attempt":1},{"download_chunks":[{"ip":"127.0.0.1"}],"result":"ok"}]})",
      Json());
}

TEST_F(StatsScopeTest, IncrementTreatsMissingOrOtherTypesAsZero) {
  StatsScope root = Root();
  root.Increment("retries");
  root.Increment("retries");
  root.SetString("text", "x");
  root.Increment("text");
  EXPECT_EQ(2, stats_.FindInt("retries").value_or(-1));
  EXPECT_EQ(1, stats_.FindInt("text").value_or(-1));
}

TEST_F(StatsScopeTest, TimesAndElapsedFromTheScopeStart) {
  StatsScope root = Root();
  root.SetTimeAndElapsed("installer_start_time");
  const std::string* time = stats_.FindStringByDottedPath("installer_start_time.time");
  ASSERT_NE(nullptr, time);
  EXPECT_EQ(23u, time->size());
  EXPECT_GE(stats_.FindIntByDottedPath("installer_start_time.elapsed").value_or(-1), 0);

  base::Time::Exploded exploded = {};
  exploded.year = 2017;
  exploded.month = 7;
  exploded.day_of_month = 12;
  exploded.hour = 17;
  exploded.second = 1;
  exploded.millisecond = 42;
  base::Time moment;
  ASSERT_TRUE(base::Time::FromUTCExploded(exploded, &moment));
  EXPECT_EQ("2017-07-12 17:00:01.042", StatsScope::FormatTime(moment));
}

TEST_F(StatsScopeTest, ScopeWhosePathWasReplacedWritesNothing) {
  StatsScope root = Root();
  std::unique_ptr<StatsScope> entry = root.AppendListEntry("fetches");
  root.SetString("fetches", "replaced");
  entry->SetString("result", "lost");
  entry->Increment("count");
  EXPECT_EQ(R"({"fetches":"replaced"})", Json());
}

TEST_F(StatsScopeTest, WritesFromManyThreadsAreAllKept) {
  StatsScope root = Root();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&root] {
      for (int i = 0; i < 250; ++i) {
        root.Increment("count");
        root.AppendListEntry("entries");
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(1000, stats_.FindInt("count").value_or(0));
  EXPECT_EQ(1000u, stats_.FindList("entries")->size());
}

}  // namespace installer
