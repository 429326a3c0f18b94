#include "crash/crash_generation_server.h"

#include <aclapi.h>
#include <sddl.h>

#include <atomic>

#include "base/test/test_environment.h"
#include "crash/crash_generation_client.h"
#include "crash/crash_keys_win.h"
#include "gtest/gtest.h"

namespace crash {
namespace {

class CrashGenerationServerTest : public testing::Test {
 protected:
  void SetUp() override {
    pipe_name_ = L"\\\\.\\pipe\\" + base::test::UniqueName(L"crash_server_test");
    keys_.GetCustomInfo({{L"ptype", L"installer"}});
    keys_.SetCrashKeyValue(L"early", L"1");
  }

  CrashGenerationServer::DumpRequestCallback Record() {
    return [this](const ClientInfo& client) {
      ++requests_;
      process_id_ = client.process_id;
      thread_id_address_ = client.thread_id_address;
      assertion_address_ = client.assertion_info_address;
      keys_seen_ = client.custom_info.size();
      DWORD thread_id = 0;
      SIZE_T read = 0;
      ReadProcessMemory(client.process, reinterpret_cast<void*>(client.thread_id_address),
                        &thread_id, sizeof(thread_id), &read);
      thread_id_read_ = thread_id;
      return true;
    };
  }

  // A raw connection that speaks the protocol by hand.
  HANDLE Connect() {
    HANDLE pipe = CreateFileW(pipe_name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
    return pipe;
  }

  std::wstring pipe_name_;
  CrashKeysWin keys_;
  std::atomic<int> requests_{0};
  DWORD process_id_ = 0;
  uint64_t thread_id_address_ = 0;
  uint64_t assertion_address_ = 0;
  size_t keys_seen_ = 0;
  DWORD thread_id_read_ = 0;
};

TEST_F(CrashGenerationServerTest, RegisteredClientIsDumpedWithItsCurrentKeys) {
  CrashGenerationServer server(pipe_name_, Record());
  ASSERT_TRUE(server.Start());
  CrashGenerationClient client(pipe_name_, keys_.custom_info());
  ASSERT_TRUE(client.Register());
  EXPECT_EQ(GetCurrentProcessId(), client.server_process_id());
  // Keys set after registration travel too.
  keys_.SetCrashKeyValue(L"late", L"2");
  AssertionInfo assertion = {};
  assertion.type = kAssertionInvalidParameter;
  EXPECT_TRUE(client.RequestDump(nullptr, 4242, &assertion, 30000));
  EXPECT_EQ(1, requests_.load());
  EXPECT_EQ(GetCurrentProcessId(), process_id_);
  EXPECT_EQ(3u, keys_seen_);
  EXPECT_EQ(4242u, thread_id_read_);
  EXPECT_NE(0u, assertion_address_);
  EXPECT_TRUE(client.RequestDump(nullptr, 1, nullptr, 30000));
  EXPECT_EQ(0u, assertion_address_);
}

TEST_F(CrashGenerationServerTest, ClientClaimingAnotherProcessIsRefused) {
  CrashGenerationServer server(pipe_name_, Record());
  ASSERT_TRUE(server.Start());
  HANDLE pipe = Connect();
  ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
  PipeMessage message = {};
  message.tag = PipeMessageTag::kRegister;
  message.process_id = GetCurrentProcessId() + 4;  // Someone else.
  DWORD bytes = 0;
  ASSERT_TRUE(WriteFile(pipe, &message, sizeof(message), &bytes, nullptr));
  PipeMessage reply = {};
  EXPECT_FALSE(ReadFile(pipe, &reply, sizeof(reply), &bytes, nullptr) && bytes == sizeof(reply));
  CloseHandle(pipe);
  EXPECT_EQ(0, requests_.load());
}

TEST_F(CrashGenerationServerTest, MessagesOfAnotherSizeEndTheConnection) {
  CrashGenerationServer server(pipe_name_, Record());
  ASSERT_TRUE(server.Start());
  HANDLE pipe = Connect();
  ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
  char oversized[sizeof(PipeMessage) + 16] = {};
  PipeMessage* message = reinterpret_cast<PipeMessage*>(oversized);
  message->tag = PipeMessageTag::kRegister;
  message->process_id = GetCurrentProcessId();
  DWORD bytes = 0;
  ASSERT_TRUE(WriteFile(pipe, oversized, sizeof(oversized), &bytes, nullptr));
  PipeMessage reply = {};
  EXPECT_FALSE(ReadFile(pipe, &reply, sizeof(reply), &bytes, nullptr) && bytes == sizeof(reply));
  CloseHandle(pipe);
}

TEST_F(CrashGenerationServerTest, KeyCountFromTheClientIsBounded) {
  CrashGenerationServer server(pipe_name_, Record());
  ASSERT_TRUE(server.Start());
  // A client that claims an absurd number of keys: the server reads no more
  // than the bound.
  static CustomInfoEntry entries[kMaxCustomInfoEntries + 8] = {};
  CustomClientInfo lying = {entries, size_t{1} << 40};
  CrashGenerationClient client(pipe_name_, &lying);
  ASSERT_TRUE(client.Register());
  EXPECT_TRUE(client.RequestDump(nullptr, 1, nullptr, 30000));
  EXPECT_EQ(kMaxCustomInfoEntries, keys_seen_);
}

TEST_F(CrashGenerationServerTest, NoServerNoRegistration) {
  CrashGenerationClient client(pipe_name_, keys_.custom_info());
  EXPECT_FALSE(client.Register());
  EXPECT_FALSE(client.RequestDump(nullptr, 1, nullptr, 1000));
}

TEST_F(CrashGenerationServerTest, PipeIsOpenToItsUserAlone) {
  CrashGenerationServer server(pipe_name_, Record());
  ASSERT_TRUE(server.Start());
  // What the pipe itself carries, read through a connection to it.
  HANDLE pipe = CreateFileW(pipe_name_.c_str(), GENERIC_READ | READ_CONTROL, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            GetSecurityInfo(pipe, SE_KERNEL_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                            nullptr, &dacl, nullptr, &descriptor));
  CloseHandle(pipe);
  ASSERT_TRUE(dacl);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  // One entry, granting everything to the user this process runs as.
  PSID user = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidW(CrashGenerationServer::CurrentUserSid().c_str(), &user));
  EXPECT_TRUE(owner && EqualSid(owner, user));
  ASSERT_EQ(1, dacl->AceCount);
  ACCESS_ALLOWED_ACE* entry = nullptr;
  ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&entry)));
  EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, entry->Header.AceType);
  EXPECT_TRUE(EqualSid(reinterpret_cast<PSID>(&entry->SidStart), user));
  // Full access, generic or mapped to the pipe's own rights.
  EXPECT_TRUE((entry->Mask & GENERIC_ALL) || (entry->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS)
      << std::hex << entry->Mask;
  LocalFree(user);
  LocalFree(descriptor);
}

}  // namespace
}  // namespace crash
