#include "crash/crash_claim.h"

#include "gtest/gtest.h"

namespace crash {
namespace {

DWORD WINAPI ClaimOnAnotherThread(void* claim) {
  return static_cast<CrashClaim*>(claim)->Claim(EXCEPTION_STACK_OVERFLOW) ? 1 : 0;
}

TEST(CrashClaimTest, OnlyTheFirstThreadHandlesTheCrash) {
  CrashClaim claim;
  EXPECT_TRUE(claim.Claim(EXCEPTION_ACCESS_VIOLATION));
  HANDLE other = CreateThread(nullptr, 0, &ClaimOnAnotherThread, &claim, 0, nullptr);
  ASSERT_TRUE(other);
  WaitForSingleObject(other, INFINITE);
  DWORD claimed = 2;
  GetExitCodeThread(other, &claimed);
  CloseHandle(other);
  EXPECT_EQ(0u, claimed);
}

}  // namespace
}  // namespace crash
