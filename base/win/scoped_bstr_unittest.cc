#include "base/win/scoped_bstr.h"

#include "base/win/scoped_variant.h"
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

TEST(ScopedVariantTest, LiteralsBecomeStringsNotBooleans) {
  ScopedVariant text(L"hello");
  ASSERT_EQ(VT_BSTR, text.type());
  EXPECT_STREQ(L"hello", text.get().bstrVal);
  text.Set(true);
  EXPECT_EQ(VT_BOOL, text.type());
  text.Set(L"again");
  EXPECT_EQ(VT_BSTR, text.type());
  ScopedVariant number(42);
  EXPECT_EQ(VT_I4, number.type());
  VARIANT copy = number.Copy();
  EXPECT_EQ(42, copy.lVal);
  ::VariantClear(&copy);
  VARIANT released = text.Release();
  EXPECT_EQ(VT_EMPTY, text.type());
  ::VariantClear(&released);
}

}  // namespace
}  // namespace base::win
