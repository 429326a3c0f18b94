#include "crash_reporting/reporter_annotations.h"

#include "gtest/gtest.h"

namespace crash_reporting {
namespace {

TEST(ReporterAnnotationsTest, ClientKeysWinAndGuidAndUptimeAreNotCopied) {
  CrashKeyMap keys = {{L"prod", L"ClientProduct"}, {L"crash_guid", L"g"}, {L"ptime", L"5000"},
                      {L"ptype", L"installer"}};
  Annotations report;
  ReporterAnnotations(GetCurrentProcess(), keys, &report);
  EXPECT_EQ(L"ClientProduct", report[L"prod"]);
  EXPECT_EQ(L"installer", report[L"ptype"]);
  EXPECT_EQ(0u, report.count(L"crash_guid"));
  EXPECT_EQ(0u, report.count(L"ptime"));
  EXPECT_EQ(L"47.0.2631.23", report[L"ver"]);
  EXPECT_EQ(L"quenn", report[L"ReleaseChannel"]);
  EXPECT_EQ(L"browser-syms", report[L"symbols-package"]);
  for (const wchar_t* key : {L"mem_load", L"mem_physical_total", L"mem_virtual_size",
                             L"process_working_set_size", L"InstallTime"}) {
    EXPECT_EQ(1u, report.count(key)) << key;
  }
  // The crash came |ptime| after the start.
  EXPECT_EQ(_wtoi64(report[L"StartupTime"].c_str()) + 5,
            _wtoi64(report[L"CrashTime"].c_str()));
}

TEST(ReporterAnnotationsTest, WithoutAProcessTheTimesComeFromNow) {
  Annotations report;
  AddTimeAnnotations(nullptr, 3000, &report);
  int64_t crash = _wtoi64(report[L"CrashTime"].c_str());
  int64_t startup = _wtoi64(report[L"StartupTime"].c_str());
  EXPECT_GT(crash, 1500000000);
  EXPECT_GE(crash - startup, 2);
  EXPECT_LE(crash - startup, 4);
  EXPECT_EQ(0u, report.count(L"InstallTime"));
}

}  // namespace
}  // namespace crash_reporting
