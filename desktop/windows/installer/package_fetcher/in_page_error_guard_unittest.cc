#include "desktop/windows/installer/package_fetcher/in_page_error_guard.h"

#include <windows.h>

#include <thread>

#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr DWORD kDiskFull = 0xC000007F;

// What Windows raises when a mapped page cannot be read in.
void RaiseInPageError(const void* address, DWORD status) {
  ULONG_PTR arguments[3] = {0, reinterpret_cast<ULONG_PTR>(address),
                            static_cast<ULONG_PTR>(status)};
  ::RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 3, arguments);
}

char g_mapping[64];
char g_other_mapping[64];

bool InMapping(const void* address) {
  return address >= g_mapping && address < g_mapping + sizeof(g_mapping);
}

bool InOtherMapping(const void* address) {
  return address >= g_other_mapping && address < g_other_mapping + sizeof(g_other_mapping);
}

TEST(InPageErrorGuardTest, WorkThatCompletesSucceeds) {
  InPageErrorGuard guard(&InMapping);
  int runs = 0;
  EXPECT_TRUE(guard.Run([&] { ++runs; }));
  EXPECT_EQ(1, runs);
  EXPECT_EQ(0, guard.status());
}

TEST(InPageErrorGuardTest, ClaimedFaultAbandonsTheWorkWithItsStatus) {
  InPageErrorGuard guard(&InMapping);
  bool after_fault = false;
  EXPECT_FALSE(guard.Run([&] {
    RaiseInPageError(g_mapping + 10, kDiskFull);
    after_fault = true;
  }));
  EXPECT_FALSE(after_fault);
  EXPECT_EQ(kDiskFull, guard.status());
  // The guard and the thread stay usable.
  EXPECT_TRUE(guard.Run([] {}));
  EXPECT_EQ(0, guard.status());
}

TEST(InPageErrorGuardTest, UnclaimedFaultPassesToTheNextHandler) {
  InPageErrorGuard outer(&InOtherMapping);
  InPageErrorGuard inner(&InMapping);
  bool inner_returned = false;
  EXPECT_FALSE(outer.Run([&] {
    inner.Run([&] { RaiseInPageError(g_other_mapping, kDiskFull); });
    inner_returned = true;
  }));
  EXPECT_FALSE(inner_returned);
  EXPECT_EQ(kDiskFull, outer.status());
  EXPECT_EQ(0, inner.status());
  // After the abandoned inner guard, the outer one still guards alone.
  EXPECT_FALSE(outer.Run([&] { RaiseInPageError(g_other_mapping + 1, kDiskFull); }));
}

TEST(InPageErrorGuardTest, GuardsOnlyItsOwnThread) {
  InPageErrorGuard guard(&InMapping);
  bool other_thread_caught = false;
  EXPECT_TRUE(guard.Run([&] {
    std::thread other([&] {
      InPageErrorGuard own(&InMapping);
      other_thread_caught = !own.Run([] { RaiseInPageError(g_mapping, kDiskFull); });
    });
    other.join();
  }));
  EXPECT_TRUE(other_thread_caught);
  EXPECT_EQ(0, guard.status());
}

}  // namespace
}  // namespace installer
