#include "base/win/scoped_gdi_object.h"

#include "gtest/gtest.h"

namespace base::win {
namespace {

bool Exists(HGDIOBJ object) {
  return ::GetObjectType(object) != 0;
}

TEST(ScopedGDIObjectTest, DeletesWhatItHoldsOnceAndKeepsWhatItReleased) {
  HBRUSH first = ::CreateSolidBrush(RGB(1, 2, 3));
  HBRUSH second = ::CreateSolidBrush(RGB(4, 5, 6));
  {
    ScopedBrush brush(first);
    EXPECT_TRUE(brush);
    brush.reset(second);  // Deletes the first.
    EXPECT_FALSE(Exists(first));
    EXPECT_EQ(second, brush.get());
    ScopedBrush moved(std::move(brush));
    EXPECT_FALSE(brush);
    EXPECT_EQ(second, moved.get());
    brush = std::move(moved);
    EXPECT_EQ(second, brush.get());
    // Resetting to the held object keeps it.
    brush.reset(second);
    EXPECT_TRUE(Exists(second));
  }
  EXPECT_FALSE(Exists(second));

  HBITMAP kept = ::CreateBitmap(2, 2, 1, 32, nullptr);
  {
    ScopedBitmap bitmap(kept);
    EXPECT_EQ(kept, bitmap.release());
  }
  EXPECT_TRUE(Exists(kept));
  ::DeleteObject(kept);
}

}  // namespace
}  // namespace base::win
