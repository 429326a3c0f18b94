#include "desktop/windows/installer/ipc/mailslot_writer.h"

#include <string>

#include "base/message_loop/message_loop_for_io.h"
#include "base/run_loop.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/ipc/mailslot_constants.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

base::Pickle NumberedMessage(int number) {
  base::Pickle pickle;
  pickle.WriteInt(number);
  return pickle;
}

// Reads one waiting message; -1 when none.
int ReadNumber(HANDLE mailslot) {
  char buffer[kMailslotMaxMessageSize];
  DWORD bytes = 0;
  if (!ReadFile(mailslot, buffer, sizeof(buffer), &bytes, nullptr))
    return -1;
  base::Pickle pickle(buffer, bytes);
  base::PickleIterator iter(pickle);
  int number = -1;
  return iter.ReadInt(&number) ? number : -1;
}

class MailslotWriterTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = kMailslotPathPrefix + base::test::UniqueName(L"velto_writer_test");
    server_.Set(CreateMailslotW(path_.c_str(), kMailslotMaxMessageSize, 0, nullptr));
    ASSERT_TRUE(server_.IsValid());
  }

  // Runs the loop until |writer| has nothing left to write (or 5 s pass).
  void WaitUntilWritten(MailslotWriter* writer) {
    for (int i = 0; i < 500 && writer->write_pending(); ++i) {
      base::RunLoop().RunUntilIdle();
      Sleep(10);
    }
  }

  base::MessageLoopForIO loop_;
  std::wstring path_;
  base::win::ScopedHandle server_;
};

TEST_F(MailslotWriterTest, MessagesQueuedBehindAPendingWriteGoOutInOrder) {
  std::unique_ptr<MailslotWriter> writer = MailslotWriter::Open(path_);
  ASSERT_TRUE(writer);
  for (int i = 1; i <= 5; ++i)
    writer->Write(NumberedMessage(i));
  // The first write waits for its completion packet; the rest wait behind it.
  EXPECT_TRUE(writer->write_pending());
  EXPECT_EQ(5u, writer->queued_messages());

  WaitUntilWritten(writer.get());
  EXPECT_EQ(0u, writer->queued_messages());
  for (int i = 1; i <= 5; ++i)
    EXPECT_EQ(i, ReadNumber(server_.Get()));
  EXPECT_EQ(-1, ReadNumber(server_.Get()));
}

TEST_F(MailslotWriterTest, MissingMailslotCannotBeOpened) {
  EXPECT_FALSE(MailslotWriter::Open(path_ + L"_missing"));
}

TEST_F(MailslotWriterTest, ClosingWritesEverythingQueued) {
  std::unique_ptr<MailslotWriter> writer = MailslotWriter::Open(path_);
  ASSERT_TRUE(writer);
  for (int i = 1; i <= 3; ++i)
    writer->Write(NumberedMessage(i));
  ASSERT_TRUE(writer->write_pending());
  writer.reset();
  // The orphaned completion arrives later and must be dropped by the loop.
  base::RunLoop().RunUntilIdle();
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ(i, ReadNumber(server_.Get()));
  EXPECT_EQ(-1, ReadNumber(server_.Get()));
}

}  // namespace
}  // namespace installer
