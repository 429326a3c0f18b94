#include "desktop/windows/installer/ui/installer_window_controller_view.h"

#include <memory>

#include "base/command_line.h"
#include "base/functional/bind.h"
#include "base/message_loop/message_loop.h"
#include "desktop/windows/installer/test/fake_controller_parts.h"
#include "desktop/windows/installer/test/fake_installation_folder_details.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class ViewTestSettings : public FakeSettings {
 public:
  FakeInstallationFolderDetails details;
  const InstallationFolderDetails* GetFolderDetails() const override { return &details; }
};

// The controller drives the real window: Accept shows the progress page and
// the end of the run closes it.
TEST(InstallerWindowControllerViewTest, ControllerDrivesTheRealWindow) {
  base::CommandLine::Init(0, nullptr);
  base::MessageLoop loop;
  ViewTestSettings settings;
  RunnerLog runner_log;
  InstallerWindow* window = nullptr;
  bool done = false;
  InstallerUIController controller;
  InstallerUIController::Parts parts;
  parts.runner = std::make_unique<FakeRunner>(&runner_log);
  parts.overrides_fetcher = std::make_unique<FakeOverridesFetcher>(nullptr);
  parts.window_factory = base::BindOnce(
      [](InstallerWindow** window, Settings* settings, std::unique_ptr<StatsScope> scope,
         bool run_immediately) {
        std::unique_ptr<InstallerUIController::Window> view =
            InstallerWindowControllerView::Create(settings, std::move(scope), run_immediately);
        if (view)
          *window = static_cast<InstallerWindowControllerView*>(view.get())->window();
        return view;
      },
      &window);
  controller.Start(&settings, std::move(parts), false,
                   base::BindOnce([](bool* done) { *done = true; }, &done));
  ASSERT_TRUE(window);
  EXPECT_EQ(InstallerWindow::WELCOME, window->current_page());

  controller.OnAccept();
  EXPECT_EQ(1, runner_log.starts);
  EXPECT_EQ(InstallerWindow::PROGRESS, window->current_page());

  runner_log.start_result = false;
  controller.OnAccept();  // Already under way: nothing changes.
  EXPECT_EQ(1, runner_log.starts);

  controller.OnSuccess();
  controller.OnInstallerTerminated(true);
  EXPECT_TRUE(done);
  EXPECT_TRUE(controller.success());
}

}  // namespace
}  // namespace installer
