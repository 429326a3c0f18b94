#include "desktop/windows/installer/ipc/installer_message.h"

#include <string>
#include <vector>

#include "desktop/windows/installer/ipc/recording_installer_observer.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

std::vector<unsigned char> Bytes(const base::Pickle& pickle) {
  const auto* data = static_cast<const unsigned char*>(pickle.data());
  return std::vector<unsigned char>(data, data + pickle.size());
}

std::vector<unsigned char> Header(unsigned char payload_size, unsigned char type) {
  std::vector<unsigned char> bytes = {payload_size, 0, 0, 0, 19, 0, 0, 0};
  for (char c : std::string(":Installer message:"))
    bytes.push_back(static_cast<unsigned char>(c));
  bytes.push_back(0);
  bytes.insert(bytes.end(), {type, 0, 0, 0});
  return bytes;
}

// Decodes |pickle| and returns the observer calls it makes (none when refused).
std::vector<std::string> Deliver(const base::Pickle& pickle) {
  RecordingInstallerObserver observer;
  InstallerMessage message;
  if (InstallerMessage::FromPickle(pickle, &message))
    message.Notify(&observer);
  return observer.calls;
}

TEST(InstallerMessageTest, WireLayoutIsByteExact) {
  std::vector<unsigned char> expected = Header(32, 3);
  expected.insert(expected.end(), {42, 0, 0, 0});
  EXPECT_EQ(expected, Bytes(InstallerMessage::TotalSteps(42).ToPickle()));

  EXPECT_EQ(Header(28, 7), Bytes(InstallerMessage::Success().ToPickle()));

  // Code, then the UTF-16 detail and the narrow message, each padded to 4.
  expected = Header(52, 6);
  expected.insert(expected.end(), {8, 0, 0, 0, 3, 0, 0, 0, 'a', 0, 'b', 0, 'c', 0, 0, 0,
                                   2, 0, 0, 0, 'x', 'y', 0, 0});
  EXPECT_EQ(expected, Bytes(InstallerMessage::Error(8, L"abc", "xy").ToPickle()));

  expected = Header(40, 5);
  expected.insert(expected.end(), {5, 0, 0, 0, 'f', '.', 'd', 'l', 'l', 0, 0, 0});
  EXPECT_EQ(expected, Bytes(InstallerMessage::FileCopyRetry("f.dll").ToPickle()));
}

TEST(InstallerMessageTest, EveryTypeReachesItsObserverCall) {
  const struct {
    InstallerMessage message;
    InstallerMessageType type;
    const char* call;
  } cases[] = {
      {InstallerMessage::StartingNewMainProcess(4711), IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS,
       "StartingNewMainProcess(4711)"},
      {InstallerMessage::ReturnedToPreviousMainProcess(),
       IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS, "ReturnedToPreviousMainProcess"},
      {InstallerMessage::ImportantEvent(), IPC_MESSAGE_IMPORTANT_EVENT, "ImportantEvent"},
      {InstallerMessage::TotalSteps(-3), IPC_MESSAGE_TOTAL_STEPS, "TotalSteps(-3)"},
      {InstallerMessage::Step(), IPC_MESSAGE_STEP, "Step"},
      {InstallerMessage::FileCopyRetry("C:\\v\\app.dll"), IPC_FILE_COPY_RETRY,
       "FileCopyRetry(C:\\v\\app.dll)"},
      {InstallerMessage::Error(4, L"C:\\Velto \u00e9", "no folder"), IPC_MESSAGE_ERROR,
       "Error(4,C:\\Velto \xc3\xa9,no folder)"},
      {InstallerMessage::Success(), IPC_MESSAGE_SUCCESS, "Success"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    EXPECT_EQ(c.type, c.message.type());
    EXPECT_EQ(std::vector<std::string>{c.call}, Deliver(c.message.ToPickle()));
  }
}

TEST(InstallerMessageTest, MalformedMessagesAreRefusedUntouched) {
  base::Pickle wrong_signature;
  wrong_signature.WriteString(":Installer message;");
  wrong_signature.WriteInt(IPC_MESSAGE_SUCCESS);

  base::Pickle not_a_string;
  not_a_string.WriteInt(IPC_MESSAGE_SUCCESS);

  base::Pickle no_type;
  no_type.WriteString(InstallerMessage::kSignature);

  base::Pickle type_too_high;
  type_too_high.WriteString(InstallerMessage::kSignature);
  type_too_high.WriteInt(8);

  base::Pickle type_negative;
  type_negative.WriteString(InstallerMessage::kSignature);
  type_negative.WriteInt(-1);

  base::Pickle error_without_message = InstallerMessage::BeginPickle(IPC_MESSAGE_ERROR);
  error_without_message.WriteInt(6);
  error_without_message.WriteString16(L"detail");

  base::Pickle error_without_detail = InstallerMessage::BeginPickle(IPC_MESSAGE_ERROR);
  error_without_detail.WriteInt(6);

  const base::Pickle refused[] = {
      wrong_signature,
      not_a_string,
      no_type,
      type_too_high,
      type_negative,
      error_without_message,
      error_without_detail,
      InstallerMessage::BeginPickle(IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS),
      InstallerMessage::BeginPickle(IPC_MESSAGE_TOTAL_STEPS),
      InstallerMessage::BeginPickle(IPC_FILE_COPY_RETRY),
      base::Pickle(),
  };
  for (size_t i = 0; i < std::size(refused); ++i) {
    SCOPED_TRACE(i);
    InstallerMessage message = InstallerMessage::TotalSteps(99);
    EXPECT_FALSE(InstallerMessage::FromPickle(refused[i], &message));
    EXPECT_EQ(IPC_MESSAGE_TOTAL_STEPS, message.type());
    EXPECT_EQ(99, message.number());
  }

  // Types without payload need nothing after the type, and extra fields are ignored.
  base::Pickle step_with_extra = InstallerMessage::BeginPickle(IPC_MESSAGE_STEP);
  step_with_extra.WriteInt(1);
  EXPECT_EQ(std::vector<std::string>{"Step"}, Deliver(step_with_extra));
}

TEST(InstallerMessageTest, LongTextsAreShortenedToFitTheMailslot) {
  // Both texts far too long: each keeps about half of the room.
  const std::wstring long_detail(3000, L'd');
  const std::string long_text(3000, 't');
  base::Pickle pickle = InstallerMessage::Error(8, long_detail, long_text).ToPickle();
  EXPECT_EQ(InstallerMessage::kMaxSize, pickle.size());
  InstallerMessage decoded;
  ASSERT_TRUE(InstallerMessage::FromPickle(pickle, &decoded));
  EXPECT_EQ(IPC_MESSAGE_ERROR, decoded.type());
  EXPECT_EQ(8, decoded.number());
  EXPECT_EQ(500u, decoded.detail().size());
  EXPECT_EQ(1004u, decoded.text().size());
  EXPECT_EQ(0u, long_detail.find(decoded.detail()));

  // A short detail stays whole; the message takes the rest of the room.
  const std::wstring folder = L"C:\\Program Files\\Velto";
  pickle = InstallerMessage::Error(4, folder, long_text).ToPickle();
  EXPECT_LE(pickle.size(), InstallerMessage::kMaxSize);
  ASSERT_TRUE(InstallerMessage::FromPickle(pickle, &decoded));
  EXPECT_EQ(folder, decoded.detail());
  EXPECT_GT(decoded.text().size(), 1900u);

  // Cuts never split a UTF-8 sequence or a UTF-16 surrogate pair.
  std::string euros;
  for (int i = 0; i < 1000; ++i)
    euros += "\xe2\x82\xac";
  pickle = InstallerMessage::FileCopyRetry(euros).ToPickle();
  EXPECT_LE(pickle.size(), InstallerMessage::kMaxSize);
  ASSERT_TRUE(InstallerMessage::FromPickle(pickle, &decoded));
  EXPECT_EQ(0u, decoded.text().size() % 3);
  EXPECT_EQ(0u, euros.find(decoded.text()));

  std::wstring pairs;
  for (int i = 0; i < 1000; ++i)
    pairs += L"x\xD83D\xDE00";
  pickle = InstallerMessage::Error(8, pairs, std::string(1500, 'm')).ToPickle();
  EXPECT_LE(pickle.size(), InstallerMessage::kMaxSize);
  ASSERT_TRUE(InstallerMessage::FromPickle(pickle, &decoded));
  ASSERT_FALSE(decoded.detail().empty());
  EXPECT_NE(0xD83D, decoded.detail().back());
  EXPECT_EQ(0u, pairs.find(decoded.detail()));

  // Texts that fit exactly are left alone.
  const std::string fits(InstallerMessage::kMaxSize - 36, 'f');
  pickle = InstallerMessage::FileCopyRetry(fits).ToPickle();
  EXPECT_EQ(InstallerMessage::kMaxSize, pickle.size());
  ASSERT_TRUE(InstallerMessage::FromPickle(pickle, &decoded));
  EXPECT_EQ(fits, decoded.text());
}

}  // namespace
}  // namespace installer
