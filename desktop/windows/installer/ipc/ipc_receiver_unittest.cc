// Tests of the whole channel: IpcSender to IpcReceiver within this process and
// across two processes (this executable runs a copy of itself as the sender).

#include "desktop/windows/installer/ipc/ipc_receiver.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/functional/bind.h"
#include "base/location.h"
#include "base/message_loop/message_loop.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/run_loop.h"
#include "base/test/test_environment.h"
#include "base/time/time.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/ipc/ipc_sender.h"
#include "desktop/windows/installer/ipc/mailslot_constants.h"
#include "desktop/windows/installer/ipc/recording_installer_observer.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Given to the sender copy of this executable: the mailslot to send to.
constexpr char kSenderMailslotSwitch[] = "ipc-test-sender-mailslot";

// The events the sender copy sends, with malformed messages among them.
void SendTestSequence(IpcSender* sender) {
  sender->Send(InstallerMessage::StartingNewMainProcess(4711).ToPickle());
  sender->Send(InstallerMessage::ReturnedToPreviousMainProcess().ToPickle());

  base::Pickle wrong_signature;
  wrong_signature.WriteString("not an installer message");
  wrong_signature.WriteInt(IPC_MESSAGE_SUCCESS);
  sender->Send(wrong_signature);

  sender->Send(InstallerMessage::ImportantEvent().ToPickle());
  sender->Send(InstallerMessage::TotalSteps(42).ToPickle());

  base::Pickle wrong_type;
  wrong_type.WriteString(InstallerMessage::kSignature);
  wrong_type.WriteInt(12);
  sender->Send(wrong_type);

  sender->Send(InstallerMessage::Step().ToPickle());
  sender->Send(InstallerMessage::FileCopyRetry("C:\\Velto\\velto.dll").ToPickle());

  base::Pickle short_error = InstallerMessage::BeginPickle(IPC_MESSAGE_ERROR);
  short_error.WriteInt(6);
  short_error.WriteString16(L"no message follows");
  sender->Send(short_error);
  sender->Send(InstallerMessage::BeginPickle(IPC_MESSAGE_TOTAL_STEPS));

  // Could never fit the mailslot: refused by the sender, not stuck in its queue.
  base::Pickle oversized;
  oversized.WriteString(std::string(3000, 'x'));
  sender->Send(oversized);

  sender->Send(InstallerMessage::Error(8, L"C:\\Velto\\a.dll", "copy failed").ToPickle());
  sender->Send(InstallerMessage::Success().ToPickle());
}

const std::vector<std::string> kExpectedCalls = {
    "StartingNewMainProcess(4711)",
    "ReturnedToPreviousMainProcess",
    "ImportantEvent",
    "TotalSteps(42)",
    "Step",
    "FileCopyRetry(C:\\Velto\\velto.dll)",
    "Error(8,C:\\Velto\\a.dll,copy failed)",
    "Success",
};

// Decodes every message for a recording observer and ends the run loop once
// |expected| calls have arrived.
class RecordingDelegate : public IpcReceiver::Delegate {
 public:
  RecordingDelegate(size_t expected, base::RepeatingClosure done)
      : expected_(expected), done_(std::move(done)) {}

  void HandleMessage(const base::Pickle& pickle) override {
    ++messages;
    InstallerMessage message;
    if (InstallerMessage::FromPickle(pickle, &message))
      message.Notify(&observer);
    if (observer.calls.size() == expected_ && done_)
      done_.Run();
  }

  RecordingInstallerObserver observer;
  size_t messages = 0;

 private:
  const size_t expected_;
  base::RepeatingClosure done_;
};

// Runs |run_loop| for at most |seconds|.
void RunWithTimeout(base::RunLoop* run_loop, int seconds) {
  base::MessageLoop::current()->task_runner()->PostDelayedTask(
      FROM_HERE, run_loop->QuitClosure(), base::TimeDelta::FromSeconds(seconds));
  run_loop->Run();
}

class IpcChannelTest : public testing::Test {
 protected:
  base::MessageLoop loop_;
  const std::wstring name_ = L"velto_installer\\" + base::test::UniqueName(L"ipc_test");
};

// The sender side of ReceivesEveryTypeInOrderFromAnotherProcess; does nothing
// unless this executable was started as that sender.
TEST(IpcSenderChildProcess, SendsTestSequence) {
  base::CommandLine command_line = base::CommandLine::FromString(GetCommandLineW());
  if (!command_line.HasSwitch(kSenderMailslotSwitch))
    GTEST_SKIP() << "runs only as the sender process of IpcChannelTest";
  IpcSender sender;
  ASSERT_TRUE(sender.Connect(command_line.GetSwitchValueNative(kSenderMailslotSwitch)));
  SendTestSequence(&sender);
  sender.Close();
}

TEST_F(IpcChannelTest, ReceivesEveryTypeInOrderFromAnotherProcess) {
  base::RunLoop run_loop;
  RecordingDelegate delegate(kExpectedCalls.size(), run_loop.QuitClosure());
  IpcReceiver receiver(&delegate);
  ASSERT_TRUE(receiver.Connect(name_));

  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  base::CommandLine child(base::FilePath{std::wstring(exe)});
  child.AppendSwitchASCII("gtest_filter", "IpcSenderChildProcess.SendsTestSequence");
  child.AppendSwitchNative(kSenderMailslotSwitch, name_);
  base::Process process = base::LaunchProcess(child.GetCommandLineString(), base::LaunchOptions());
  ASSERT_TRUE(process.IsValid());

  RunWithTimeout(&run_loop, 20);
  int exit_code = -1;
  EXPECT_TRUE(process.WaitForExitWithTimeout(20000, &exit_code));
  EXPECT_EQ(0, exit_code);
  EXPECT_EQ(kExpectedCalls, delegate.observer.calls);
  // The four malformed messages arrived and were dropped; the oversized one never left.
  EXPECT_EQ(kExpectedCalls.size() + 4, delegate.messages);
}

TEST_F(IpcChannelTest, OversizedMessageDoesNotHoldUpTheFinalOne) {
  base::RunLoop run_loop;
  RecordingDelegate delegate(2, run_loop.QuitClosure());
  IpcReceiver receiver(&delegate);
  ASSERT_TRUE(receiver.Connect(name_));

  IpcSender sender;
  ASSERT_TRUE(sender.Connect(name_));
  sender.Send(InstallerMessage::Step().ToPickle());
  base::Pickle oversized = InstallerMessage::BeginPickle(IPC_FILE_COPY_RETRY);
  oversized.WriteString(std::string(kMailslotMaxMessageSize, 'f'));
  sender.Send(oversized);
  // Built through InstallerMessage, even huge texts are shortened and arrive.
  sender.Send(InstallerMessage::Error(0, std::wstring(5000, L'd'), std::string(5000, 'm')).ToPickle());

  RunWithTimeout(&run_loop, 10);
  ASSERT_EQ(2u, delegate.observer.calls.size());
  EXPECT_EQ("Step", delegate.observer.calls[0]);
  EXPECT_EQ(0u, delegate.observer.calls[1].find("Error(0,dddd"));
}

TEST_F(IpcChannelTest, CutShortAndEmptyMessagesAreDroppedByTheReader) {
  base::RunLoop run_loop;
  RecordingDelegate delegate(1, run_loop.QuitClosure());
  IpcReceiver receiver(&delegate);
  ASSERT_TRUE(receiver.Connect(name_));

  HANDLE mailslot = CreateFileW((kMailslotPathPrefix + name_).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, mailslot);
  base::Pickle success = InstallerMessage::Success().ToPickle();
  const char header_only[] = {3};
  DWORD written = 0;
  // Claims more payload than it carries, too short for a header, empty.
  EXPECT_TRUE(WriteFile(mailslot, success.data(), static_cast<DWORD>(success.size() - 4), &written,
                        nullptr));
  EXPECT_TRUE(WriteFile(mailslot, header_only, sizeof(header_only), &written, nullptr));
  EXPECT_TRUE(WriteFile(mailslot, header_only, 0, &written, nullptr));
  EXPECT_TRUE(WriteFile(mailslot, success.data(), static_cast<DWORD>(success.size()), &written,
                        nullptr));
  CloseHandle(mailslot);

  RunWithTimeout(&run_loop, 10);
  EXPECT_EQ(std::vector<std::string>{"Success"}, delegate.observer.calls);
  EXPECT_EQ(1u, delegate.messages);
}

TEST_F(IpcChannelTest, IdleReceiverStopsPromptly) {
  RecordingDelegate delegate(1, {});
  IpcReceiver receiver(&delegate);
  ASSERT_TRUE(receiver.Connect(name_));
  Sleep(100);  // let it sit in a read

  const ULONGLONG start = GetTickCount64();
  receiver.Close();
  EXPECT_LT(GetTickCount64() - start, 1000u);
  receiver.Close();  // a second close does nothing

  // The mailslot is gone with the reader, so the name can be taken again.
  HANDLE again = CreateMailslotW((kMailslotPathPrefix + name_).c_str(), 0, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, again);
  CloseHandle(again);
}

TEST_F(IpcChannelTest, NothingIsDeliveredAfterClose) {
  RecordingDelegate delegate(1, {});
  IpcReceiver receiver(&delegate);
  ASSERT_TRUE(receiver.Connect(name_));
  IpcSender sender;
  ASSERT_TRUE(sender.Connect(name_));
  sender.Send(InstallerMessage::Step().ToPickle());
  sender.Close();
  Sleep(300);  // read and posted to this thread, which has not run it yet

  receiver.Close();
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(0u, delegate.messages);
}

TEST_F(IpcChannelTest, SecondReceiverOfOneNameFailsToConnect) {
  base::RunLoop run_loop;
  RecordingDelegate first_delegate(1, run_loop.QuitClosure());
  IpcReceiver first(&first_delegate);
  ASSERT_TRUE(first.Connect(name_));
  RecordingDelegate second_delegate(1, {});
  IpcReceiver second(&second_delegate);
  EXPECT_FALSE(second.Connect(name_));

  IpcSender sender;
  ASSERT_TRUE(sender.Connect(name_));
  sender.Send(InstallerMessage::Success().ToPickle());
  RunWithTimeout(&run_loop, 10);
  EXPECT_EQ(std::vector<std::string>{"Success"}, first_delegate.observer.calls);
  EXPECT_EQ(0u, second_delegate.messages);
}

TEST_F(IpcChannelTest, SenderWithoutMailslotDropsMessages) {
  IpcSender sender;
  sender.Send(InstallerMessage::Step().ToPickle());  // not connected: dropped
  ASSERT_TRUE(sender.Connect(name_ + L"_nobody"));  // the open fails on its thread
  sender.Send(InstallerMessage::Step().ToPickle());
  sender.Close();
  sender.Close();
}

}  // namespace
}  // namespace installer
