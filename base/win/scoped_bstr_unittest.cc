#include "base/win/scoped_bstr.h"

#include "gtest/gtest.h"

namespace base::win {
namespace {

TEST(ScopedBstrTest, AllocatesWithEmbeddedNullsAndReleases) {
  ScopedBstr bstr(std::wstring_view(L"a\0b", 3));
  EXPECT_EQ(3u, bstr.Length());
  EXPECT_EQ(6u, bstr.ByteLength());
  BSTR released = bstr.Release();
  EXPECT_EQ(nullptr, bstr.Get());
  ::SysFreeString(released);
  ASSERT_NE(nullptr, bstr.Allocate(L"text"));
  EXPECT_EQ(4u, bstr.Length());
}

}  // namespace
}  // namespace base::win
