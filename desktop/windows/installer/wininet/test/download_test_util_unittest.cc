#include "desktop/windows/installer/wininet/test/download_test_util.h"

#include "base/functional/bind.h"
#include "base/location.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/task/single_thread_task_runner.h"
#include "base/time/time.h"
#include "gtest/gtest.h"

namespace installer::test {
namespace {

// A wait that ended in time leaves its time-out behind; when that comes due
// during a later wait, the later wait goes on until its own end.
TEST(RunUntilQuitOrTimeoutTest, EarlierTimeOutLeavesALaterWaitAlone) {
  base::MessageLoop loop;
  {
    base::RunLoop quick;
    quick.Quit();
    EXPECT_TRUE(RunUntilQuitOrTimeout(&quick, base::TimeDelta::FromMilliseconds(50)));
  }
  base::RunLoop later;
  bool ended = false;
  base::SingleThreadTaskRunner::GetCurrentDefault()->PostDelayedTask(
      FROM_HERE,
      base::BindOnce(
          [](bool* ended, base::RepeatingClosure quit) {
            *ended = true;
            quit.Run();
          },
          &ended, later.QuitClosure()),
      base::TimeDelta::FromMilliseconds(300));
  EXPECT_TRUE(RunUntilQuitOrTimeout(&later, kDownloadTimeout));
  EXPECT_TRUE(ended);
}

}  // namespace
}  // namespace installer::test
