#include "base/win/scoped_variant.h"

#include <utility>

#include "gtest/gtest.h"

namespace base::win {
namespace {

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

// An object that counts its references, to see that every reference a
// variant takes is given back exactly once.
class CountedObject : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid != IID_IUnknown) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  ULONG references() const { return references_; }

 private:
  ULONG references_ = 1;  // the test's own
};

TEST(ScopedVariantTest, ObjectReferencesAreTakenAndGivenBackOnce) {
  CountedObject object;
  {
    ScopedVariant held;
    held.Set(static_cast<IUnknown*>(&object));
    EXPECT_EQ(VT_UNKNOWN, held.type());
    EXPECT_EQ(2u, object.references());

    // A copy holds a reference of its own.
    ScopedVariant copy(held.get());
    EXPECT_EQ(3u, object.references());

    // Moving hands the reference over: the moved-from variant holds nothing.
    ScopedVariant moved(std::move(held));
    EXPECT_EQ(VT_EMPTY, held.type());
    EXPECT_EQ(3u, object.references());
    copy = std::move(moved);  // the copy's own reference goes
    EXPECT_EQ(2u, object.references());
    EXPECT_EQ(VT_EMPTY, moved.type());

    // Release passes the reference to the caller, Reset(VARIANT) takes it back.
    VARIANT released = copy.Release();
    EXPECT_EQ(2u, object.references());
    copy.Reset(released);
    EXPECT_EQ(2u, object.references());

    // Setting another value gives the reference back.
    copy.Set(int64_t{7});
    EXPECT_EQ(VT_I8, copy.type());
    EXPECT_EQ(1u, object.references());

    ScopedVariant reset;
    reset.Set(static_cast<IUnknown*>(&object));
    reset.Reset();
    EXPECT_EQ(VT_EMPTY, reset.type());
    EXPECT_EQ(1u, object.references());

    // Null objects are kept as null, with nothing to release.
    ScopedVariant null_object;
    null_object.Set(static_cast<IUnknown*>(nullptr));
    EXPECT_EQ(VT_UNKNOWN, null_object.type());

    ScopedVariant last;
    last.Set(static_cast<IUnknown*>(&object));
    EXPECT_EQ(2u, object.references());
  }
  EXPECT_EQ(1u, object.references());
}

TEST(ScopedVariantTest, IntegerTypesAndBooleansKeepTheirType) {
  ScopedVariant unsigned_value(7, VT_UI4);
  EXPECT_EQ(VT_UI4, unsigned_value.type());
  EXPECT_EQ(7u, unsigned_value.get().ulVal);
  ScopedVariant flag(false);
  EXPECT_EQ(VT_BOOL, flag.type());
  // VARIANT_TRUE is -1, not 1: COM callers compare with it.
  flag.Set(true);
  EXPECT_EQ(VARIANT_TRUE, flag.get().boolVal);
  flag.Set(int32_t{-5});
  EXPECT_EQ(VT_I4, flag.type());
  EXPECT_EQ(-5, flag.get().lVal);
  // A null string is the empty string, not a crash.
  flag.Set(static_cast<const wchar_t*>(nullptr));
  ASSERT_EQ(VT_BSTR, flag.type());
  EXPECT_EQ(0u, ::SysStringLen(flag.get().bstrVal));
}

}  // namespace
}  // namespace base::win
