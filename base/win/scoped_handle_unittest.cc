#include "base/win/scoped_handle.h"

#include "gtest/gtest.h"

namespace base::win {
namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return ::GetHandleInformation(handle, &flags) != FALSE;
}

TEST(ScopedHandleTest, OwnsClosesAndTreatsBothSentinelsAsNone) {
  HANDLE first = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE second = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    ScopedHandle handle(first);
    EXPECT_TRUE(handle.IsValid());
    handle.Set(second);  // Closes the first.
    EXPECT_FALSE(IsOpen(first));
    EXPECT_EQ(second, handle.Get());
    ScopedHandle moved(std::move(handle));
    EXPECT_FALSE(handle.IsValid());
    EXPECT_EQ(second, moved.Get());
  }
  EXPECT_FALSE(IsOpen(second));

  ScopedHandle invalid(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(invalid.IsValid());
  EXPECT_EQ(nullptr, invalid.Get());

  HANDLE kept = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    ScopedHandle handle(kept);
    EXPECT_EQ(kept, handle.Take());
  }
  EXPECT_TRUE(IsOpen(kept));
  ::CloseHandle(kept);
}

}  // namespace
}  // namespace base::win
