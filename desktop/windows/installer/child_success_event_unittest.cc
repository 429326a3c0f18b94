#include "desktop/windows/installer/child_success_event.h"

#include <string>

#include "base/command_line.h"
#include "desktop/windows/installer/installer_switches.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ChildSuccessEventTest, OnlyTheChildOfEachLaunchSetsItsEvent) {
  ChildSuccessEvent first;
  ChildSuccessEvent second;
  base::CommandLine first_child(base::CommandLine::NO_PROGRAM);
  base::CommandLine second_child(base::CommandLine::NO_PROGRAM);
  ASSERT_TRUE(first.Prepare(&first_child));
  ASSERT_TRUE(second.Prepare(&second_child));
  EXPECT_NE(first_child.GetSwitchValueNative(switches::kSuccessEvent),
            second_child.GetSwitchValueNative(switches::kSuccessEvent));
  EXPECT_FALSE(first.IsSet());
  EXPECT_TRUE(ChildSuccessEvent::Report(second_child));
  EXPECT_TRUE(second.IsSet());
  EXPECT_FALSE(first.IsSet());
}

TEST(ChildSuccessEventTest, ReportWithoutAnInstallerWaitingForIt) {
  // A back end that no installer started as its child has nothing to report.
  EXPECT_TRUE(ChildSuccessEvent::Report(base::CommandLine(base::CommandLine::NO_PROGRAM)));
  // One whose parent has gone (its event with it) cannot.
  base::CommandLine orphan(base::CommandLine::NO_PROGRAM);
  orphan.AppendSwitchNative(switches::kSuccessEvent, L"Local\\VeltoInstaller/ChildSucceeded/gone");
  EXPECT_FALSE(ChildSuccessEvent::Report(orphan));
}

}  // namespace
}  // namespace installer
