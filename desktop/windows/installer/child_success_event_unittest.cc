#include "desktop/windows/installer/child_success_event.h"

#include <string>

#include "base/command_line.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/service/test/kernel_object_test_util.h"
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

// The child may be the elevated copy running as another administrator
// account: the Administrators may set the event, nobody but them, the user
// and the system may touch it.
TEST(ChildSuccessEventTest, EventLetsInTheAdministrators) {
  ChildSuccessEvent success;
  base::CommandLine child(base::CommandLine::NO_PROGRAM);
  ASSERT_TRUE(success.Prepare(&child));
  base::win::ScopedHandle event(::OpenEventW(
      READ_CONTROL, FALSE, child.GetSwitchValueNative(switches::kSuccessEvent).c_str()));
  ASSERT_TRUE(event.IsValid());
  EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(event.Get(), EVENT_ALL_ACCESS));
}

// Another account that makes the event of the next launch first, set, cannot
// make a child's failure pass for its success.
TEST(ChildSuccessEventTest, EventMadeByAnotherAccountIsRefused) {
  ChildSuccessEvent first;
  base::CommandLine first_child(base::CommandLine::NO_PROGRAM);
  ASSERT_TRUE(first.Prepare(&first_child));
  const std::wstring first_name = first_child.GetSwitchValueNative(switches::kSuccessEvent);
  const size_t dash = first_name.rfind(L'-');
  ASSERT_NE(std::wstring::npos, dash);
  const std::wstring next_name =
      first_name.substr(0, dash + 1) + std::to_wstring(std::stoul(first_name.substr(dash + 1)) + 1);
  base::win::ScopedHandle foreign = test::CreateForeignEvent(next_name, true);
  ASSERT_TRUE(foreign.IsValid());
  ChildSuccessEvent second;
  base::CommandLine second_child(base::CommandLine::NO_PROGRAM);
  EXPECT_FALSE(second.Prepare(&second_child));
  EXPECT_FALSE(second.IsSet());
}

}  // namespace
}  // namespace installer
